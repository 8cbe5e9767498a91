#pragma once

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QString>
#include <functional>

// Appends log lines, each prefixed with its time, to one file in a folder.
// When the file has been in use for 24 hours it is started anew, so only
// one log file is ever kept. Any thread (guarded by a mutex).
class CVLogFileSink {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr qint64 kRotationSeconds = 24 * 60 * 60;

    // `clock` defaults to the current time; tests inject their own.
    explicit CVLogFileSink(const QString& folder, const QString& fileName = QStringLiteral("quarrow.log"),
                           Clock clock = {});

    // False when the line could not be written (folder missing, disk full).
    bool appendLine(const QString& line);

    QString filePath() const { return m_path; }

private:
    bool openLocked(const QDateTime& now);
    QDateTime startOfExistingFile() const;

    const QString m_path;
    const Clock m_clock;
    QMutex m_mutex;
    QFile m_file;
    QDateTime m_started;
};
