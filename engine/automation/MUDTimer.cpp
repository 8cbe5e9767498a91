#include "engine/automation/MUDTimer.h"

#include <algorithm>

#include "core/LVDebounce.h"
#include "engine/automation/MUDScriptSeconds.h"
#include "engine/automation/MUDTimerDelegate.h"

namespace {
const QByteArray kOperation = QByteArrayLiteral("processCommand");
}

std::shared_ptr<MUDTimer> MUDTimer::create(double timeInterval, MUDTimerDelegate* delegate, const QString& command,
                                           bool repeat)
{
    std::shared_ptr<MUDTimer> timer(new MUDTimer(delegate));
    timer->setTimeInterval(timeInterval, command, repeat);
    return timer;
}

MUDTimer::MUDTimer(MUDTimerDelegate* delegate)
    : m_delegate(delegate)
{
}

MUDTimer::~MUDTimer()
{
    LVDebounce::cancelTarget(this, kOperation, nullptr);
}

void MUDTimer::setTimeInterval(double timeInterval, const QString& command, bool repeat)
{
    m_timeInterval = MUDScriptSeconds::clamped(timeInterval);
    if (repeat)
        m_timeInterval = std::max(m_timeInterval, MinimumRepeatInterval);
    m_targetCommand = command;
    m_repeat = repeat;
    m_cancelled = false;
    schedule();
}

void MUDTimer::processCommand()
{
    if (m_cancelled)
        return;
    if (m_delegate)
        m_delegate->MUDTimerRequestsCommand(this, m_targetCommand);
    // The delegate may have cancelled or changed the timer meanwhile.
    if (m_repeat && !m_cancelled)
        schedule();
}

void MUDTimer::cancel()
{
    m_cancelled = true;
    LVDebounce::cancelTarget(this, kOperation, nullptr);
}

// The pending call holds the timer weakly, so a dropped timer never fires.
void MUDTimer::schedule()
{
    LVDebounce::fireAfter(m_timeInterval, this, kOperation, nullptr, [weak = weak_from_this()] {
        if (auto timer = weak.lock())
            timer->processCommand();
    });
}
