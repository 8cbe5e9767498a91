#include "engine/decoding/MUDCountdownAttribute.h"

#include <QCoreApplication>
#include <QTimer>

#include "core/CVMainThread.h"

std::shared_ptr<MUDCountdownAttribute> MUDCountdownAttribute::create(Action finishedAction, Action tickAction,
                                                                     quint64 countdown)
{
    return std::shared_ptr<MUDCountdownAttribute>(
        new MUDCountdownAttribute(std::move(finishedAction), std::move(tickAction), countdown));
}

MUDCountdownAttribute::MUDCountdownAttribute(Action finishedAction, Action tickAction, quint64 countdown)
    : m_finishedAction(std::move(finishedAction))
    , m_tickAction(std::move(tickAction))
    , m_countdown(countdown)
{
}

void MUDCountdownAttribute::tick()
{
    const std::weak_ptr<MUDCountdownAttribute> weakSelf = weak_from_this();
    const auto interval = m_interval;
    fc_executeOnMainThread([weakSelf, interval] {
        QTimer::singleShot(interval, QCoreApplication::instance(), [weakSelf] {
            if (auto self = weakSelf.lock())
                self->step();
        });
    });
}

void MUDCountdownAttribute::clearTarget()
{
    m_finishedAction = nullptr;
    m_tickAction = nullptr;
}

void MUDCountdownAttribute::step()
{
    if (m_countdown > 0)
        --m_countdown;
    if (!m_finishedAction && !m_tickAction)
        return;
    // Copies, so an action may clear the target while it runs.
    const Action action = m_countdown != 0 ? m_tickAction : m_finishedAction;
    if (action)
        action(*this);
}
