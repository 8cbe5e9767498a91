#include "core/CVMainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

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
    QMetaObject::invokeMethod(app, std::move(block), Qt::QueuedConnection);
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
    QMetaObject::invokeMethod(app, block, Qt::BlockingQueuedConnection);
}
