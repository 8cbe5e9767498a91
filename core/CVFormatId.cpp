#include "core/CVFormatId.h"

#include <atomic>

quint32 CVFormatId::newGeneration()
{
    static std::atomic<quint32> last{0};
    quint32 generation = last.fetch_add(1, std::memory_order_relaxed) + 1;
    // After four billion generations the count wraps; 0 stays "no identity".
    if (generation == 0)
        generation = last.fetch_add(1, std::memory_order_relaxed) + 1;
    return generation;
}
