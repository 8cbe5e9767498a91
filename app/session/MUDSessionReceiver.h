#pragma once

#include <QByteArrayView>
#include <QPointer>
#include <memory>

#include "engine/connection/MUDSocketDelegate.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

class MUDDocument;

// The session's end of its socket: decodes what the socket reads on the
// socket's loop thread and hands each batch to the session on the main
// thread, and passes the socket's status reports on. Held by a shared
// pointer so a loop thread still reading after the session is gone finds a
// live receiver; the session itself is reached only on the main thread and
// only while it exists. Decoding: socket loop thread (or the main thread
// for locally fed bytes, one thread at a time); the rest: main thread.
class MUDSessionReceiver : public MUDSocketDelegate, public ANSIDataProcessorDelegate {
public:
    explicit MUDSessionReceiver(MUDDocument* document);

    // Feeds bytes through the decoder as if the server had sent them.
    void processData(QByteArrayView data);

    void MUDSocketHasConnected(MUDSocket* socket) override;
    void MUDSocketConnectionFailed(MUDSocket* socket, const QString& errorMessage) override;
    void MUDSocketReceivedData(MUDSocket* socket, QByteArray& data) override;
    void MUDSocketHasDisconnected(MUDSocket* socket) override;

    void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) override;

private:
    QPointer<MUDDocument> m_document;
    ANSIDataProcessor m_ansiDataProcessor;
};
