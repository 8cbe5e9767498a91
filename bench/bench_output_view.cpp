// Paints the session output view over a long output: appends 100,000
// coloured game lines to the output model, then times painting a window of
// about 60 rows at the end (cold: no layout yet; warm: nothing changed),
// painting after one more line arrives while following the end, and
// painting after jumping to the middle of the output.
// Goal: a paint stays in the low milliseconds whatever the output's length.
// With a file name as argument it also saves the last painted window as an image.
// Times are the process's CPU time (std::clock), so a busy machine skews them less than wall time.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <cstdio>
#include <ctime>
#include <random>

#include "app/views/MUDDisplayScrollView.h"
#include "app/views/MUDDisplayTextView.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"

namespace {
// CPU time of the process.
struct Clock {
    using time_point = std::clock_t;
    static time_point now() { return std::clock(); }
};

constexpr int kLines = 100'000;
constexpr int kRepeats = 50;

double millisecondsSince(Clock::time_point start)
{
    return 1000.0 * double(Clock::now() - start) / CLOCKS_PER_SEC;
}

// Seeded game-like lines in a few colours, with a blinking run now and then.
void appendGameLines(MUDOutputModel& model, int count, const QFont& font)
{
    static const char* const words[] = {"the",   "goblin", "hits",  "you", "with",  "a",   "rusty", "sword", "north",
                                        "exits", "gold",   "coins", "lie", "here.", "You", "say,",  "hello"};
    MUDStringColoring coloring;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> wordIndex(0, int(std::size(words)) - 1);
    std::uniform_int_distribution<int> colour(31, 37);
    for (int line = 0; line < count; ++line) {
        MUDStyledText text;
        for (int run = 0; run < 4; ++run) {
            QByteArray code = "\x1b[" + QByteArray::number(colour(random));
            if (line % 97 == 0 && run == 2)
                code += ";5";
            coloring.prepareANSI(code + "m", font);
            QString words3;
            for (int w = 0; w < 4; ++w)
                words3 += QString::fromLatin1(words[wordIndex(random)]) + u' ';
            coloring.appendColoredText(text, run == 3 ? words3 + QStringLiteral("\r\n") : words3, font);
        }
        model.append(text);
    }
}

double timePaint(MUDDisplayScrollView& view, QImage& image, int repeats)
{
    const auto start = Clock::now();
    for (int i = 0; i < repeats; ++i) {
        QPainter painter(&image);
        view.textView()->render(&painter);
    }
    return millisecondsSince(start) / repeats;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QFont font(QStringLiteral("DejaVu Sans Mono"), 12);

    MUDOutputModel model;
    MUDDisplayScrollView view(model);
    view.textView()->setFont(font);
    view.resize(1000, 60 * QFontMetrics(font).lineSpacing() + 8);
    view.show();
    QApplication::processEvents();

    const auto appendStart = Clock::now();
    appendGameLines(model, kLines, font);
    view.scrollToBottom(false);
    const double appendMs = millisecondsSince(appendStart);

    QImage image(view.textView()->size(), QImage::Format_ARGB32_Premultiplied);
    const quint64 builtBefore = view.textView()->layoutManager().layoutsBuilt();
    const double cold = timePaint(view, image, 1);
    const quint64 builtCold = view.textView()->layoutManager().layoutsBuilt() - builtBefore;
    const double warm = timePaint(view, image, kRepeats);

    double following = 0;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = Clock::now();
        appendGameLines(model, 1, font);
        view.scrollToBottom(false);
        QPainter painter(&image);
        view.textView()->render(&painter);
        following += millisecondsSince(start);
    }
    following /= kRepeats;

    view.verticalScrollBar()->setValue(kLines / 2);
    const double middleCold = timePaint(view, image, 1);
    const double middleWarm = timePaint(view, image, kRepeats);

    std::printf("output view: %d lines, %zu rows on screen, %d x %d pixels\n", kLines,
                view.textView()->visibleLines().size(), image.width(), image.height());
    std::printf("append to model (with view attached): %.1f ms\n", appendMs);
    std::printf("paint at end, cold: %.2f ms (%llu layouts built)\n", cold, static_cast<unsigned long long>(builtCold));
    std::printf("paint at end, warm: %.3f ms\n", warm);
    std::printf("append one line + follow + paint: %.3f ms\n", following);
    std::printf("paint after jump to middle, cold: %.2f ms, warm: %.3f ms\n", middleCold, middleWarm);
    std::printf("layouts kept: %lld\n", static_cast<long long>(view.textView()->layoutManager().cachedLayoutCount()));
    if (argc > 1)
        image.save(QString::fromLocal8Bit(argv[1]));
    return 0;
}
