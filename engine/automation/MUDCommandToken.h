#pragma once

#include <QString>

// One command of a typed line: its text without the separating semicolon,
// with escaped semicolons turned into plain ones. Plain value; any thread.
class MUDCommandToken {
public:
    MUDCommandToken() = default;
    explicit MUDCommandToken(const QString& commandForToken)
        : m_commandForToken(commandForToken)
    {
    }

    QString commandForToken() const { return m_commandForToken; }
    void setCommandForToken(const QString& command) { m_commandForToken = command; }

private:
    QString m_commandForToken;
};
