#include "core/CVThreadName.h"

#include <pthread.h>
#include <string>

void CVSetCurrentThreadName(const char* name)
{
    // Longer names are refused outright, not cut.
    pthread_setname_np(pthread_self(), std::string(name).substr(0, 15).c_str());
}
