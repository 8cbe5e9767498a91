#include "engine/decoding/ANSIDataProcessor.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "TestSupport.h"

namespace {
std::vector<RecordedChunk> decodeReads(const std::vector<QByteArray>& reads, RecordingDelegate* delegate = nullptr)
{
    RecordingDelegate local;
    RecordingDelegate& target = delegate ? *delegate : local;
    ANSIDataProcessor processor(&target);
    for (const QByteArray& read : reads)
        EXPECT_TRUE(processor.processData(read));
    return target.chunks;
}

struct Row {
    QByteArray input;
    QString expected;
    QStringList logLines; // each must appear
};
}

// Each row is named by its input bytes; one read per row.
TEST(ANSIDataProcessor, SplitsOneReadIntoChunks)
{
    const std::vector<Row> rows = {
        // Line ends and the text filter.
        {"ab\r\ncd", R"(T"ab\ncd")", {}},
        {"ab\n\rcd", R"(T"ab\ncd")", {}},
        {"ab\r\n\r\ncd", R"(T"ab\n\ncd")", {}},
        {"ab\r", R"(T"ab")", {"Length changed"}},
        {"\r", R"(T"")", {"Length changed"}},
        {"a\x07"
         "b\tc",
         R"(T"ab\x09c")",
         {"Length changed"}},
        {"a\xf9\xfa\xfb\xfc\xfd\xfe"
         "b",
         R"(T"a\xfd\xfeb")",
         {"Length changed"}},
        {"\xc3\xa9t\xe2\x82\xac", R"(T"\xc3\xa9t\xe2\x82\xac")", {}},
        // Escape sequences.
        {"\x1b[1;31mhi", R"(C"\e[1;31m" T"hi")", {}},
        {"text\x1b[0m", R"(T"text" C"\e[0m")", {}},
        {"\x1b[?25hX", R"(C"\e[?25h" T"X")", {}},
        {"\x1b[K\x1b[4D", R"(C"\e[K" C"\e[4D")", {}},
        {"\x1b[1 q", R"(C"\e[1 q")", {}},
        {"\x1b(Bx\x1b"
         "7\x1b"
         "8\x1bM",
         R"(C"\e(B" T"x" C"\e7" C"\e8" C"\eM")",
         {}},
        {"\x1b]0;title\x07rest", R"(C"\e]0;title\x07" T"rest")", {}},
        {"\x1b]8;;http://x/\x1b\\link\x1b]8;;\x1b\\", R"(C"\e]8;;http://x/\e\" T"link" C"\e]8;;\e\")", {}},
        {"\x1b]0;a\x1b[1mx", R"(C"\e]0;a" C"\e[1m" T"x")", {"????"}},
        {"\x1b[1;\x1b[31mx", R"(C"\e[1;" C"\e[31m" T"x")", {"????"}},
        {"\x1b\x1b[0m", R"(C"\e" C"\e[0m")", {"????"}},
        {"\x1b[3\n1m", R"(C"\e[3" T"\n1m")", {"Unfinished escape sequence: 1b5b33"}},
        {"\x1b\xc3\xa9", R"(C"\e" T"\xc3\xa9")", {"Unfinished escape sequence: 1b"}},
        // Telnet.
        {"\xff\xfb\x01", "Nfffb01", {"Telnet command: WILL, Echo (fffb01)"}},
        {"\xff\xfd\x18ok", R"(Nfffd18 T"ok")", {"Telnet command: DO, Terminal type (fffd18)"}},
        {"\xff\xf9hi", R"(Nfff9 T"hi")", {"Telnet command: 249, - (fff9)"}},
        {"a\xff\xf1"
         "b",
         R"(T"a" Nfff1 T"b")",
         {}},
        {"\xff\xfa\x18\x01\xff\xf0x", R"(Nfffa1801fff0 T"x")", {"Telnet command: SB, Terminal type (fffa1801fff0)"}},
        {"\xff\xfa\x18\xff\xff\x01\xff\xf0", "Nfffa18ffff01fff0", {}},
        {"\xff\xfa\x18\x01\xff\xf9x", R"(Nfffa1801 Nfff9 T"x")", {"Telnet subnegotiation ended without IAC SE"}},
        {"a\xff\xff"
         "b",
         R"(T"ab")",
         {"Length changed"}},
        {"\xff\xff", R"(T"")", {"Length changed"}},
    };
    for (const Row& row : rows) {
        LogRecorder log;
        RecordingDelegate delegate;
        decodeReads({row.input}, &delegate);
        EXPECT_EQ(describeChunks(delegate.chunks).toStdString(), row.expected.toStdString())
            << row.input.toHex().constData();
        EXPECT_EQ(delegate.batches, 1) << row.input.toHex().constData();
        for (const QString& line : row.logLines)
            EXPECT_TRUE(log.contains(line)) << line.toStdString() << " for " << row.input.toHex().constData()
                                            << "; got " << log.lines().join(" | ").toStdString();
        if (!row.logLines.contains("Length changed")) {
            EXPECT_FALSE(log.contains("Length changed")) << row.input.toHex().constData();
        }
    }
}

// Each row is named by its reads, separated by "|".
TEST(ANSIDataProcessor, CarriesCutSequencesAndCharactersToTheNextRead)
{
    struct CarryRow {
        std::vector<QByteArray> reads;
        QString expected;
    };
    const std::vector<CarryRow> rows = {
        {{"\x1b[1;3", "1mhi"}, R"(C"\e[1;31m" T"hi")"},
        {{"ab\x1b", "[0m"}, R"(T"ab" C"\e[0m")"},
        {{"\x1b]0;ti", "tle\x1b", "\\x"}, R"(C"\e]0;title\e\" T"x")"},
        {{"\xc3", "\xa9x"}, R"(T"\xc3\xa9x")"},
        {{"a\xe2\x82", "\xac"}, R"(T"a" T"\xe2\x82\xac")"},
        {{"a\xe2", "\x82",
          "\xac"
          "b"},
         R"(T"a" T"\xe2\x82\xacb")"},
        {{"\xc3", "\x1b[0m"}, R"(T"\xc3" C"\e[0m")"},
        {{"\xff", "\xf9hi"}, R"(Nfff9 T"hi")"},
        {{"\xff\xfb", "\x01"}, "Nfffb01"},
        {{"\xff\xfa\x18", "\x01\xff", "\xf0"}, "Nfffa1801fff0"},
        {{"a\xff", "\xff"
                   "b"},
         R"(T"a" T"b")"},
        {{"\xc3\xff", "\xff\xa9"}, R"(T"\xc3\xa9")"},
    };
    for (const CarryRow& row : rows) {
        QStringList name;
        for (const QByteArray& read : row.reads)
            name << QString::fromLatin1(read.toHex());
        EXPECT_EQ(describeChunks(decodeReads(row.reads)).toStdString(), row.expected.toStdString())
            << name.join('|').toStdString();
    }
}

// Only IAC WILL ECHO and IAC WONT ECHO are reported, each once, wherever
// reads cut them, and before the batch of the read that completes them.
// Each row is named by its reads, separated by "|".
TEST(ANSIDataProcessor, ReportsTheServersEchoAnnouncements)
{
    struct EchoRow {
        std::vector<QByteArray> reads;
        QStringList events;
    };
    const std::vector<EchoRow> rows = {
        {{"\xff\xfb\x01"}, {"echoes", "batch"}},
        {{"\xff\xfc\x01"}, {"does not echo", "batch"}},
        {{"\xff\xfb", "\x01"}, {"echoes", "batch"}},
        {{"\xff", "\xfb", "\x01"}, {"echoes", "batch"}},
        {{"Password: \xff\xfb", "\x01"}, {"batch", "echoes", "batch"}},
        {{"pw\xff\xfb\x01ok\xff\xfc\x01\n"}, {"echoes", "does not echo", "batch"}},
        // Other options and verbs, and the option byte inside other commands.
        {{"\xff\xfd\x01"}, {"batch"}},
        {{"\xff\xfe\x01"}, {"batch"}},
        {{"\xff\xfb\x03"}, {"batch"}},
        {{"\xff\xfa\x01\xfb\x01\xff\xf0"}, {"batch"}},
        {{"\xff\xff\xfb\x01"}, {"batch"}},
        {{"\xff\xfb\x01", "\xff\xfb\x01"}, {"echoes", "batch", "echoes", "batch"}},
    };
    for (const EchoRow& row : rows) {
        QStringList name;
        for (const QByteArray& read : row.reads)
            name << QString::fromLatin1(read.toHex());
        RecordingDelegate delegate;
        decodeReads(row.reads, &delegate);
        EXPECT_EQ(delegate.events.join(u','), row.events.join(u',')) << name.join('|').toStdString();
    }
}

// The telnet options negotiator hears every command once, whole, as the
// read that completes it is decoded, however the reads are cut; data bytes
// 255 (IAC IAC) in text are no command.
TEST(ANSIDataProcessor, ReportsEveryTelnetCommandWholeOnceWhateverTheReadBoundaries)
{
    const QByteArray stream = QByteArray("hp 10\xff\xf9") + "\xff\xfb\x19\xff\xfd\x1f" + "x\xff\xffy" +
                              "\xff\xfa\x18\x01\xff\xf0" + "\xff\xfa\x2a\x02\xff\xff\x01\xff\xf0" + "\xff\xef> ";
    const QList<QByteArray> expected = {
        "\xff\xf9", "\xff\xfb\x19", "\xff\xfd\x1f", "\xff\xfa\x18\x01\xff\xf0", "\xff\xfa\x2a\x02\xff\xff\x01\xff\xf0",
        "\xff\xef"};
    LogRecorder quiet;
    for (int size = 1; size <= stream.size(); ++size) {
        std::vector<QByteArray> reads;
        for (int offset = 0; offset < stream.size(); offset += size)
            reads.push_back(stream.mid(offset, size));
        RecordingDelegate delegate;
        decodeReads(reads, &delegate);
        EXPECT_EQ(delegate.telnetCommands, expected) << "reads of " << size;
    }
}

// Compression starts right after IAC SB 86 IAC SE: the caller stops the
// read there and handles the rest itself.
TEST(ANSIDataProcessor, StopsAReadAfterTheTelnetCommandTheDelegateNames)
{
    const QByteArray start("\xff\xfa\x56\xff\xf0");
    const QByteArray read = "Hello\r\n" + start + "\x78\x9c\xff\xff\x1b[";
    RecordingDelegate delegate;
    delegate.stopAfter = start;
    ANSIDataProcessor processor(&delegate);
    processor.processData(read);
    EXPECT_EQ(processor.consumedBytes(), read.indexOf(start) + start.size());
    EXPECT_EQ(describeChunks(delegate.chunks), R"(T"Hello\n" Nfffa56fff0)");
    EXPECT_EQ(delegate.events, QStringList{"batch"});

    delegate.stopAfter.clear();
    processor.processData("more");
    EXPECT_EQ(processor.consumedBytes(), 4);
    EXPECT_EQ(describeChunks(delegate.chunks), R"(T"Hello\n" Nfffa56fff0 T"more")");
}

// A subnegotiation past its cap is dropped up to its IAC SE, however the
// reads are cut: none of the option's data shows as text, and what follows
// (text, or a command that ends it without IAC SE) is read as usual.
TEST(ANSIDataProcessor, AnOverlongSubnegotiationIsSkippedToItsEnd)
{
    const QByteArray body(ANSIDataProcessor::kMaximumSubnegotiationLength + 100, 'x');
    struct Row {
        const char* name;
        QByteArray stream;
        const char* chunks;
    };
    const Row rows[] = {
        {"ended by IAC SE", "\xff\xfa\xc9" + body + "\xff\xff" + body.left(10) + "\xff\xf0ok\r\n", R"(T"ok\n")"},
        {"ended by another command", "\xff\xfa\xc9" + body + "\xff\xfb\x01ok", R"(Nfffb01 T"ok")"},
    };
    LogRecorder quiet;
    for (const Row& row : rows) {
        // Reads cut around every IAC after the cap, and in even slices.
        std::vector<std::vector<QByteArray>> cuts;
        for (qsizetype at = row.stream.indexOf('\xff', 3); at >= 0; at = row.stream.indexOf('\xff', at + 1)) {
            for (const qsizetype cut : {at, at + 1, at + 2})
                cuts.push_back({row.stream.left(cut), row.stream.mid(cut)});
        }
        std::vector<QByteArray> slices;
        for (qsizetype offset = 0; offset < row.stream.size(); offset += 65536)
            slices.push_back(row.stream.mid(offset, 65536));
        cuts.push_back(slices);
        for (const std::vector<QByteArray>& reads : cuts) {
            EXPECT_EQ(describeChunks(normalized(decodeReads(reads))), row.chunks)
                << row.name << ", first read of " << reads.front().size();
        }
    }
}

TEST(ANSIDataProcessor, ReadWithNothingToDeliverLogsNoResults)
{
    for (const QByteArray& read :
         {QByteArray(), QByteArray("\x1b[1;3"), QByteArray("\xff\xfa\x18"), QByteArray("\xe2\x82")}) {
        LogRecorder log;
        RecordingDelegate delegate;
        decodeReads({read}, &delegate);
        EXPECT_EQ(delegate.batches, 0) << read.toHex().constData();
        EXPECT_TRUE(log.contains("No results")) << read.toHex().constData();
    }
}

TEST(ANSIDataProcessor, HostileSequencesAreDroppedAtTheirCap)
{
    struct CapRow {
        const char* name;
        QByteArray stream;
        QString logLine;
    };
    const std::vector<CapRow> rows = {
        {"CSI with 5000 parameter bytes", "\x1b[" + QByteArray(5000, '1') + "mok",
         "Escape sequence longer than 4096 bytes dropped"},
        {"OSC without end", "\x1b]0;" + QByteArray(5000, 'x') + "\x07ok",
         "Escape sequence longer than 4096 bytes dropped"},
        {"subnegotiation without end",
         "\xff\xfa\x18" + QByteArray(ANSIDataProcessor::kMaximumSubnegotiationLength + 4000, 'x') + "\xff\xf0ok",
         QStringLiteral("Telnet subnegotiation longer than %1 bytes dropped")
             .arg(ANSIDataProcessor::kMaximumSubnegotiationLength)},
    };
    for (const CapRow& row : rows) {
        for (int readSize : {int(row.stream.size()), 100}) {
            LogRecorder log;
            std::vector<QByteArray> reads;
            for (int offset = 0; offset < row.stream.size(); offset += readSize)
                reads.push_back(row.stream.mid(offset, readSize));
            const std::vector<RecordedChunk> chunks = normalized(decodeReads(reads));
            EXPECT_TRUE(log.contains(row.logLine)) << row.name << " in reads of " << readSize;
            ASSERT_FALSE(chunks.empty());
            EXPECT_TRUE(chunks.back().data.endsWith("ok")) << row.name;
            for (const RecordedChunk& chunk : chunks) {
                if (chunk.type == ANSIResultType::Command) {
                    EXPECT_LE(chunk.data.size(), ANSIDataProcessor::kMaximumEscapeSequenceLength) << row.name;
                }
                if (chunk.type == ANSIResultType::Telnet) {
                    EXPECT_LE(chunk.data.size(), ANSIDataProcessor::kMaximumSubnegotiationLength) << row.name;
                }
            }
        }
    }
}

TEST(ANSIDataProcessor, LongLineWithoutLineFeedIsDeliveredAtOnce)
{
    RecordingDelegate delegate;
    ANSIDataProcessor processor(&delegate);
    processor.processData(QByteArray(10 * 1024 * 1024, 'a'));
    ASSERT_EQ(delegate.chunks.size(), 1u);
    EXPECT_EQ(delegate.chunks[0].data.size(), 10 * 1024 * 1024);
}

// The chunks must not depend on where reads end: every two-way split and
// many random splits of one stream give the chunks of the whole stream.
TEST(ANSIDataProcessor, ReadBoundariesDoNotChangeTheChunks)
{
    const QByteArray stream = QByteArray("ab\r\ncd\x1b[1;31mred\x1b[0m \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80 ") +
                              "\xff\xfb\x01\xff\xfa\x18\x01\xff\xff\xff\xf0x\xff\xf9y\xff\xff" +
                              "\x1b]0;title\x07\x1b]8;;u\x1b\\l\x1b(B\x1b"
                              "7\x1b[?25h\x1b[38;5;196m\r\n\n\r" +
                              "\x1b[1;\x1b[2J\x1b\x1b[m\x1b[3\n1mz\x07\r\x1b]0;a\x1b[1m\xff\xfa\x18\x01\xff\xf9!";
    LogRecorder quiet;
    const std::vector<RecordedChunk> whole = normalized(decodeReads({stream}));
    ASSERT_GT(whole.size(), 20u);
    for (int split = 1; split < stream.size(); ++split)
        ASSERT_EQ(normalized(decodeReads({stream.left(split), stream.mid(split)})), whole) << "split at " << split;

    QRandomGenerator random(42);
    for (int round = 0; round < 300; ++round) {
        std::vector<QByteArray> reads;
        for (int offset = 0; offset < stream.size();) {
            const int length = random.bounded(1, 12);
            reads.push_back(stream.mid(offset, length));
            offset += length;
        }
        ASSERT_EQ(normalized(decodeReads(reads)), whole) << "round " << round;
    }
}

// Whole reads take fast paths (eight printable bytes at a time, whole CSI
// sequences); reads of one byte never do. Both must agree, also for text
// bytes at the edges of the printable range and at the sequence cap.
TEST(ANSIDataProcessor, FastPathsAgreeWithByteReads)
{
    std::vector<QByteArray> streams = {
        "~~~~~~~~ !!!!!!!\x7f"
        "abcdefgh\x1f"
        "abcdefgh\x80\xc3\xa9"
        "abcdefgh\tabcdefgh\x1b[31mabcdefghij",
        "abcdefg\x1b[1;2mabcdefgh\x1b[1 qabcdefgh\x1b[12",
    };
    for (qsizetype parameters : {4093, 4094, 4095})
        streams.push_back("\x1b[" + QByteArray(parameters, '1') + "mok");
    LogRecorder quiet;
    for (const QByteArray& stream : streams) {
        std::vector<QByteArray> bytes;
        for (char byte : stream)
            bytes.push_back(QByteArray(1, byte));
        EXPECT_EQ(normalized(decodeReads({stream})), normalized(decodeReads(bytes))) << stream.left(40).toStdString();
    }
}

TEST(ANSIDataProcessor, TelnetNamesFollowTheTables)
{
    EXPECT_EQ(ANSIDataProcessor::textForTelnetCommand(250), "SB");
    EXPECT_EQ(ANSIDataProcessor::textForTelnetCommand(254), "DONT");
    EXPECT_EQ(ANSIDataProcessor::textForTelnetCommand(249), "249");
    EXPECT_EQ(ANSIDataProcessor::textForTelnetOption(3), "Suppress go ahead");
    EXPECT_EQ(ANSIDataProcessor::textForTelnetOption(36), "Environment Variables");
    EXPECT_EQ(ANSIDataProcessor::textForTelnetOption(201), "201");
}

TEST(ANSIDataProcessor, AFloodOfInvalidUtf8LogsAFewLinesPerReadNotOnePerChunk)
{
    // The worst shape: bytes 0x80 to 0xff with ESC here and there, so every
    // read holds hundreds of chunks, telnet commands and dropped bytes.
    constexpr int kReads = 32;
    constexpr int kReadBytes = 32 * 1024;
    QRandomGenerator random(7);
    std::vector<QByteArray> reads;
    for (int read = 0; read < kReads; ++read) {
        QByteArray bytes(kReadBytes, Qt::Uninitialized);
        for (char& byte : bytes)
            byte = char(random.bounded(100) == 0 ? 0x1b : 0x80 + random.bounded(128));
        reads.push_back(bytes);
    }
    LogRecorder log;
    RecordingDelegate delegate;
    decodeReads(reads, &delegate);
    ASSERT_EQ(delegate.batches, kReads);
    // Per read: a line per kind of warning, the first telnet commands and
    // one line saying how many more there were.
    const QStringList lines = log.lines();
    EXPECT_LE(lines.size(), kReads * 24) << lines.mid(0, 40).join(" | ").toStdString();
    qint64 logBytes = 0;
    for (const QString& line : lines)
        logBytes += line.toUtf8().size();
    EXPECT_LT(logBytes, kReads * kReadBytes / 10);
    EXPECT_TRUE(std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
        return line.startsWith(QStringLiteral("Telnet commands: ")) &&
               line.endsWith(QStringLiteral(" more in this read not logged"));
    }));
    EXPECT_TRUE(std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
        return line.startsWith(QStringLiteral("Length changed (")) &&
               line.endsWith(QStringLiteral(" times in this read)"));
    }));
}
