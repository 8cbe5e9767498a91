#include "core/CVSemaphore.h"

#include <algorithm>
#include <limits>

#include "core/CVThreadSanitizer.h"

CVSemaphore::CVSemaphore(const QString& identifier, int initialValue)
    : m_identifier(identifier)
    , m_semaphore(std::max(0, initialValue))
{
}

int CVSemaphore::wait(QDeadlineTimer deadline)
{
    if (deadline.isForever()) {
        m_semaphore.acquire();
        cv_tsanAcquire(this);
        return 0;
    }
    // QSemaphore of Qt 6.4 takes an int of milliseconds: wait in slices so
    // that far deadlines do not overflow.
    for (;;) {
        const qint64 remaining = deadline.remainingTime();
        const int slice = static_cast<int>(std::min<qint64>(remaining, std::numeric_limits<int>::max()));
        if (m_semaphore.tryAcquire(1, slice)) {
            cv_tsanAcquire(this);
            return 0;
        }
        if (deadline.hasExpired())
            return 1;
    }
}

void CVSemaphore::signal()
{
    cv_tsanRelease(this);
    m_semaphore.release();
}
