#include "core/LVDebounce.h"

#include <QCoreApplication>
#include <QHash>
#include <QTimer>
#include <memory>

#include "core/CVMainThread.h"

namespace {

struct DebounceKey {
    const void* target;
    QByteArray operation;
    const void* argument;
    bool operator==(const DebounceKey&) const = default;
};

size_t qHash(const DebounceKey& key, size_t seed = 0)
{
    return qHashMulti(seed, key.target, key.operation, key.argument);
}

// Main thread only: the pending timers by key.
class DebounceTable {
public:
    void schedule(const DebounceKey& key, int ms, std::function<void()> action)
    {
        cancel(key);
        auto timer = std::make_shared<QTimer>();
        timer->setSingleShot(true);
        // Coarse timers may fire up to 5 % early; a delay here is a promise.
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(ms);
        QObject::connect(timer.get(), &QTimer::timeout, QCoreApplication::instance(),
                         [this, key, action = std::move(action), weak = std::weak_ptr<QTimer>(timer)] {
                             auto pending = m_timers.value(key);
                             if (pending != weak.lock())
                                 return;
                             m_timers.remove(key);
                             action();
                         });
        m_timers.insert(key, timer);
        timer->start();
    }

    void cancel(const DebounceKey& key)
    {
        if (auto timer = m_timers.take(key))
            timer->stop();
    }

    void cancelAll(const void* target)
    {
        for (auto it = m_timers.begin(); it != m_timers.end();) {
            if (it.key().target == target) {
                it.value()->stop();
                it = m_timers.erase(it);
            } else {
                ++it;
            }
        }
    }

private:
    QHash<DebounceKey, std::shared_ptr<QTimer>> m_timers;
};

DebounceTable& table()
{
    static DebounceTable instance;
    return instance;
}

void onMainThread(std::function<void()> block)
{
    if (fc_isMainThread())
        block();
    else
        fc_executeOnMainThread(std::move(block));
}

}

void LVDebounce::fireAfter(double seconds, const void* target, const QByteArray& operation, const void* argument,
                           std::function<void()> action)
{
    const int ms = seconds <= 0 ? 0 : static_cast<int>(seconds * 1000.0 + 0.5);
    onMainThread([key = DebounceKey{target, operation, argument}, ms, action = std::move(action)]() mutable {
        table().schedule(key, ms, std::move(action));
    });
}

void LVDebounce::cancelTarget(const void* target, const QByteArray& operation, const void* argument)
{
    onMainThread([key = DebounceKey{target, operation, argument}] { table().cancel(key); });
}

void LVDebounce::cancelTarget(const void* target)
{
    onMainThread([target] { table().cancelAll(target); });
}
