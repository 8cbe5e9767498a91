#include "core/CVNetworkActivityHelper.h"

#include <atomic>

#include <QCoreApplication>

namespace {
std::atomic<int> visibleCount{0};
}

CVNetworkActivityHelper& CVNetworkActivityHelper::sharedInstance()
{
    // Never destroyed: probe threads may still report while the program ends.
    static CVNetworkActivityHelper* instance = [] {
        auto* created = new CVNetworkActivityHelper;
        if (QCoreApplication* application = QCoreApplication::instance())
            created->moveToThread(application->thread());
        return created;
    }();
    return *instance;
}

void CVNetworkActivityHelper::setNetworkActivityIndicatorVisible(bool visible)
{
    if (visible) {
        if (visibleCount.fetch_add(1) == 0)
            emit sharedInstance().indicatorVisibilityChanged();
        return;
    }
    // Never below zero, whatever the calls' balance.
    int count = visibleCount.load();
    while (count > 0 && !visibleCount.compare_exchange_weak(count, count - 1)) { }
    if (count == 1)
        emit sharedInstance().indicatorVisibilityChanged();
}

bool CVNetworkActivityHelper::isNetworkActivityIndicatorVisible()
{
    return visibleCount.load() > 0;
}
