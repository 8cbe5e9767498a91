#pragma once

#include <QByteArrayView>
#include <atomic>
#include <memory>

#include "engine/connection/MUDCompressionFigures.h"

class MUDInflater;

// What one connection reads from its server, as a stream that is plain or
// compressed (MCCP2): plain bytes go to the decoder, which stops right after
// a compression start once compression was agreed (the sink's decoder
// delegate asks stopsAfter() of each telnet command); from the next byte on,
// even in the same read, bytes are inflated first, until the stream ends
// (plain again) or fails. The decoder sees every byte, plain or inflated,
// in slices of at most SliceBytes, so whatever holds back a flood between
// slices holds back an inflated one as well.
//
// A stream that expands too far (a decompression bomb) stops being shown:
// its rest is inflated and dropped, so plain bytes after its end go on as
// usual, as long as it ends within the discard limit. A corrupt stream, or
// one that does not end in time, leaves no way to find where plain bytes
// begin again: everything after it is dropped and the connection should be
// closed.
//
// Threads: receive() and setCompressionAccepted() on the socket loop
// thread; figures() from any thread.
class MUDReceiveStream {
public:
    static constexpr qsizetype SliceBytes = 32 * 1024;
    // How much of a bomb is inflated and dropped while waiting for its end:
    // a server that heard the client refuse compression ends its stream
    // long before, a hostile one never does.
    static constexpr quint64 DiscardLimit = quint64(256) * 1024 * 1024;
    // While dropping a bomb's rest, wire bytes are inflated this many at a
    // time, so the discard limit is checked at least every few megabytes.
    static constexpr qsizetype DiscardStepBytes = 4096;

    enum class Event {
        CompressionStarted,
        // The server ended its stream; bytes are plain again.
        CompressionEnded,
        // A bomb: output stopped, the rest is dropped until the stream ends.
        CompressionTooLarge,
        // Nothing more can be read from this connection.
        CompressionCorrupt,
        CompressionDidNotEnd,
    };

    // Where the bytes go.
    class Sink {
    public:
        virtual ~Sink() = default;
        // Decodes one slice and returns how many of its bytes the decoder
        // took: all of them, unless it stopped right after a telnet command
        // (one for which stopsAfter() was true, or one whose effect the
        // sink must apply before the bytes after it); the rest follows in
        // the next call.
        virtual qsizetype decodeSlice(QByteArrayView slice) = 0;
        virtual void receiveStreamEvent(Event event) = 0;
    };

    explicit MUDReceiveStream(Sink& sink);
    ~MUDReceiveStream();
    MUDReceiveStream(const MUDReceiveStream&) = delete;
    MUDReceiveStream& operator=(const MUDReceiveStream&) = delete;

    // Whether a compression start begins a compressed stream: only after
    // the connection agreed to compression. Any thread.
    void setCompressionAccepted(bool accepted) { m_compressionAccepted = accepted; }
    // Asked of each whole telnet command as the decoder completes it, while
    // decodeSlice() runs: true when it begins a compressed stream (IAC SB
    // COMPRESS2 IAC SE in bytes as read, once compression was agreed), so
    // the decoder must stop right after it.
    bool stopsAfter(QByteArrayView command);

    void receive(QByteArrayView data);

    bool isCompressed() const { return m_inflater != nullptr; }
    MUDCompressionFigures figures() const;

private:
    enum class Mode { Plain, Compressed, Discarding, Dead };

    qsizetype receivePlain(QByteArrayView data);
    qsizetype receiveCompressed(QByteArrayView data);
    qsizetype decode(QByteArrayView slice);
    void endStream(Event event, Mode next);
    void countInflater();

    Sink& m_sink;
    Mode m_mode = Mode::Plain;
    std::atomic<bool> m_compressionAccepted{false};
    // Set while a slice of bytes as read is being decoded, and when a
    // compression start ended it.
    bool m_decodingPlain = false;
    bool m_compressionStartSeen = false;
    std::unique_ptr<MUDInflater> m_inflater;
    // Figures of the streams that ended, and of the open one so far.
    std::atomic<quint64> m_wireBytes{0};
    std::atomic<quint64> m_inflatedBytes{0};
    quint64 m_countedWire = 0;
    quint64 m_countedInflated = 0;
    quint64 m_discardedAtCap = 0;
};
