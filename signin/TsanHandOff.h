#pragma once

// Work handed from one thread to another through Qt's event queue: the
// queue's lock lives in Qt, which the thread sanitizer does not see, so the
// hand-off is made visible to it here. Free of cost in other builds.

#if defined(__SANITIZE_THREAD__)
#define KELUMO_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELUMO_TSAN 1
#endif
#endif

#ifdef KELUMO_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace handoff {

// One token for every hand-off: the receiver's first act orders it after
// everything the sender did before posting. A fixed address, so that taking
// it reads nothing the sender wrote.
inline char token;

// Sender, right before posting.
inline void posting()
{
#ifdef KELUMO_TSAN
    __tsan_release(&token);
#endif
}

// Receiver, first thing in the posted call.
inline void received()
{
#ifdef KELUMO_TSAN
    __tsan_acquire(&token);
#endif
}

} // namespace handoff
