#pragma once

#include <QMetaType>
#include <QString>

// The object of the trigger-modified notification: the connection whose
// triggers were saved. Plain value; any thread.
class MUDTriggersModifiedObject {
public:
    MUDTriggersModifiedObject() = default;
    explicit MUDTriggersModifiedObject(const QString& connectionId)
        : m_connectionId(connectionId)
    {
    }

    QString connectionId() const { return m_connectionId; }
    void setConnectionId(const QString& connectionId) { m_connectionId = connectionId; }

private:
    QString m_connectionId;
};

Q_DECLARE_METATYPE(MUDTriggersModifiedObject)
