#include "core/CVCkoGzip.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include "ChildProgram.h"
#include "TestSupport.h"

namespace {
QByteArray sampleText()
{
    QByteArray text;
    for (int i = 0; i < 2000; ++i)
        text += "\x1b[1;31mThe orc\x1b[0m hits you. Line " + QByteArray::number(i) + "\r\n";
    return text;
}

QByteArray randomBytes(int size)
{
    QRandomGenerator generator(42);
    QByteArray bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(generator.bounded(256));
    return bytes;
}
}

TEST(CVCkoGzip, RoundTripsTextBinaryAndEmptyData)
{
    for (const QByteArray& input : {sampleText(), randomBytes(300000), QByteArray(), QByteArray("x")}) {
        CVError error;
        const QByteArray packed = CVCkoGzip::gzip(input, &error);
        ASSERT_GE(packed.size(), 18) << "header and trailer are always present";
        EXPECT_EQ(static_cast<unsigned char>(packed[0]), 0x1f);
        EXPECT_EQ(static_cast<unsigned char>(packed[1]), 0x8b);
        EXPECT_EQ(CVCkoGzip::gunzip(packed, &error), input);
    }
    EXPECT_LT(CVCkoGzip::gzip(sampleText()).size(), sampleText().size() / 5);
}

TEST(CVCkoGzip, OutputIsReadByTheGzipTool)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("gzip"));
    if (tool.isEmpty())
        GTEST_SKIP() << "no gzip tool on this machine";
    ChildProgram gunzip;
    ASSERT_TRUE(gunzip.start(tool, {QStringLiteral("-dc")})) << gunzip.errorText().toStdString();
    ASSERT_TRUE(gunzip.write(CVCkoGzip::gzip(sampleText())));
    gunzip.closeInput();
    QByteArray output;
    ASSERT_TRUE(waitUntil(
        [&] {
            output += gunzip.readOutput();
            return !gunzip.isRunning();
        },
        10000));
    output += gunzip.readOutput();
    EXPECT_EQ(gunzip.exitCode(), 0);
    EXPECT_EQ(output, sampleText());
}

TEST(CVCkoGzip, BadInputGivesEmptyAndAnError)
{
    const QByteArray packed = CVCkoGzip::gzip(sampleText());
    struct Row {
        const char* name;
        QByteArray input;
    } rows[] = {
        {"plain text", QByteArray("not gzip at all")},
        {"truncated stream", packed.left(packed.size() / 2)},
        {"corrupted body", QByteArray(packed).replace(20, 8, "garbage!")},
        {"empty input", QByteArray()},
    };
    for (const Row& row : rows) {
        CVError error;
        EXPECT_TRUE(CVCkoGzip::gunzip(row.input, &error).isEmpty()) << row.name;
        EXPECT_FALSE(error.description.isEmpty()) << row.name;
    }
}

TEST(CVCkoGzip, GunzipStopsAtTheSizeLimit)
{
    CVError error;
    const QByteArray bomb = CVCkoGzip::gzip(QByteArray(4 * 1024 * 1024, 'a'));
    EXPECT_TRUE(CVCkoGzip::gunzip(bomb, &error, 1024 * 1024).isEmpty());
    EXPECT_TRUE(error.description.contains(QStringLiteral("exceeds")));
}
