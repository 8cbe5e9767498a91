#include "core/CVMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "core/CVThreadSanitizer.h"

namespace {

// Qt's posted-event queue hands a block from the posting thread to the main
// thread under a lock ThreadSanitizer cannot see (Qt is not instrumented).
// Releasing this one address before every post and acquiring it when a
// posted block starts tells it what that lock guarantees.
char g_postedBlockHandOver;

void postToMainThread(QCoreApplication* app, std::function<void()> block)
{
    cv_tsanRelease(&g_postedBlockHandOver);
    QMetaObject::invokeMethod(
        app,
        [block = std::move(block)] {
            cv_tsanAcquire(&g_postedBlockHandOver);
            block();
        },
        Qt::QueuedConnection);
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
    // when the posted call object goes away on the main thread: after the
    // block ran, or when the event is discarded because the loop ended.
    struct Done {
        std::mutex mutex;
        std::condition_variable signal;
        bool finished = false;
    };
    struct Finisher {
        explicit Finisher(std::shared_ptr<Done> done)
            : done(std::move(done))
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
