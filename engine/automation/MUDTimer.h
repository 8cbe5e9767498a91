#pragma once

#include <QString>
#include <atomic>
#include <memory>

class MUDTimerDelegate;

// Passes a command to its delegate after a delay, once or repeatedly. The
// schedule is kept by the debouncer, so setting a timer again restarts its
// delay instead of adding a firing. Main thread: created, changed, cancelled
// and fired there. The delegate is not owned: the owner cancels or drops its
// timers before it goes away; a dropped timer never fires.
class MUDTimer : public std::enable_shared_from_this<MUDTimer> {
public:
    // The shortest period of a repeating timer: a shorter one would send
    // commands on every turn of the event loop and flood the server.
    static constexpr double MinimumRepeatInterval = 0.1;

    // Keeps the values and schedules the first firing after `timeInterval` seconds.
    static std::shared_ptr<MUDTimer> create(double timeInterval, MUDTimerDelegate* delegate, const QString& command,
                                            bool repeat);
    ~MUDTimer();

    MUDTimer(const MUDTimer&) = delete;
    MUDTimer& operator=(const MUDTimer&) = delete;

    // Replaces interval, command and repeat flag, schedules a firing after
    // the new interval (replacing a pending one) and clears `cancelled`.
    // The interval is kept between 0 and a day, and a repeating timer's
    // at MinimumRepeatInterval or more.
    void setTimeInterval(double timeInterval, const QString& command, bool repeat);
    // The firing: passes the command to the delegate unless cancelled, then
    // schedules the next firing when repeating.
    void processCommand();
    // Sets `cancelled` and drops the pending firing.
    void cancel();

    MUDTimerDelegate* delegate() const { return m_delegate; }
    double timeInterval() const { return m_timeInterval; }
    QString targetCommand() const { return m_targetCommand; }
    bool repeat() const { return m_repeat; }
    bool cancelled() const { return m_cancelled; }

private:
    explicit MUDTimer(MUDTimerDelegate* delegate);
    void schedule();

    MUDTimerDelegate* const m_delegate;
    double m_timeInterval = 0;
    QString m_targetCommand;
    bool m_repeat = false;
    std::atomic<bool> m_cancelled = false;
};
