// A hand-over between threads that ThreadSanitizer cannot see by itself: an event
// posted through Qt's queue, which Qt guards with futexes and atomics inside its own
// uninstrumented library. The poster calls HandOverRelease(channel) before posting,
// the receiver HandOverAcquire(channel) before it looks at any event that came, so
// that what the poster wrote before posting counts as written before the receiver
// reads it, and everything written after still races. Both do nothing in other builds.
#pragma once

#if defined(__SANITIZE_THREAD__)
#define HALVERN_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define HALVERN_THREAD_SANITIZER 1
#endif
#endif

#ifdef HALVERN_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace halvern {

inline void HandOverRelease([[maybe_unused]] const void* channel) {
#ifdef HALVERN_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(channel));
#endif
}

inline void HandOverAcquire([[maybe_unused]] const void* channel) {
#ifdef HALVERN_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(channel));
#endif
}

}  // namespace halvern
