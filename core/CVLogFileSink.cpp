#include "core/CVLogFileSink.h"

#include <QDir>
#include <QMutexLocker>

CVLogFileSink::CVLogFileSink(const QString& folder, const QString& fileName, Clock clock)
    : m_path(QDir(folder).filePath(fileName))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
{
}

bool CVLogFileSink::appendLine(const QString& line)
{
    QMutexLocker lock(&m_mutex);
    const QDateTime now = m_clock();
    if (m_file.isOpen() && m_started.secsTo(now) >= kRotationSeconds)
        m_file.close();
    if (!m_file.isOpen() && !openLocked(now))
        return false;
    const QByteArray bytes = (now.toString(Qt::ISODateWithMs) + QLatin1Char(' ') + line + QLatin1Char('\n')).toUtf8();
    const bool written = m_file.write(bytes) == bytes.size();
    m_file.flush();
    return written;
}

// Keeps appending to a file started less than 24 hours ago (the time of its
// first line), else begins a new one in its place.
bool CVLogFileSink::openLocked(const QDateTime& now)
{
    m_file.setFileName(m_path);
    const QDateTime existing = startOfExistingFile();
    const bool keep = existing.isValid() && existing.secsTo(now) >= 0 && existing.secsTo(now) < kRotationSeconds;
    if (!m_file.open(QIODevice::WriteOnly | (keep ? QIODevice::Append : QIODevice::Truncate)))
        return false;
    m_started = keep ? existing : now;
    return true;
}

QDateTime CVLogFileSink::startOfExistingFile() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray first = file.readLine(128);
    const qsizetype space = first.indexOf(' ');
    if (space <= 0)
        return {};
    return QDateTime::fromString(QString::fromLatin1(first.left(space)), Qt::ISODateWithMs);
}
