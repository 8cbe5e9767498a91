// Feeds arbitrary text to the kernel TCP table parser as a table: it must
// never crash or read out of bounds, the first matching row decides (text
// after it changes nothing), and an owner it reports is written in the text.
#include <QByteArray>
#include <cstdint>
#include <cstdlib>

#include "engine/connection/MUDKernelTcpTable.h"

namespace {
const MUDKernelTcpTable::Endpoint kViewer{QStringLiteral("127.0.0.1"), 40000};
const MUDKernelTcpTable::Endpoint kServer{QStringLiteral("127.0.0.1"), 5484};
const MUDKernelTcpTable::Endpoint kViewer6{QStringLiteral("::1"), 40000};
const MUDKernelTcpTable::Endpoint kServer6{QStringLiteral("::1"), 5484};

void check(const QByteArray& table, const QByteArray& after, const MUDKernelTcpTable::Endpoint& own,
           const MUDKernelTcpTable::Endpoint& other)
{
    const std::optional<uint> owner = MUDKernelTcpTable::ownerIn(table, own, other);
    if (!owner)
        return;
    if (!table.contains(QByteArray::number(*owner)))
        abort();
    if (MUDKernelTcpTable::ownerIn(table + '\n' + after, own, other) != owner)
        abort();
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype half = input.size() / 2;
    const QByteArray table = input.left(half);
    const QByteArray after = input.mid(half);
    check(input, after, kViewer, kServer);
    check(input, after, kViewer6, kServer6);
    check(table, after, kViewer, kServer);
    check(table, after, kServer, kViewer);
    return 0;
}
