// Viewers joining a long shared session: a session holds a long output of
// coloured game lines and shares itself; hundreds of viewers connect at
// once while the server keeps adding a line every 5 ms. Prints:
//   - how many viewers were admitted and how many were told the session is
//     full (and how soon they were told),
//   - when the admitted viewers had their initial buffer (first and last),
//   - main-thread stall while they joined, from a 1 ms timer: the longest
//     hold between two ticks, the longest gap and the p99 lateness of ticks,
//   - peak resident memory,
//   - whether the first viewer's documents rebuild the session's output
//     exactly (no line lost or doubled around the join).
// (The hold is the main thread's own processor time between two ticks, which
// a machine busy with other work does not inflate; the wall-clock figures
// include the time the thread waited for a core.)
// Usage: bench_proxy_join [lines, default 1000000] [viewers, default 300]
#include <QGuiApplication>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include "BenchSession.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionProxyBridge.h"
#include "core/CVAttributedString.h"
#include "core/CVCkoGzip.h"
#include "core/CVSocket.h"
#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyFrameDecoder.h"
#include "engine/connection/MUDProxyServer.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDTextAttributes.h"

namespace {

using Clock = BenchClock;
// Away from the ports of the other proxy benches.
constexpr quint16 kFirstPort = 5750;
constexpr int kDefaultLines = 1000000;
constexpr int kDefaultViewers = 300;
// The server adds a line this often while the viewers join.
constexpr int kLiveLineIntervalMs = 5;
constexpr int kTimeLimitSeconds = 300;
// How long the kernel retries a connection dropped from a full accept queue.
constexpr int kKernelRetrySeconds = 70;
// Payloads up to this size are read by every viewer; bigger ones (the
// initial buffer) only by the first, which checks the text.
constexpr quint32 kSmallPayload = 1024 * 1024;
const QString kEndMarker = QStringLiteral("QUARROW-JOIN-END-51c2");

QTextCharFormat detailed(const QColor& color, const QVariantMap& details)
{
    QTextCharFormat format;
    format.setForeground(color);
    if (!details.isEmpty())
        format.setProperty(MUDSectionDetailsProperty, details);
    return format;
}

// `count` lines of game text in three styles, about 50 characters each.
CVAttributedString gameLines(int first, int count)
{
    static const QTextCharFormat red = detailed(Qt::red, {{QStringLiteral("fg"), 31}});
    static const QTextCharFormat plain = detailed(Qt::lightGray, {});
    static const QTextCharFormat green =
        detailed(Qt::green, {{QStringLiteral("fg"), 32}, {QStringLiteral("flags"), 1}});
    CVAttributedString lines;
    for (int line = first; line < first + count; ++line) {
        lines.append(u"The goblin ", red);
        lines.append(QStringLiteral("hits you for %1 ").arg(line % 97), plain);
        lines.append(QStringLiteral("damage (line %1).\r\n").arg(line), green);
    }
    return lines;
}

// One viewer's reading thread. It walks the frames itself: small payloads
// are decoded, the big initial buffer only counted, except by the keeper.
struct Viewer {
    enum class State { Connecting, Waiting, Refused, Admitted, Failed };
    std::atomic<State> state{State::Connecting};
    std::atomic<bool> sawMarker{false};
    Clock::time_point connected;
    Clock::time_point firstFrame;
    qint64 firstFrameBytes = 0;
    bool keepsDocuments = false;
    QStringList kept;
    QString problem;
    std::thread thread;
};

void handleDocument(Viewer& viewer, const QString& document, bool first)
{
    // An admitted viewer's first document is its initial buffer; a refused
    // one is told so in a "messages" document.
    if (first && document.startsWith(QLatin1String("{\"action\":\"messages\"")))
        viewer.state = Viewer::State::Refused;
    if (document.contains(kEndMarker))
        viewer.sawMarker = true;
    if (viewer.keepsDocuments)
        viewer.kept.append(document);
}

void readViewer(Viewer& viewer, quint16 port, const std::atomic<bool>& stopping)
{
    CVSocket socket;
    if (!socket.connect(QStringLiteral("127.0.0.1"), port, 5000)) {
        viewer.problem = QStringLiteral("could not connect: %1").arg(socket.lastErrorText());
        viewer.state = Viewer::State::Failed;
        return;
    }
    viewer.connected = Clock::now();
    viewer.state = Viewer::State::Waiting;
    socket.setMaxReadIdleMs(50);
    MUDProxyFrameDecoder keeperDecoder(1u << 30);
    QByteArray pending;
    qint64 skipping = 0;
    qint64 frames = 0;
    // Long enough for the join and the last line after it.
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2 * kTimeLimitSeconds);
    while (!stopping && !viewer.sawMarker && Clock::now() < deadline) {
        const QByteArray bytes = socket.receiveBytes();
        if (bytes.isEmpty()) {
            if (!socket.isConnected())
                break;
            continue;
        }
        if (viewer.keepsDocuments) {
            if (frames == 0)
                viewer.firstFrame = Clock::now();
            keeperDecoder.append(bytes);
            for (const QString& document : keeperDecoder.takeDocuments())
                handleDocument(viewer, document, frames++ == 0);
            if (frames > 0 && viewer.state == Viewer::State::Waiting)
                viewer.state = Viewer::State::Admitted;
            if (keeperDecoder.hasFailed()) {
                viewer.problem = keeperDecoder.takeErrors().join(QLatin1String("; "));
                break;
            }
            continue;
        }
        pending += bytes;
        for (;;) {
            if (skipping > 0) {
                const qint64 take = std::min<qint64>(skipping, pending.size());
                pending.remove(0, take);
                skipping -= take;
                if (skipping > 0)
                    break;
            }
            if (pending.size() < MUDProxyFrame::HeaderSize)
                break;
            const quint16 flag = qFromLittleEndian<quint16>(pending.constData());
            const quint32 length = qFromLittleEndian<quint32>(pending.constData() + 2);
            const bool first = frames++ == 0;
            if (first) {
                viewer.firstFrame = Clock::now();
                viewer.firstFrameBytes = length;
            }
            if (length > kSmallPayload) {
                pending.remove(0, MUDProxyFrame::HeaderSize);
                skipping = length;
            } else {
                if (pending.size() < MUDProxyFrame::HeaderSize + qsizetype(length)) {
                    --frames;
                    break;
                }
                const QByteArray payload = pending.mid(MUDProxyFrame::HeaderSize, length);
                pending.remove(0, MUDProxyFrame::HeaderSize + length);
                handleDocument(
                    viewer, QString::fromUtf8(flag == MUDProxyFrame::GzipFlag ? CVCkoGzip::gunzip(payload) : payload),
                    first);
            }
            if (viewer.state == Viewer::State::Waiting)
                viewer.state = Viewer::State::Admitted;
        }
    }
    if (viewer.state == Viewer::State::Waiting || viewer.state == Viewer::State::Connecting)
        viewer.problem = QStringLiteral("nothing received");
    socket.close();
}

