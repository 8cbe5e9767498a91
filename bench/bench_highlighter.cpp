// Keystroke repair plus repaint of a screenful in a 10,000-line script, and a
// full highlight of a 1 MB script. Prints the figures; not a test.
#include <QAbstractTextDocumentLayout>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "engine/highlighting/JSONHighlighter.h"

namespace {
// Script text shaped like trigger and alias actions.
QString scriptOfLines(int lines)
{
    static const QStringList shapes{
        "var target%1 = app.getVariable('target');",
        "if (target%1 !== \"\" && hp > 40) { app.sendCommand(\"kill \" + target%1); }",
        "// remember the last room we saw: %1",
        "let count%1 = 0; /* reset */ count%1 = count%1 + 1;",
        "function onRoom%1(name) { return name.length > 3; }",
        "app.send('look'); // %1",
    };
    QString text;
    for (int i = 0; i < lines; ++i)
        text += shapes[i % shapes.size()].arg(i) + u'\n';
    return text;
}

// Measures the highlighter's own work: the editor's plain-text layout is a
// widget-library class, so the document here lays nothing out.
class NoLayout : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter*, const PaintContext&) override { }
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame*) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock&) const override { return {}; }
    void documentChanged(int, int, int) override { }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * values.size()))];
}

// Types one character at random places in a screenful of a 10,000-line
// script, repairs, repaints the screenful, and takes the character out again.
std::vector<double> keystrokes(const QString& typed, int count)
{
    QTextDocument document;
    document.setDocumentLayout(new NoLayout(&document));
    JSONHighlighter highlighter(&document);
    document.setPlainText(scriptOfLines(10'000));
    std::mt19937 random(7);
    std::vector<double> microseconds;
    constexpr int kVisibleLines = 50;
    for (int i = 0; i < count; ++i) {
        const int line = std::uniform_int_distribution<int>(0, 10'000 - kVisibleLines - 1)(random);
        const QTextBlock block = document.findBlockByNumber(line);
        const int at = block.position() + std::uniform_int_distribution<int>(0, block.length() - 1)(random);
        const QTextBlock lastVisible = document.findBlockByNumber(line + kVisibleLines);
        const CVRange visible{block.position(), lastVisible.position() + lastVisible.length() - 1 - block.position()};
        highlighter.highlightRange(visible, false);
        QElapsedTimer timer;
        timer.start();
        QTextCursor cursor(&document);
        cursor.setPosition(at);
        cursor.insertText(QString(typed[i % typed.size()]));
        highlighter.highlightRange(visible, false);
        microseconds.push_back(timer.nsecsElapsed() / 1000.0);
        cursor.deletePreviousChar();
    }
    return microseconds;
}

void benchKeystrokes(int count, const QString& typed)
{
    const std::vector<double> ordinary = keystrokes(typed, count);
    std::printf("keystroke in a 10,000-line script, insert + repair + repaint of 50 visible lines:\n"
                "  letters, digits, symbols: median %.1f us, 90th percentile %.1f us, 99th percentile %.1f us "
                "(goal: median < 1000 us)\n",
                median(ordinary), percentile(ordinary, 0.9), percentile(ordinary, 0.99));
    const std::vector<double> quotes = keystrokes(QStringLiteral("'\""), std::max(count / 40, 2));
    std::printf("  quotes (an unclosed string re-scans to the end of the text): median %.1f us, "
                "90th percentile %.1f us, 99th percentile %.1f us\n",
                median(quotes), percentile(quotes, 0.9), percentile(quotes, 0.99));
}

void benchFullHighlight()
{
    QString text;
    for (int lines = 1000; text.size() < 1'000'000; lines += 1000)
        text = scriptOfLines(lines);
    text.truncate(1'000'000);
    QTextDocument document;
    document.setDocumentLayout(new NoLayout(&document));
    document.setPlainText(text);
    JSONHighlighter highlighter(&document);
    std::vector<double> full;
    std::vector<double> attributed;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        highlighter.invalidateAllSyntax();
        highlighter.highlightRange({0, 3000}, true);
        full.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const CVAttributedString coloured = highlighter.highlightString(text, {});
        attributed.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("full highlight of 1 MB (%lld entries), tokenise + paint the first screenful: %.1f ms median "
                "(goal < 200 ms)\n  tokenise + colour all of it into an attributed string: %.1f ms median\n",
                static_cast<long long>(highlighter.syntaxHighlightEntries().count()), median(full), median(attributed));
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    // An optional keystroke count and set of typed characters (for runs
    // under callgrind) skip the 1 MB part.
    const int count = argc > 1 ? std::max(std::atoi(argv[1]), 1) : 2000;
    const QString typed = argc > 2 && argv[2][0] ? QString::fromUtf8(argv[2]) : QStringLiteral("a1 ;(.=x");
    benchKeystrokes(count, typed);
    if (argc <= 1)
        benchFullHighlight();
    return 0;
}
