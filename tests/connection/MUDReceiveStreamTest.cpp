#include "engine/connection/MUDReceiveStream.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ZlibStreams.h"
#include "engine/connection/MUDInflater.h"
#include "engine/decoding/ANSIDataProcessor.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"

namespace {
using Event = MUDReceiveStream::Event;

const QByteArray kCompressionStart("\xff\xfa\x56\xff\xf0", 5);

// A connection's receiving end as the session has it: a real decoder behind
// the stream, recording the text it shows, the telnet commands, the events
// and the largest slice the decoder was given.
class DecodingSink : public MUDReceiveStream::Sink, public ANSIDataProcessorDelegate {
public:
    qsizetype decodeSlice(QByteArrayView slice) override
    {
        largestSlice = std::max(largestSlice, slice.size());
        decodedBytes += slice.size();
        decoder.processData(slice);
        return decoder.consumedBytes();
    }
    void receiveStreamEvent(Event event) override { events.push_back(event); }
    bool ANSIDataProcessorTelnetCommand(ANSIDataProcessor*, QByteArrayView command) override
    {
        return !stream->stopsAfter(command);
    }
    void ANSIDataProcessorReceived(ANSIDataProcessor*, const ANSIDataProcessorResults& results) override
    {
        for (const ANSIDataProcessorResult result : results) {
            if (result.type() == ANSIResultType::Text)
                text += result.data().toByteArray();
            else if (result.type() == ANSIResultType::Telnet)
                telnet.append(result.data().toByteArray());
        }
    }

    MUDReceiveStream* stream = nullptr;
    ANSIDataProcessor decoder{this};
    QByteArray text;
    QList<QByteArray> telnet;
    std::vector<Event> events;
    qsizetype largestSlice = 0;
    quint64 decodedBytes = 0;
};

struct Receiver {
    DecodingSink sink;
    MUDReceiveStream stream{sink};
    explicit Receiver(bool accepted = true)
    {
        sink.stream = &stream;
        stream.setCompressionAccepted(accepted);
    }
    void receive(const std::vector<QByteArray>& reads)
    {
        for (const QByteArray& read : reads)
            stream.receive(read);
    }
};

// Plain text, a compression start, compressed text that ends, plain text again.
QByteArray compressedSession()
{
    return "before\r\n" + kCompressionStart + ZlibStreams::finished("inside the stream\r\n") + "after\r\n";
}
}

TEST(MUDReceiveStream, InflatesFromTheByteAfterACompressionStartInTheSameRead)
{
    Receiver receiver;
    receiver.receive({compressedSession()});
    EXPECT_EQ(receiver.sink.text, "before\ninside the stream\nafter\n");
    EXPECT_EQ(receiver.sink.events, (std::vector<Event>{Event::CompressionStarted, Event::CompressionEnded}));
    ASSERT_EQ(receiver.sink.telnet.size(), 1);
    EXPECT_EQ(receiver.sink.telnet[0], kCompressionStart);
    EXPECT_FALSE(receiver.stream.isCompressed());
    const MUDCompressionFigures figures = receiver.stream.figures();
    EXPECT_EQ(figures.wireBytes, quint64(ZlibStreams::finished("inside the stream\r\n").size()));
    EXPECT_EQ(figures.inflatedBytes, quint64(QByteArray("inside the stream\r\n").size()));
}

TEST(MUDReceiveStream, ShowsTheSameTextWhereverReadsSplitTheStream)
{
    const QByteArray session = compressedSession();
    const QByteArray expected = "before\ninside the stream\nafter\n";
    for (qsizetype cut = 1; cut < session.size(); ++cut) {
        Receiver receiver;
        receiver.receive({session.first(cut), session.sliced(cut)});
        EXPECT_EQ(receiver.sink.text, expected) << "cut after byte " << cut;
        EXPECT_EQ(receiver.sink.events.size(), 2u) << "cut after byte " << cut;
    }
    Receiver bytewise;
    for (char byte : session)
        bytewise.stream.receive(QByteArrayView(&byte, 1));
    EXPECT_EQ(bytewise.sink.text, expected);
    EXPECT_EQ(bytewise.sink.events, (std::vector<Event>{Event::CompressionStarted, Event::CompressionEnded}));
}

TEST(MUDReceiveStream, AStreamThatStaysOpenKeepsInflatingLaterReads)
{
    Receiver receiver;
    receiver.receive({"hi\r\n" + kCompressionStart + ZlibStreams::unfinished("one\r\n")});
    EXPECT_TRUE(receiver.stream.isCompressed());
    EXPECT_EQ(receiver.sink.text, "hi\none\n");
    EXPECT_EQ(receiver.sink.events, std::vector<Event>{Event::CompressionStarted});

    // The same server may start a new stream after its last one ended.
    Receiver restarted;
    restarted.receive({kCompressionStart + ZlibStreams::finished("one\r\n") + kCompressionStart +
                       ZlibStreams::finished("two\r\n") + "three\r\n"});
    EXPECT_EQ(restarted.sink.text, "one\ntwo\nthree\n");
    EXPECT_EQ(restarted.sink.events.size(), 4u);
}

