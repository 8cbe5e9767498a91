// A flood of game text through a session without a window, once plain and
// once compressed (MCCP2): the loopback server offers COMPRESS2, and once
// the client agrees sends the same text as one zlib stream after a
// compression start. Prints, for each round and as medians over the rounds:
//   - throughput in MB/s of game text shown (inflated bytes for the
//     compressed flood),
//   - the compression ratio of the stream,
//   - the compressed throughput as a share of the plain one (goal: at
//     least 70 % with a ratio above 3).
// Usage: bench_compressed_flood [megabytes of text, default 32] [rounds, default 3]
#include <QGuiApplication>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "TelnetTestServer.h"
#include "ZlibStreams.h"
#include "app/session/MUDDocument.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"

namespace {
constexpr int kTimeLimitSeconds = 120;

// Coloured combat and room lines with changing names and numbers, so the
// stream compresses like a game's (a repeated block would compress far
// better than any real one).
QByteArray gameText(qint64 bytes)
{
    static const char* const names[] = {"orc",    "goblin", "troll",  "dragon", "wolf",
                                        "bandit", "knight", "priest", "rat",    "wraith"};
    static const char* const verbs[] = {"hits", "misses", "slashes", "bites", "claws", "kicks"};
    QRandomGenerator random(7);
    QByteArray text;
    text.reserve(bytes + 256);
    while (text.size() < bytes) {
        const int colour = 31 + int(random.bounded(6));
        text += "\x1b[1;" + QByteArray::number(colour) + "mThe " + names[random.bounded(10)] + ' ' +
                verbs[random.bounded(6)] + " you for " + QByteArray::number(random.bounded(1, 120)) +
                " damage.\x1b[0m HP: " + QByteArray::number(random.bounded(1, 900)) + "/900 Room " +
                QByteArray::number(random.bounded(30000)) + "\r\n";
    }
    return text;
}

// Sends `text` to a session (compressed when `compressed`) and returns the
// MB/s of text shown, 0 on failure.
double flood(const char* label, const QByteArray& text, const QByteArray& stream, bool compressed)
{
    BenchDataFolder dataFolder;
    LoopbackServer server;
    TelnetTestServer telnet(server);
    std::shared_ptr<MUDConnection> connection = storedConnection(server.port());
    if (!connection)
        return 0;
    connection->setNegotiatesTelnetOptions(true);
    NullDesktopIntegration desktop;
    MUDDocument document(&desktop);
    document.setConnection(connection);
    document.connectToServer();
    if (!spinUntil([&] { return document.isConnected() && server.hasClient(); }, 10)) {
        std::fprintf(stderr, "%s: could not connect to the loopback server\n", label);
        return 0;
    }
    if (compressed) {
        telnet.sendCommand(MUDTelnet::Will, MUDTelnet::Option::Compress2);
        if (!telnet.waitForCommand(MUDTelnet::command(MUDTelnet::Do, MUDTelnet::Option::Compress2))) {
            std::fprintf(stderr, "%s: the client did not accept compression\n", label);
            return 0;
        }
    }
    const qsizetype startLength = document.output().length();
    const BenchClock::time_point start = BenchClock::now();
    server.send(compressed ? stream : text);
    const BenchClock::time_point lastGrowth =
        waitUntilOutputSettles(document, std::chrono::milliseconds(200), kTimeLimitSeconds);
    const double seconds = std::chrono::duration<double>(lastGrowth - start).count();
    const double megabytes = double(text.size()) / (1024.0 * 1024.0);
    std::printf("%-10s flood: %.1f MB of text in %.2f s = %.1f MB/s; output %lld characters\n", label, megabytes,
                seconds, megabytes / seconds, static_cast<long long>(document.output().length() - startLength));
    document.close();
    return megabytes / seconds;
}
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const qint64 textBytes = qint64(argc > 1 ? std::max(1, atoi(argv[1])) : 32) * 1024 * 1024;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    printLoad();

    const QByteArray text = gameText(textBytes);
    const QByteArray compressionStart = MUDTelnet::subnegotiation(MUDTelnet::Option::Compress2, {});
    const QByteArray stream = compressionStart + ZlibStreams::finished(text);
    const double ratio = double(text.size()) / double(stream.size() - compressionStart.size());
    std::printf("text %.1f MB, compressed %.1f MB: ratio %.2f\n", double(text.size()) / (1024.0 * 1024.0),
                double(stream.size()) / (1024.0 * 1024.0), ratio);

    std::vector<double> plain;
    std::vector<double> compressed;
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(flood("plain", text, stream, false));
        compressed.push_back(flood("compressed", text, stream, true));
        if (plain.back() <= 0 || compressed.back() <= 0)
            return 1;
    }
    const double plainMedian = percentile(plain, 0.5);
    const double compressedMedian = percentile(compressed, 0.5);
    std::printf("median over %d rounds: plain %.1f MB/s, compressed %.1f MB/s (ratio %.2f); compressed flood "
                "throughput %.0f %% of plain (goal at least 70 %% with a ratio above 3)\n",
                rounds, plainMedian, compressedMedian, ratio, 100.0 * compressedMedian / plainMedian);
    return 0;
}
