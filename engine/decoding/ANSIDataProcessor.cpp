#include "engine/decoding/ANSIDataProcessor.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "core/CVByteHelpers.h"
#include "core/CVLogHelper.h"
#include "engine/decoding/ANSIDataProcessorDelegate.h"
#include "engine/decoding/ANSIDataProcessorWarnings.h"

namespace {
constexpr uchar kEscape = 0x1b;
constexpr uchar kBell = 0x07;
constexpr uchar kIac = 255;
constexpr uchar kSb = 250;
constexpr uchar kSe = 240;
constexpr uchar kWill = 251;
constexpr uchar kWont = 252;
constexpr uchar kEchoOption = 1;

// How a byte behaves in text.
enum class TextClass : quint8 { Keep, Drop, LineFeed, CarriageReturn, Escape, Iac };

// Tab, line feed and printable bytes stay; other C0 controls, DEL and, in
// UTF-8, the bytes 249 to 252 (never part of it) are dropped. Other
// encodings use those bytes for letters.
constexpr std::array<TextClass, 256> makeTextClasses(bool utf8)
{
    std::array<TextClass, 256> classes{};
    for (int byte = 0; byte < 256; ++byte) {
        const bool drop = byte < 32 || byte == 127 || (utf8 && byte >= 249 && byte <= 252);
        classes[byte] = drop ? TextClass::Drop : TextClass::Keep;
    }
    classes['\t'] = TextClass::Keep;
    classes['\n'] = TextClass::LineFeed;
    classes['\r'] = TextClass::CarriageReturn;
    classes[kEscape] = TextClass::Escape;
    classes[kIac] = TextClass::Iac;
    return classes;
}
constexpr std::array<TextClass, 256> kUtf8TextClasses = makeTextClasses(true);
constexpr std::array<TextClass, 256> kEncodedTextClasses = makeTextClasses(false);

// True when all eight bytes of `word` lie in 0x20 to 0x7e (bit tricks that
// test every byte at once, exact for these bounds).
bool isPrintableAscii(quint64 word)
{
    constexpr quint64 ones = 0x0101010101010101ULL;
    constexpr quint64 highs = 0x8080808080808080ULL;
    const quint64 below = (word - ones * 0x20) & ~word & highs;
    const quint64 above = ((word + ones * (0x7f - 0x7e)) | word) & highs;
    return (below | above) == 0;
}

bool isIntermediate(uchar c)
{
    return c >= 0x20 && c <= 0x2f;
}
bool isParameter(uchar c)
{
    return c >= 0x30 && c <= 0x3f;
}
bool isCsiFinal(uchar c)
{
    return c >= 0x40 && c <= 0x7e;
}
bool isEscapeFinal(uchar c)
{
    return c >= 0x30 && c <= 0x7e;
}
// OSC, DCS, SOS, PM and APC: strings ended by BEL or ST.
bool opensControlString(uchar c)
{
    return c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_';
}

// Number of bytes of an incomplete UTF-8 character at the end of [begin, end), or 0.
qsizetype incompleteUtf8Tail(const char* begin, const char* end)
{
    for (const char* q = end - 1; q >= begin && end - q <= 3; --q) {
        const uchar c = uchar(*q);
        if ((c & 0xc0) == 0x80)
            continue;
        if (c < 0xc2 || c > 0xf4)
            return 0;
        const qsizetype needed = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : 2;
        return end - q < needed ? end - q : 0;
    }
    return 0;
}
}

struct ANSIDataProcessor::Pass {
    const uchar* p;
    const uchar* end;
    // Where the open sequence begins in this read (the read's start when it
    // began in an earlier one).
    const uchar* sequenceStart;

    QByteArray bytes;
    char* out;
    QList<ANSIDataProcessorResults::Span> spans;

    // The delegate asked to stop after the telnet command just cut.
    bool stopped = false;
    bool textOpen = false;
    char* textStart = nullptr;
    bool textChanged = false;
    // Carriage returns not yet known to touch a line feed; a CR next to a
    // LF is a line end and goes silently, a lone one counts as dropped.
    int pendingCarriageReturns = 0;
    bool afterLineFeed = false;
    ANSIDataProcessorWarnings warnings;

