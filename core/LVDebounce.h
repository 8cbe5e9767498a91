#pragma once

#include <QByteArray>
#include <functional>

// Delayed calls keyed by (target, operation, argument): a new request for the
// same key replaces the pending one, so the call happens once, `seconds`
// after the last request. Callable from any thread; the calls run on the
// main thread. Objects that own pending calls cancel them (cancelTarget) when
// they go away.
class LVDebounce {
public:
    static void fireAfter(double seconds, const void* target, const QByteArray& operation, const void* argument,
                          std::function<void()> action);
    static void cancelTarget(const void* target, const QByteArray& operation, const void* argument);
    // Drops every pending call of the target.
    static void cancelTarget(const void* target);
};
