#pragma once

#include <QString>

// A message a script posts with addComm, shown in the session's messages
// window and forwarded to proxy viewers. A plain value; any thread.
class MUDMessage {
public:
    MUDMessage() = default;
    explicit MUDMessage(const QString& message)
        : m_message(message)
    {
    }

    QString message() const { return m_message; }
    void setMessage(const QString& message) { m_message = message; }

    bool operator==(const MUDMessage&) const = default;

private:
    QString m_message;
};