    void push(const char* start, qsizetype length, ANSIResultType type)
    {
        spans.append({start - bytes.constData(), length, type});
    }
    void dropTextByte()
    {
        textChanged = true;
        pendingCarriageReturns = 0;
        afterLineFeed = false;
    }
};

ANSIDataProcessor::ANSIDataProcessor(ANSIDataProcessorDelegate* delegate)
    : m_delegate(delegate)
{
}

bool ANSIDataProcessor::processData(QByteArrayView data)
{
    Pass pass;
    pass.p = reinterpret_cast<const uchar*>(data.data());
    pass.end = pass.p + data.size();
    pass.sequenceStart = pass.p;
    // Every output byte comes from the carried bytes or this read, so one
    // buffer of that size holds the whole batch.
    pass.bytes.resize(m_waitingServerOutput.size() + m_heldText.size() + data.size());
    pass.out = pass.bytes.data();
    pass.spans.reserve(64);

    while (pass.p < pass.end && !pass.stopped) {
        if (m_state == State::Ground)
            ground(pass);
        else
            sequenceByte(pass);
    }
    m_consumedBytes = pass.p - reinterpret_cast<const uchar*>(data.data());
    closeText(pass, true);
    if (m_state != State::Ground && !isSkippingSubnegotiation())
        m_waitingServerOutput.append(reinterpret_cast<const char*>(pass.sequenceStart), pass.end - pass.sequenceStart);

    pass.warnings.flush();
    if (pass.spans.isEmpty()) {
        CVLog(QStringLiteral("No results"));
        return true;
    }
    pass.bytes.truncate(pass.out - pass.bytes.constData());
    if (m_delegate)
        m_delegate->ANSIDataProcessorReceived(this,
                                              ANSIDataProcessorResults(std::move(pass.bytes), std::move(pass.spans)));
    return true;
}

void ANSIDataProcessor::ground(Pass& pass)
{
    const std::array<TextClass, 256>& textClasses =
        m_textBytes == TextBytes::Utf8 ? kUtf8TextClasses : kEncodedTextClasses;
    while (pass.p < pass.end) {
        const TextClass textClass = textClasses[*pass.p];
        if (textClass == TextClass::Escape) {
            closeText(pass, false);
            if (!takeWholeCsi(pass))
                beginSequence(pass, State::Escape);
            return;
        }
        if (textClass == TextClass::Iac) {
            // The text goes on if this turns out to be IAC IAC.
            beginSequence(pass, State::TelnetCommand);
            return;
        }
        if (!pass.textOpen)
            openText(pass);
        switch (textClass) {
        case TextClass::Keep: {
            const uchar* p = pass.p;
            char* out = pass.out;
            // Game text is mostly printable ASCII: copy it eight bytes at a time.
            while (pass.end - p >= 8) {
                quint64 word;
                std::memcpy(&word, p, 8);
                if (!isPrintableAscii(word))
                    break;
                std::memcpy(out, &word, 8);
                p += 8;
                out += 8;
            }
            while (p < pass.end && textClasses[*p] == TextClass::Keep)
                *out++ = char(*p++);
            pass.p = p;
            pass.out = out;
            if (pass.pendingCarriageReturns)
                pass.textChanged = true;
            pass.pendingCarriageReturns = 0;
            pass.afterLineFeed = false;
            break;
        }
        case TextClass::LineFeed:
            *pass.out++ = '\n';
            ++pass.p;
            pass.pendingCarriageReturns = 0;
            pass.afterLineFeed = true;
            break;
        case TextClass::CarriageReturn:
            if (!pass.afterLineFeed)
                ++pass.pendingCarriageReturns;
            ++pass.p;
            break;
        default:
            if (pass.pendingCarriageReturns)
                pass.textChanged = true;
            pass.dropTextByte();
            ++pass.p;
            break;
        }
    }
}

bool ANSIDataProcessor::takeWholeCsi(Pass& pass)
{
    // Colour sequences nearly always arrive whole within one read: ESC [,
    // parameter bytes, final byte. Emit those in one step; anything else
    // (intermediates, a cut, the cap) goes through the byte-wise states.
    const uchar* start = pass.p;
    const uchar* limit = start + std::min<qsizetype>(pass.end - start, kMaximumEscapeSequenceLength);
    if (limit - start < 3 || start[1] != '[')
        return false;
    const uchar* p = start + 2;
    while (p < limit && isParameter(*p))
        ++p;
    if (p == limit || !isCsiFinal(*p))
        return false;
    pass.sequenceStart = start;
    pass.p = p + 1;
    emitSequence(pass, ANSIResultType::Command);
    return true;
}

