#pragma once

#include <QDeadlineTimer>
#include <QSemaphore>
#include <QString>

// A counting semaphore with a name for log lines. Any thread.
class CVSemaphore {
public:
    CVSemaphore(const QString& identifier, int initialValue);

    // Waits until signalled or until the deadline passes (QDeadlineTimer::Forever
    // waits for ever; a number is milliseconds from now). Returns 0 when
    // signalled, non-zero when the deadline passed first.
    int wait(QDeadlineTimer deadline);
    void signal();

    QString identifier() const { return m_identifier; }

private:
    const QString m_identifier;
    QSemaphore m_semaphore;
};
