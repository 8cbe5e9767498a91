// A visible session window under load. A loopback server floods coloured
// game text through a MUDSessionWindow with 100 triggers loaded, then the
// output is grown to a million lines. Prints:
//   - flood throughput in MB/s of server bytes (goal: 20 MB/s),
//   - main-thread event-loop latency p50/p99 while flooding: the lateness of
//     a repeating 5 ms timer (goal: p99 < 50 ms),
//   - whether scrolling up during the flood holds the view still (first
//     visible line before and after more output arrived),
//   - one long line without a line feed (20 MB by default): the time until
//     all of it arrived (goal < 5 s), the event-loop latency meanwhile
//     (goal p99 < 50 ms) and the repaint while scrolling within the line
//     (goal < 16 ms),
//   - with 1,000,000 lines held: resident memory (goal < 400 MB), the repaint
//     after jumping to random places (goal < 16 ms) and the re-wrap and
//     repaint after a resize (goal < 100 ms),
//   - the machine's load (uptime), since the machine may be shared.
// Meant to run with the window shown on an X server (xvfb-run -a); without
// a display it falls back to the offscreen platform and says so.
// Usage: bench_session_window [megabytes to flood, default 50]
//                             [megabytes of the long line, default 20] [lines held, default 1,000,000]
// A phase given 0 is left out.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <random>
#include <vector>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "app/session/MUDDesktopIntegration.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "app/views/MUDAccessibleFactory.h"
#include "app/views/MUDAppearance.h"
#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"

