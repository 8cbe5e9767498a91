#include "core/CVLogFileSink.h"

#include <QFile>
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
