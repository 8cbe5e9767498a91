#pragma once

#include <QElapsedTimer>

// A stopwatch in seconds on the monotonic clock. One thread at a time.
class MachTimer {
public:
    MachTimer();

    void startTimer();
    // Seconds since startTimer (or construction).
    double elapsedSeconds() const;

private:
    QElapsedTimer m_timer;
};
