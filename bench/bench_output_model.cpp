// Appends 18 M characters of coloured game lines to the session's output
// model in network-sized batches and prints the append rate, the heap bytes
// per character beyond the UTF-16 text, and the cost of reading back the
// last 5,120 characters with their attributes (the trigger window).
// Goals: well over 50 M characters per second; at most 4 bytes per character.
#include <QGuiApplication>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <malloc.h>
#include <memory>
#include <random>
#include <vector>

#include "core/CVAttributedString.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"

namespace {
using Clock = std::chrono::steady_clock;

constexpr qsizetype kTotalCharacters = 18'000'000;
constexpr qsizetype kBatchCharacters = 8192;
constexpr int kSubstringRepeats = 2000;
constexpr qsizetype kTriggerWindow = 5120;

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Styles as the style state makes them: the 16 ANSI foreground colours.
std::vector<QTextCharFormat> ansiFormats(const QFont& font)
{
    std::vector<QTextCharFormat> formats;
    MUDStringColoring coloring;
    for (int code : {30, 31, 32, 33, 34, 35, 36, 37, 90, 91, 92, 93, 94, 95, 96, 97}) {
        coloring.prepareANSI(QByteArray("\x1b[") + QByteArray::number(code) + "m", font);
        formats.push_back(coloring.lastAttributes());
    }
    return formats;
}

// Seeded game-like lines of 60 to 120 characters, ending in "\r\n".
class LineMaker {
public:
    QString next()
    {
        static const QStringList words{"the",   "goblin", "hits",  "you",  "with",     "a",    "rusty",
                                       "sword", "north",  "exits", "gold", "coins",    "lies", "here.",
                                       "You",   "say,",   "hello", "[HP:", "120/130]", "mana", "of"};
        const int target = std::uniform_int_distribution<int>(58, 118)(m_random);
        QString line;
        while (line.size() < target) {
            line += words[std::uniform_int_distribution<int>(0, int(words.size()) - 1)(m_random)];
            line += u' ';
        }
        line.chop(1);
        line += QStringLiteral("\r\n");
        return line;
    }
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

private:
    std::mt19937 m_random{20240611};
};

struct Figures {
    double appendSeconds = 0;
    double buildSeconds = 0;
    qsizetype characters = 0;
    double bytesPerCharacter = 0;
    double substringMicroseconds = 0;
    qsizetype formats = 0;
};

// `colorLine` appends one line to the batch: either 3 to 5 runs of the
// palette into an attributed string, or the pipeline's own styling into
// styled text (one piece per style, white space split when read).
template<typename Batch, typename ColorLine> Figures run(ColorLine colorLine)
{
    Figures figures;
    LineMaker lines;
    const size_t heapBefore = heapInUse();
    auto model = std::make_unique<MUDOutputModel>();
    while (figures.characters < kTotalCharacters) {
        const auto buildStart = Clock::now();
        Batch batch;
        while (batch.length() < kBatchCharacters)
            colorLine(batch, lines);
        figures.buildSeconds += secondsSince(buildStart);

        const auto appendStart = Clock::now();
        model->append(batch);
        figures.appendSeconds += secondsSince(appendStart);
        figures.characters += batch.length();
    }
    malloc_trim(0);
    const double heapGrowth = double(heapInUse()) - double(heapBefore);
    figures.bytesPerCharacter = (heapGrowth - 2.0 * double(model->length())) / double(model->length());
    figures.formats = model->formatCount();

    const auto substringStart = Clock::now();
    qsizetype checksum = 0;
    for (int i = 0; i < kSubstringRepeats; ++i)
        checksum += model->attributedSubstring({model->length() - kTriggerWindow, kTriggerWindow}).runCount();
    figures.substringMicroseconds = secondsSince(substringStart) * 1e6 / kSubstringRepeats;
    if (checksum == 0)
        std::fprintf(stderr, "empty trigger window\n");
    return figures;
}

void print(const char* name, const Figures& figures)
{
    std::printf("%s\n", name);
    std::printf("  characters appended:          %lld\n", static_cast<long long>(figures.characters));
    std::printf("  append rate:                  %.1f M characters/s (%.3f s)\n",
                double(figures.characters) / figures.appendSeconds / 1e6, figures.appendSeconds);
    std::printf("  batch building (not counted): %.1f M characters/s\n",
                double(figures.characters) / figures.buildSeconds / 1e6);
    std::printf("  heap beyond UTF-16 text:      %.2f bytes/character\n", figures.bytesPerCharacter);
    std::printf("  distinct formats:             %lld\n", static_cast<long long>(figures.formats));
    std::printf("  last 5,120 characters:        %.1f us (attributed substring)\n", figures.substringMicroseconds);
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QFont font(QStringLiteral("DejaVu Sans Mono"), 17);
    const std::vector<QTextCharFormat> palette = ansiFormats(font);

    print("coloured lines, 3 to 5 runs each", run<CVAttributedString>([&](CVAttributedString& batch, LineMaker& lines) {
              const QString line = lines.next();
              const int runs = lines.pick(3, 5);
              qsizetype start = 0;
              for (int i = 0; i < runs; ++i) {
                  const qsizetype end = i + 1 == runs ? line.size() : line.size() * (i + 1) / runs;
                  batch.append(QStringView(line).sliced(start, end - start),
                               palette[size_t(lines.pick(0, int(palette.size()) - 1))]);
                  start = end;
              }
          }));

    MUDStringColoring coloring;
    print("styled by the style state (white space split when read)",
          run<MUDStyledText>([&](MUDStyledText& batch, LineMaker& lines) {
              static const QByteArray codes[] = {"\x1b[31m", "\x1b[1;32m", "\x1b[0m", "\x1b[36m"};
              coloring.prepareANSI(codes[lines.pick(0, 3)], font);
              coloring.appendColoredText(batch, lines.next(), font);
          }));
    return 0;
}
