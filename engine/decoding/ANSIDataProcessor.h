#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include "engine/decoding/ANSIDataProcessorResults.h"

class ANSIDataProcessorDelegate;

// Splits the bytes a game server sends into telnet commands (RFC 854/855),
// escape sequences (ECMA-48: CSI, control strings such as OSC, short ESC
// forms) and filtered text, in order, and hands each read's chunks to its
// delegate in one call. A single pass over each read with explicit states;
// a sequence, telnet command or UTF-8 character that a read cuts in two is
// carried over, so the output does not depend on where reads end. Hostile
// input is clamped: a sequence past its cap is dropped with a log line (a
// subnegotiation up to its IAC SE), and
// each kind of warning is logged once per read with its count.
// It never answers the server. Socket loop thread (one thread at a time).
class ANSIDataProcessor {
public:
    static constexpr qsizetype kMaximumEscapeSequenceLength = 4096;
    // Room for a GMCP message of 1 MB, the largest any option carries.
    static constexpr qsizetype kMaximumSubnegotiationLength = 1024 * 1024 + 64;

    explicit ANSIDataProcessor(ANSIDataProcessorDelegate* delegate);

    // Decodes one read; always true.
    bool processData(QByteArrayView data);
    // How many bytes of the last processData() input were decoded: all of
    // them unless the delegate stopped the read after a telnet command.
    qsizetype consumedBytes() const { return m_consumedBytes; }

    // How text bytes are read: as UTF-8 (bytes that are never part of it
    // are dropped; a character cut at the end of a read waits for the next)
    // or as bytes of another encoding that a later step converts
    // (MUDTextBatchDecoder): only control bytes are dropped, and IAC IAC is
    // the data byte 255.
    enum class TextBytes : quint8 { Utf8, Encoded };
    void setTextBytes(TextBytes textBytes) { m_textBytes = textBytes; }

    static QString textForTelnetCommand(int code);
    static QString textForTelnetOption(int code);

private:
    enum class State : quint8 {
        Ground,
        Escape, // after ESC
        EscapeIntermediate, // ESC, intermediate bytes, awaiting the final byte
        CsiParameter, // ESC [ and parameter bytes
        CsiIntermediate, // CSI intermediate bytes
        ControlString, // OSC, DCS, SOS, PM or APC body
        ControlStringEscape, // ESC inside a control string (ST is ESC \)
        TelnetCommand, // after IAC
        TelnetOption, // after IAC WILL/WONT/DO/DONT
        Subnegotiation, // IAC SB body
        SubnegotiationIac, // IAC inside a subnegotiation
        SubnegotiationSkip, // the rest of a subnegotiation past its cap
        SubnegotiationSkipIac, // IAC inside that rest
    };

    // Per-read decoding context: where output goes and where the open
    // sequence began.
    struct Pass;

    void ground(Pass& pass);
    // Emits the CSI sequence at pass.p when it lies whole in this read.
    bool takeWholeCsi(Pass& pass);
    // One byte of an open sequence, by family of states.
    void sequenceByte(Pass& pass);
    void escapeByte(Pass& pass);
    void csiByte(Pass& pass);
    void controlStringByte(Pass& pass);
    void telnetByte(Pass& pass);
    // A byte that cannot continue an escape sequence or CSI.
    void interruptSequence(Pass& pass);
    // Past its cap, the open sequence is dropped.
    void dropOverlongSequence(Pass& pass);
    bool isSkippingSubnegotiation() const
    {
        return m_state == State::SubnegotiationSkip || m_state == State::SubnegotiationSkipIac;
    }
    void openText(Pass& pass);
    void closeText(Pass& pass, bool endOfRead);
    void beginSequence(Pass& pass, State state);
    void emitSequence(Pass& pass, ANSIResultType type, qsizetype dropTail = 0);
    // Every telnet command goes to the delegate as it completes, and IAC
    // WILL ECHO and IAC WONT ECHO as an echo report as well.
    void reportTelnetCommand(Pass& pass, QByteArrayView command, bool mayStop);
    void restartAtPreviousByte(Pass& pass, ANSIResultType type, State state);
    void abortSequence(Pass& pass, const QString& reason);
    qsizetype sequenceLength(const Pass& pass) const;

    ANSIDataProcessorDelegate* m_delegate;
    TextBytes m_textBytes = TextBytes::Utf8;
    State m_state = State::Ground;
    // Bytes of a sequence or telnet command begun in an earlier read.
    QByteArray m_waitingServerOutput;
    // The start of a UTF-8 character cut off at the end of the last read.
    QByteArray m_heldText;
    qsizetype m_consumedBytes = 0;
};