void ANSIDataProcessor::sequenceByte(Pass& pass)
{
    switch (m_state) {
    case State::Ground: return;
    case State::Escape:
    case State::EscapeIntermediate: escapeByte(pass); break;
    case State::CsiParameter:
    case State::CsiIntermediate: csiByte(pass); break;
    case State::ControlString:
    case State::ControlStringEscape: controlStringByte(pass); break;
    case State::TelnetCommand:
    case State::TelnetOption:
    case State::Subnegotiation:
    case State::SubnegotiationIac:
    case State::SubnegotiationSkip:
    case State::SubnegotiationSkipIac: telnetByte(pass); break;
    }
    dropOverlongSequence(pass);
}

void ANSIDataProcessor::escapeByte(Pass& pass)
{
    // ESC [ opens a CSI and ESC ] P X ^ _ a control string; otherwise
    // intermediate bytes and a final byte make a short form (ECMA-48 5.4).
    const uchar c = *pass.p;
    const bool afterEscape = m_state == State::Escape;
    if (afterEscape && c == '[') {
        ++pass.p;
        m_state = State::CsiParameter;
    } else if (afterEscape && opensControlString(c)) {
        ++pass.p;
        m_state = State::ControlString;
    } else if (isIntermediate(c)) {
        ++pass.p;
        m_state = State::EscapeIntermediate;
    } else if (isEscapeFinal(c)) {
        ++pass.p;
        emitSequence(pass, ANSIResultType::Command);
    } else {
        interruptSequence(pass);
    }
}

void ANSIDataProcessor::csiByte(Pass& pass)
{
    const uchar c = *pass.p;
    if (isParameter(c) && m_state == State::CsiParameter) {
        // Parameters are most of a colour sequence: take them in one go.
        // Stop at the byte that passes the cap, as the byte-wise path would.
        const qsizetype room = kMaximumEscapeSequenceLength - sequenceLength(pass) + 1;
        const uchar* limit = pass.p + std::min<qsizetype>(pass.end - pass.p, room);
        const uchar* p = pass.p + 1;
        while (p < limit && isParameter(*p))
            ++p;
        pass.p = p;
    } else if (isIntermediate(c)) {
        ++pass.p;
        m_state = State::CsiIntermediate;
    } else if (isCsiFinal(c)) {
        ++pass.p;
        emitSequence(pass, ANSIResultType::Command);
    } else {
        interruptSequence(pass);
    }
}

void ANSIDataProcessor::controlStringByte(Pass& pass)
{
    // The body runs to BEL or ST (ESC \).
    const uchar c = *pass.p;
    if (m_state == State::ControlString) {
        ++pass.p;
        if (c == kBell)
            emitSequence(pass, ANSIResultType::Command);
        else if (c == kEscape)
            m_state = State::ControlStringEscape;
    } else if (c == '\\') {
        ++pass.p;
        emitSequence(pass, ANSIResultType::Command);
    } else {
        // Any other ESC ends the string unterminated and starts a new sequence.
        pass.warnings.warn(QStringLiteral("????"));
        restartAtPreviousByte(pass, ANSIResultType::Command, State::Escape);
    }
}

