#pragma once

// Tells ThreadSanitizer about synchronisation it cannot see: Qt is not built
// with it, so a hand-over through a Qt primitive whose waiting happens inside
// libQt6Core (QSemaphore) looks like a data race. Release where the hand-over
// starts, acquire where it ends; both do nothing in other builds.

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define CV_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define CV_THREAD_SANITIZER 1
#endif

#ifdef CV_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

inline void cv_tsanAcquire([[maybe_unused]] void* address)
{
#ifdef CV_THREAD_SANITIZER
    __tsan_acquire(address);
#endif
}

inline void cv_tsanRelease([[maybe_unused]] void* address)
{
#ifdef CV_THREAD_SANITIZER
    __tsan_release(address);
#endif
}
