#pragma once

#include <QMutex>
#include <QStringList>
#include <memory>
#include <optional>

class CVSocket;

// One viewer attached to a MUDProxyServer: its accepted socket and the JSON
// documents waiting to be sent to it.
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
    void enqueue(const QString& document);
    // Takes the oldest queued document; once the queue is empty the loop's
    // reads wait again. Loop thread.
    std::optional<QString> takeNext();

private:
    const std::unique_ptr<CVSocket> m_clientSocket;
    mutable QMutex m_outputQueueMutex;
    QStringList m_outputQueue;
};
