// Triggers on every line of a flood, through a shown session window. A
// loopback server sends 10 MB of coloured game text in one burst; the
// session has 100 triggers and the "match every line" preference on: 9
// match often (together about 57 % of lines) and 90 never do. Every match
// runs a script that counts through getVar/setVar; the flood's last line
// fires a trigger whose script reads the count, after every earlier script.
// The expected count is worked out from the generated text with Qt's own
// string and expression searches, not with the triggers' matcher. Prints:
//   - whether the count is exact,
//   - MB/s of server text and scripts per second, up to the final script
//     (goal 10 MB/s, stretch 25),
//   - the latency from a probe line's arrival in the output to the start of
//     its script, p50/p99 (goal p99 < 250 ms),
//   - main-thread event-loop latency p99 during the flood (goal < 50 ms),
//   - peak resident memory, and the machine's load.
// Usage: bench_every_line_triggers [megabytes, default 10]
#include <QApplication>
#include <QDateTime>
#include <QRegularExpression>
#include <cstdio>
#include <map>
#include <random>

#include "BenchSession.h"
#include "LoopbackServer.h"
#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/decoding/MUDOutputModel.h"
#include "engine/storage/MUDPreservation.h"
#include "engine/storage/MUDUserSettings.h"

namespace {

constexpr int kTimeLimitSeconds = 300;
constexpr int kProbeEvery = 500;
const QString kCount = QStringLiteral("count");
const QString kEndLine = QStringLiteral("The flood is over.");

struct TriggerSpec {
    QString pattern;
    bool regex;
};

// The nine that match often, then the ones that never do.
QList<TriggerSpec> frequentTriggers()
{
    return {
        {QStringLiteral("^(\\w+) arrives from the (\\w+)\\.$"), true},
        {QStringLiteral("hits you. [HP: "), false},
        {QStringLiteral("^(\\w+) tells you '(.*)'$"), true},
        {QStringLiteral("[Gossip]"), false},
        {QStringLiteral("You slash the (\\w+)\\."), true},
        {QStringLiteral("[Exits: "), false},
        {QStringLiteral("You receive (\\d+) experience points"), true},
        {QStringLiteral("leaves (\\w+)\\.$"), true},
        {QStringLiteral("is dead! R.I.P."), false},
    };
}

QList<TriggerSpec> silentTriggers(int count)
{
    QList<TriggerSpec> specs;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0)
            specs.append({QStringLiteral("The dragon number %1 breathes fire").arg(i), false});
        else
            specs.append({QStringLiteral("^(\\w+) whispers %1: (.+)$").arg(i), true});
    }
    return specs;
}

void storeTriggers(const MUDConnection& connection)
{
    MUDTriggerList triggers;
    auto add = [&](const TriggerSpec& spec, const QString& action) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(QStringLiteral("t%1").arg(triggers.size()));
        trigger->setMatchType(spec.regex ? MUDTrigger::kMatchRegularExpression : MUDTrigger::kMatchPlainText);
        trigger->setMatchString(spec.pattern);
        trigger->setAction(action);
        trigger->setIsNew(true);
        trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(connection));
        triggers.append(trigger);
    };
    const QString counting = QStringLiteral("setVar('count', getVar('count') + 1);");
    for (const TriggerSpec& spec : frequentTriggers()) {
        // Tells carry the probes: their script notes when it started.
        if (spec.pattern.contains(QLatin1String("tells you")))
            add(spec, counting + QStringLiteral(" if ('\\2'.startsWith('probe ')) setVar('\\2', Date.now());"));
        else
            add(spec, counting);
    }
    for (const TriggerSpec& spec : silentTriggers(90))
        add(spec, counting);
    add({kEndLine, false}, QStringLiteral("setVar('final', getVar('count'));"));
    MUDPreservation::saveTriggers(triggers, connection);
}

// About 57 % of lines are for the frequent triggers; colour codes sit
// around words, as games send them.
QByteArray gameText(qint64 size, int* probes)
{
    static const char* const names[] = {"Gandalf", "Bilbo", "Frodo", "Sam", "Merry", "Pippin", "Boromir"};
    static const char* const monsters[] = {"orc", "goblin", "troll", "rat", "spider"};
    static const char* const directions[] = {"north", "south", "east", "west", "up", "down"};
    std::mt19937 random(11);
    auto pick = [&](const auto& list) { return QByteArray(list[random() % std::size(list)]); };
    QByteArray text;
    text.reserve(size + 200);
    for (int line = 0; text.size() < size; ++line) {
        const int kind = int(random() % 100);
        const QByteArray colour = "\x1b[" + QByteArray::number(31 + random() % 7) + "m";
        if (kind < 8)
            text += colour + pick(names) + "\x1b[0m arrives from the " + pick(directions) + ".\r\n";
        else if (kind < 20)
            text += "The " + colour + pick(monsters) + "\x1b[0m hits you. [HP: " + QByteArray::number(random() % 500) +
                    "/500]\r\n";
        else if (kind < 26) {
            QByteArray said = line % kProbeEvery == 0 ? "probe " + QByteArray::number((*probes)++) : "hello there";
            text += colour + pick(names) + "\x1b[0m tells you '" + said + "'\r\n";
        } else if (kind < 32)
            text += "\x1b[1;35m[Gossip]\x1b[0m " + pick(names) + ": anyone up for a quest?\r\n";
        else if (kind < 40)
            text += "You slash the " + colour + pick(monsters) + "\x1b[0m.\r\n";
        else if (kind < 45)
            text += "\x1b[32m[Exits: " + pick(directions) + " " + pick(directions) + "]\x1b[0m\r\n";
        else if (kind < 50)
            text += "You receive " + QByteArray::number(random() % 1000) + " experience points.\r\n";
        else if (kind < 54)
            text += pick(names) + " leaves " + pick(directions) + ".\r\n";
        else if (kind < 57)
            text += "The " + pick(monsters) + " is dead! R.I.P.\r\n";
        else
            text += colour + "The wind howls through the trees of the old forest, and branches creak.\x1b[0m\r\n";
    }
    return text + kEndLine.toLatin1() + "\r\n";
}

