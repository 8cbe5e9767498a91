// Loading a connection's triggers: 2,000 triggers in 50 group folders (40
// each), read, parsed and sorted as a session does at every connect.
// Prints the median and worst of 15 loads (files in the page cache), as
// wall-clock time and as the process's CPU time, which a busy machine
// inflates less.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "core/CVLogHelper.h"
#include "engine/automation/MUDTrigger.h"
#include "engine/connection/MUDConnection.h"
#include "engine/storage/MUDConnectionLists.h"
#include "engine/storage/MUDPreservation.h"
#include "tests/support/doubles/NullLogDelegate.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    NullLogDelegate quiet;
    CVLogHelper::sharedInstance().setDelegate(&quiet);
    QTemporaryDir dir;
    qputenv("QUARROW_DATA_DIR", dir.path().toLocal8Bit());

    auto connection = std::make_shared<MUDConnection>();
    auto copy = connection->copy();
    copy->setTitle(QStringLiteral("Bench"));
    copy->setConnectionId(QStringLiteral("BENCH"));
    connection->setModifiedInstance(copy);
    MUDPreservation::saveConnection(*connection);
    connection = MUDPreservation::loadConnectionById(QStringLiteral("BENCH"));

    const QString triggersFolder = MUDPreservation::urlForTriggersInConnection(*connection);
    MUDTriggerList triggers;
    for (int i = 0; i < 2000; ++i) {
        auto trigger = std::make_shared<MUDTrigger>();
        trigger->setTitle(QStringLiteral("Trigger %1").arg(i));
        trigger->setMatchType(i % 2);
        trigger->setMatchString(QStringLiteral("^(\\w+) (?:hits|misses) you number %1\\.$").arg(i));
        trigger->setAction(QStringLiteral("command('kill ' + '\\1');\nlog('matched %1');").arg(i));
        trigger->setIsNew(true);
        trigger->setParentURL(QDir(triggersFolder).filePath(QStringLiteral("Group %1").arg(i % 50)));
        triggers.append(trigger);
    }
    MUDPreservation::saveTriggers(triggers, *connection);

    std::vector<double> ms;
    std::vector<double> cpuMs;
    qsizetype loaded = 0;
    for (int run = 0; run < 15; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t cpuStart = std::clock();
        MUDConnectionLists::forceLoadTriggers(*connection);
        cpuMs.push_back(1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        ms.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        loaded = MUDConnectionLists::triggers(*connection).value_or(MUDTriggerList()).size();
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    std::printf("storage load: %lld triggers in 50 folders: median %.1f ms (CPU %.1f ms), worst %.1f ms over %zu loads "
                "(target < 300 ms)\n",
                static_cast<long long>(loaded), ms[ms.size() / 2], cpuMs[cpuMs.size() / 2], ms.back(), ms.size());
    return loaded == 2000 ? 0 : 1;
}
