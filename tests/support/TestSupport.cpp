#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void spinEventLoop(int ms)
{
    waitUntil([] { return false; }, ms);
}

LogRecorder::LogRecorder()
{
    CVLogHelper::sharedInstance().setDelegate(this);
}

LogRecorder::~LogRecorder()
{
    CVLogHelper::sharedInstance().setDelegate(nullptr);
}

QStringList LogRecorder::lines() const
{
    QMutexLocker lock(&m_mutex);
    // A fresh list, not a shared copy: a logging thread that appends later
    // must not reallocate a buffer the caller still shares (implicit sharing
    // checks its count inside libQt6Core, where ThreadSanitizer cannot see).
    QStringList copy;
    copy.reserve(m_lines.size());
    for (const QString& line : m_lines)
        copy.append(line);
    return copy;
}

int LogRecorder::count(const QString& line) const
{
    QMutexLocker lock(&m_mutex);
    return static_cast<int>(m_lines.count(line));
}

void LogRecorder::clear()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
}

void LogRecorder::logMessageType(int, const QString& message)
{
    QMutexLocker lock(&m_mutex);
    m_lines.append(message);
}

void LogRecorder::logEvent(const QString& name, const QVariantMap&)
{
    QMutexLocker lock(&m_mutex);
    m_lines.append(QStringLiteral("Event: ") + name);
}

void LogRecorder::logError(const QString& error, const QVariantMap&)
{
    QMutexLocker lock(&m_mutex);
    m_lines.append(QStringLiteral("Error: ") + error);
}
