// A shared session under a flood: a session shares itself on a local port,
// 10 viewers attach, and a loopback server floods the session with coloured
// game text, followed by an end marker line. Each viewer reads the framed
// stream on its own thread. Prints:
//   - documents/s and MB/s (on the wire and decoded) per viewer and in total,
//   - how many frames arrived gzip-compressed,
//   - when the last viewer saw the end marker (from the flood's start and
//     from the marker's sending),
//   - main-thread latency p50/p99 while flooding: the lateness of a repeating
//     5 ms timer,
//   - whether the first viewer's documents rebuild the session's output
//     exactly and whether every viewer got the same number of documents.
// Usage: bench_proxy_viewers [megabytes to flood, default 10] [viewers, default 10]
// (0 viewers: the same flood with sharing on but nobody watching, for comparison)
#include <QGuiApplication>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "core/CVSocket.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyFrameDecoder.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/storage/MUDPreservation.h"

namespace {

using Clock = BenchClock;
constexpr int kDefaultViewers = 10;
constexpr int kTimerIntervalMs = 5;
constexpr int kTimeLimitSeconds = 180;
constexpr int kViewerReadWaitMs = 50;
constexpr quint16 kFirstPort = 5700;
const QByteArray kEndMarker = "QUARROW-FLOOD-END-7f3a";

// Walks the frame headers of a byte stream, whatever the chunking, to count
// the frames and how many carry the gzip flag.
class FrameTally {
public:
    void feed(const QByteArray& bytes)
    {
        const char* data = bytes.constData();
        qsizetype left = bytes.size();
        while (left > 0) {
            if (m_payloadLeft > 0) {
                const qsizetype take = std::min<qsizetype>(left, m_payloadLeft);
                m_payloadLeft -= take;
                data += take;
                left -= take;
                continue;
            }
            m_header[m_headerFill++] = *data++;
            --left;
            if (m_headerFill < MUDProxyFrame::HeaderSize)
                continue;
            m_headerFill = 0;
            ++m_frames;
            if (qFromLittleEndian<quint16>(m_header) == MUDProxyFrame::GzipFlag)
                ++m_compressed;
            m_payloadLeft = qFromLittleEndian<quint32>(m_header + 2);
        }
    }
    qint64 frames() const { return m_frames; }
    qint64 compressed() const { return m_compressed; }

private:
    char m_header[MUDProxyFrame::HeaderSize] = {};
    int m_headerFill = 0;
    qint64 m_payloadLeft = 0;
    qint64 m_frames = 0;
    qint64 m_compressed = 0;
};

// One viewer's reading thread and what it counted. Counters are read by the
// main thread while the viewer runs; the rest only after join().
struct Viewer {
    std::atomic<qint64> documents{0};
    std::atomic<qint64> wireBytes{0};
    std::atomic<qint64> decodedUnits{0};
    std::atomic<bool> sawMarker{false};
    Clock::time_point markerSeen;
    qint64 compressed = 0;
    qint64 frames = 0;
    QString problem;
    bool keepsDocuments = false;
    QStringList kept;
    std::thread thread;
};

void readViewer(Viewer& viewer, quint16 port, const std::atomic<bool>& stopping)
{
    CVSocket socket;
    if (!socket.connect(QStringLiteral("127.0.0.1"), port, 2000)) {
        viewer.problem = QStringLiteral("could not connect: %1").arg(socket.lastErrorText());
        return;
    }
    socket.setMaxReadIdleMs(kViewerReadWaitMs);
    MUDProxyFrameDecoder decoder;
    FrameTally tally;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(kTimeLimitSeconds);
    while (!viewer.sawMarker && !stopping && Clock::now() < deadline) {
        const QByteArray bytes = socket.receiveBytes();
        if (!socket.isConnected()) {
            viewer.problem = QStringLiteral("the server closed the connection");
            break;
        }
        tally.feed(bytes);
        decoder.append(bytes);
        viewer.wireBytes += bytes.size();
        for (const QString& document : decoder.takeDocuments()) {
            viewer.decodedUnits += document.size();
            if (!viewer.sawMarker && document.contains(QLatin1String(kEndMarker))) {
                viewer.markerSeen = Clock::now();
                viewer.sawMarker = true;
            }
            if (viewer.keepsDocuments)
                viewer.kept.append(document);
            ++viewer.documents;
        }
        if (decoder.hasFailed()) {
            viewer.problem = QStringLiteral("framing lost: %1").arg(decoder.takeErrors().join(QLatin1String("; ")));
            break;
        }
    }
    if (!viewer.sawMarker && viewer.problem.isEmpty())
        viewer.problem = QStringLiteral("no end marker before the time limit");
    viewer.frames = tally.frames();
    viewer.compressed = tally.compressed();
    socket.close();
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 floodBytes = qint64(argc > 1 ? std::max(1, atoi(argv[1])) : 10) * 1024 * 1024;
    const int viewerCount = argc > 2 ? std::clamp(atoi(argv[2]), 0, 100) : kDefaultViewers;
    BenchDataFolder dataFolder;

    LoopbackServer server;
    std::shared_ptr<MUDConnection> connection = storedConnection(server.port());
    if (!connection)
        return 1;
    NullDesktopIntegration desktop;
    MUDDocument document(&desktop);
    document.setConnection(connection);
    document.connectToServer();
    if (!spinUntil([&] { return document.isConnected() && server.hasClient(); }, 10)) {
        std::fprintf(stderr, "could not connect to the loopback server\n");
        return 1;
    }
    document.proxyBridge().setPortRange(kFirstPort, MUDProxyServer::LastPort);
    document.startSharing();
    if (!spinUntil([&] { return document.proxyBridge().port() != 0; }, 10)) {
        std::fprintf(stderr, "the session did not start sharing\n");
        return 1;
    }
    const quint16 port = document.proxyBridge().port();

    std::atomic<bool> stopping{false};
    std::vector<Viewer> viewers(static_cast<size_t>(viewerCount));
    if (!viewers.empty())
        viewers[0].keepsDocuments = true;
    for (Viewer& viewer : viewers)
        viewer.thread = std::thread(readViewer, std::ref(viewer), port, std::cref(stopping));
    // Each viewer has its initial buffer once it counted a document.
    const bool attached = spinUntil(
        [&] { return std::all_of(viewers.begin(), viewers.end(), [](const Viewer& v) { return v.documents > 0; }); },
        10);
    // The messages document follows the initial buffer; let it arrive before counting.
    const Clock::time_point settled = Clock::now() + std::chrono::milliseconds(300);
    spinUntil([&] { return Clock::now() > settled; }, kTimeLimitSeconds);
    std::vector<qint64> documentsBefore;
    std::vector<qint64> wireBefore;
    std::vector<qint64> decodedBefore;
    for (const Viewer& viewer : viewers) {
        documentsBefore.push_back(viewer.documents);
        wireBefore.push_back(viewer.wireBytes);
        decodedBefore.push_back(viewer.decodedUnits);
    }
    std::printf("shared on port %u; %s viewers attached (server counts %llu)\n", port, attached ? "all" : "NOT all",
                static_cast<unsigned long long>(document.proxyBridge().proxyServer()->clientCount()));

    // Main-thread latency: how late each tick of a repeating 5 ms timer is.
    std::vector<double> lateness;
    Clock::time_point lastTick;
    bool measuring = false;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(kTimerIntervalMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        if (measuring)
            lateness.push_back(std::max(0.0, milliseconds(now - lastTick) - kTimerIntervalMs));
        lastTick = now;
        measuring = true;
    });

