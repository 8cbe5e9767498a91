#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "engine/connection/MUDProxyFrameDecoder.h"

class CVSocket;

// The viewer's end of a proxy connection: connects to a session's proxy
// port, turns the frames it receives into JSON documents and sends command
// lines. Used by the command-line viewer and by the tests.
//
// Threads: one owner thread does everything.
class MUDProxyViewerConnection {
public:
    MUDProxyViewerConnection();
    ~MUDProxyViewerConnection();
    MUDProxyViewerConnection(const MUDProxyViewerConnection&) = delete;
    MUDProxyViewerConnection& operator=(const MUDProxyViewerConnection&) = delete;

    bool connect(const QString& host, quint16 port, int maxWaitMs);
    // False once the server closed the connection, the framing was lost or
    // close() was called.
    bool isConnected() const;

    // Waits up to `maxWaitMs` for data and returns the documents completed so
    // far, in order. Broken framing is logged and closes the connection.
    QStringList receiveDocuments(int maxWaitMs);
    // Sends `command` as one line ("\n" is added).
    bool sendCommand(const QString& command);
    void close();

    QString lastErrorText() const;

private:
    std::unique_ptr<CVSocket> m_socket;
    MUDProxyFrameDecoder m_decoder;
    QString m_lastErrorText;
};