TEST(MUDReceiveStream, WithoutAgreementACompressionStartIsOnlyATelnetCommand)
{
    Receiver receiver(false);
    receiver.receive({"a\r\n" + kCompressionStart + "b\r\n"});
    EXPECT_EQ(receiver.sink.text, "a\nb\n");
    EXPECT_TRUE(receiver.sink.events.empty());
    EXPECT_EQ(receiver.sink.telnet.size(), 1);
}

TEST(MUDReceiveStream, InflatedBytesReachTheDecoderInSlicesLikeReads)
{
    // Text that inflates to several slices from one small read.
    QByteArray text;
    for (int line = 0; text.size() < 10 * MUDReceiveStream::SliceBytes; ++line)
        text += "Line " + QByteArray::number(line) + " of a long room description.\r\n";
    Receiver receiver;
    receiver.receive({kCompressionStart + ZlibStreams::finished(text)});
    EXPECT_LE(receiver.sink.largestSlice, MUDReceiveStream::SliceBytes);
    EXPECT_EQ(receiver.sink.text, QByteArray(text).replace("\r\n", "\n"));
    EXPECT_GT(receiver.stream.figures().ratio(), 3.0);
}

TEST(MUDReceiveStream, ABombStopsBeingShownAndPlainTextAfterItsEndGoesOn)
{
    LogRecorder log;
    const QByteArray bomb = ZlibStreams::bomb(quint64(32) * 1024 * 1024, true);
    Receiver receiver;
    receiver.receive({"start\r\n" + kCompressionStart + bomb + "still here\r\n"});
    EXPECT_EQ(receiver.sink.events,
              (std::vector<Event>{Event::CompressionStarted, Event::CompressionTooLarge, Event::CompressionEnded}));
    EXPECT_EQ(receiver.sink.text, "start\nstill here\n");
    // Only what the cap allowed reached the decoder; the rest was inflated to find the end.
    EXPECT_LE(receiver.sink.decodedBytes,
              MUDInflater::ExpansionAllowance + MUDInflater::MaxExpansionRatio * quint64(bomb.size()) + 32);
    EXPECT_EQ(receiver.stream.figures().inflatedBytes, quint64(32) * 1024 * 1024);
    EXPECT_TRUE(log.lines().join('\n').contains("MCCP2 - stream expands more than 100 times"));
}

TEST(MUDReceiveStream, AGigabyteBombEndsTheConnectionInBoundedTime)
{
    LogRecorder log;
    const QByteArray bomb = ZlibStreams::bomb(quint64(1024) * 1024 * 1024, true);
    ASSERT_LT(bomb.size(), 2 * 1024 * 1024);
    Receiver receiver;
    QElapsedTimer timer;
    timer.start();
    receiver.receive({kCompressionStart});
    // As the socket reads it, 64 KiB at a time.
    for (qsizetype offset = 0; offset < bomb.size(); offset += 64 * 1024)
        receiver.stream.receive(
            QByteArrayView(bomb).sliced(offset).first(std::min<qsizetype>(64 * 1024, bomb.size() - offset)));
    receiver.receive({"plain\r\n"});
    EXPECT_LT(timer.elapsed(), 30000);
    EXPECT_EQ(receiver.sink.events,
              (std::vector<Event>{Event::CompressionStarted, Event::CompressionTooLarge, Event::CompressionDidNotEnd}));
    // Nothing after it can be told apart from the compressed stream: dropped.
    EXPECT_EQ(receiver.sink.text, "");
    EXPECT_LT(receiver.stream.figures().inflatedBytes, MUDReceiveStream::DiscardLimit + 16 * 1024 * 1024);
    EXPECT_TRUE(log.lines().join('\n').contains("did not end within"));
}

TEST(MUDReceiveStream, ACorruptStreamDropsEverythingAfterIt)
{
    LogRecorder log;
    QByteArray corrupt = ZlibStreams::unfinished("good text\r\n");
    // Block type 3 does not exist.
    corrupt += QByteArray("\xff\xff\xff\xff", 4);
    Receiver receiver;
    receiver.receive({"plain\r\n" + kCompressionStart + corrupt, "more plain\r\n"});
    EXPECT_EQ(receiver.sink.text, "plain\ngood text\n");
    EXPECT_EQ(receiver.sink.events, (std::vector<Event>{Event::CompressionStarted, Event::CompressionCorrupt}));
    EXPECT_TRUE(log.lines().join('\n').contains("MCCP2 - corrupt stream (invalid block type)"));

    // A stream whose checksum is wrong is corrupt too, once its end arrives.
    QByteArray badChecksum = ZlibStreams::finished("text\r\n");
    badChecksum[badChecksum.size() - 1] = char(badChecksum.back() ^ 1);
    Receiver checked;
    checked.receive({kCompressionStart + badChecksum + "after\r\n"});
    EXPECT_EQ(checked.sink.events, (std::vector<Event>{Event::CompressionStarted, Event::CompressionCorrupt}));
    EXPECT_EQ(checked.sink.text, "text\n");
}
