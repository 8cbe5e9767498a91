#pragma once

#include <QtGlobal>

// A loopback listener whose accept queue is full and never drained: a new
// connect to it hangs until the prober's time-out, which keeps a probe busy
// for a known time without any traffic leaving the machine. Destroying it
// closes the port, so a connect still waiting is refused soon after.
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    quint16 port() const { return m_port; }

private:
    int m_listenFd = -1;
    int m_fillers[3] = {-1, -1, -1};
    quint16 m_port = 0;
};
