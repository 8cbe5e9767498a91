#include "engine/connection/CVFTPortTester.h"

#include "core/CVLogHelper.h"
#include "core/CVMainThread.h"
#include "core/CVNetworkActivityHelper.h"
#include "core/CVPortTester.h"
#include "engine/connection/CVFTPortTesterDelegate.h"

namespace {
void logType1000(const QString& message)
{
    CVLogHelper::sharedInstance().logMessageType(CVLogHelper::MessageType, message);
}

QString pointerText(const void* pointer)
{
    return QString::asprintf("%p", pointer);
}

// Holds the semaphore for one scope.
class SemaphoreLocker {
public:
    explicit SemaphoreLocker(CVSemaphore& semaphore)
        : m_semaphore(semaphore)
    {
        m_semaphore.wait(QDeadlineTimer::Forever);
    }
    ~SemaphoreLocker() { m_semaphore.signal(); }

private:
    CVSemaphore& m_semaphore;
};
}

CVFTPortTester::CVFTPortTester(int timeoutMs)
    : m_timeoutMs(timeoutMs)
    , m_checkerSemaphore(QStringLiteral("ConnectionWindowHostPortTester"), 1)
    , m_lookupQueue(MaxConcurrentProbes)
    , m_portTestDispatchQueue(1)
{
}

CVFTPortTester::~CVFTPortTester() = default;

void CVFTPortTester::addConnections(const QList<CVFTPortTesterEntry>& entries)
{
    logType1000(QStringLiteral("Want to add %1 entries for port testing.").arg(entries.size()));
    m_portTestDispatchQueue.addOperation([weakSelf = weak_from_this(), entries] {
        if (std::shared_ptr<CVFTPortTester> self = weakSelf.lock())
            self->takeIn(entries);
    });
}

void CVFTPortTester::takeIn(const QList<CVFTPortTesterEntry>& entries)
{
    qsizetype added = 0;
    for (const CVFTPortTesterEntry& entry : entries) {
        if (m_cancelled)
            break;
        if (entry.identifier().isEmpty())
            continue;
        auto queued = std::make_shared<const CVFTPortTesterEntry>(entry);
        {
            SemaphoreLocker lock(m_checkerSemaphore);
            if (m_busyLookup.contains(entry.identifier()))
                continue;
            m_busyLookup.insert(entry.identifier(), queued);
        }
        m_lookupQueue.addOperation([weakSelf = weak_from_this(), queued] { probe(weakSelf, queued); });
        ++added;
    }
    logType1000(QStringLiteral("Added %1 entries for port testing.").arg(added));
}

void CVFTPortTester::probe(const std::weak_ptr<CVFTPortTester>& weakSelf,
                           const std::shared_ptr<const CVFTPortTesterEntry>& entry)
{
    int timeoutMs = 0;
    {
        // Not held during the probe: a tester released meanwhile is gone at
        // once, and the probe then ends without effect.
        std::shared_ptr<CVFTPortTester> self = weakSelf.lock();
        if (!self)
            return;
        timeoutMs = self->m_timeoutMs;
    }
    CVNetworkActivityHelper::setNetworkActivityIndicatorVisible(true);
    logType1000(QStringLiteral("Start port test (%1)").arg(pointerText(entry.get())));
    const CVFTPortTesterResult result = checkRecentConnection(*entry, timeoutMs);
    if (std::shared_ptr<CVFTPortTester> self = weakSelf.lock())
        self->finishProbe(*entry, result);
    CVNetworkActivityHelper::setNetworkActivityIndicatorVisible(false);
}

CVFTPortTesterResult CVFTPortTester::checkRecentConnection(const CVFTPortTesterEntry& entry, int timeoutMs)
{
    QString address;
    CVError error;
    const bool success = CVPortTester(entry.host(), entry.port(), timeoutMs).testConnection(&address, &error);
    const bool resolved = !address.isEmpty();

    CVFTPortTesterResult result;
    if (!success) {
        // The host stays out of the log in extra-secure mode, as in every line here.
        if (CVLogHelper::sharedInstance().extraSecure())
            logType1000(QStringLiteral("CVPortTester failed to testConnection for connection id %1. Error: %2.")
                            .arg(entry.identifier(), error.description));
        else
            logType1000(QStringLiteral("CVPortTester failed to testConnection with host: %1. Error: %2.")
                            .arg(entry.host(), error.description));
        result.error = error;
        result.connectionResultStatus = resolved ? CVFTPortTesterResult::Partial : CVFTPortTesterResult::Offline;
    } else {
        result.connectionResultStatus = resolved ? CVFTPortTesterResult::Online : CVFTPortTesterResult::Unknown;
    }
    result.ipAddress = address;
    result.success = success;
    result.port = static_cast<qint64>(entry.port());
    result.hostDisplay = address;
    return result;
}

void CVFTPortTester::finishProbe(const CVFTPortTesterEntry& entry, const CVFTPortTesterResult& result)
{
    const bool reported = !m_cancelled;
    if (reported) {
        fc_executeOnMainThread([weakSelf = weak_from_this(), identifier = entry.identifier(), result] {
            if (std::shared_ptr<CVFTPortTester> self = weakSelf.lock())
                self->report(identifier, result);
        });
    }
    {
        SemaphoreLocker lock(m_checkerSemaphore);
        m_busyLookup.remove(entry.identifier());
    }
    if (!reported)
        return;
    const QString errorText = result.error ? result.error->description : QString();
    if (CVLogHelper::sharedInstance().extraSecure()) {
        logType1000(QStringLiteral("Finished port test for connection id %1. %2.")
                        .arg(entry.identifier(), result.error ? errorText : QStringLiteral("Success")));
    } else {
        logType1000(QStringLiteral("Finished port test (%1 [%2]) [%3]. %4.")
                        .arg(pointerText(&entry), entry.host(),
                             result.ipAddress.isEmpty() ? QStringLiteral("<no ip>") : result.ipAddress,
                             result.error ? errorText : QStringLiteral("<no error>")));
    }
}

void CVFTPortTester::report(const QString& identifier, const CVFTPortTesterResult& result)
{
    // Cancelled while the result was on its way: cancel is final.
    if (m_cancelled)
        return;
    m_resultLookup.insert(identifier, result);
    if (std::shared_ptr<CVFTPortTesterDelegate> target = delegate())
        target->entryWithIdentifiderChanged(identifier, result);
}

std::optional<CVFTPortTesterResult> CVFTPortTester::resultForIdentifier(const QString& identifier) const
{
    const auto found = m_resultLookup.constFind(identifier);
    if (found == m_resultLookup.constEnd())
        return std::nullopt;
    return *found;
}

void CVFTPortTester::removeCachedForIdentifier(const QString& identifier)
{
    m_resultLookup.remove(identifier);
}

void CVFTPortTester::cancel()
{
    m_cancelled = true;
    m_portTestDispatchQueue.cancelAllOperations();
    m_lookupQueue.cancelAllOperations();
}

bool CVFTPortTester::busy()
{
    if (m_cancelled)
        return false;
    SemaphoreLocker lock(m_checkerSemaphore);
    return !m_busyLookup.isEmpty();
}
