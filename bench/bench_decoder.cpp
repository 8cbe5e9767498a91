// Decoder throughput on typical coloured game text, single core:
//   1. decoder alone (bytes in, chunk batches out);
//   2. decoder plus style state producing styled text (pieces by style);
//   3. the same appended batch by batch to an output model, as the session does.
// Prints MB/s (1 MB = 10^6 bytes of server output). Optional arguments: the
// input size in MB (default 8) and the number of runs (default 7), so a
// profiler can run a short pass.
#include <QFont>
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "core/CVAttributedString.h"
#include "core/CVLogHelper.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/decoding/MUDStringColoring.h"
#include "engine/decoding/MUDStyledText.h"
#include "tests/support/doubles/NullLogDelegate.h"

namespace {
// Deterministic game-like output: words and punctuation, an SGR sequence
// every 10 to 40 bytes, CR LF line ends and now and then a prompt with IAC GA.
QByteArray gameText(qsizetype size)
{
    quint32 state = 12345;
    auto next = [&](quint32 bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const char* words[] = {"the",   "goblin", "swings", "at",   "you",   "with",  "a",   "rusty",
                           "sword", "and",    "misses", "You",  "see",   "an",    "old", "chest",
                           "here.", "north",  "south",  "gold", "coins", "Exits:"};
    const char* styles[] = {"\x1b[0m",    "\x1b[1;31m",     "\x1b[32m",      "\x1b[1;33m", "\x1b[36m",
                            "\x1b[0;37m", "\x1b[38;5;208m", "\x1b[1;34;40m", "\x1b[4m",    "\x1b[0;35m"};
    QByteArray out;
    out.reserve(size + 256);
    qsizetype nextStyle = 0;
    int lineLength = 0;
    int lines = 0;
    while (out.size() < size) {
        if (out.size() >= nextStyle) {
            out += styles[next(std::size(styles))];
            nextStyle = out.size() + 10 + next(31);
        }
        out += words[next(std::size(words))];
        lineLength += 6;
        if (lineLength > 70 || next(12) == 0) {
            out += "\r\n";
            lineLength = 0;
            if (++lines % 40 == 0)
                out += "\x1b[0m<100hp 80mv> \xff\xf9";
        } else {
            out += ' ';
        }
    }
    return out;
}

class CountingDelegate : public ANSIDataProcessorDelegate {
public:
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        chunks += results.size();
    }
    qsizetype chunks = 0;
};

// What the session does with a batch: the style state turns it into
// styled text (escape sequences set the style, text is decoded in it).
class StylingDelegate : public ANSIDataProcessorDelegate {
public:
    explicit StylingDelegate(const QFont& font)
        : m_font(font)
    {
    }
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        output = m_coloring.styleBatch(results, m_font);
        pieces += qsizetype(output.pieces().size());
    }
    MUDStyledText output;
    qsizetype pieces = 0;

protected:
    QFont m_font;
    MUDStringColoring m_coloring;
};

// The session's path: each batch's styled text goes to the output model in
// one append.
class ModelDelegate : public StylingDelegate {
public:
    using StylingDelegate::StylingDelegate;
    void ANSIDataProcessorReceived(ANSIDataProcessor* processor, const ANSIDataProcessorResults& results) override
    {
        StylingDelegate::ANSIDataProcessorReceived(processor, results);
        model.append(output);
    }
    MUDOutputModel model;
};

template<typename MakeDelegate>
double bestMegabytesPerSecond(const QByteArray& input, int readSize, int rounds, MakeDelegate makeDelegate,
                              qsizetype* detail)
{
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        auto delegate = makeDelegate();
        ANSIDataProcessor processor(delegate.get());
        // CPU time, not wall time: on a shared machine the wall clock also
        // counts the time other processes held the core.
        const std::clock_t start = std::clock();
        for (qsizetype offset = 0; offset < input.size(); offset += readSize)
            processor.processData(
                QByteArrayView(input).sliced(offset, std::min<qsizetype>(readSize, input.size() - offset)));
        const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
        best = std::max(best, double(input.size()) / 1e6 / seconds);
        *detail = delegate->detail();
    }
    return best;
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    NullLogDelegate silent;
    CVLogHelper::sharedInstance().setDelegate(&silent);

    const double megabytes = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 8.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    const QByteArray input = gameText(qsizetype(megabytes * 1e6));
    const QFont font(QStringLiteral("DejaVu Sans Mono"), 13);
    std::printf("input: %.1f MB of coloured game text, reads of 4096 bytes, best of %d runs, CPU time of one core\n",
                input.size() / 1e6, rounds);

    struct Counting : CountingDelegate {
        qsizetype detail() const { return chunks; }
    };
    struct Styling : StylingDelegate {
        using StylingDelegate::StylingDelegate;
        qsizetype detail() const { return pieces; }
    };
    struct Model : ModelDelegate {
        using ModelDelegate::ModelDelegate;
        qsizetype detail() const { return model.formatCount(); }
    };
    qsizetype chunks = 0;
    const double decoder = bestMegabytesPerSecond(
        input, 4096, rounds, [] { return std::make_unique<Counting>(); }, &chunks);
    std::printf("decoder alone:                 %7.1f MB/s  (%lld chunks)\n", decoder, qlonglong(chunks));
    qsizetype runs = 0;
    const double styled = bestMegabytesPerSecond(
        input, 4096, rounds, [&] { return std::make_unique<Styling>(font); }, &runs);
    std::printf("decoder + style, styled text:  %7.1f MB/s  (%lld styled pieces)\n", styled, qlonglong(runs));
    qsizetype formats = 0;
    const double modelled = bestMegabytesPerSecond(
        input, 4096, rounds, [&] { return std::make_unique<Model>(font); }, &formats);
    std::printf("decoder + style + output model:%7.1f MB/s  (%lld formats)\n", modelled, qlonglong(formats));
    return 0;
}
