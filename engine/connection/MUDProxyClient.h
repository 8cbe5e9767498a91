#pragma once

#include <QList>
#include <QMutex>
#include <QString>
#include <memory>

class CVSocket;
class MUDProxyOutgoingFrame;

// One viewer attached to a MUDProxyServer: its accepted socket and the JSON
// documents waiting to be sent to it (shared with the other viewers).
//
// Threads: the viewer's loop thread reads and sends on the socket; any thread
// queues documents (guarded by the queue's own mutex) and may wake the loop.
class MUDProxyClient {
public:
    explicit MUDProxyClient(std::unique_ptr<CVSocket> clientSocket);
    ~MUDProxyClient();
    MUDProxyClient(const MUDProxyClient&) = delete;
    MUDProxyClient& operator=(const MUDProxyClient&) = delete;

    CVSocket& socket() const { return *m_clientSocket; }

    // Queues a document and wakes the loop so it goes out without waiting
    // for the read idle limit. Any thread.
    void enqueue(std::shared_ptr<const MUDProxyOutgoingFrame> frame);
    void enqueue(const QString& document);
    // Takes the oldest queued document (null when none); once the queue is
    // empty the loop's reads wait again. Loop thread.
    std::shared_ptr<const MUDProxyOutgoingFrame> takeNext();

private:
    const std::unique_ptr<CVSocket> m_clientSocket;
    mutable QMutex m_outputQueueMutex;
    QList<std::shared_ptr<const MUDProxyOutgoingFrame>> m_outputQueue;
};
