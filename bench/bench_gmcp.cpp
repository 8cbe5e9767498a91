// GMCP through a shown session window. A loopback server offers GMCP, then
// sends 5,000 messages a second (in 10 ms ticks of 50, no pause between
// the messages of a tick) for a number of seconds: character vitals and
// status, room records and channel texts, as games send them. The session
// has 20 GMCP package triggers: 3 count the messages they fire on (about
// 30 % of messages), 16 name packages never sent, and one reads the count
// on the last message, after every earlier script. Prints:
//   - whether the count is exact and every message was kept (the last
//     vitals read back through the session's GMCP state),
//   - messages per second delivered and scripts per second,
//   - main-thread event-loop latency p99 during the messages (goal < 50 ms),
//   - peak resident memory, and the machine's load.
// Usage: bench_gmcp [seconds, default 10] [messages per second, default 5000]
#include <QApplication>
#include <QJsonObject>
#include <atomic>
#include <cstdio>
#include <random>
#include <thread>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "engine/automation/MUDGMCPState.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/connection/MUDTelnet.h"
#include "engine/storage/MUDPreservation.h"

namespace {

constexpr int kTimeLimitSeconds = 300;
constexpr int kTickMs = 10;
const QString kCount = QStringLiteral("count");

QByteArray frame(const QByteArray& payload)
{
    return MUDTelnet::subnegotiation(MUDTelnet::Option::Gmcp, payload);
}

void storeTriggers(const MUDConnection& connection)
{
    MUDTriggerList triggers;
    auto add = [&](const QString& package, const QString& action) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(QStringLiteral("g%1").arg(triggers.size()));
        trigger->setMatchType(MUDTrigger::kMatchGMCPPackage);
        trigger->setMatchString(package);
        trigger->setAction(action);
        trigger->setIsNew(true);
        trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(connection));
        triggers.append(trigger);
    };
    const QString counting = QStringLiteral("setVar('count', getVar('count') + 1);");
    add(QStringLiteral("Char.Status"), counting);
    add(QStringLiteral("Comm"), counting + QStringLiteral(" var t = JSON.parse('\\1').text;"));
    add(QStringLiteral("Room.Info"), counting);
    for (int i = 0; i < 16; ++i)
        add(QStringLiteral("IRE.Rift%1").arg(i), counting);
    add(QStringLiteral("Core.BenchEnd"), QStringLiteral("setVar('final', getVar('count'));"));
    MUDPreservation::saveTriggers(triggers, connection);
}

// One tick's messages; `scripts` counts those the counting triggers fire on.
QByteArray tick(std::mt19937& random, int messages, qint64* scripts, int* lastHp)
{
    QByteArray bytes;
    for (int i = 0; i < messages; ++i) {
        const int kind = int(random() % 100);
        if (kind < 50) {
            *lastHp = int(random() % 1000);
            bytes += frame("Char.Vitals {\"hp\":" + QByteArray::number(*lastHp) +
                           ",\"maxhp\":1000,\"mp\":" + QByteArray::number(random() % 500) +
                           ",\"maxmp\":500,\"string\":\"H:" + QByteArray::number(*lastHp) + "/1000\"}");
        } else if (kind < 60) {
            bytes += frame("Char.Status {\"level\":" + QByteArray::number(random() % 100) + "}");
            ++*scripts;
        } else if (kind < 70) {
            bytes += frame("Room.Info {\"num\":" + QByteArray::number(random() % 30000) +
                           ",\"name\":\"A dusty road\",\"area\":\"The Plains\",\"environment\":\"road\","
                           "\"exits\":{\"n\":1201,\"s\":1203,\"e\":1302},\"details\":[\"shop\",\"bank\"]}");
            ++*scripts;
        } else if (kind < 80) {
            bytes += frame("Comm.Channel.Text {\"channel\":\"gossip\",\"talker\":\"Bob\",\"text\":\"Bob gossips, "
                           "'anyone up for a quest?'\"}");
            ++*scripts;
        } else {
            bytes += frame("Char.Afflictions.Add {\"name\":\"weariness\",\"cure\":\"eat kelp\"}");
        }
    }
    return bytes;
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    printLoad();
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 10;
    const int perSecond = argc > 2 ? std::max(100, atoi(argv[2])) : 5000;
    const int perTick = perSecond * kTickMs / 1000;
    BenchDataFolder dataFolder;

    LoopbackServer server;
    std::shared_ptr<MUDConnection> connection = storedConnection(server.port(), true);
    if (!connection)
        return 1;
    storeTriggers(*connection);
    NullDesktopIntegration desktop;
    MUDSessionWindow window(&desktop);
    if (!showAndConnect(window, connection, [&] { return server.hasClient(); }))
        return 1;
    MUDDocument& document = window.document();
    const std::shared_ptr<MUDJavascriptProcessor> runtime = document.javascriptProcessor();
    runtime->setVariable(kCount, 0);
    server.send(MUDTelnet::command(MUDTelnet::Will, MUDTelnet::Option::Gmcp));
    if (!spinUntil([&] { return server.receivedBytes().contains("Core.Supports.Set"); }, 10)) {
        std::fprintf(stderr, "the client did not agree to GMCP\n");
        return 1;
    }

    std::atomic<qint64> expected{0};
    std::atomic<int> lastHp{-1};
    std::atomic<bool> sent{false};
    LatencyProbe latency;
    const BenchClock::time_point start = BenchClock::now();
    std::thread sender([&] {
        std::mt19937 random(7);
        qint64 scripts = 0;
        int hp = -1;
        BenchClock::time_point next = BenchClock::now();
        for (int t = 0; t < seconds * 1000 / kTickMs; ++t) {
            server.send(tick(random, perTick, &scripts, &hp));
            next += std::chrono::milliseconds(kTickMs);
            std::this_thread::sleep_until(next);
        }
        server.send(frame("Core.BenchEnd"));
        expected = scripts;
        lastHp = hp;
        sent = true;
    });
    const bool finished = spinUntil(
        [&] { return sent.load() && runtime->variables().contains(QStringLiteral("final")); }, kTimeLimitSeconds);
    const double elapsed = milliseconds(BenchClock::now() - start) / 1000.0;
    latency.stop();
    sender.join();
    if (!finished) {
        std::printf("the final script did not run within %d s (count so far %lld)\n", kTimeLimitSeconds,
                    runtime->variables().value(kCount).toLongLong());
        return 1;
    }
    const qint64 messages = qint64(seconds) * 1000 / kTickMs * perTick + 1;
    const qint64 counted = runtime->variables().value(QStringLiteral("final")).toLongLong();
    const std::optional<QJsonValue> vitals = runtime->gmcpState().value(QStringLiteral("Char.Vitals"));
    const int keptHp = vitals ? vitals->toObject().value(QStringLiteral("hp")).toInt(-1) : -1;
    std::printf("messages: %lld in %.1f s (%d/s sent), scripts %lld, expected %lld: %s; last hp kept %d, sent %d: %s\n",
                messages, elapsed, perSecond, counted, expected.load(), counted == expected ? "exact" : "WRONG", keptHp,
                lastHp.load(), keptHp == lastHp ? "same" : "WRONG");
    std::printf("throughput: %.0f messages/s, %.0f scripts/s until the last script ran\n", double(messages) / elapsed,
                double(counted) / elapsed);
    latency.print("during the messages");
    std::printf("peak resident memory: %.0f MB\n", peakResidentMegabytes());
    printLoad();
    document.close();
    return counted == expected && keptHp == lastHp ? 0 : 1;
}
