#include "engine/connection/MUDKernelTcpTable.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

#include <QFile>

#include <arpa/inet.h>
#include <unistd.h>

namespace {

// Every address in its IPv6 form, an IPv4 one as ::ffff:a.b.c.d.
using Address = std::array<uchar, 16>;

struct End {
    Address address{};
    quint16 port = 0;
    bool operator==(const End&) const = default;
};

// Row fields: "sl", own end, other end, state, queues, timer, retransmits, uid, ...
constexpr int kOwnEndField = 1;
constexpr int kOtherEndField = 2;
constexpr int kStateField = 3;
constexpr int kUidField = 7;
constexpr int kFieldsNeeded = kUidField + 1;
constexpr quint32 kTimeWait = 0x06;

void setMappedIPv4(Address& address, const void* ipv4)
{
    address.fill(0);
    address[10] = 0xff;
    address[11] = 0xff;
    std::memcpy(address.data() + 12, ipv4, 4);
}

std::optional<End> endFromEndpoint(const MUDKernelTcpTable::Endpoint& endpoint)
{
    const QByteArray text = endpoint.address.toLatin1();
    End end;
    end.port = endpoint.port;
    in_addr ipv4{};
    in6_addr ipv6{};
    if (inet_pton(AF_INET, text.constData(), &ipv4) == 1)
        setMappedIPv4(end.address, &ipv4);
    else if (inet_pton(AF_INET6, text.constData(), &ipv6) == 1)
        std::memcpy(end.address.data(), &ipv6, 16);
    else
        return std::nullopt;
    return end;
}

std::optional<quint32> hexNumber(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    quint32 value = 0;
    for (const char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        if (digit < 0)
            return std::nullopt;
        value = value << 4 | quint32(digit);
    }
    return value;
}

std::optional<uint> decimalNumber(QByteArrayView digits)
{
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    quint64 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + quint64(c - '0');
    }
    if (value > std::numeric_limits<uint>::max())
        return std::nullopt;
    return uint(value);
}

// "0100007F:1538": the kernel prints each 32-bit word of the address as the
// number the machine reads from its bytes, so copying the number back into
// memory gives the address bytes again, on either byte order.
std::optional<End> endFromTable(QByteArrayView field)
{
    const qsizetype colon = field.indexOf(':');
    if (colon < 0)
        return std::nullopt;
    const QByteArrayView hexAddress = field.first(colon);
    const QByteArrayView hexPort = field.sliced(colon + 1);
    if ((hexAddress.size() != 8 && hexAddress.size() != 32) || hexPort.size() > 4)
        return std::nullopt;
    const std::optional<quint32> port = hexNumber(hexPort);
    if (!port)
        return std::nullopt;
    End end;
    end.port = quint16(*port);
    for (qsizetype word = 0; word < hexAddress.size() / 8; ++word) {
        const std::optional<quint32> value = hexNumber(hexAddress.sliced(word * 8, 8));
        if (!value)
            return std::nullopt;
        if (hexAddress.size() == 8)
            setMappedIPv4(end.address, &*value);
        else
            std::memcpy(end.address.data() + word * 4, &*value, 4);
    }
    return end;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The first kFieldsNeeded fields of a row; fewer when the row is short.
int splitFields(QByteArrayView line, std::array<QByteArrayView, kFieldsNeeded>& fields)
{
    int count = 0;
    qsizetype at = 0;
    while (count < kFieldsNeeded) {
        while (at < line.size() && isSpace(line[at]))
            ++at;
        if (at == line.size())
            break;
        const qsizetype start = at;
        while (at < line.size() && !isSpace(line[at]))
            ++at;
        fields[count++] = line.sliced(start, at - start);
    }
    return count;
}

std::optional<uint> ownerOfRow(QByteArrayView line, const End& socketEnd, const End& otherEnd)
{
    std::array<QByteArrayView, kFieldsNeeded> fields;
    if (splitFields(line, fields) < kFieldsNeeded || !fields[0].endsWith(':'))
        return std::nullopt;
    if (endFromTable(fields[kOwnEndField]) != socketEnd || endFromTable(fields[kOtherEndField]) != otherEnd)
        return std::nullopt;
    const std::optional<quint32> state = hexNumber(fields[kStateField]);
    if (!state || *state == kTimeWait)
        return std::nullopt;
    return decimalNumber(fields[kUidField]);
}

QByteArray readTable(const QString& path)
{
    QFile file(path);
    // The files report no size: readAll() reads to their end.
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}

std::optional<uint> MUDKernelTcpTable::ownerIn(QByteArrayView table, const Endpoint& socketEnd,
                                               const Endpoint& otherEnd)
{
    const std::optional<End> own = endFromEndpoint(socketEnd);
    const std::optional<End> other = endFromEndpoint(otherEnd);
    if (!own || !other)
        return std::nullopt;
    qsizetype start = 0;
    while (start < table.size()) {
        qsizetype end = table.indexOf('\n', start);
        if (end < 0)
            end = table.size();
        if (std::optional<uint> owner = ownerOfRow(table.sliced(start, end - start), *own, *other))
            return owner;
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<uint> MUDKernelTcpTable::ownerOnThisMachine(const Endpoint& socketEnd, const Endpoint& otherEnd,
                                                          int attempts, int retryMs)
{
    for (int attempt = 0; attempt < std::max(attempts, 1); ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(retryMs));
        for (const QString& path : {QStringLiteral("/proc/net/tcp"), QStringLiteral("/proc/net/tcp6")}) {
            if (std::optional<uint> owner = ownerIn(readTable(path), socketEnd, otherEnd))
                return owner;
        }
    }
    return std::nullopt;
}

uint MUDKernelTcpTable::thisProcessOwner()
{
    // A socket belongs to the user the process acts as when it makes one.
    return ::geteuid();
}
