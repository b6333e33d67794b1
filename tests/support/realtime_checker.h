#pragma once

// Watches a thread while it runs real-time code: heap allocations, lock
// acquisitions, system calls through the C library, and voluntary context
// switches (the thread blocked). Tests wrap the code in a RealtimeSection
// and expect no violation.
//
// Plain builds interpose the allocator, the pthread locks and the blocking
// libc calls (not the generic syscall(), which glibc declares non-throwing:
// a thread cancelled inside it must unwind through it; a futex wait still
// shows as a voluntary context switch). Sanitizer builds own those symbols; there only allocations
// are counted (through the sanitizer's allocation hooks), and the RealtimeSanitizer build checks
// everything itself.

#include <cstdint>

// A test's own bookkeeping inside code marked nonblocking (a recording read
// callback, say) is not the code under test: under RealtimeSanitizer it runs
// with the sanitizer off for the rest of the enclosing scope.
#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#include <sanitizer/rtsan_interface.h>
#define TOLVA_TEST_BOOKKEEPING_SCOPE ::__rtsan::ScopedDisabler tolvaTestBookkeeping
#endif
#endif
#ifndef TOLVA_TEST_BOOKKEEPING_SCOPE
#define TOLVA_TEST_BOOKKEEPING_SCOPE static_cast<void>(0)
#endif

namespace tolva::test {

struct RealtimeViolations {
    uint64_t allocations = 0;
    uint64_t locks = 0;
    uint64_t systemCalls = 0;
};

// While one lives, the calling thread counts as real-time.
class RealtimeSection {
  public:
    RealtimeSection();
    ~RealtimeSection();
    RealtimeSection(const RealtimeSection&) = delete;
    RealtimeSection& operator=(const RealtimeSection&) = delete;
};

RealtimeViolations realtimeViolations();
void resetRealtimeViolations();
// Whether locks and system calls are watched in this build (allocations always are).
bool realtimeLocksAndCallsWatched();
// The calling thread's voluntary context switches so far.
long voluntaryContextSwitches();

}  // namespace tolva::test
