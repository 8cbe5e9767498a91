// Applies arbitrary insert/delete sequences to a highlighted document and
// checks after every edit that the entries tile the text exactly and that
// painting any range stays inside the text.
#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

#include "engine/highlighting/CVTokenizerTokenArray.h"
#include "engine/highlighting/JSONHighlighter.h"

namespace {
// Characters that matter to the tokenizer, so short inputs reach its rules.
constexpr char16_t kAlphabet[] = u"ab1 \n\t'\"\\/*(){};=+.-,xvr é";

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkTiling(const JSONHighlighter& highlighter, const QTextDocument& document)
{
    const qsizetype length = document.characterCount() - 1;
    check(highlighter.string().size() == length);
    const CVTokenizerTokenArray& entries = highlighter.syntaxHighlightEntries();
    if (length == 0) {
        check(entries.isEmpty());
        return;
    }
    check(!entries.isEmpty());
    check(entries[0]->range().location == 0);
    check(entries.lastObject()->range().end() == length);
    check(entries.isSorted());
    check(CVTokenizerTokenArray::isSequential(entries.tokens()));
}
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTextDocument document;
    JSONHighlighter highlighter(&document);
    size_t i = 0;
    const auto next = [&]() -> uint8_t { return i < size ? data[i++] : 0; };
    while (i < size) {
        const uint8_t operation = next();
        const qsizetype length = document.characterCount() - 1;
        const qsizetype at = length == 0 ? 0 : (next() | next() << 8) % (length + 1);
        QTextCursor cursor(&document);
        cursor.setPosition(int(at));
        if (operation % 3 == 0 && length > 0) {
            const qsizetype count = next() % 16 + 1;
            cursor.setPosition(int(std::min(at + count, length)), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else if (operation % 3 == 1) {
            QString text;
            for (int n = next() % 8 + 1; n > 0 && i < size; --n)
                text += QChar(kAlphabet[next() % (std::size(kAlphabet) - 1)]);
            cursor.insertText(text);
        } else {
            const qsizetype from = length == 0 ? 0 : next() % (length + 1);
            highlighter.highlightRange({from, next() % 64}, operation % 2 == 0);
        }
        checkTiling(highlighter, document);
    }
    return 0;
}
