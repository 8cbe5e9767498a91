#include "engine/connection/MUDKernelTcpTable.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "core/CVServerSocket.h"
#include "core/CVSocket.h"

namespace {

using Endpoint = MUDKernelTcpTable::Endpoint;

// A row as the kernel writes it: slot, own end, other end, state, queues,
// timer, retransmits, uid, timeout, inode, and the rest.
QByteArray row(const char* ownEnd, const char* otherEnd, const char* state, const char* uid)
{
    return QByteArray("   0: ") + ownEnd + ' ' + otherEnd + ' ' + state + " 00000000:00000000 00:00000000 00000000  " +
           uid + "        0 48213 1 0000000000000000 20 4 30 10 -1\n";
}

const QByteArray kHeader = "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  "
                           "timeout inode\n";

// 127.0.0.1 as a little-endian machine prints it, ports 40000 (9C40) and
// 5484 (156C).
const char* kViewer4 = "0100007F:9C40";
const char* kServer4 = "0100007F:156C";
const char* kViewer6 = "00000000000000000000000001000000:9C40";
const char* kServer6 = "00000000000000000000000001000000:156C";
const char* kViewerMapped = "0000000000000000FFFF00000100007F:9C40";
const char* kServerMapped = "0000000000000000FFFF00000100007F:156C";

const Endpoint kViewerEnd{QStringLiteral("127.0.0.1"), 40000};
const Endpoint kServerEnd{QStringLiteral("127.0.0.1"), 5484};
const Endpoint kViewerEnd6{QStringLiteral("::1"), 40000};
const Endpoint kServerEnd6{QStringLiteral("::1"), 5484};

}

