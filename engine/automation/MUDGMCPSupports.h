#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

// The GMCP packages a connection asks the server for ("Char.Vitals 1"),
// sent in Core.Supports.Set once GMCP is agreed. Starts with the defaults;
// a script changes it by sending Core.Supports.Set, .Add or .Remove, so a
// login script that asks for a package before GMCP is agreed still gets
// it into the first Set. A plain value; its owner guards it.
class MUDGMCPSupports {
public:
    static QStringList defaultPackages();

    QStringList packages() const { return m_packages; }

    // Takes in a Core.Supports message the connection sends; false for any
    // other message, or one whose value is not a list of texts.
    bool update(const QString& package, const QJsonValue& value);

private:
    // "Char.Vitals 1" is known by "char.vitals".
    static QString nameKey(const QString& entry);

    QStringList m_packages = defaultPackages();
};
