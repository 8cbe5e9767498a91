#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

// Who owns a TCP socket of this machine, read from the kernel's tables
// /proc/net/tcp and /proc/net/tcp6: text with one row per socket, its own
// end and the other end as hexadecimal address:port (each 32-bit word of
// the address printed in the machine's byte order, the port as a number),
// its state and its owner's user id. An IPv4 address matches its
// IPv4-mapped IPv6 form, so a socket is found whichever family either end
// used. Rows that do not parse are skipped: the text is taken as it comes.
// Any thread (no state).
class MUDKernelTcpTable {
public:
    // A numeric address ("127.0.0.1", "::1") and a port.
    struct Endpoint {
        QString address;
        quint16 port = 0;
    };

    // The user id of the live socket whose own end is `socketEnd` and whose
    // other end is `otherEnd`, in the text of one table; none when no row
    // matches. Sockets in TIME_WAIT have no owner any more and never match.
    static std::optional<uint> ownerIn(QByteArrayView table, const Endpoint& socketEnd, const Endpoint& otherEnd);

    // The same from this machine's tables, read afresh up to `attempts`
    // times `retryMs` apart: a socket that has just connected is normally
    // listed at once, the retries cover a table caught while it changes.
    static std::optional<uint> ownerOnThisMachine(const Endpoint& socketEnd, const Endpoint& otherEnd, int attempts = 5,
                                                  int retryMs = 20);

    // The user id the tables show for sockets this process makes.
    static uint thisProcessOwner();
};
