#include "BenchSession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

#include "app/session/MUDDocument.h"
#include "app/session/MUDSessionWindow.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDPreservation.h"

double milliseconds(BenchClock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(fraction * double(values.size())))];
}

namespace {

double statusMegabytes(const QByteArray& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

}

double residentMegabytes()
{
    return statusMegabytes("VmRSS:");
}

double peakResidentMegabytes()
{
    return statusMegabytes("VmHWM:");
}

namespace {

double cpuSeconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct ThreadTime {
    QString name;
    double seconds;
};

// Every thread of the process by id, from /proc (clock-tick resolution).
std::map<int, ThreadTime> threadTimes()
{
    std::map<int, ThreadTime> times;
    const double ticksPerSecond = double(sysconf(_SC_CLK_TCK));
    for (const QString& id : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(id));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "tid (name) state ..." where the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('(');
        const qsizetype close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        // After the name: state is field 0, utime field 11, stime field 12.
        if (fields.size() < 13)
            continue;
        times[id.toInt()] = {QString::fromUtf8(line.mid(open + 1, close - open - 1)),
                             (fields[11].toDouble() + fields[12].toDouble()) / ticksPerSecond};
    }
    return times;
}
}

CpuUsage::CpuUsage()
    : m_processStart(cpuSeconds(CLOCK_PROCESS_CPUTIME_ID))
    , m_threadStart(cpuSeconds(CLOCK_THREAD_CPUTIME_ID))
{
    for (const auto& [id, time] : threadTimes())
        m_threadsStart[id] = time.seconds;
}

void CpuUsage::print(const char* what, double wallSeconds) const
{
    const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - m_processStart;
    const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - m_threadStart;
    std::printf("CPU %s: %.2f s in all threads (%.2f cores busy on average), %.2f s on the main thread, over %.2f s\n",
                what, process, wallSeconds > 0 ? process / wallSeconds : 0.0, thread, wallSeconds);
    std::map<QString, double> byName;
    for (const auto& [id, time] : threadTimes()) {
        const auto start = m_threadsStart.find(id);
        byName[time.name] += time.seconds - (start == m_threadsStart.end() ? 0.0 : start->second);
    }
    std::vector<std::pair<double, QString>> busiest;
    for (const auto& [name, seconds] : byName) {
        if (seconds > 0)
            busiest.emplace_back(seconds, name);
    }
    std::sort(busiest.rbegin(), busiest.rend());
    std::printf("CPU by thread %s:", what);
    for (const auto& [seconds, name] : busiest)
        std::printf(" %s %.2f s;", qPrintable(name), seconds);
    std::printf("\n");
}

void printLoad()
{
    QProcess uptime;
    uptime.start(QStringLiteral("uptime"), {});
    if (uptime.waitForFinished(2000))
        std::printf("load: %s", uptime.readAllStandardOutput().constData());
}

LatencyProbe::LatencyProbe()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(IntervalMs);
    QObject::connect(&m_timer, &QTimer::timeout, [this] {
        const BenchClock::time_point now = BenchClock::now();
        m_lateness.push_back(std::max(0.0, milliseconds(now - m_lastFire) - IntervalMs));
        m_lastFire = now;
    });
    m_lastFire = BenchClock::now();
    m_timer.start();
}

void LatencyProbe::print(const char* what) const
{
    std::printf("event-loop latency %s (5 ms timer lateness): p50 %.2f ms, p99 %.2f ms, max %.2f ms "
                "over %zu ticks (goal p99 < 50)\n",
                what, percentile(m_lateness, 0.50), percentile(m_lateness, 0.99), percentile(m_lateness, 1.0),
                m_lateness.size());
}

BenchDataFolder::BenchDataFolder()
{
    qputenv("QUARROW_DATA_DIR", m_folder.path().toLocal8Bit());
}

std::shared_ptr<MUDConnection> storedConnection(quint16 port, bool negotiatesTelnetOptions)
{
    MUDConnection draft;
    auto copy = std::make_shared<MUDConnection>();
    copy->setTitle(QStringLiteral("Flood"));
    copy->setHost(QStringLiteral("127.0.0.1"));
    copy->setPort(port);
    copy->setNegotiatesTelnetOptions(negotiatesTelnetOptions);
    draft.setModifiedInstance(copy);
    MUDPreservation::saveConnection(draft);
    for (const std::shared_ptr<MUDConnection>& connection : MUDPreservation::loadConnections())
        if (connection->title() == copy->title())
            return connection;
    std::fprintf(stderr, "could not store the connection\n");
    return nullptr;
}

bool showAndConnect(MUDSessionWindow& window, const std::shared_ptr<MUDConnection>& connection,
                    const std::function<bool()>& serverHasClient)
{
    window.resize(1000, 700);
    window.show();
    spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10);
    window.openConnection(connection);
    if (spinUntil([&] { return window.document().isConnected() && serverHasClient(); }, 10))
        return true;
    std::fprintf(stderr, "could not connect to the loopback server\n");
    return false;
}

void storeTriggers(const MUDConnection& connection, int count)
{
    MUDTriggerList triggers;
    for (int index = 0; index < count; ++index) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(QStringLiteral("t%1").arg(index));
        if (index == 0) {
            trigger->setMatchType(MUDTrigger::kMatchPlainText);
            trigger->setMatchString(QStringLiteral("The orc hits you."));
        } else if (index == 1) {
            trigger->setMatchType(MUDTrigger::kMatchRegularExpression);
            trigger->setMatchString(QStringLiteral("You feel (\\w+)"));
        } else if (index % 2 == 0) {
            trigger->setMatchType(MUDTrigger::kMatchPlainText);
            trigger->setMatchString(QStringLiteral("The dragon number %1 breathes fire").arg(index));
        } else {
            trigger->setMatchType(MUDTrigger::kMatchRegularExpression);
            trigger->setMatchString(QStringLiteral("^(\\w+) tells you %1: (.+)$").arg(index));
        }
        trigger->setAction(QStringLiteral("var seen = 1;"));
        trigger->setIsNew(true);
        trigger->setParentURL(MUDPreservation::urlForTriggersInConnection(connection));
        triggers.append(trigger);
    }
    MUDPreservation::saveTriggers(triggers, connection);
}

QString proxyRebuiltOutput(const QStringList& documents)
{
    QString text;
    for (const QString& document : documents) {
        const QJsonObject object = QJsonDocument::fromJson(document.toUtf8()).object();
        if (object.value(QStringLiteral("action")).toString() == QLatin1String("messages"))
            continue;
        for (const QJsonValue& entry : object.value(QStringLiteral("entries")).toArray())
            text += entry.toObject().value(QStringLiteral("text")).toString();
    }
    return text;
}

BenchClock::time_point waitUntilOutputSettles(const MUDDocument& document, std::chrono::milliseconds quiet,
                                              int limitSeconds)
{
    qsizetype lastLength = document.output().length();
    BenchClock::time_point lastGrowth = BenchClock::now();
    spinUntil(
        [&] {
            if (document.output().length() != lastLength) {
                lastLength = document.output().length();
                lastGrowth = BenchClock::now();
            }
            return BenchClock::now() - lastGrowth > quiet;
        },
        limitSeconds);
    return lastGrowth;
}