void ANSIDataProcessor::telnetByte(Pass& pass)
{
    const uchar c = *pass.p;
    switch (m_state) {
    case State::TelnetCommand:
        ++pass.p;
        if (c == kIac) {
            // IAC IAC is the data byte 255: a letter in some encodings,
            // never part of UTF-8.
            m_waitingServerOutput.clear();
            m_state = State::Ground;
            if (!pass.textOpen)
                openText(pass);
            if (pass.pendingCarriageReturns)
                pass.textChanged = true;
            if (m_textBytes == TextBytes::Utf8) {
                pass.dropTextByte();
            } else {
                *pass.out++ = char(kIac);
                pass.pendingCarriageReturns = 0;
                pass.afterLineFeed = false;
            }
            return;
        }
        closeText(pass, false);
        if (c >= 251 && c <= 254)
            m_state = State::TelnetOption;
        else if (c == kSb)
            m_state = State::Subnegotiation;
        else
            emitSequence(pass, ANSIResultType::Telnet);
        break;
    case State::TelnetOption:
        ++pass.p;
        emitSequence(pass, ANSIResultType::Telnet);
        break;
    case State::Subnegotiation:
        ++pass.p;
        if (c == kIac)
            m_state = State::SubnegotiationIac;
        break;
    case State::SubnegotiationIac:
        if (c == kSe) {
            ++pass.p;
            emitSequence(pass, ANSIResultType::Telnet);
        } else if (c == kIac) {
            ++pass.p;
            m_state = State::Subnegotiation;
        } else {
            pass.warnings.warn(QStringLiteral("Telnet subnegotiation ended without IAC SE"));
            restartAtPreviousByte(pass, ANSIResultType::Telnet, State::TelnetCommand);
        }
        break;
    case State::SubnegotiationSkip:
        ++pass.p;
        if (c == kIac)
            m_state = State::SubnegotiationSkipIac;
        break;
    case State::SubnegotiationSkipIac:
        if (c == kSe || c == kIac) {
            ++pass.p;
            m_state = c == kSe ? State::Ground : State::SubnegotiationSkip;
        } else {
            // Ended without IAC SE: that IAC begins the next command.
            m_waitingServerOutput = QByteArray(1, char(kIac));
            pass.sequenceStart = pass.p;
            m_state = State::TelnetCommand;
        }
        break;
    default: break;
    }
}

void ANSIDataProcessor::interruptSequence(Pass& pass)
{
    if (*pass.p == kEscape) {
        // A new ESC ends the open sequence and begins the next.
        pass.warnings.warn(QStringLiteral("????"));
        emitSequence(pass, ANSIResultType::Command);
        beginSequence(pass, State::Escape);
    } else {
        abortSequence(pass, QStringLiteral("Unfinished escape sequence: %1"));
    }
}

void ANSIDataProcessor::dropOverlongSequence(Pass& pass)
{
    if (m_state == State::Ground || isSkippingSubnegotiation())
        return;
    const bool subnegotiation = m_state == State::Subnegotiation || m_state == State::SubnegotiationIac;
    const qsizetype cap = subnegotiation ? kMaximumSubnegotiationLength : kMaximumEscapeSequenceLength;
    if (sequenceLength(pass) <= cap)
        return;
    pass.warnings.warn(subnegotiation ? QStringLiteral("Telnet subnegotiation longer than %1 bytes dropped")
                                      : QStringLiteral("Escape sequence longer than %1 bytes dropped"),
                       QString::number(cap));
    m_waitingServerOutput.clear();
    // The rest of a subnegotiation is skipped up to its IAC SE: shown as
    // text it would be a screenful of the option's data.
    if (!subnegotiation)
        m_state = State::Ground;
    else
        m_state = m_state == State::SubnegotiationIac ? State::SubnegotiationSkipIac : State::SubnegotiationSkip;
}

void ANSIDataProcessor::openText(Pass& pass)
{
    pass.textOpen = true;
    pass.textStart = pass.out;
    pass.textChanged = false;
    pass.pendingCarriageReturns = 0;
    pass.afterLineFeed = false;
    if (!m_heldText.isEmpty()) {
        std::memcpy(pass.out, m_heldText.constData(), m_heldText.size());
        pass.out += m_heldText.size();
        m_heldText.clear();
    }
}

void ANSIDataProcessor::closeText(Pass& pass, bool endOfRead)
{
    if (!pass.textOpen) {
        // A character held from the last read still comes before what follows.
        if (m_heldText.isEmpty() || endOfRead)
            return;
        openText(pass);
    }
    if (pass.pendingCarriageReturns)
        pass.textChanged = true;
    if (endOfRead) {
        // Other encodings keep a cut character in their converter.
        const qsizetype tail = m_textBytes == TextBytes::Utf8 ? incompleteUtf8Tail(pass.textStart, pass.out) : 0;
        m_heldText = QByteArray(pass.out - tail, tail);
        pass.out -= tail;
    }
    const qsizetype length = pass.out - pass.textStart;
    if (length > 0 || pass.textChanged) {
        if (pass.textChanged)
            pass.warnings.warn(QStringLiteral("Length changed"));
        pass.push(pass.textStart, length, ANSIResultType::Text);
    }
    pass.textOpen = false;
}

