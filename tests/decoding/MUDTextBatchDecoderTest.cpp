#include "engine/decoding/MUDTextBatchDecoder.h"

#include <gtest/gtest.h>

#include "DecoderTestSupport.h"
#include "engine/decoding/ANSIDataProcessor.h"

namespace {
// A connection's decoder in another encoding, followed by the conversion
// the session applies: what the output shows, as Unicode.
class EncodedDecoding : public ANSIDataProcessorDelegate {
public:
    explicit EncodedDecoding(const QString& encoding)
        : m_converter(encoding)
    {
        m_decoder.setTextBytes(ANSIDataProcessor::TextBytes::Encoded);
    }
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        for (const ANSIDataProcessorResult result : m_converter.toUtf8(results)) {
            if (result.type() == ANSIResultType::Text)
                text += QString::fromUtf8(result.data());
            else
                sequences << QString::fromLatin1(result.data().toByteArray().toHex());
        }
    }
    void receive(const std::vector<QByteArray>& reads)
    {
        for (const QByteArray& read : reads)
            m_decoder.processData(read);
    }

    QString text;
    QStringList sequences;

private:
    MUDTextBatchDecoder m_converter;
    ANSIDataProcessor m_decoder{this};
};

QString decodeWhole(const QString& encoding, const QByteArray& bytes)
{
    EncodedDecoding decoding(encoding);
    decoding.receive({bytes});
    return decoding.text;
}
}

TEST(MUDTextEncoding, EveryChoiceIsKnownAndUTF8ComesFirst)
{
    const QStringList choices = MUDTextEncoding::choices();
    ASSERT_FALSE(choices.isEmpty());
    EXPECT_EQ(choices.first(), MUDTextEncoding::UTF8);
    for (const QString& name : choices) {
        EXPECT_TRUE(MUDTextEncoding(name).isValid()) << name.toStdString();
        EXPECT_NE(MUDTextEncoding::displayName(name), name) << name.toStdString();
    }
    EXPECT_FALSE(MUDTextEncoding("no-such-encoding").isValid());
}

TEST(MUDTextEncoding, WritesTypedTextInTheEncoding)
{
    EXPECT_EQ(MUDTextEncoding("GBK").fromUnicode(QString::fromUtf8("说 你好")),
              QByteArray("\xcb\xb5 \xc4\xe3\xba\xc3"));
    EXPECT_EQ(MUDTextEncoding("ISO-8859-1").fromUnicode(QString::fromUtf8("café ÿ")), QByteArray("caf\xe9 \xff"));
    EXPECT_EQ(MUDTextEncoding("KOI8-R").fromUnicode(QString::fromUtf8("ОБЪЕКТ")),
              QByteArray("\xef\xe2\xff\xe5\xeb\xf4"));
    // What the encoding cannot write becomes its substitution byte, never nothing.
    EXPECT_EQ(MUDTextEncoding("ISO-8859-1").fromUnicode(QString::fromUtf8("a你b")), QByteArray("a\x1a"
                                                                                               "b"));
}

// Each row: encoding, server bytes, text shown.
TEST(MUDTextBatchDecoder, ShowsServerTextInTheConnectionsEncoding)
{
    struct Row {
        QString encoding;
        QByteArray bytes;
        QString shown;
    };
    const std::vector<Row> rows = {
        {"GBK", "\xc4\xe3\xba\xc3\r\n", QString::fromUtf8("你好\n")},
        {"GB18030", "\x81\x30\x81\x30", QString::fromUtf8("\u0080")},
        {"Big5", "\xa4\xa4\xa4\xe5", QString::fromUtf8("中文")},
        // Bytes 249 to 252 are letters here, and IAC IAC is the letter 255.
        {"ISO-8859-1", QByteArray("\xf9\xfa\xfb\xfc \xff\xff", 7), QString::fromUtf8("ùúûü ÿ")},
        {"windows-1252", "\x80 \x93quoted\x94", QString::fromUtf8("€ “quoted”")},
        {"KOI8-R", QByteArray("\xef\xe2\xff\xff\xe5\xeb\xf4", 7), QString::fromUtf8("ОБЪЕКТ")},
        // Control bytes still go; escape sequences still style.
        {"GBK", "\x1b[31m\xc4\xe3\x07\x1b[0m", QString::fromUtf8("你")},
        // A GBK trail byte may be '[' or '@': it stays part of its character.
        {"GBK", "\x81\x40\x81\x5b", QString::fromUtf8("丂乕")},
    };
    for (const Row& row : rows)
        EXPECT_EQ(decodeWhole(row.encoding, row.bytes), row.shown) << row.bytes.toHex().toStdString();
}

TEST(MUDTextBatchDecoder, ACharacterCutBetweenReadsOrByASequenceIsCompleted)
{
    const QByteArray bytes = "\xb5\xda\xd2\xbb\xd5\xc2 \x1b[1m\xc4\xe3\x1b[0m\xba\xc3\r\n";
    const QString whole = decodeWhole("GBK", bytes);
    EXPECT_EQ(whole, QString::fromUtf8("第一章 你好\n"));
    for (qsizetype cut = 1; cut < bytes.size(); ++cut) {
        EncodedDecoding decoding("GBK");
        decoding.receive({bytes.first(cut), bytes.sliced(cut)});
        EXPECT_EQ(decoding.text, whole) << "cut after byte " << cut;
    }
    // A lead byte cut off by an escape sequence joins the next text.
    EXPECT_EQ(decodeWhole("GBK", "\xc4\x1b[1m\xe3"), QString::fromUtf8("你"));
}

TEST(MUDTextBatchDecoder, InvalidBytesBecomeReplacementCharacters)
{
    // A lead byte without a valid trail byte.
    EXPECT_EQ(decodeWhole("GBK", "a\x81 b"), QString::fromUtf8("a\uFFFD b"));
}
