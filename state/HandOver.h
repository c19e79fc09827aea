#pragma once

// Marks a hand-over between threads that happens inside Qt, for
// ThreadSanitizer. A queued call is posted under a mutex inside QtCore, which
// TSan cannot see (QtCore is not instrumented and its mutex is a raw futex), so
// without this every value a run posts to the main thread looks like a race.
// handOver() goes right before posting, takeOver() first thing in the posted
// call. Both compile to nothing outside ThreadSanitizer builds.

#if defined(__SANITIZE_THREAD__)
#define ZUNO_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZUNO_THREAD_SANITIZER 1
#endif
#endif

#if defined(ZUNO_THREAD_SANITIZER)
#include <sanitizer/tsan_interface.h>
#endif

namespace ZunoInstaller {

inline void handOver([[maybe_unused]] const void* token)
{
#if defined(ZUNO_THREAD_SANITIZER)
    __tsan_release(const_cast<void*>(token));
#endif
}

inline void takeOver([[maybe_unused]] const void* token)
{
#if defined(ZUNO_THREAD_SANITIZER)
    __tsan_acquire(const_cast<void*>(token));
#endif
}

} // namespace ZunoInstaller
