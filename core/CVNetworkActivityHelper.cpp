#include "core/CVNetworkActivityHelper.h"

#include <atomic>

namespace {
std::atomic<int> visibleCount{0};
}

void CVNetworkActivityHelper::setNetworkActivityIndicatorVisible(bool visible)
{
    if (visible) {
        ++visibleCount;
        return;
    }
    // Never below zero, whatever the calls' balance.
    int count = visibleCount.load();
    while (count > 0 && !visibleCount.compare_exchange_weak(count, count - 1)) {
    }
}

bool CVNetworkActivityHelper::isNetworkActivityIndicatorVisible()
{
    return visibleCount.load() > 0;
}
