#pragma once

#include <QMetaType>
#include <chrono>
#include <functional>
#include <memory>

// A countdown shown in output text (under MUDCountdownAttributeName). Each
// tick() makes one step after the interval (1 s), on the main thread: the
// count drops by one, then the tick action runs while the count is above
// zero, the finished action when it reaches zero. The owner keeps counting
// by calling tick() again from its tick action. The two actions stand for
// the target; clearTarget() drops them and stops the count. Hold it in a
// std::shared_ptr (create()): a pending step runs only while it lives.
// Main thread.
class MUDCountdownAttribute : public std::enable_shared_from_this<MUDCountdownAttribute> {
public:
    using Action = std::function<void(MUDCountdownAttribute&)>;

    static std::shared_ptr<MUDCountdownAttribute> create(Action finishedAction, Action tickAction, quint64 countdown);

    quint64 countdownRemaining() const { return m_countdown; }
    void tick();
    void clearTarget();

    // One second unless a test shortens it.
    void setTickInterval(std::chrono::milliseconds interval) { m_interval = interval; }

private:
    MUDCountdownAttribute(Action finishedAction, Action tickAction, quint64 countdown);
    void step();

    Action m_finishedAction;
    Action m_tickAction;
    quint64 m_countdown;
    std::chrono::milliseconds m_interval{1000};
};

Q_DECLARE_METATYPE(std::shared_ptr<MUDCountdownAttribute>)