void ANSIDataProcessor::beginSequence(Pass& pass, State state)
{
    m_state = state;
    pass.sequenceStart = pass.p;
    ++pass.p;
}

qsizetype ANSIDataProcessor::sequenceLength(const Pass& pass) const
{
    return m_waitingServerOutput.size() + (pass.p - pass.sequenceStart);
}

void ANSIDataProcessor::emitSequence(Pass& pass, ANSIResultType type, qsizetype dropTail)
{
    const qsizetype total = sequenceLength(pass) - dropTail;
    char* start = pass.out;
    const qsizetype carried = std::min(total, m_waitingServerOutput.size());
    std::memcpy(pass.out, m_waitingServerOutput.constData(), carried);
    std::memcpy(pass.out + carried, pass.sequenceStart, total - carried);
    pass.out += total;
    pass.push(start, total, type);
    m_waitingServerOutput.clear();
    m_state = State::Ground;

    if (type == ANSIResultType::Telnet) {
        const QByteArrayView command(start, total);
        const QString name = total > 1 ? textForTelnetCommand(uchar(command[1])) : QStringLiteral("-");
        const QString option = total > 2 ? textForTelnetOption(uchar(command[2])) : QStringLiteral("-");
        pass.warnings.telnetCommand(QStringLiteral("Telnet command: %1, %2 (%3)").arg(name, option, hexval(command)));
        // A command cut short by the next one leaves that one's IAC in
        // hand, so the read cannot stop there.
        reportTelnetCommand(pass, command, dropTail == 0);
    }
}

void ANSIDataProcessor::reportTelnetCommand(Pass& pass, QByteArrayView command, bool mayStop)
{
    if (!m_delegate)
        return;
    if (command.size() == 3 && uchar(command[2]) == kEchoOption) {
        const uchar verb = uchar(command[1]);
        if (verb == kWill || verb == kWont)
            m_delegate->ANSIDataProcessorServerEchoes(this, verb == kWill);
    }
    if (!m_delegate->ANSIDataProcessorTelnetCommand(this, command) && mayStop)
        pass.stopped = true;
}

void ANSIDataProcessor::restartAtPreviousByte(Pass& pass, ANSIResultType type, State state)
{
    // The previous byte (ESC or IAC) ends the sequence before it and begins
    // the next one; the current byte is read again in the new state.
    if (pass.p > pass.sequenceStart) {
        emitSequence(pass, type, 1);
        pass.sequenceStart = pass.p - 1;
    } else {
        const char previous = m_waitingServerOutput.back();
        emitSequence(pass, type, 1);
        m_waitingServerOutput = QByteArray(1, previous);
        pass.sequenceStart = pass.p;
    }
    m_state = state;
}

void ANSIDataProcessor::abortSequence(Pass& pass, const QString& reason)
{
    // A byte that cannot continue the sequence: deliver what came so far
    // (it changes no style) and read the byte again as ordinary input.
    const char* start = pass.out;
    emitSequence(pass, ANSIResultType::Command);
    pass.warnings.warn(reason, hexval(QByteArrayView(start, pass.out - start)));
}

QString ANSIDataProcessor::textForTelnetCommand(int code)
{
    switch (code) {
    case 250: return QStringLiteral("SB");
    case 251: return QStringLiteral("WILL");
    case 252: return QStringLiteral("WONT");
    case 253: return QStringLiteral("DO");
    case 254: return QStringLiteral("DONT");
    default: return QString::number(code);
    }
}

QString ANSIDataProcessor::textForTelnetOption(int code)
{
    switch (code) {
    case 0: return QStringLiteral("Transmit binary");
    case 1: return QStringLiteral("Echo");
    case 3: return QStringLiteral("Suppress go ahead");
    case 5: return QStringLiteral("Status");
    case 6: return QStringLiteral("Timing mark");
    case 24: return QStringLiteral("Terminal type");
    case 31: return QStringLiteral("Window size");
    case 32: return QStringLiteral("Terminal speed");
    case 33: return QStringLiteral("Remote Flow Control");
    case 34: return QStringLiteral("Linemode");
    case 36: return QStringLiteral("Environment Variables");
    default: return QString::number(code);
    }
}
