#include "engine/connection/MUDInflater.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include "ZlibStreams.h"

namespace {
struct Inflated {
    MUDInflater::Result result;
    QByteArray output;
    qsizetype largestPiece = 0;
};

Inflated inflateAll(MUDInflater& inflater, QByteArrayView input)
{
    Inflated inflated;
    inflated.result = inflater.inflate(input, [&](QByteArrayView piece) {
        inflated.output += piece.toByteArray();
        inflated.largestPiece = std::max(inflated.largestPiece, piece.size());
    });
    return inflated;
}

QByteArray noise(qsizetype size)
{
    QRandomGenerator generator(20);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}
}

TEST(MUDInflater, HandsOnTheStreamInPiecesAndStopsAtItsEnd)
{
    // Random bytes do not compress: the pieces come from a large input too.
    const QByteArray text = noise(5 * MUDInflater::PieceBytes + 17);
    const QByteArray stream = ZlibStreams::finished(text);
    MUDInflater inflater;
    const Inflated inflated = inflateAll(inflater, stream + "plain after the end");
    EXPECT_EQ(inflated.result.status, MUDInflater::Status::StreamEnd);
    EXPECT_EQ(inflated.result.consumed, stream.size());
    EXPECT_EQ(inflated.output, text);
    EXPECT_LE(inflated.largestPiece, MUDInflater::PieceBytes);
    EXPECT_EQ(inflater.wireBytes(), quint64(stream.size()));
    EXPECT_EQ(inflater.inflatedBytes(), quint64(text.size()));
    // Once ended it takes nothing more.
    EXPECT_EQ(inflateAll(inflater, "x").result.consumed, 0);
}

TEST(MUDInflater, StopsABombAtTheCapWithoutHandingItOn)
{
    const QByteArray bomb = ZlibStreams::bomb(quint64(64) * 1024 * 1024, true);
    MUDInflater inflater;
    const Inflated inflated = inflateAll(inflater, bomb);
    EXPECT_EQ(inflated.result.status, MUDInflater::Status::TooLarge);
    EXPECT_LE(quint64(inflated.output.size()),
              inflater.wireBytes() * MUDInflater::MaxExpansionRatio + MUDInflater::ExpansionAllowance);
    EXPECT_GT(quint64(inflated.output.size()), MUDInflater::ExpansionAllowance - MUDInflater::PieceBytes);
    EXPECT_EQ(inflateAll(inflater, bomb.sliced(inflated.result.consumed)).result.status, MUDInflater::Status::TooLarge);

    // Lifted, it runs to the end and says so.
    inflater.liftExpansionCap();
    const Inflated rest = inflateAll(inflater, bomb.sliced(inflated.result.consumed));
    EXPECT_EQ(rest.result.status, MUDInflater::Status::StreamEnd);
    EXPECT_EQ(inflater.inflatedBytes(), quint64(64) * 1024 * 1024);
}

TEST(MUDInflater, ReportsACorruptStreamAndStaysFailed)
{
    MUDInflater headerless;
    EXPECT_EQ(inflateAll(headerless, "plain text, not zlib").result.status, MUDInflater::Status::Corrupt);
    EXPECT_FALSE(headerless.errorText().isEmpty());
    EXPECT_EQ(inflateAll(headerless, ZlibStreams::finished("ok")).result.status, MUDInflater::Status::Corrupt);

    MUDInflater truncated;
    const QByteArray stream = ZlibStreams::finished("a line of text\r\n");
    EXPECT_EQ(inflateAll(truncated, stream.first(stream.size() - 2)).result.status, MUDInflater::Status::NeedsInput);
}