// Processor time of the calling thread: what it used, not what it waited.
double threadProcessorMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int lineCount = argc > 1 ? std::max(1, atoi(argv[1])) : kDefaultLines;
    const int viewerCount = argc > 2 ? std::clamp(atoi(argv[2]), 1, 1000) : kDefaultViewers;
    BenchDataFolder dataFolder;

    NullDesktopIntegration desktop;
    MUDDocument document(&desktop);
    const Clock::time_point fillStart = Clock::now();
    for (int first = 0; first < lineCount; first += 1000)
        document.appendAttributedString(gameLines(first, std::min(1000, lineCount - first)));
    std::printf("output: %d lines, %lld characters, filled in %.1f s; peak memory %.0f MB\n", lineCount,
                static_cast<long long>(document.output().length()),
                std::chrono::duration<double>(Clock::now() - fillStart).count(), peakMegabytes());

    document.proxyBridge().setPortRange(kFirstPort, MUDProxyServer::LastPort);
    document.startSharing();
    if (!spinUntil([&] { return document.proxyBridge().port() != 0; }, 10)) {
        std::fprintf(stderr, "the session did not start sharing\n");
        return 1;
    }
    const quint16 port = document.proxyBridge().port();

    // Main-thread latency: the gaps between the ticks of a 1 ms timer.
    std::vector<double> lateness;
    double longestGap = 0;
    double longestBusy = 0;
    double lastBusy = threadProcessorMs();
    Clock::time_point lastTick = Clock::now();
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        const double gap = milliseconds(now - lastTick);
        longestGap = std::max(longestGap, gap);
        lateness.push_back(std::max(0.0, gap - 1.0));
        lastTick = now;
        const double busy = threadProcessorMs();
        longestBusy = std::max(longestBusy, busy - lastBusy);
        lastBusy = busy;
    });
    int liveLines = 0;
    QTimer liveServer;
    QObject::connect(&liveServer, &QTimer::timeout,
                     [&] { document.appendAttributedString(gameLines(lineCount + liveLines++, 1)); });

    std::atomic<bool> stopping{false};
    std::vector<Viewer> viewers(static_cast<size_t>(viewerCount));
    viewers[0].keepsDocuments = true;
    const Clock::time_point start = Clock::now();
    lastTick = start;
    lastBusy = threadProcessorMs();
    probe.start();
    liveServer.start(kLiveLineIntervalMs);
    // The first viewer, which checks the text, comes first and is admitted.
    viewers[0].thread = std::thread(readViewer, std::ref(viewers[0]), port, std::cref(stopping));
    spinUntil([&] { return viewers[0].state != Viewer::State::Connecting; }, 10);
    const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(100);
    spinUntil([&] { return Clock::now() > settle; }, 10);
    for (size_t i = 1; i < viewers.size(); ++i)
        viewers[i].thread = std::thread(readViewer, std::ref(viewers[i]), port, std::cref(stopping));
    const auto resolved = [](const Viewer& v) {
        return v.state == Viewer::State::Refused || v.state == Viewer::State::Admitted ||
               v.state == Viewer::State::Failed;
    };
    // A burst of connects overflows the listening socket's queue of 25: the
    // kernel retries the dropped ones for about a minute and may give some up
    // (such a viewer waits for ever unless it sends). The join ends when every
    // viewer is answered, or a while after the last admitted one has its buffer.
    Clock::time_point allBuffered;
    const bool allResolved = spinUntil(
        [&] {
            if (std::all_of(viewers.begin(), viewers.end(), resolved))
                return true;
            const auto admitted = std::count_if(viewers.begin(), viewers.end(),
                                                [](const Viewer& v) { return v.state == Viewer::State::Admitted; });
            if (admitted < std::min(viewerCount, MUDProxyServer::MaxViewers))
                return false;
            if (allBuffered == Clock::time_point())
                allBuffered = Clock::now();
            return Clock::now() - allBuffered > std::chrono::seconds(kKernelRetrySeconds);
        },
        kTimeLimitSeconds);
    const Clock::time_point joined = Clock::now();
    probe.stop();

    // A last line after the join: the admitted viewers all get it.
    liveServer.stop();
    document.appendAttributedString(CVAttributedString(kEndMarker + QStringLiteral("\r\n")));
    const bool allSaw = spinUntil(
        [&] {
            return std::all_of(viewers.begin(), viewers.end(),
                               [](const Viewer& v) { return v.state != Viewer::State::Admitted || v.sawMarker; });
        },
        kTimeLimitSeconds);
    stopping = true;
    for (Viewer& viewer : viewers)
        viewer.thread.join();

    int admitted = 0;
    int refused = 0;
    int failed = 0;
    int unanswered = 0;
    std::vector<double> refusedAfter;
    std::vector<double> bufferAfter;
    for (const Viewer& viewer : viewers) {
        if (viewer.state == Viewer::State::Admitted) {
            ++admitted;
            bufferAfter.push_back(milliseconds(viewer.firstFrame - start));
        } else if (viewer.state == Viewer::State::Refused) {
            ++refused;
            refusedAfter.push_back(milliseconds(viewer.firstFrame - viewer.connected));
        } else if (viewer.state == Viewer::State::Failed) {
            ++failed;
            std::printf("viewer failed: %s\n", viewer.problem.toLocal8Bit().constData());
        } else {
            ++unanswered;
        }
    }
    std::printf("%d viewers: %d admitted, %d told the session is full (median %.1f ms, max %.1f ms after "
                "connecting), %d not answered (lost in the kernel's accept queue), %d failed%s\n",
                viewerCount, admitted, refused, percentile(refusedAfter, 0.5), percentile(refusedAfter, 1.0),
                unanswered, failed, allResolved ? "" : " [time limit hit]");
    std::printf("initial buffer (%.1f MB compressed) reached the admitted viewers %.2f s to %.2f s after they "
                "connected; %d lines arrived meanwhile\n",
                double(viewers[0].firstFrameBytes ? viewers[0].firstFrameBytes : viewers[1].firstFrameBytes) /
                    1048576.0,
                percentile(bufferAfter, 0.0) / 1000.0, percentile(bufferAfter, 1.0) / 1000.0, liveLines);
    std::printf("main thread while joining (%.2f s): longest hold %.1f ms of its own processor time between two "
                "ticks; longest wall-clock stall %.1f ms, tick lateness p50 %.2f ms, p99 %.2f ms over %zu ticks\n",
                std::chrono::duration<double>(joined - start).count(), longestBusy, longestGap - 1.0,
                percentile(lateness, 0.5), percentile(lateness, 0.99), lateness.size());
    std::printf("peak memory %.0f MB\n", peakMegabytes());

    const QString rebuilt = proxyRebuiltOutput(viewers[0].kept);
    const QString output = document.output().text({0, document.output().length()});
    std::printf("every admitted viewer saw the last line: %s; viewer 0 rebuilds the output: %s\n",
                allSaw ? "yes" : "NO",
                rebuilt == output ? "exactly"
                                  : QStringLiteral("NO (%1 of %2 characters)")
                                        .arg(rebuilt.size())
                                        .arg(output.size())
                                        .toLocal8Bit()
                                        .constData());
    document.close();
    return admitted == std::min(viewerCount, MUDProxyServer::MaxViewers) && failed == 0 && allSaw && rebuilt == output
               ? 0
               : 2;
}
