#pragma once

#include <QMetaType>
#include <QString>

// A room exit reported by a script; read-only after creation. Plain value;
// any thread.
class MUDExit {
public:
    MUDExit() = default;
    MUDExit(const QString& name, const QString& details)
        : m_name(name)
        , m_details(details)
    {
    }

    QString name() const { return m_name; }
    // Null when the exit has no details.
    QString details() const { return m_details; }

private:
    QString m_name;
    QString m_details;
};

Q_DECLARE_METATYPE(MUDExit)
