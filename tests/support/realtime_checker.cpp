#include "support/realtime_checker.h"

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(realtime_sanitizer) || __has_feature(memory_sanitizer)
#define TOLVA_TEST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLVA_TEST_SANITIZED 1
#endif

namespace tolva::test {
namespace {

thread_local int tDepth = 0;
std::atomic<uint64_t> gAllocations{0};

}  // namespace

void noteAllocation() {
    if (tDepth > 0) {
        gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
}

RealtimeSection::RealtimeSection() {
    ++tDepth;
}
RealtimeSection::~RealtimeSection() {
    --tDepth;
}

RealtimeViolations realtimeViolations() {
    return {gAllocations.load()};
}

void resetRealtimeViolations() {
    gAllocations.store(0);
}

}  // namespace tolva::test

#if !defined(TOLVA_TEST_SANITIZED)

// The allocator itself, interposed; operator new and delete come through here.
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);

void* malloc(size_t size) {
    tolva::test::noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    tolva::test::noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    tolva::test::noteAllocation();
    return __libc_realloc(p, size);
}
void free(void* p) {
    if (p != nullptr) {
        tolva::test::noteAllocation();
    }
    __libc_free(p);
}
}  // extern "C"

#endif