namespace {

using Clock = BenchClock;
constexpr int kTimeLimitSeconds = 180;
constexpr int kRandomJumps = 50;
constexpr int kWheelTurns = 50;
constexpr int kResizes = 10;

// Coloured game lines straight into the output model (the socket path was
// measured by the flood): 16-colour runs with a bold one now and then.
void appendGameLines(MUDOutputModel& model, qsizetype count, const QFont& font)
{
    static const char* const words[] = {"the",   "goblin", "hits",  "you", "with",  "a",   "rusty", "sword", "north",
                                        "exits", "gold",   "coins", "lie", "here.", "You", "say,",  "hello"};
    MUDStringColoring coloring;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> wordIndex(0, int(std::size(words)) - 1);
    std::uniform_int_distribution<int> colour(31, 37);
    for (qsizetype line = 0; line < count; ++line) {
        MUDStyledText text;
        for (int run = 0; run < 3; ++run) {
            coloring.prepareANSI(
                "\x1b[" + QByteArray(line % 11 == 0 ? "1;" : "") + QByteArray::number(colour(random)) + "m", font);
            QString part;
            for (int w = 0; w < 4; ++w)
                part += QString::fromLatin1(words[wordIndex(random)]) + u' ';
            coloring.appendColoredText(text, run == 2 ? part + QStringLiteral("\r\n") : part, font);
        }
        model.append(text);
    }
}

// CPU seconds of the calling thread, or of the whole process.
double cpuSeconds(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

qsizetype firstVisibleLine(MUDDisplayTextView* view)
{
    const auto& lines = view->visibleLines();
    return lines.empty() ? -1 : lines.front().line;
}

// A user's wheel turn upwards over the output.
void wheelUp(MUDDisplayScrollView* scrollView, int notches)
{
    QWidget* viewport = scrollView->viewport();
    const QPointF centre(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent event(centre, viewport->mapToGlobal(centre), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

// Times a repaint of the output after each of `count` moves.
template<typename Move> std::vector<double> timeRepaints(MUDDisplayTextView* view, int count, Move move)
{
    std::vector<double> repaints;
    for (int i = 0; i < count; ++i) {
        move();
        const Clock::time_point start = Clock::now();
        view->repaint();
        repaints.push_back(milliseconds(Clock::now() - start));
    }
    return repaints;
}

void printRepaints(const char* what, const std::vector<double>& repaints)
{
    std::printf("repaint after %s: median %.2f ms, p99 %.2f ms, max %.2f ms over %zu (goal < 16)\n", what,
                percentile(repaints, 0.5), percentile(repaints, 0.99), percentile(repaints, 1.0), repaints.size());
}

// Floods through the window; prints throughput, latency and the scroll hold.
bool measureFlood(MUDSessionWindow& window, LoopbackServer& server, qint64 floodBytes)
{
    MUDDocument& document = window.document();
    MUDDisplayScrollView* scrollView = window.outputView();

    const qsizetype startLength = document.output().length();
    const double mainCpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processCpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    LatencyProbe probe;
    server.startFlood();

    // A third of the way in, the user scrolls up; the view must hold still
    // while the rest of the flood arrives.
    bool flooded =
        spinUntil([&] { return document.output().length() - startLength >= floodBytes / 4; }, kTimeLimitSeconds);
    wheelUp(scrollView, 5);
    QCoreApplication::processEvents();
    const qsizetype heldBefore = firstVisibleLine(scrollView->textView());
    const qsizetype linesBefore = document.output().lineCount();
    flooded = flooded && spinUntil([&] { return server.floodBytesSent() >= floodBytes; }, kTimeLimitSeconds);
    server.stopFlood();

    const Clock::time_point lastGrowth =
        waitUntilOutputSettles(document, std::chrono::milliseconds(300), kTimeLimitSeconds);
    probe.stop();
    const double mainCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainCpuStart;
    const double processCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart;
    QCoreApplication::processEvents();
    const qsizetype heldAfter = firstVisibleLine(scrollView->textView());

    const double seconds = std::chrono::duration<double>(lastGrowth - start).count();
    const double megabytes = double(server.floodBytesSent()) / (1024.0 * 1024.0);
    std::printf("flood: %.1f MB in %.2f s = %.1f MB/s (goal 20)%s; output %lld characters, %lld lines\n", megabytes,
                seconds, megabytes / seconds, flooded ? "" : " [time limit hit]",
                static_cast<long long>(document.output().length() - startLength),
                static_cast<long long>(document.output().lineCount()));
    // On a shared machine the wall-clock rate is bounded by the CPU the process gets.
    std::printf("flood CPU: main thread %.2f s (%.1f MB per main-thread CPU second), whole process %.2f s "
                "(idle time included in the rate above)\n",
                mainCpu, megabytes / mainCpu, processCpu);
    std::printf("resident memory after the flood: %.0f MB\n", residentMegabytes());
    probe.print("while flooding");
    const bool held = heldBefore == heldAfter && heldBefore >= 0 && document.output().lineCount() > linesBefore;
    std::printf("scrolled up during the flood: first visible line %lld before, %lld after %lld more lines: %s\n",
                static_cast<long long>(heldBefore), static_cast<long long>(heldAfter),
                static_cast<long long>(document.output().lineCount() - linesBefore), held ? "held" : "MOVED");
    return flooded;
}

// Words in a few colours with no line feed at all, as a server caught in an
// endless line (or an unterminated string the decoder gives up on) sends
// them; `characters` gets the number of characters they show.
QByteArray longLineBytes(qint64 bytes, qsizetype& characters)
{
    static const char* const words[] = {"the",   "goblin", "hits",  "you", "with",  "a",   "rusty", "sword", "north",
                                        "exits", "gold",   "coins", "lie", "here.", "You", "say,",  "hello"};
    std::mt19937 random(5);
    std::uniform_int_distribution<int> wordIndex(0, int(std::size(words)) - 1);
    std::uniform_int_distribution<int> colour(31, 37);
    QByteArray line;
    line.reserve(bytes + 64);
    characters = 0;
    for (int word = 0; line.size() < bytes; ++word) {
        if (word % 40 == 0)
            line += "\x1b[" + QByteArray::number(colour(random)) + 'm';
        const QByteArray text = QByteArray(words[wordIndex(random)]) + ' ';
        line += text;
        characters += text.size();
    }
    return line;
}

// One line without a line feed through the window while it follows the
// end: arrival time and latency, then repaints while scrolling within it.
void measureLongLine(MUDSessionWindow& window, LoopbackServer& server, qint64 lineBytes)
{
    MUDOutputModel& output = window.document().output();
    MUDDisplayScrollView* scrollView = window.outputView();
    MUDDisplayTextView* view = scrollView->textView();
    scrollView->scrollToBottom(true);
    qsizetype characters = 0;
    const QByteArray line = longLineBytes(lineBytes, characters);
    const qsizetype start = output.length();

    const Clock::time_point begin = Clock::now();
    LatencyProbe probe;
    server.send(line);
    const bool arrived = spinUntil([&] { return output.length() - start >= characters; }, kTimeLimitSeconds);
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    probe.stop();
    std::printf("long line: %.1f MB without a line feed, %.1f MB shown in %.2f s (goal < 5)%s; output %lld lines\n",
                double(line.size()) / (1024.0 * 1024.0), double(output.length() - start) / (1024.0 * 1024.0), seconds,
                arrived ? "" : " [time limit hit]", static_cast<long long>(output.lineCount()));
    probe.print("while the long line arrived");
    if (!arrived)
        return;

    // Scrolling within the line: jumps to random places in it and wheel turns upwards from its middle.
    const MUDDisplayLayoutManager& layout = view->layoutManager();
    const int first = int(layout.displayLineForOffset(start));
    const int last = int(layout.displayLineForOffset(output.length() - 1));
    QScrollBar* bar = scrollView->verticalScrollBar();
    std::printf("the line shows as %d display lines\n", last - first + 1);
    std::mt19937 random(13);
    std::uniform_int_distribution<int> place(std::max(first, bar->minimum()), last);
    printRepaints("jumping to a random place in the line",
                  timeRepaints(view, kRandomJumps, [&] { bar->setValue(place(random)); }));
    bar->setValue((first + last) / 2);
    printRepaints("a wheel turn upwards within the line",
                  timeRepaints(view, kWheelTurns, [&] { wheelUp(scrollView, 1); }));
    scrollView->scrollToBottom(true);
}

// With a million lines: memory, repaints at random places, re-wrap on resize.
void measureHeldOutput(MUDSessionWindow& window, qsizetype heldLines)
{
    MUDDocument& document = window.document();
    MUDDisplayScrollView* scrollView = window.outputView();
    MUDDisplayTextView* view = scrollView->textView();
    const qsizetype missing = heldLines - document.output().lineCount();
    if (missing > 0)
        appendGameLines(document.output(), missing, view->font());
    QCoreApplication::processEvents();
    qsizetype runs = 0, styleRuns = 0;
    document.output().enumerateAttributes({0, document.output().length()},
                                          [&](const QTextCharFormat&, CVRange, bool&) { ++runs; });
    document.output().enumerateStyleRuns({0, document.output().length()},
                                         [&](const QTextCharFormat&, const QTextCharFormat&, CVRange) { ++styleRuns; });
    const struct mallinfo2 heap = mallinfo2();
    std::printf("held: %lld lines, %lld characters, %lld runs as read (white space apart from words) kept as %lld "
                "style runs, %lld distinct formats; resident memory %.0f MB (goal < 400), heap in use %.0f MB\n",
                static_cast<long long>(document.output().lineCount()),
                static_cast<long long>(document.output().length()), static_cast<long long>(runs),
                static_cast<long long>(styleRuns), static_cast<long long>(document.output().formatCount()),
                residentMegabytes(), double(heap.uordblks + heap.hblkhd) / (1024.0 * 1024.0));

    QScrollBar* bar = scrollView->verticalScrollBar();
    std::mt19937 random(11);
    std::uniform_int_distribution<int> place(bar->minimum(), bar->maximum());
    std::printf("scroll bar range %d\n", bar->maximum());
    printRepaints("jumping to a random place", timeRepaints(view, kRandomJumps, [&] { bar->setValue(place(random)); }));

    std::vector<double> rewraps;
    const QSize original = window.size();
    for (int i = 0; i < kResizes; ++i) {
        const QSize size = i % 2 == 0 ? QSize(original.width() - 300, original.height()) : original;
        const Clock::time_point start = Clock::now();
        window.resize(size);
        QCoreApplication::sendPostedEvents();
        window.repaint();
        rewraps.push_back(milliseconds(Clock::now() - start));
        QCoreApplication::processEvents();
    }
    std::printf("resize, re-wrap and repaint of the window: median %.2f ms, max %.2f ms over %d resizes "
                "(goal < 100); view %d px wide\n",
                percentile(rewraps, 0.5), percentile(rewraps, 1.0), kResizes, view->width());
    std::printf("resident memory after scrolling: %.0f MB", residentMegabytes());
    malloc_trim(0);
    std::printf(", after returning freed heap to the system (malloc_trim): %.0f MB\n", residentMegabytes());
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // As the application does: with a screen reader listening, the output speaks through its own interface.
    MUDAccessibleFactory::install();
    MUDAppearance::applyDarkAppearance(app);
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    printLoad();
    const qint64 floodBytes = qint64(argc > 1 ? std::max(0, atoi(argv[1])) : 50) * 1024 * 1024;
    const qint64 longLineBytes = qint64(argc > 2 ? std::max(0, atoi(argv[2])) : 20) * 1024 * 1024;
    const qsizetype heldLines = argc > 3 ? std::max(0, atoi(argv[3])) : 1'000'000;
    BenchDataFolder dataFolder;

    LoopbackServer server;
    std::shared_ptr<MUDConnection> connection = storedConnection(server.port());
    if (!connection)
        return 1;
    storeTriggers(*connection, 100);
    NullDesktopIntegration desktop;
    MUDSessionWindow window(&desktop);
    window.resize(1000, 700);
    window.show();
    if (!spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10))
        std::printf("the window was not exposed\n");
    std::printf("resident memory with the window shown: %.0f MB\n", residentMegabytes());
    window.openConnection(connection);
    if (!spinUntil([&] { return window.document().isConnected() && server.hasClient(); }, 10)) {
        std::fprintf(stderr, "could not connect to the loopback server\n");
        return 1;
    }

    if (floodBytes > 0)
        measureFlood(window, server, floodBytes);
    if (longLineBytes > 0)
        measureLongLine(window, server, longLineBytes);
    if (heldLines > 0)
        measureHeldOutput(window, heldLines);
    printLoad();
    window.document().close();
    return 0;
}
