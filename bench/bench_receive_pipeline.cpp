// The session's receive pipeline without a window: a loopback server floods
// coloured game text; the session's socket thread decodes it, the main
// thread styles it into the output model, and trigger passes run with 100
// triggers loaded. Prints:
//   - throughput in MB/s of server bytes (goal: 50 MB/s),
//   - main-thread latency p50/p99 while flooding, measured by a thread that
//     posts a timestamped block to the main thread every 5 ms (goal: p99 < 50 ms),
//   - the main-thread cost of one trigger pass once the output is large.
// The flood runs in alternating rounds in the same process: over plain TCP,
// then over TLS (a TLS server in this process relays the same loopback
// flood, so it also takes CPU from the client), with the median TLS
// throughput as a share of the median plain one (goal: at least 80 %).
// Usage: bench_receive_pipeline [megabytes to flood, default 32] [rounds, default 5]
#include <QGuiApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "TrustedTLSFront.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionTriggers.h"
#include "core/CVMainThread.h"
#include "engine/connection/MUDConnection.h"

namespace {

using Clock = BenchClock;
constexpr int kProbeIntervalMs = 5;
constexpr int kTimeLimitSeconds = 120;
constexpr int kTriggerPasses = 20;

// The document's main-thread cost of one trigger pass on its output, after small bursts.
void measureTriggerPasses(MUDDocument& document, LoopbackServer& server)
{
    std::vector<double> passes;
    for (int i = 0; i < kTriggerPasses; ++i) {
        const qsizetype before = document.output().length();
        server.send(QByteArray("\x1b[33mA goblin arrives from the north.\x1b[0m\r\nHP: 10/20\r\n"));
        if (!spinUntil([&] { return document.output().length() > before; }, 5))
            break;
        const Clock::time_point passStart = Clock::now();
        document.triggers().handleTriggerProcess();
        passes.push_back(milliseconds(Clock::now() - passStart));
    }
    std::printf("trigger pass on %lld characters of output: median %.3f ms, max %.3f ms over %zu passes\n",
                static_cast<long long>(document.output().length()), percentile(passes, 0.5), percentile(passes, 1.0),
                passes.size());
}

// Floods `floodBytes` through a session connected to the game server (over
// TLS when `secure`); prints the figures and returns the MB/s (0 on failure).
double floodSession(const char* label, qint64 floodBytes, bool secure, bool withTriggerPasses)
{
    // Each run has a data folder of its own, so both load the same 100 triggers.
    BenchDataFolder dataFolder;
    LoopbackServer server;
    std::unique_ptr<TrustedTLSFront> front;
    if (secure)
        front = std::make_unique<TrustedTLSFront>(server.port());
    std::shared_ptr<MUDConnection> connection = storedConnection(front ? front->server.port() : server.port());
    if (!connection)
        return 0;
    connection->setSecure(secure);
    storeTriggers(*connection, 100);
    NullDesktopIntegration desktop;
    MUDDocument document(&desktop);
    document.setConnection(connection);
    document.connectToServer();
    if (!spinUntil([&] { return document.isConnected() && server.hasClient(); }, 10)) {
        std::fprintf(stderr, "%s: could not connect to the loopback server\n", label);
        return 0;
    }
    // Main-thread latency probe.
    std::vector<double> latencies;
    std::atomic<bool> probing{true};
    std::thread probe([&] {
        while (probing) {
            const Clock::time_point posted = Clock::now();
            fc_executeOnMainThread([&latencies, posted] { latencies.push_back(milliseconds(Clock::now() - posted)); });
            std::this_thread::sleep_for(std::chrono::milliseconds(kProbeIntervalMs));
        }
    });

    const qsizetype startLength = document.output().length();
    const Clock::time_point start = Clock::now();
    server.startFlood();
    const bool flooded = spinUntil([&] { return server.floodBytesSent() >= floodBytes; }, kTimeLimitSeconds);
    server.stopFlood();
    const Clock::time_point lastGrowth =
        waitUntilOutputSettles(document, std::chrono::milliseconds(200), kTimeLimitSeconds);
    probing = false;
    probe.join();
    QCoreApplication::processEvents();
    const double seconds = std::chrono::duration<double>(lastGrowth - start).count();
    const double megabytes = double(server.floodBytesSent()) / (1024.0 * 1024.0);
    std::printf("%-5s flood: %.1f MB in %.2f s = %.1f MB/s (goal 50)%s; output %lld characters\n", label, megabytes,
                seconds, megabytes / seconds, flooded ? "" : " [time limit hit]",
                static_cast<long long>(document.output().length() - startLength));
    std::printf("%-5s main-thread latency while flooding: p50 %.2f ms, p99 %.2f ms, max %.2f ms over %zu probes "
                "(goal p99 < 50)\n",
                label, percentile(latencies, 0.50), percentile(latencies, 0.99), percentile(latencies, 1.0),
                latencies.size());

    if (withTriggerPasses)
        measureTriggerPasses(document, server);
    document.close();
    return megabytes / seconds;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 floodBytes = qint64(argc > 1 ? std::max(1, atoi(argv[1])) : 32) * 1024 * 1024;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    std::vector<double> plain;
    std::vector<double> secure;
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(floodSession("plain", floodBytes, false, round == 0));
        secure.push_back(floodSession("TLS", floodBytes, true, false));
        if (plain.back() <= 0 || secure.back() <= 0)
            return 1;
    }
    const double plainMedian = percentile(plain, 0.5);
    const double secureMedian = percentile(secure, 0.5);
    std::printf("median over %d rounds: plain %.1f MB/s, TLS %.1f MB/s; TLS flood throughput %.0f %% of plain (goal "
                "at least 80 %%)\n",
                rounds, plainMedian, secureMedian, 100.0 * secureMedian / plainMedian);
    return 0;
}
