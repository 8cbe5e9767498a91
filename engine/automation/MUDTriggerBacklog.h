#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <memory>
#include <mutex>

// How much of a session's output waits for trigger matching, and how many
// matched scripts wait to run, when triggers look at every line. The
// receiving side asks it to wait while either is over its limit, so a flood
// that outruns the triggers is slowed down (TCP then slows the server)
// instead of piling up text and scripts without bound.
//
// Work is counted through Shares: a share holds its count until it is
// released or destroyed, so work dropped with a discarded queue gives its
// count back too.
//
// Threads: any; one mutex guards the counts.
class MUDTriggerBacklog : public std::enable_shared_from_this<MUDTriggerBacklog> {
public:
    static constexpr qsizetype MaxCharacters = 256 * 1024;
    static constexpr qsizetype MaxScripts = 2000;

    class Share {
    public:
        Share() = default;
        Share(std::shared_ptr<MUDTriggerBacklog> backlog, qsizetype characters, qsizetype scripts);
        ~Share();
        Share(Share&& other) noexcept;
        Share& operator=(Share&& other) noexcept;
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

        // Gives back what this share still holds.
        void release() { releaseCharacters(m_characters), releaseScripts(m_scripts); }
        void releaseCharacters(qsizetype characters);
        void releaseScripts(qsizetype scripts);

    private:
        std::shared_ptr<MUDTriggerBacklog> m_backlog;
        qsizetype m_characters = 0;
        qsizetype m_scripts = 0;
    };

    // Counts `characters` waiting for matching and `scripts` waiting to run
    // until the share lets them go.
    Share hold(qsizetype characters, qsizetype scripts);

    bool isFull() const;
    // Returns once the backlog is below its limits, or after `milliseconds`:
    // a script that waits for server text must never be starved of it.
    void waitWhileFull(int milliseconds) const;

    qsizetype characters() const;
    qsizetype scripts() const;

private:
    void add(qsizetype characters, qsizetype scripts);
    bool isFullLocked() const { return m_characters > MaxCharacters || m_scripts > MaxScripts; }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_drained;
    qsizetype m_characters = 0;
    qsizetype m_scripts = 0;
};
