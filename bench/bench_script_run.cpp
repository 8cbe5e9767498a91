// Script runs through one runtime, the way triggers call it: a script that
// sends three commands, a small one that counts through getVar/setVar, and
// one that receives a parameter in its quoted form, with a new value every
// run (as each matched line brings). Prints the medians per run.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "engine/automation/MUDJavascriptActionSource.h"
#include "engine/automation/MUDJavascriptError.h"
#include "engine/automation/MUDJavascriptProcessor.h"
#include "engine/automation/MUDJavascriptProcessorDelegate.h"

namespace {

double threadCpuMicros()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

class CountingDelegate : public MUDJavascriptProcessorDelegate {
public:
    int commands = 0;
    int errors = 0;
    void javascriptProcessorHasError(MUDJavascriptProcessor*, const MUDJavascriptError& error) override
    {
        ++errors;
        std::fprintf(stderr, "error: %s\n", qPrintable(error.errorMessage));
    }
    void javascriptProcessorRequestsCommand(MUDJavascriptProcessor*, const QString&,
                                            const std::shared_ptr<MUDJavascriptActionSource>&) override
    {
        ++commands;
    }
    void javascriptProcessorRequestsLog(MUDJavascriptProcessor*, const QString&) override { }
    void javascriptProcessorReceivedMessage(MUDJavascriptProcessor*, const MUDMessage&) override { }
    void javascriptProcessorSetExits(MUDJavascriptProcessor*, const QList<MUDExit>&) override { }
    void javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor*, const QString&) override { }
    void javascriptProcessorRequestsNotification(MUDJavascriptProcessor*, const QString&, const QString&) override { }
    void javascriptProcessorSetBadge(MUDJavascriptProcessor*, const QString&) override { }
    void javascriptProcessorSetStatus(MUDJavascriptProcessor*, const QString&) override { }
};

// Runs `runOnce(i)` for a warm-up and then `runs` times; prints wall and
// thread CPU figures per run.
void measure(const char* name, const std::function<void(int)>& runOnce)
{
    constexpr int warmup = 200;
    constexpr int runs = 5000;
    std::vector<double> micros;
    std::vector<double> cpuMicros;
    micros.reserve(runs);
    cpuMicros.reserve(runs);
    for (int i = 0; i < warmup + runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        const double cpuStart = threadCpuMicros();
        runOnce(i);
        if (i >= warmup) {
            micros.push_back(double(clock.nsecsElapsed()) / 1000.0);
            cpuMicros.push_back(threadCpuMicros() - cpuStart);
        }
    }
    std::sort(micros.begin(), micros.end());
    std::sort(cpuMicros.begin(), cpuMicros.end());
    std::printf("%s: wall median %.1f us, p90 %.1f us, p99 %.1f us; thread CPU median %.1f us; %d runs\n", name,
                micros[runs / 2], micros[runs * 9 / 10], micros[runs * 99 / 100], cpuMicros[runs / 2], runs);
}

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CountingDelegate delegate;
    auto processor = std::make_shared<MUDJavascriptProcessor>(&delegate);
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("Trigger: bench"));

    const QString commands = QStringLiteral("command('look'); command('say \\1'); app.command('north');");
    const MUDScriptParameters parameters{{QStringLiteral("\\0"), QStringLiteral("You see an orc")},
                                         {QStringLiteral("\\1"), QStringLiteral("an orc")}};
    measure("three commands, bare parameter",
            [&](int) { processor->processActionAsJavascript(commands, source, parameters, 1); });

    // Starts as a number: an unset variable reads as the text "<nil>", and
    // adding 1 to text would grow a longer string every run.
    processor->setVariable(QStringLiteral("kills"), 0);
    const QString counter = QStringLiteral("setVar('kills', getVar('kills') + 1);");
    measure("small script (one getVar, one setVar)",
            [&](int) { processor->processActionAsJavascript(counter, source, std::nullopt, 1); });
    // What a worker thread that ends with every burst would pay: the thread,
    // and the engine's set-up for a thread it has not seen.
    measure("small script, each on a new thread", [&](int) {
        std::thread([&] { processor->processActionAsJavascript(counter, source, std::nullopt, 1); }).join();
    });

    const QString quoted = QStringLiteral("setVar('last', '\\1');");
    measure("quoted parameter, a new value each run", [&](int i) {
        const QString line = QStringLiteral("The orc number %1 hits you. [HP: %2/500]").arg(i).arg(i % 500);
        processor->processActionAsJavascript(
            quoted, source,
            MUDScriptParameters{{QStringLiteral("\\0"), line}, {QStringLiteral("\\1"), line.mid(4, 14)}}, 1);
    });
    std::printf("%d commands, %d errors\n", delegate.commands, delegate.errors);
    return delegate.errors == 0 ? 0 : 1;
}
