#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <memory>
#include <optional>

#include "core/CVOperationQueue.h"
#include "core/CVSemaphore.h"
#include "engine/connection/CVFTPortTesterEntry.h"
#include "engine/connection/CVFTPortTesterResult.h"

class CVFTPortTesterDelegate;

// Checks in the background whether each saved connection's server answers,
// keeps the latest result per connection and tells its delegate on the main
// thread. An entry already queued or being probed is not queued again.
//
// Threads: the owner (main thread) adds, cancels and reads results; one
// serial intake worker takes entries in; up to five probe workers run at
// once. m_checkerSemaphore guards m_busyLookup; m_resultLookup and the
// delegate are touched on the main thread only. Queued and running work holds
// the tester weakly (so it must be owned by a std::shared_ptr): a released
// tester's probes end without effect and never keep it alive.
class CVFTPortTester : public std::enable_shared_from_this<CVFTPortTester> {
public:
    static constexpr int MaxConcurrentProbes = 5;

    // `timeoutMs` bounds each probe's connect.
    explicit CVFTPortTester(int timeoutMs = 5000);
    ~CVFTPortTester();
    CVFTPortTester(const CVFTPortTester&) = delete;
    CVFTPortTester& operator=(const CVFTPortTester&) = delete;

    std::shared_ptr<CVFTPortTesterDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<CVFTPortTesterDelegate> delegate) { m_delegate = std::move(delegate); }

    // Queues the entries for probing and returns at once.
    void addConnections(const QList<CVFTPortTesterEntry>& entries);
    std::optional<CVFTPortTesterResult> resultForIdentifier(const QString& identifier) const;
    void removeCachedForIdentifier(const QString& identifier);
    // Final: nothing more is taken in or reported; running probes end silently.
    void cancel();
    // Not cancelled and probes queued or running.
    bool busy();

private:
    void takeIn(const QList<CVFTPortTesterEntry>& entries);
    static void probe(const std::weak_ptr<CVFTPortTester>& weakSelf,
                      const std::shared_ptr<const CVFTPortTesterEntry>& entry);
    static CVFTPortTesterResult checkRecentConnection(const CVFTPortTesterEntry& entry, int timeoutMs);
    void finishProbe(const CVFTPortTesterEntry& entry, const CVFTPortTesterResult& result);
    void report(const QString& identifier, const CVFTPortTesterResult& result);

    const int m_timeoutMs;
    std::atomic<bool> m_cancelled{false};
    CVSemaphore m_checkerSemaphore;
    QHash<QString, std::shared_ptr<const CVFTPortTesterEntry>> m_busyLookup;
    CVOperationQueue m_lookupQueue;
    CVOperationQueue m_portTestDispatchQueue;
    QHash<QString, CVFTPortTesterResult> m_resultLookup;
    std::weak_ptr<CVFTPortTesterDelegate> m_delegate;
};
