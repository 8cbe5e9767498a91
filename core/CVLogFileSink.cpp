#include "core/CVLogFileSink.h"

#include <QDir>
#include <QMutexLocker>

CVLogFileSink::CVLogFileSink(const QString& folder, const QString& fileName, Clock clock, qint64 maximumFileBytes)
    : m_path(QDir(folder).filePath(fileName))
    , m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); }))
    , m_maximumFileBytes(maximumFileBytes)
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
    if (m_file.size() > 0 && m_file.size() + bytes.size() > m_maximumFileBytes) {
        m_file.close();
        QFile::remove(olderFilePath());
        if (!QFile::rename(m_path, olderFilePath()) || !startOverLocked(now))
            return false;
    }
    const bool written = m_file.write(bytes) == bytes.size();
    m_file.flush();
    return written;
}

QByteArray CVLogFileSink::tail(qint64 maxBytes)
{
    QMutexLocker lock(&m_mutex);
    QByteArray joined;
    // Newest first, each file's end in front of what was already taken.
    for (const QString& path : {m_path, olderFilePath()}) {
        const qint64 wanted = maxBytes - joined.size();
        QFile file(path);
        if (wanted <= 0 || !file.open(QIODevice::ReadOnly))
            continue;
        file.seek(qMax<qint64>(0, file.size() - wanted));
        joined.prepend(file.read(wanted));
    }
    return joined;
}

// Keeps appending to a file started less than 24 hours ago (the time of its
// first line), else begins a new one in its place.
bool CVLogFileSink::openLocked(const QDateTime& now)
{
    m_file.setFileName(m_path);
    const QDateTime existing = startOfExistingFile();
    const bool keep = existing.isValid() && existing.secsTo(now) >= 0 && existing.secsTo(now) < kRotationSeconds;
    if (!keep) {
        QFile::remove(olderFilePath());
        return startOverLocked(now);
    }
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    m_started = existing;
    return true;
}

bool CVLogFileSink::startOverLocked(const QDateTime& now)
{
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_started = now;
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
