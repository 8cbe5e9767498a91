#pragma once

#include <QString>

// A room exit reported by a script. A plain value; any thread.
class MUDExit {
public:
    MUDExit(const QString& name, const QString& details) : m_name(name), m_details(details) {}
    QString name() const { return m_name; }
    QString details() const { return m_details; }

private:
    QString m_name;
    QString m_details;
};
