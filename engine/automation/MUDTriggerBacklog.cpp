#include "engine/automation/MUDTriggerBacklog.h"

#include <chrono>
#include <utility>

MUDTriggerBacklog::Share::Share(std::shared_ptr<MUDTriggerBacklog> backlog, qsizetype characters, qsizetype scripts)
    : m_backlog(std::move(backlog))
    , m_characters(characters)
    , m_scripts(scripts)
{
    m_backlog->add(characters, scripts);
}

MUDTriggerBacklog::Share::~Share()
{
    release();
}

MUDTriggerBacklog::Share::Share(Share&& other) noexcept
    : m_backlog(std::move(other.m_backlog))
    , m_characters(std::exchange(other.m_characters, 0))
    , m_scripts(std::exchange(other.m_scripts, 0))
{
}

MUDTriggerBacklog::Share& MUDTriggerBacklog::Share::operator=(Share&& other) noexcept
{
    if (this != &other) {
        release();
        m_backlog = std::move(other.m_backlog);
        m_characters = std::exchange(other.m_characters, 0);
        m_scripts = std::exchange(other.m_scripts, 0);
    }
    return *this;
}

void MUDTriggerBacklog::Share::releaseCharacters(qsizetype characters)
{
    characters = std::min(characters, m_characters);
    if (characters <= 0 || !m_backlog)
        return;
    m_characters -= characters;
    m_backlog->add(-characters, 0);
}

void MUDTriggerBacklog::Share::releaseScripts(qsizetype scripts)
{
    scripts = std::min(scripts, m_scripts);
    if (scripts <= 0 || !m_backlog)
        return;
    m_scripts -= scripts;
    m_backlog->add(0, -scripts);
}

MUDTriggerBacklog::Share MUDTriggerBacklog::hold(qsizetype characters, qsizetype scripts)
{
    return Share(shared_from_this(), characters, scripts);
}

void MUDTriggerBacklog::add(qsizetype characters, qsizetype scripts)
{
    std::lock_guard lock(m_mutex);
    m_characters += characters;
    m_scripts += scripts;
    if (!isFullLocked())
        m_drained.notify_all();
}

bool MUDTriggerBacklog::isFull() const
{
    std::lock_guard lock(m_mutex);
    return isFullLocked();
}

void MUDTriggerBacklog::waitWhileFull(int milliseconds) const
{
    std::unique_lock lock(m_mutex);
    m_drained.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return !isFullLocked(); });
}

qsizetype MUDTriggerBacklog::characters() const
{
    std::lock_guard lock(m_mutex);
    return m_characters;
}

qsizetype MUDTriggerBacklog::scripts() const
{
    std::lock_guard lock(m_mutex);
    return m_scripts;
}
