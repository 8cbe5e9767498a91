// Script run: a fresh context with every function installed, a small script
// that sends three commands, the context released. Prints the median.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
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
    void javascriptProcessorHasError(MUDJavascriptProcessor*, const MUDJavascriptError& error) override
    {
        std::fprintf(stderr, "error: %s\n", qPrintable(error.errorMessage));
    }
    void javascriptProcessorRequestsCommand(MUDJavascriptProcessor*, const QString&,
                                            const std::shared_ptr<MUDJavascriptActionSource>&) override
    {
        ++commands;
    }
    void javascriptProcessorRequestsLog(MUDJavascriptProcessor*, const QString&) override {}
    void javascriptProcessorReceivedMessage(MUDJavascriptProcessor*, const MUDMessage&) override {}
    void javascriptProcessorSetExits(MUDJavascriptProcessor*, const QList<MUDExit>&) override {}
    void javascriptProcessorProcessForAutocomplete(MUDJavascriptProcessor*, const QString&) override {}
    void javascriptProcessorRequestsNotification(MUDJavascriptProcessor*, const QString&, const QString&) override {}
    void javascriptProcessorSetBadge(MUDJavascriptProcessor*, const QString&) override {}
    void javascriptProcessorSetStatus(MUDJavascriptProcessor*, const QString&) override {}
};

}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    CountingDelegate delegate;
    auto processor = std::make_shared<MUDJavascriptProcessor>(&delegate);
    auto source = std::make_shared<MUDJavascriptActionSource>();
    source->setActionName(QStringLiteral("Trigger: bench"));
    const QString script = QStringLiteral("command('look'); command('say \\1'); app.command('north');");
    const MUDScriptParameters parameters{{QStringLiteral("\\0"), QStringLiteral("You see an orc")},
                                         {QStringLiteral("\\1"), QStringLiteral("an orc")}};

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
        processor->processActionAsJavascript(script, source, parameters, 1);
        if (i >= warmup) {
            micros.push_back(double(clock.nsecsElapsed()) / 1000.0);
            cpuMicros.push_back(threadCpuMicros() - cpuStart);
        }
    }
    std::sort(micros.begin(), micros.end());
    std::sort(cpuMicros.begin(), cpuMicros.end());
    std::printf("script run (fresh context, 20 functions, 3 commands): wall median %.1f us, p90 %.1f us, "
                "p99 %.1f us; thread CPU median %.1f us; %d runs (%d commands)\n",
                micros[runs / 2], micros[runs * 9 / 10], micros[runs * 99 / 100], cpuMicros[runs / 2], runs,
                delegate.commands);
    return 0;
}