    const Clock::time_point start = Clock::now();
    probe.start();
    server.startFlood();
    const bool flooded = spinUntil([&] { return server.floodBytesSent() >= floodBytes; }, kTimeLimitSeconds);
    server.stopFlood();
    // A line break first: the flood's last send may end within a line.
    server.send("\r\n" + kEndMarker + "\r\n");
    const Clock::time_point markerSent = Clock::now();
    // The session's own output shows the marker too: its time tells the
    // session's share of the delay from the viewers'.
    Clock::time_point sessionSaw;
    const bool allSaw = spinUntil(
        [&] {
            const MUDOutputModel& output = document.output();
            const qsizetype tail = std::min<qsizetype>(output.length(), 4 * kEndMarker.size());
            if (sessionSaw == Clock::time_point() &&
                output.text({output.length() - tail, tail}).contains(QLatin1String(kEndMarker)))
                sessionSaw = Clock::now();
            return sessionSaw != Clock::time_point() &&
                   std::all_of(viewers.begin(), viewers.end(),
                               [](const Viewer& v) { return v.sawMarker || !v.problem.isEmpty(); });
        },
        kTimeLimitSeconds);
    probe.stop();
    stopping = true;
    for (Viewer& viewer : viewers)
        viewer.thread.join();

    const double floodMegabytes = double(server.floodBytesSent()) / (1024.0 * 1024.0);
    std::printf("flood: %.1f MB from the server%s; output %lld characters\n", floodMegabytes,
                flooded ? "" : " [time limit hit]", static_cast<long long>(document.output().length()));
    qint64 totalDocuments = 0;
    qint64 totalCompressed = 0;
    qint64 totalFrames = 0;
    double totalWire = 0;
    double totalDecoded = 0;
    Clock::time_point lastMarker = std::max(start, sessionSaw);
    for (int i = 0; i < viewerCount; ++i) {
        const Viewer& viewer = viewers[size_t(i)];
        const Clock::time_point end = viewer.sawMarker ? viewer.markerSeen : Clock::now();
        lastMarker = std::max(lastMarker, end);
        const double seconds = std::chrono::duration<double>(end - start).count();
        const qint64 documents = viewer.documents - documentsBefore[size_t(i)];
        const double wire = double(viewer.wireBytes - wireBefore[size_t(i)]) / (1024.0 * 1024.0);
        // Decoded documents counted as UTF-16 code units; the flood is ASCII, so units are bytes.
        const double decoded = double(viewer.decodedUnits - decodedBefore[size_t(i)]) / (1024.0 * 1024.0);
        totalDocuments += documents;
        totalCompressed += viewer.compressed;
        totalFrames += viewer.frames;
        totalWire += wire;
        totalDecoded += decoded;
        std::printf("viewer %2d: %lld documents in %.2f s = %.0f documents/s, %.3f MB/s wire, %.2f MB/s decoded, "
                    "%lld of %lld frames compressed%s%s\n",
                    i, static_cast<long long>(documents), seconds, double(documents) / seconds, wire / seconds,
                    decoded / seconds, static_cast<long long>(viewer.compressed), static_cast<long long>(viewer.frames),
                    viewer.problem.isEmpty() ? "" : "; PROBLEM: ", viewer.problem.toLocal8Bit().constData());
    }
    const double allSeconds = std::chrono::duration<double>(lastMarker - start).count();
    std::printf("total: %lld documents = %.0f documents/s, %.3f MB/s wire, %.2f MB/s decoded; %lld of %lld frames "
                "compressed\n",
                static_cast<long long>(totalDocuments), double(totalDocuments) / allSeconds, totalWire / allSeconds,
                totalDecoded / allSeconds, static_cast<long long>(totalCompressed),
                static_cast<long long>(totalFrames));
    std::printf("the session's output showed the end marker %.2f s after the flood started, %.0f ms after it was "
                "sent\n",
                std::chrono::duration<double>(sessionSaw - start).count(), milliseconds(sessionSaw - markerSent));
    std::printf("last viewer saw the end marker %.2f s after the flood started, %.0f ms after it was sent%s\n",
                allSeconds, milliseconds(lastMarker - markerSent), allSaw ? "" : " [time limit hit]");
    std::printf("main-thread latency while flooding (5 ms timer lateness): p50 %.2f ms, p99 %.2f ms, max %.2f ms "
                "over %zu ticks\n",
                percentile(lateness, 0.50), percentile(lateness, 0.99), percentile(lateness, 1.0), lateness.size());

    if (viewers.empty()) {
        document.close();
        return allSaw ? 0 : 2;
    }
    // Lost or garbled documents show here: every viewer gets every document,
    // and the first viewer's documents rebuild the output exactly.
    const bool sameCounts = std::all_of(viewers.begin(), viewers.end(),
                                        [&](const Viewer& v) { return v.documents == viewers[0].documents; });
    const QString rebuilt = proxyRebuiltOutput(viewers[0].kept);
    const QString output = document.output().text({0, document.output().length()});
    qsizetype firstDifference = 0;
    while (firstDifference < std::min(rebuilt.size(), output.size()) &&
           rebuilt[firstDifference] == output[firstDifference])
        ++firstDifference;
    std::printf("every viewer got the same number of documents: %s; viewer 0 rebuilds the output: %s\n",
                sameCounts ? "yes" : "NO",
                rebuilt == output ? "exactly"
                                  : QStringLiteral("NO (%1 of %2 characters, first difference at %3)")
                                        .arg(rebuilt.size())
                                        .arg(output.size())
                                        .arg(firstDifference)
                                        .toLocal8Bit()
                                        .constData());
    document.close();
    return allSaw && sameCounts && rebuilt == output ? 0 : 2;
}
