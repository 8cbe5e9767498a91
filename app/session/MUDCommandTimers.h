#pragma once

#include <QHash>
#include <QString>
#include <memory>

class MUDTimer;
class MUDTimerDelegate;

// A session's named command timers (#setTimer, #clearTimer), each passing
// its command to the delegate when it fires. Every timer is cancelled when
// this goes, so none fires into a session that is gone. Main thread.
class MUDCommandTimers {
public:
    explicit MUDCommandTimers(MUDTimerDelegate* delegate);
    ~MUDCommandTimers();

    MUDCommandTimers(const MUDCommandTimers&) = delete;
    MUDCommandTimers& operator=(const MUDCommandTimers&) = delete;

    // Sets timer `name` going anew with these settings, creating it when needed.
    void set(const QString& name, double interval, const QString& command, bool repeats);
    // Cancels and forgets timer `name`; false when there is none.
    bool clear(const QString& name);
    // Cancels every timer, keeping their settings.
    void cancelAll();

    bool contains(const QString& name) const { return m_timers.contains(name); }
    // The timer `name`, none when there is none.
    std::shared_ptr<MUDTimer> timer(const QString& name) const { return m_timers.value(name); }

private:
    MUDTimerDelegate* m_delegate;
    QHash<QString, std::shared_ptr<MUDTimer>> m_timers;
};
