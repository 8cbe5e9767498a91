#include "app/session/MUDSpeechDispatcherSink.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QMutex>
#include <cstdlib>
#include <libspeechd.h>

#include "core/CVLogHelper.h"

struct MUDSpeechDispatcherSink::Connection {
    SPDConnection* spd = nullptr;
};

namespace {
// libspeechd's notices carry no user data: the one open sink is found here.
QMutex g_sinkLock;
MUDSpeechDispatcherSink* g_sink = nullptr;

// On libspeechd's thread: the end (or cancel) of a message goes to the main thread.
void speechFinished(size_t, size_t, SPDNotificationType)
{
    QMutexLocker lock(&g_sinkLock);
    MUDSpeechDispatcherSink* sink = g_sink;
    if (!sink)
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [sink] {
            // The sink may have closed meanwhile.
            QMutexLocker relock(&g_sinkLock);
            const bool open = g_sink == sink;
            relock.unlock();
            if (open)
                sink->notifyFinished();
        },
        Qt::QueuedConnection);
}
}

MUDSpeechDispatcherSink::MUDSpeechDispatcherSink()
    : m_connection(std::make_unique<Connection>())
{
    char* error = nullptr;
    SPDConnection* spd = spd_open2("quarrow", "main", nullptr, SPD_MODE_THREADED, nullptr, /*autospawn*/ 1, &error);
    if (!spd) {
        CVLog(QStringLiteral("MUDSpeechDispatcherSink - speech-dispatcher is not available: %1")
                  .arg(QString::fromLocal8Bit(error ? error : "no reason given")));
        std::free(error);
        return;
    }
    m_connection->spd = spd;
    {
        QMutexLocker lock(&g_sinkLock);
        g_sink = this;
    }
    spd->callback_end = speechFinished;
    spd->callback_cancel = speechFinished;
    spd_set_notification_on(spd, SPD_END);
    spd_set_notification_on(spd, SPD_CANCEL);
}

MUDSpeechDispatcherSink::~MUDSpeechDispatcherSink()
{
    {
        QMutexLocker lock(&g_sinkLock);
        if (g_sink == this)
            g_sink = nullptr;
    }
    if (m_connection->spd)
        spd_close(m_connection->spd);
}

bool MUDSpeechDispatcherSink::isOpen() const
{
    return m_connection->spd != nullptr;
}

bool MUDSpeechDispatcherSink::speak(const QString& text)
{
    return isOpen() && spd_say(m_connection->spd, SPD_TEXT, text.toUtf8().constData()) >= 0;
}

void MUDSpeechDispatcherSink::cancel()
{
    if (isOpen())
        spd_cancel(m_connection->spd);
}

void MUDSpeechDispatcherSink::setRate(int rate)
{
    if (isOpen())
        spd_set_voice_rate(m_connection->spd, rate);
}

void MUDSpeechDispatcherSink::setVolume(int volume)
{
    if (isOpen())
        spd_set_volume(m_connection->spd, volume);
}
