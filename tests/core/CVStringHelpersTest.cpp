#include "core/CVStringHelpers.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {
struct Visit {
    QChar previous, current, next;
    qsizetype index;
};

std::vector<Visit> walk(const QString& text, bool reverse, qsizetype location, qsizetype length, qsizetype stopAt = -1)
{
    std::vector<Visit> visits;
    enumerateCharacters(
        text,
        [&](QChar previous, QChar current, QChar next, qsizetype index, bool& stop) {
            visits.push_back({previous, current, next, index});
            stop = index == stopAt;
        },
        reverse, location, length);
    return visits;
}
}

TEST(CVStringHelpers, EnumerateWalksTheRangeWithNeighbours)
{
    auto forward = walk(QStringLiteral("abcde"), false, 1, 3);
    ASSERT_EQ(forward.size(), 3u);
    EXPECT_EQ(forward[0].previous, QChar()) << "the range start has no previous character";
    EXPECT_EQ(forward[0].current, u'b');
    EXPECT_EQ(forward[0].next, u'c');
    EXPECT_EQ(forward[2].index, 3);
    EXPECT_EQ(forward[2].next, QChar()) << "the range end has no next character";

    auto backward = walk(QStringLiteral("abcde"), true, 0, 5);
    ASSERT_EQ(backward.size(), 5u);
    EXPECT_EQ(backward[0].current, u'e');
    EXPECT_EQ(backward[0].previous, QChar());
    EXPECT_EQ(backward[0].next, u'd') << "neighbours follow the walking direction";
    EXPECT_EQ(backward[4].index, 0);

    EXPECT_EQ(walk(QStringLiteral("abcde"), false, 0, 5, 1).size(), 2u) << "stop ends the walk";
    EXPECT_EQ(walk(QStringLiteral("abc"), false, 2, 100).size(), 1u) << "range clamped to the string";
    EXPECT_TRUE(walk(QStringLiteral("abc"), false, 7, 2).empty());
    EXPECT_TRUE(walk(QString(), false, 0, 0).empty());
}

TEST(CVStringHelpers, FileNameEscaping)
{
    struct Row {
        QString title, fileName;
    } rows[] = {
        {QStringLiteral("a/b?c"), QStringLiteral("abc")},         {QStringLiteral("/\\?%*|\"<>"), QString()},
        {QStringLiteral("kill orc"), QStringLiteral("kill orc")}, {QStringLiteral("50% <hp>"), QStringLiteral("50 hp")},
        {QStringLiteral("üñí:cödé"), QStringLiteral("üñí:cödé")},
    };
    for (const Row& row : rows) {
        const QString escaped = escapeForFileName(row.title);
        EXPECT_EQ(escaped, row.fileName) << row.title.toStdString();
        EXPECT_EQ(escapeForFileName(escaped), escaped) << "escaping is idempotent";
        EXPECT_EQ(unescapeForFileName(escaped), escaped) << "a file name's title survives a save and load";
        EXPECT_EQ(escapeForFileName(unescapeForFileName(escaped)), escaped);
    }
}

TEST(CVStringHelpers, IsNumber)
{
    const char* numbers[] = {"0", "42", "-7", "+3", "1.5", ".5", "5.", "1e3", "2.5E-2", "0x1F", "0XaB"};
    const char* others[] = {"", "-", ".", "e3", "1e", "1e+", "0x", "0xG", "12a", "1.2.3", " 1", "1 ", "--1", "abc"};
    for (const char* text : numbers)
        EXPECT_TRUE(isNumber(QString::fromLatin1(text))) << text;
    for (const char* text : others)
        EXPECT_FALSE(isNumber(QString::fromLatin1(text))) << text;
}

TEST(CVStringHelpers, SafeCharacterAtIndexNeverFailsOutOfRange)
{
    LogRecorder log;
    const QString text = QStringLiteral("abc");
    EXPECT_EQ(safeCharacterAtIndex(text, 1, QStringLiteral("test")), u'b');
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(safeCharacterAtIndex(text, 3, QStringLiteral("test")), QChar());
    EXPECT_EQ(safeCharacterAtIndex(text, -1, QStringLiteral("test")), QChar());
    EXPECT_EQ(log.count(QStringLiteral("safeCharacterAtIndex: index 3 out of range (length 3), called from test")), 1);
}
