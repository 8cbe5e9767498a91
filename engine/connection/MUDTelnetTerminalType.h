#pragma once

#include "engine/connection/MUDTelnetOptionHandler.h"

// TTYPE (RFC 1091) with MTTS: successive SEND requests are answered with
// the client's name, then its terminal type, then "MTTS <n>", where n sums
// the capabilities it honours; the last answer repeats, and the cycle
// starts over when the option is agreed again. Threads: the negotiator's;
// setCapabilities() from any thread.
class MUDTelnetTerminalType : public MUDTelnetOptionHandler {
public:
    // What can change during a session.
    struct Capabilities {
        bool utf8 = true;
        bool screenReader = false;
        bool proxy = false;
        bool secure = false;
        bool operator==(const Capabilities&) const = default;
    };
    // The MTTS bits this client may report.
    enum MttsBit : int {
        Ansi = 1,
        Utf8 = 4,
        Colors256 = 8,
        ScreenReader = 64,
        Proxy = 128,
        TrueColor = 256,
        Ssl = 2048,
    };

    explicit MUDTelnetTerminalType(Capabilities capabilities);

    void setCapabilities(Capabilities capabilities);
    static int mttsValue(Capabilities capabilities);
    // The answer to the `index`-th request of a cycle (0 first).
    static QByteArray terminalName(int index, Capabilities capabilities);

    void enabled(MUDTelnetSide side) override;
    void subnegotiation(QByteArrayView payload) override;
    QString detail() const override;

private:
    // Guarded by the negotiator's lock.
    Capabilities m_capabilities;
    int m_requests = 0;
};
