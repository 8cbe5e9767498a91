#pragma once

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <functional>

// Appends log lines, each prefixed with its time, to one file in a folder.
// When the file has been in use for 24 hours it is started anew (and an
// older part, if any, is removed), so a day's log is all that is kept. A
// file that would grow past its size limit is moved aside as the one older
// file (its name with ".1" added, replacing an earlier one) and a new file
// begins: however much is logged, the log takes about twice the limit at
// most (a line is never split).
// Any thread (guarded by a mutex).
class CVLogFileSink {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr qint64 kRotationSeconds = 24 * 60 * 60;
    static constexpr qint64 kMaximumFileBytes = 10 * 1024 * 1024;

    // `clock` defaults to the current time; tests inject their own.
    explicit CVLogFileSink(const QString& folder, const QString& fileName = QStringLiteral("quarrow.log"),
                           Clock clock = {}, qint64 maximumFileBytes = kMaximumFileBytes);

    // False when the line could not be written (folder missing, disk full).
    bool appendLine(const QString& line);

    QString filePath() const { return m_path; }
    QString olderFilePath() const { return m_path + QStringLiteral(".1"); }

    // The last `maxBytes` bytes of the log files taken together, oldest
    // file first.
    QByteArray tail(qint64 maxBytes);

private:
    bool openLocked(const QDateTime& now);
    bool startOverLocked(const QDateTime& now);
    QDateTime startOfExistingFile() const;

    const QString m_path;
    const Clock m_clock;
    const qint64 m_maximumFileBytes;
    QMutex m_mutex;
    QFile m_file;
    QDateTime m_started;
};
