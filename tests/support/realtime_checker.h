#pragma once

// Counts the heap allocations a thread makes while it runs real-time code.
// Tests wrap the code in a RealtimeSection and expect none. Plain builds
// interpose the allocator to count; sanitizer builds own the allocator and
// count nothing (RealtimeSanitizer's own stage checks the render cycle for
// allocations, locks and system calls).

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

}  // namespace tolva::test
