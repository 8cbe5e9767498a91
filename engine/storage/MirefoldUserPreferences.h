#pragma once

#include <atomic>

// The engine's preferences, held in memory only. Any thread.
class MirefoldUserPreferences {
public:
    static MirefoldUserPreferences& sharedInstance();

    bool showWhitespace() const { return m_showWhitespace; }
    void setShowWhitespace(bool showWhitespace) { m_showWhitespace = showWhitespace; }

private:
    MirefoldUserPreferences() = default;
    std::atomic<bool> m_showWhitespace = false;
};
