#include "core/CVMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace {

// Blocks wait in this queue, under a standard mutex, and Qt's posted-event
// queue only carries a call without data that runs the oldest one: Qt is
// not instrumented, so ThreadSanitizer could not see a block handed over
// inside Qt's own queue. One call is posted per block, so each block runs
// in the place of the event posted for it or earlier, never later.
std::mutex g_postedBlocksMutex;
std::deque<std::function<void()>> g_postedBlocks;
// The application whose end drops the blocks still waiting (as Qt drops
// their events), which releases any thread waiting on one of them.
QObject* g_watchedApplication = nullptr;

void dropPostedBlocks()
{
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(g_postedBlocksMutex);
        dropped.swap(g_postedBlocks);
        g_watchedApplication = nullptr;
    }
}

void runOldestPostedBlock()
{
    std::function<void()> block;
    {
        std::lock_guard lock(g_postedBlocksMutex);
        if (g_postedBlocks.empty())
            return;
        block = std::move(g_postedBlocks.front());
        g_postedBlocks.pop_front();
    }
    block();
}

void postToMainThread(QCoreApplication* app, std::function<void()> block)
{
    bool watch = false;
    {
        std::lock_guard lock(g_postedBlocksMutex);
        g_postedBlocks.push_back(std::move(block));
        watch = g_watchedApplication != app;
        g_watchedApplication = app;
    }
    if (watch)
        QObject::connect(app, &QObject::destroyed, &dropPostedBlocks);
    QMetaObject::invokeMethod(app, &runOldestPostedBlock, Qt::QueuedConnection);
}

}

bool fc_isMainThread()
{
    auto* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void fc_executeOnMainThread(std::function<void()> block)
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    postToMainThread(app, std::move(block));
}

void fc_executeOnMainThreadSync(const std::function<void()>& block)
{
    if (fc_isMainThread()) {
        block();
        return;
    }
    auto* app = QCoreApplication::instance();
    if (!app)
        return;
    // Waits on a standard condition variable rather than a blocking queued
    // call, so ThreadSanitizer sees the hand-over. The waiter is released
    // when the posted block goes away on the main thread: after it ran, or
    // when it is dropped because the application ended.
    struct Done {
        std::mutex mutex;
        std::condition_variable signal;
        bool finished = false;
    };
    struct Finisher {
        explicit Finisher(std::shared_ptr<Done> owner)
            : done(std::move(owner))
        {
        }
        ~Finisher()
        {
            std::lock_guard lock(done->mutex);
            done->finished = true;
            done->signal.notify_one();
        }
        std::shared_ptr<Done> done;
    };
    auto done = std::make_shared<Done>();
    // The finisher is held only for its lifetime.
    postToMainThread(app, [&block, finisher = std::make_shared<Finisher>(done)] { block(); });
    std::unique_lock lock(done->mutex);
    done->signal.wait(lock, [&] { return done->finished; });
}
