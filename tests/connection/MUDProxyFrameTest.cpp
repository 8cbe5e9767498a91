#include "engine/connection/MUDProxyFrame.h"
#include "engine/connection/MUDProxyFrameDecoder.h"
#include "engine/connection/MUDProxyOutgoingFrame.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "core/CVCkoGzip.h"

namespace {
quint16 flagOf(const QByteArray& frame)
{
    return qFromLittleEndian<quint16>(frame.constData());
}

quint32 lengthOf(const QByteArray& frame)
{
    return qFromLittleEndian<quint32>(frame.constData() + 2);
}
}

TEST(MUDProxyFrame, CompressesOnlyAboveOneHundredCodeUnits)
{
    struct Row {
        const char* name;
        QString document;
        quint16 flag;
    };
    const Row rows[] = {
        {"empty", QString(), MUDProxyFrame::PlainFlag},
        {"100 ASCII", QString(100, QLatin1Char('a')), MUDProxyFrame::PlainFlag},
        {"101 ASCII", QString(101, QLatin1Char('a')), MUDProxyFrame::GzipFlag},
        // 100 code units but 200 UTF-8 bytes: the limit counts characters.
        {"100 two-byte", QString(100, QChar(0x00E9)), MUDProxyFrame::PlainFlag},
        // 50 emoji are 100 code units; one more makes 102.
        {"50 surrogate pairs", QString::fromUtf8("\xF0\x9F\x98\x80").repeated(50), MUDProxyFrame::PlainFlag},
        {"51 surrogate pairs", QString::fromUtf8("\xF0\x9F\x98\x80").repeated(51), MUDProxyFrame::GzipFlag},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray frame = MUDProxyFrame::encode(row.document);
        ASSERT_GE(frame.size(), MUDProxyFrame::HeaderSize);
        EXPECT_EQ(flagOf(frame), row.flag);
        const QByteArray payload = frame.mid(MUDProxyFrame::HeaderSize);
        EXPECT_EQ(lengthOf(frame), static_cast<quint32>(payload.size()));
        const QByteArray utf8 = row.flag == MUDProxyFrame::GzipFlag ? CVCkoGzip::gunzip(payload) : payload;
        EXPECT_EQ(QString::fromUtf8(utf8), row.document);
    }
}

// Viewers sending one document at the same moment share one encoding.
TEST(MUDProxyOutgoingFrame, EncodesOnceForEveryViewer)
{
    const QString document = QStringLiteral("{\"action\":\"appendText\",\"entries\":[%1]}").arg(QString(4000, u'x'));
    const MUDProxyOutgoingFrame frame(document);
    std::vector<const char*> seen(8, nullptr);
    std::vector<std::thread> viewers;
    for (size_t i = 0; i < seen.size(); ++i)
        viewers.emplace_back([&, i] { seen[i] = frame.bytes().constData(); });
    for (std::thread& viewer : viewers)
        viewer.join();
    for (const char* bytes : seen)
        EXPECT_EQ(bytes, seen.front());
    EXPECT_EQ(frame.bytes(), MUDProxyFrame::encode(document));
    EXPECT_EQ(flagOf(frame.bytes()), MUDProxyFrame::GzipFlag);
}

TEST(MUDProxyFrameDecoder, DecodesWhateverTheChunking)
{
    const QStringList documents = {QStringLiteral("{\"action\":\"appendText\"}"), QString(5000, QLatin1Char('x')),
                                   QString(), QStringLiteral("caf\u00e9 \U0001F600")};
    QByteArray stream;
    for (const QString& document : documents)
        stream += MUDProxyFrame::encode(document);

    for (const qsizetype chunk : {qsizetype(1), qsizetype(5), qsizetype(7), qsizetype(4096), stream.size()}) {
        SCOPED_TRACE(chunk);
        MUDProxyFrameDecoder decoder;
        QStringList decoded;
        for (qsizetype offset = 0; offset < stream.size(); offset += chunk) {
            decoder.append(stream.mid(offset, chunk));
            decoded += decoder.takeDocuments();
        }
        EXPECT_EQ(decoded, documents);
        EXPECT_FALSE(decoder.hasFailed());
        EXPECT_EQ(decoder.pendingByteCount(), 0);
        EXPECT_TRUE(decoder.takeErrors().isEmpty());
    }
}

TEST(MUDProxyFrameDecoder, BadFramesAreReportedNotFatal)
{
    const QByteArray good = MUDProxyFrame::encode(QStringLiteral("after"));
    struct Row {
        const char* name;
        QByteArray stream;
        QStringList documents;
        bool failed;
    };
    const Row rows[] = {
        {"unknown flag loses the framing", MUDProxyFrame::header(2, 3) + "abc" + good, {}, true},
        {"length above the limit", MUDProxyFrame::header(0, 1025) + good, {}, true},
        {"gzip flag on plain bytes skips one frame", MUDProxyFrame::header(1, 3) + "abc" + good, {"after"}, false},
        {"truncated gzip stream skips one frame",
         MUDProxyFrame::header(1, 10) + CVCkoGzip::gzip(QByteArray(300, 'z')).left(10) + good,
         {"after"},
         false},
        {"header only waits", MUDProxyFrame::header(0, 4), {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MUDProxyFrameDecoder decoder(1024);
        decoder.append(row.stream);
        EXPECT_EQ(decoder.takeDocuments(), row.documents);
        EXPECT_EQ(decoder.hasFailed(), row.failed);
        const bool clean = row.documents.isEmpty() && !row.failed;
        EXPECT_EQ(decoder.takeErrors().isEmpty(), clean);
        // A failed decoder takes nothing more; a working one goes on.
        decoder.append(good + good);
        EXPECT_EQ(decoder.takeDocuments().isEmpty(), row.failed);
    }
}
