#pragma once

#include <QMetaType>
#include <QString>

// The object of the alias-modified notification: the connection whose
// aliases were saved. Plain value; any thread.
class MUDAliasesModifiedObject {
public:
    MUDAliasesModifiedObject() = default;
    explicit MUDAliasesModifiedObject(const QString& connectionId)
        : m_connectionId(connectionId)
    {
    }

    QString connectionId() const { return m_connectionId; }
    void setConnectionId(const QString& connectionId) { m_connectionId = connectionId; }

private:
    QString m_connectionId;
};

Q_DECLARE_METATYPE(MUDAliasesModifiedObject)
