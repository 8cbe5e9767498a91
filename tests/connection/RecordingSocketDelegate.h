#pragma once

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/CVMainThread.h"
#include "engine/connection/MUDSocketDelegate.h"

// Records every callback; counts live outside so a test can drop the
// delegate and still see that nothing reached it.
struct SocketCalls {
    std::atomic<int> connected{0};
    std::atomic<int> failed{0};
    std::atomic<int> disconnected{0};
    std::atomic<int> offMainThread{0};
    std::atomic<int> dataOnMainThread{0};
    mutable QMutex mutex;
    QString failureMessage;
    QByteArray data;

    QByteArray receivedData() const
    {
        QMutexLocker lock(&mutex);
        // Deep copies keep buffers from being shared between the loop and main thread.
        return QByteArray(data.constData(), data.size());
    }
};

class RecordingSocketDelegate : public MUDSocketDelegate {
public:
    explicit RecordingSocketDelegate(SocketCalls& calls, std::chrono::milliseconds delayPerRead = {})
        : m_calls(calls)
        , m_delayPerRead(delayPerRead)
    {
    }

    void MUDSocketHasConnected(MUDSocket*) override { record(m_calls.connected); }
    void MUDSocketConnectionFailed(MUDSocket*, const QString& errorMessage) override
    {
        {
            QMutexLocker lock(&m_calls.mutex);
            m_calls.failureMessage = errorMessage;
        }
        record(m_calls.failed);
    }
    void MUDSocketReceivedData(MUDSocket*, QByteArray& data) override
    {
        if (fc_isMainThread())
            ++m_calls.dataOnMainThread;
        {
            QMutexLocker lock(&m_calls.mutex);
            m_calls.data.append(data.constData(), data.size());
        }
        // Stands in for a session that takes time to decode each read.
        std::this_thread::sleep_for(m_delayPerRead);
    }
    void MUDSocketHasDisconnected(MUDSocket*) override { record(m_calls.disconnected); }

private:
    void record(std::atomic<int>& counter)
    {
        if (!fc_isMainThread())
            ++m_calls.offMainThread;
        ++counter;
    }

    SocketCalls& m_calls;
    std::chrono::milliseconds m_delayPerRead;
};
