#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <memory>

// Inflates one zlib stream (RFC 1950) as a game server sends it after a
// compression start, piece by piece, with caps a hostile server cannot get
// past: every piece handed on is at most PieceBytes long (with zlib's own
// fixed state of about 44 KiB, that is all the memory a stream takes,
// however far it expands), and a stream that expands more than
// MaxExpansionRatio times the bytes it came in (past an allowance for a
// short burst of blank screen) is stopped as a decompression bomb.
// Counts the bytes taken from the wire and the bytes inflated.
//
// Threads: one thread at a time (the socket loop thread).
class MUDInflater {
public:
    static constexpr qsizetype PieceBytes = 32 * 1024;
    static constexpr quint64 MaxExpansionRatio = 100;
    static constexpr quint64 ExpansionAllowance = 4 * 1024 * 1024;

    enum class Status {
        // Every input byte was taken; the stream goes on in the next read.
        NeedsInput,
        // The stream ended; bytes after it are not part of it.
        StreamEnd,
        // Not a valid zlib stream; nothing more can be inflated.
        Corrupt,
        // Expanded past the cap.
        TooLarge,
    };
    struct Result {
        Status status;
        // Input bytes taken, up to and including the stream's end.
        qsizetype consumed;
    };

    MUDInflater();
    ~MUDInflater();
    MUDInflater(const MUDInflater&) = delete;
    MUDInflater& operator=(const MUDInflater&) = delete;

    // Inflates what `input` holds and hands the output to `sink` in pieces
    // of at most PieceBytes, in order. Stops at the stream's end or on a
    // failure; after either, later calls take nothing and say the same.
    Result inflate(QByteArrayView input, const std::function<void(QByteArrayView)>& sink);

    // After TooLarge: goes on inflating without the cap, for a caller that
    // drops the output while it waits for the stream's end.
    void liftExpansionCap();

    quint64 wireBytes() const { return m_wireBytes; }
    quint64 inflatedBytes() const { return m_inflatedBytes; }
    // zlib's reason for a corrupt stream, or empty.
    QByteArray errorText() const { return m_errorText; }

private:
    bool expandsTooFar() const;

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    Status m_finished = Status::NeedsInput;
    bool m_capped = true;
    quint64 m_wireBytes = 0;
    quint64 m_inflatedBytes = 0;
    QByteArray m_errorText;
};
