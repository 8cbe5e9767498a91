#include "core/CVLogFileSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

struct FakeClock {
    QDateTime now = QDateTime(QDate(2024, 3, 1), QTime(10, 0), Qt::UTC);
    CVLogFileSink::Clock clock()
    {
        return [this] { return now; };
    }
};
}

TEST(CVLogFileSink, AppendsTimestampedLines)
{
    QTemporaryDir dir;
    FakeClock fake;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock());
    ASSERT_TRUE(sink.appendLine(QStringLiteral("first")));
    fake.now = fake.now.addSecs(5);
    ASSERT_TRUE(sink.appendLine(QStringLiteral("second é")));
    const QStringList lines = linesOf(sink.filePath());
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("2024-03-01T10:00:00.000Z first"));
    EXPECT_EQ(lines[1], QStringLiteral("2024-03-01T10:00:05.000Z second é"));
}

TEST(CVLogFileSink, StartsANewFileAfter24HoursAndKeepsOnlyOne)
{
    QTemporaryDir dir;
    FakeClock fake;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock());
    sink.appendLine(QStringLiteral("day one"));
    fake.now = fake.now.addSecs(CVLogFileSink::kRotationSeconds - 1);
    sink.appendLine(QStringLiteral("still day one"));
    EXPECT_EQ(linesOf(sink.filePath()).size(), 2);

    fake.now = fake.now.addSecs(1);
    sink.appendLine(QStringLiteral("day two"));
    const QStringList lines = linesOf(sink.filePath());
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" day two")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(CVLogFileSink, ANewSinkContinuesARecentFileAndReplacesAnOldOne)
{
    QTemporaryDir dir;
    FakeClock fake;
    {
        CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock());
        sink.appendLine(QStringLiteral("before restart"));
    }
    fake.now = fake.now.addSecs(3600);
    {
        CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock());
        sink.appendLine(QStringLiteral("after restart"));
        EXPECT_EQ(linesOf(sink.filePath()).size(), 2);
    }
    fake.now = fake.now.addDays(2);
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock());
    sink.appendLine(QStringLiteral("much later"));
    EXPECT_EQ(linesOf(sink.filePath()).size(), 1);
}

TEST(CVLogFileSink, UnwritableFolderReportsFailure)
{
    CVLogFileSink sink(QStringLiteral("/nonexistent/quarrow/logs"));
    EXPECT_FALSE(sink.appendLine(QStringLiteral("lost")));
}

TEST(CVLogFileSink, AFileAtItsSizeLimitMovesAsideAsTheOneOlderFile)
{
    QTemporaryDir dir;
    FakeClock fake;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock(), 1000);
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(
            sink.appendLine(QStringLiteral("line %1 of a server that never stops").arg(i, 3, 10, QLatin1Char('0'))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"test.log", "test.log.1"}));
    EXPECT_LE(QFileInfo(sink.filePath()).size(), 1000);
    EXPECT_LE(QFileInfo(sink.olderFilePath()).size(), 1000);
    // The two files hold the newest lines, in order, without a gap.
    const QStringList lines = linesOf(sink.olderFilePath()) + linesOf(sink.filePath());
    ASSERT_GE(lines.size(), 20);
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_TRUE(lines[i].endsWith(QStringLiteral("line %1 of a server that never stops")
                                          .arg(100 - lines.size() + i, 3, 10, QLatin1Char('0'))))
            << lines[i].toStdString();
}

TEST(CVLogFileSink, TheDefaultLimitIsTenMegabytes)
{
    QTemporaryDir dir;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"));
    const QString line(10 * 1024, QLatin1Char('x'));
    for (int i = 0; i < 1100; ++i)
        ASSERT_TRUE(sink.appendLine(line));
    EXPECT_LE(QFileInfo(sink.filePath()).size(), 10 * 1024 * 1024);
    EXPECT_GT(QFileInfo(sink.olderFilePath()).size(), 10 * 1024 * 1024 - 11 * 1024);
    EXPECT_LE(QFileInfo(sink.olderFilePath()).size(), 10 * 1024 * 1024);
}

TEST(CVLogFileSink, ADayOldLogStartsAnewWithoutItsOlderPart)
{
    QTemporaryDir dir;
    FakeClock fake;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock(), 200);
    for (int i = 0; i < 10; ++i)
        sink.appendLine(QStringLiteral("morning line %1").arg(i));
    ASSERT_TRUE(QFileInfo::exists(sink.olderFilePath()));
    fake.now = fake.now.addDays(1);
    sink.appendLine(QStringLiteral("next day"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"test.log"});
    EXPECT_EQ(linesOf(sink.filePath()).size(), 1);
}

TEST(CVLogFileSink, TailJoinsTheFilesOldestFirst)
{
    QTemporaryDir dir;
    FakeClock fake;
    CVLogFileSink sink(dir.path(), QStringLiteral("test.log"), fake.clock(), 100);
    sink.appendLine(QStringLiteral("first file"));
    sink.appendLine(QStringLiteral("first file again"));
    sink.appendLine(QStringLiteral("second file"));
    const QByteArray all = sink.tail(1000);
    EXPECT_EQ(all, "2024-03-01T10:00:00.000Z first file\n2024-03-01T10:00:00.000Z first file again\n"
                   "2024-03-01T10:00:00.000Z second file\n");
    EXPECT_EQ(sink.tail(20), all.right(20));
    EXPECT_EQ(sink.tail(60), all.right(60)) << "across the two files";
    EXPECT_TRUE(sink.tail(0).isEmpty());
}
