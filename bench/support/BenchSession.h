#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "tests/support/doubles/NullDesktopIntegration.h"

class MUDConnection;
class MUDDocument;
class MUDSessionWindow;

// What the benches that drive a whole session share: a desktop that does
// nothing, a stored loopback connection, time figures and a bounded wait
// on the event loop. Main thread.
using BenchClock = std::chrono::steady_clock;

double milliseconds(BenchClock::duration duration);
// The value below which `fraction` of `values` lie.
double percentile(std::vector<double> values, double fraction);
// The process's resident memory now (VmRSS) and at its peak (VmHWM), in MB;
// -1 when /proc cannot tell.
double residentMegabytes();
double peakResidentMegabytes();
// Prints the machine's load (uptime), since the machine may be shared.
void printLoad();

// CPU time spent from construction to print(): by the whole process (every
// thread) and by the constructing thread alone, so a figure shows whether
// the run was bound by one thread or by the machine's cores.
class CpuUsage {
public:
    CpuUsage();
    // Also prints the CPU time of each thread name (the program names its
    // worker threads), busiest first: which stage of a pipeline limits it.
    void print(const char* what, double wallSeconds) const;

private:
    double m_processStart;
    double m_threadStart;
    std::map<int, double> m_threadsStart;
};

// The lateness of a repeating 5 ms timer on the main thread, from
// construction to stop(): how long the event loop was held.
class LatencyProbe {
public:
    static constexpr int IntervalMs = 5;
    LatencyProbe();
    void stop() { m_timer.stop(); }
    void print(const char* what) const;
    double percentileMs(double fraction) const { return percentile(m_lateness, fraction); }

private:
    QTimer m_timer;
    std::vector<double> m_lateness;
    BenchClock::time_point m_lastFire;
};

// A fresh data folder for the run (QUARROW_DATA_DIR), removed at its end.
class BenchDataFolder {
public:
    BenchDataFolder();

private:
    QTemporaryDir m_folder;
};

// Stores a connection "Flood" to 127.0.0.1:`port` in the data folder and
// returns it as loaded back (null, said on standard error, when storing failed).
std::shared_ptr<MUDConnection> storedConnection(quint16 port, bool negotiatesTelnetOptions = false);
// Stores `count` triggers as a player might keep them: two match every
// flood line, the rest (plain text and expressions) never do.
void storeTriggers(const MUDConnection& connection, int count);

// Shows `window` at 1000 x 700, opens `connection` in it and waits until
// the session is connected and `serverHasClient` says so (said on standard
// error when it does not happen within 10 s).
bool showAndConnect(MUDSessionWindow& window, const std::shared_ptr<MUDConnection>& connection,
                    const std::function<bool()>& serverHasClient);

// The output text a proxy viewer's documents rebuild: the initial buffer,
// then every appended run; "messages" documents carry no output.
QString proxyRebuiltOutput(const QStringList& documents);

// Spins the event loop until the document's output has not grown for
// `quiet` (what was in flight is drained) or the time limit; returns when
// it last grew.
BenchClock::time_point waitUntilOutputSettles(const MUDDocument& document, std::chrono::milliseconds quiet,
                                              int limitSeconds);

// Spins the event loop until `done` or the time limit; false on time-out.
// Between events it sleeps (a 1 ms timer bounds each wait) rather than
// polling: a polling main thread would take a whole core from the threads
// a bench measures, as the program itself never does.
template<typename Done> bool spinUntil(Done done, int limitSeconds)
{
    const BenchClock::time_point deadline = BenchClock::now() + std::chrono::seconds(limitSeconds);
    QTimer wake;
    wake.start(1);
    while (!done()) {
        if (BenchClock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
