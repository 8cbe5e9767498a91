#include "MUDJavascriptRecordingDelegate.h"

#include "TestSupport.h"

bool MUDJavascriptBackgroundRun::run(const std::shared_ptr<MUDJavascriptProcessor>& processor, const QString& action,
                                     std::shared_ptr<MUDJavascriptActionSource> source,
                                     const std::optional<MUDScriptParameters>& parameters, quint64 commandIndex,
                                     int timeoutMs, const std::function<void()>& whileRunning)
{
    std::atomic<bool> done{false};
    std::unique_ptr<QThread> thread(QThread::create([&] {
        processor->processActionAsJavascript(action, source, parameters, commandIndex);
        done = true;
    }));
    thread->start();
    if (whileRunning)
        whileRunning();
    const bool finished = waitUntil([&] { return done.load(); }, timeoutMs);
    if (!finished)
        processor->setStopIndex(commandIndex + 1);
    // Never leave the worker behind holding references to this frame.
    waitUntil([&] { return done.load(); }, 30000);
    thread->wait();
    return finished;
}
