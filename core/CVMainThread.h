#pragma once

#include <functional>

// Hops onto the Qt main thread (the thread of the QCoreApplication).

// Runs `block` later on the main thread; blocks posted from one thread run in
// the order they were posted. Any thread.
void fc_executeOnMainThread(std::function<void()> block);

// Runs `block` on the main thread and returns once it has run. Called on the
// main thread it runs at once. Any thread; the main thread must not be waiting
// on the caller, or this deadlocks.
void fc_executeOnMainThreadSync(const std::function<void()>& block);

// True when called on the main thread.
bool fc_isMainThread();