// How many scripts the triggers must run on `text`, counted with Qt's
// searches: a plain trigger once per line holding it, an expression once
// per match (line anchors at real lines).
qint64 expectedCount(const QString& text, const QList<TriggerSpec>& specs)
{
    qint64 count = 0;
    const QStringList lines = text.split(QStringLiteral("\r\n"));
    for (const TriggerSpec& spec : specs) {
        if (!spec.regex) {
            for (const QString& line : lines)
                count += line.contains(spec.pattern, Qt::CaseInsensitive);
            continue;
        }
        const QRegularExpression expression(spec.pattern, QRegularExpression::MultilineOption |
                                                              QRegularExpression::CaseInsensitiveOption);
        for (const QString& line : lines) {
            for (auto matches = expression.globalMatch(line); matches.hasNext(); matches.next())
                ++count;
        }
    }
    return count;
}

QString withoutColourCodes(const QByteArray& text)
{
    static const QRegularExpression codes(QStringLiteral("\x1b\\[[0-9;]*m"));
    return QString::fromLatin1(text).remove(codes);
}

}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));
    printLoad();
    const qint64 floodBytes = qint64(argc > 1 ? std::max(1, atoi(argv[1])) : 10) * 1024 * 1024;
    BenchDataFolder dataFolder;
    MUDUserSettings::sharedInstance().setMatchEveryLine(true);

    int probes = 0;
    const QByteArray flood = gameText(floodBytes, &probes);
    QList<TriggerSpec> specs = frequentTriggers() + silentTriggers(90);
    const qint64 expected = expectedCount(withoutColourCodes(flood), specs);
    const QString plain = withoutColourCodes(flood);
    const qsizetype lines = plain.count(QStringLiteral("\r\n"));
    std::printf("flood: %.1f MB, %lld lines, %lld scripts expected (%.0f%% of lines matched), %d probes\n",
                double(flood.size()) / 1048576.0, qint64(lines), expected, 100.0 * double(expected) / double(lines),
                probes);

    LoopbackServer server;
    std::shared_ptr<MUDConnection> connection = storedConnection(server.port());
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

    // When each probe line lands in the output (wall-clock ms, like Date.now()).
    std::map<QString, qint64> arrivals;
    static const QRegularExpression probe(QStringLiteral("probe \\d+"));
    QObject::connect(&document.output(), &MUDOutputModel::contentsChanged,
                     [&](qsizetype position, qsizetype, qsizetype added) {
                         const QString appended = document.output().text({position, added});
                         if (!appended.contains(QLatin1String("probe ")))
                             return;
                         const qint64 now = QDateTime::currentMSecsSinceEpoch();
                         for (auto match = probe.globalMatch(appended); match.hasNext();)
                             arrivals.emplace(match.next().captured(), now);
                     });

    LatencyProbe latency;
    const CpuUsage cpu;
    const BenchClock::time_point start = BenchClock::now();
    server.send(flood);
    const bool finished =
        spinUntil([&] { return runtime->variables().contains(QStringLiteral("final")); }, kTimeLimitSeconds);
    const double seconds = milliseconds(BenchClock::now() - start) / 1000.0;
    latency.stop();
    if (!finished) {
        std::printf("the final script did not run within %d s (count so far %lld)\n", kTimeLimitSeconds,
                    runtime->variables().value(kCount).toLongLong());
        return 1;
    }
    const qint64 counted = runtime->variables().value(QStringLiteral("final")).toLongLong();
    std::printf("count: %lld, expected %lld: %s\n", counted, expected, counted == expected ? "exact" : "WRONG");
    std::printf("throughput: %.2f MB/s of server text, %.0f scripts/s (goal 10 MB/s, stretch 25)\n",
                double(flood.size()) / 1048576.0 / seconds, double(counted) / seconds);

    std::vector<double> lineToScript;
    const QVariantMap variables = runtime->variables();
    for (const auto& [name, arrived] : arrivals) {
        if (variables.contains(name))
            lineToScript.push_back(double(variables.value(name).toLongLong() - arrived));
    }
    std::printf("line to script start: p50 %.0f ms, p99 %.0f ms, max %.0f ms over %zu probes (goal p99 < 250)\n",
                percentile(lineToScript, 0.5), percentile(lineToScript, 0.99), percentile(lineToScript, 1.0),
                lineToScript.size());
    latency.print("during the flood");
    cpu.print("during the flood", seconds);
    std::printf("peak resident memory: %.0f MB\n", peakResidentMegabytes());
    // The steady clock is CLOCK_MONOTONIC: profile only the flood with
    // perf record -k CLOCK_MONOTONIC ..., then perf report --time <window>.
    const double floodStart = std::chrono::duration<double>(start.time_since_epoch()).count();
    std::printf("flood window (CLOCK_MONOTONIC s): %.6f,%.6f\n", floodStart, floodStart + seconds);
    printLoad();
    document.close();
    return counted == expected ? 0 : 1;
}
