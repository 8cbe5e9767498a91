#include "app/session/MUDCommandTimers.h"

#include "engine/automation/MUDTimer.h"

MUDCommandTimers::MUDCommandTimers(MUDTimerDelegate* delegate)
    : m_delegate(delegate)
{
}

MUDCommandTimers::~MUDCommandTimers()
{
    cancelAll();
}

void MUDCommandTimers::set(const QString& name, double interval, const QString& command, bool repeats)
{
    if (const std::shared_ptr<MUDTimer> timer = m_timers.value(name)) {
        timer->cancel();
        timer->setTimeInterval(interval, command, repeats);
        return;
    }
    m_timers.insert(name, MUDTimer::create(interval, m_delegate, command, repeats));
}

bool MUDCommandTimers::clear(const QString& name)
{
    const std::shared_ptr<MUDTimer> timer = m_timers.take(name);
    if (!timer)
        return false;
    timer->cancel();
    return true;
}

void MUDCommandTimers::cancelAll()
{
    for (const std::shared_ptr<MUDTimer>& timer : std::as_const(m_timers))
        timer->cancel();
}
