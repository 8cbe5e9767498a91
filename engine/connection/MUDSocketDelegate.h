#pragma once

#include <QByteArray>
#include <QString>

class MUDSocket;

// What a MUDSocket reports to its owner (the session). Every callback runs on
// the main thread except MUDSocketReceivedData, which runs on the socket's
// loop thread and must hand the bytes to the main thread itself.
class MUDSocketDelegate {
public:
    virtual ~MUDSocketDelegate() = default;

    // The TCP connection is up. Main thread.
    virtual void MUDSocketHasConnected(MUDSocket* socket) = 0;
    // The connect attempt failed; `errorMessage` always ends in ".". Main thread.
    virtual void MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage) = 0;
    // A read returned one or more bytes; `data` is the delegate's to change.
    // Socket loop thread, synchronously.
    virtual void MUDSocketReceivedData(MUDSocket* socket, QByteArray& data) = 0;
    // The connection is closed, for whatever reason; reported exactly once
    // for every socket that connected. Main thread.
    virtual void MUDSocketHasDisconnected(MUDSocket* socket) = 0;
};