// The tests below assume a little-endian machine's tables.
TEST(MUDKernelTcpTable, FindsTheOwnerOfTheSocketWithTheseEnds)
{
    struct Row {
        const char* name;
        QByteArray table;
        Endpoint socketEnd;
        Endpoint otherEnd;
        std::optional<uint> owner;
    };
    const QByteArray bothEnds = kHeader + row(kServer4, kViewer4, "01", "0") + row(kViewer4, kServer4, "01", "1000");
    const std::vector<Row> rows = {
        {"viewer row of an IPv4 pair", bothEnds, kViewerEnd, kServerEnd, 1000u},
        {"server row of the same pair", bothEnds, kServerEnd, kViewerEnd, 0u},
        {"ends swapped match no row", kHeader + row(kViewer4, kServer4, "01", "1000"), kServerEnd, kViewerEnd,
         std::nullopt},
        {"::1 in tcp6", kHeader + row(kViewer6, kServer6, "01", "1001"), kViewerEnd6, kServerEnd6, 1001u},
        {"IPv4-mapped row, IPv4 ends", kHeader + row(kViewerMapped, kServerMapped, "01", "1002"), kViewerEnd,
         kServerEnd, 1002u},
        {"IPv4 row, IPv4-mapped ends",
         kHeader + row(kViewer4, kServer4, "01", "1003"),
         {QStringLiteral("::ffff:127.0.0.1"), 40000},
         {QStringLiteral("::ffff:127.0.0.1"), 5484},
         1003u},
        {"::1 is not 127.0.0.1", kHeader + row(kViewer6, kServer6, "01", "1001"), kViewerEnd, kServerEnd, std::nullopt},
        {"127.0.0.2 printed 0200007F",
         kHeader + row("0200007F:9C40", kServer4, "01", "1004"),
         {QStringLiteral("127.0.0.2"), 40000},
         kServerEnd,
         1004u},
        {"7F000002 is 2.0.0.127, not 127.0.0.2",
         kHeader + row("7F000002:9C40", kServer4, "01", "1004"),
         {QStringLiteral("127.0.0.2"), 40000},
         kServerEnd,
         std::nullopt},
        {"port 9C40 is 40000, not 409C", kHeader + row("0100007F:409C", kServer4, "01", "1005"), kViewerEnd, kServerEnd,
         std::nullopt},
        {"lower-case hex", kHeader + row("0100007f:9c40", "0100007f:156c", "01", "1006"), kViewerEnd, kServerEnd,
         1006u},
        {"first live row after a TIME_WAIT one",
         kHeader + row(kViewer4, kServer4, "06", "0") + row(kViewer4, kServer4, "08", "1007"), kViewerEnd, kServerEnd,
         1007u},
        {"TIME_WAIT has no owner", kHeader + row(kViewer4, kServer4, "06", "0"), kViewerEnd, kServerEnd, std::nullopt},
        {"no header, no final line feed, CR LF", row(kViewer4, kServer4, "01", "1008").chopped(1) + "\r", kViewerEnd,
         kServerEnd, 1008u},
        {"empty table", QByteArray(), kViewerEnd, kServerEnd, std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(MUDKernelTcpTable::ownerIn(row.table, row.socketEnd, row.otherEnd), row.owner) << row.name;
    }
}

TEST(MUDKernelTcpTable, SkipsRowsThatDoNotParseAndGoesOn)
{
    const QByteArray good = row(kViewer4, kServer4, "01", "1000");
    const std::vector<std::pair<const char*, QByteArray>> rows = {
        {"short row", "   0: 0100007F:9C40 0100007F:156C 01\n"},
        {"slot without colon", QByteArray(good).replace("0:", "0 ")},
        {"nine-digit address", row("00100007F:9C40", kServer4, "01", "1")},
        {"five-digit port", row("0100007F:09C40", kServer4, "01", "1")},
        {"no port", row("0100007F", kServer4, "01", "1")},
        {"not hex", row("0100007G:9C40", kServer4, "01", "1")},
        {"uid past 32 bits", row(kViewer4, kServer4, "01", "4294967296")},
        {"uid not a number", row(kViewer4, kServer4, "01", "-1")},
        {"state not hex", row(kViewer4, kServer4, "zz", "1")},
        {"NUL bytes", QByteArray(good).replace(' ', '\0')},
    };
    for (const auto& [name, bad] : rows) {
        EXPECT_EQ(MUDKernelTcpTable::ownerIn(bad, kViewerEnd, kServerEnd), std::nullopt) << name;
        EXPECT_EQ(MUDKernelTcpTable::ownerIn(kHeader + bad + good, kViewerEnd, kServerEnd), 1000u) << name;
    }
    EXPECT_EQ(MUDKernelTcpTable::ownerIn(good, {QStringLiteral("localhost"), 40000}, kServerEnd), std::nullopt);
    EXPECT_EQ(MUDKernelTcpTable::ownerIn(good, {QString(), 40000}, kServerEnd), std::nullopt);
}

// This process's own connection, found in the machine's real tables.
TEST(MUDKernelTcpTable, FindsThisProcessAsTheOwnerOfItsConnection)
{
    CVServerSocket server;
    quint16 port = 0;
    for (quint16 candidate = 6300; candidate < 6400 && !port; ++candidate) {
        if (server.bindAndListen(candidate, 1))
            port = candidate;
    }
    ASSERT_NE(port, 0);
    for (const QString& host : {QStringLiteral("127.0.0.1"), QStringLiteral("::1")}) {
        CVSocket client;
        if (!client.connect(host, port, 2000)) {
            EXPECT_EQ(host, QStringLiteral("::1")) << "127.0.0.1 always connects";
            continue;
        }
        std::unique_ptr<CVSocket> accepted = server.acceptNextConnection(2000);
        ASSERT_TRUE(accepted);
        quint16 clientPort = 0;
        const QString clientAddress = client.localAddress(&clientPort);
        EXPECT_EQ(clientAddress, accepted->peerAddress());
        EXPECT_EQ(clientPort, accepted->peerPort());
        quint16 serverPort = 0;
        const QString serverAddress = accepted->localAddress(&serverPort);
        EXPECT_EQ(serverPort, port);
        EXPECT_EQ(MUDKernelTcpTable::ownerOnThisMachine({accepted->peerAddress(), accepted->peerPort()},
                                                        {serverAddress, serverPort}),
                  MUDKernelTcpTable::thisProcessOwner())
            << host.toStdString();
    }
}

TEST(MUDKernelTcpTable, ASocketNotListedIsLookedForBrieflyThenGivenUp)
{
    QElapsedTimer timer;
    timer.start();
    // Port 0 is never a connected socket's.
    EXPECT_EQ(MUDKernelTcpTable::ownerOnThisMachine({QStringLiteral("127.0.0.1"), 0}, kServerEnd, 3, 20), std::nullopt);
    EXPECT_GE(timer.elapsed(), 40);
    EXPECT_LT(timer.elapsed(), 2000);
}
