#include "support/realtime_checker.h"

#include <dlfcn.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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
std::atomic<uint64_t> gLocks{0};
std::atomic<uint64_t> gCalls{0};

}  // namespace

RealtimeSection::RealtimeSection() {
    ++tDepth;
}
RealtimeSection::~RealtimeSection() {
    --tDepth;
}

RealtimeViolations realtimeViolations() {
    return {gAllocations.load(), gLocks.load(), gCalls.load()};
}

void resetRealtimeViolations() {
    gAllocations.store(0);
    gLocks.store(0);
    gCalls.store(0);
}

long voluntaryContextSwitches() {
    FILE* f = std::fopen("/proc/thread-self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long value = -1;
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, "voluntary_ctxt_switches:", 24) == 0) {
            value = std::strtol(line + 24, nullptr, 10);
        }
    }
    std::fclose(f);
    return value;
}

#if defined(TOLVA_TEST_SANITIZED)

bool realtimeLocksAndCallsWatched() {
    return false;
}

}  // namespace tolva::test

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
namespace {
void onMalloc(const volatile void*, size_t) {
    if (tolva::test::tDepth > 0) {
        tolva::test::gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
}
void onFree(const volatile void*) {
    if (tolva::test::tDepth > 0) {
        tolva::test::gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
}
[[maybe_unused]] const int gHooksInstalled =
    __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
}  // namespace

#else

bool realtimeLocksAndCallsWatched() {
    return true;
}

}  // namespace tolva::test

namespace {
inline void noteAllocation() {
    if (tolva::test::tDepth > 0) {
        tolva::test::gAllocations.fetch_add(1, std::memory_order_relaxed);
    }
}
inline void noteLock() {
    if (tolva::test::tDepth > 0) {
        tolva::test::gLocks.fetch_add(1, std::memory_order_relaxed);
    }
}
inline void noteCall() {
    if (tolva::test::tDepth > 0) {
        tolva::test::gCalls.fetch_add(1, std::memory_order_relaxed);
    }
}
// The real functions, found once with dlsym; no function-local statics,
// whose guards may themselves lock or call futex.
template <typename F>
F resolve(void*& slot, const char* name) {
    void* f = __atomic_load_n(&slot, __ATOMIC_ACQUIRE);
    if (f == nullptr) {
        f = dlsym(RTLD_NEXT, name);
        __atomic_store_n(&slot, f, __ATOMIC_RELEASE);
    }
    return reinterpret_cast<F>(f);
}
void* gSlot1 = nullptr;
void* gSlot2 = nullptr;
void* gSlot3 = nullptr;
void* gSlot4 = nullptr;
void* gSlot5 = nullptr;
void* gSlot6 = nullptr;
void* gSlot7 = nullptr;
void* gSlot8 = nullptr;
void* gSlot9 = nullptr;
void* gSlot10 = nullptr;
void* gSlot11 = nullptr;
void* gSlot12 = nullptr;
void* gSlot13 = nullptr;
void* gSlot14 = nullptr;
}  // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void __libc_free(void*);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t size) {
    noteAllocation();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    noteAllocation();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
    noteAllocation();
    return __libc_realloc(p, size);
}
void free(void* p) {
    if (p != nullptr) {
        noteAllocation();
    }
    __libc_free(p);
}
void* aligned_alloc(size_t alignment, size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
void* memalign(size_t alignment, size_t size) {
    noteAllocation();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    noteAllocation();
    void* p = __libc_memalign(alignment, size);
    if (p == nullptr) {
        return 12;  // ENOMEM
    }
    *out = p;
    return 0;
}

int pthread_mutex_lock(pthread_mutex_t* m) {
    noteLock();
    auto real = resolve<int (*)(pthread_mutex_t*)>(gSlot1, "pthread_mutex_lock");
    return real(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m) {
    noteLock();
    auto real = resolve<int (*)(pthread_mutex_t*)>(gSlot2, "pthread_mutex_trylock");
    return real(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l) {
    noteLock();
    auto real = resolve<int (*)(pthread_rwlock_t*)>(gSlot3, "pthread_rwlock_rdlock");
    return real(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l) {
    noteLock();
    auto real = resolve<int (*)(pthread_rwlock_t*)>(gSlot4, "pthread_rwlock_wrlock");
    return real(l);
}
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m) {
    noteLock();
    auto real = resolve<int (*)(pthread_cond_t*, pthread_mutex_t*)>(gSlot5, "pthread_cond_wait");
    return real(c, m);
}
int sem_wait(sem_t* s) {
    noteLock();
    auto real = resolve<int (*)(sem_t*)>(gSlot6, "sem_wait");
    return real(s);
}
int sem_post(sem_t* s) {
    noteCall();
    auto real = resolve<int (*)(sem_t*)>(gSlot7, "sem_post");
    return real(s);
}
ssize_t write(int fd, const void* data, size_t size) {
    noteCall();
    auto real = resolve<ssize_t (*)(int, const void*, size_t)>(gSlot8, "write");
    return real(fd, data, size);
}
ssize_t read(int fd, void* data, size_t size) {
    noteCall();
    auto real = resolve<ssize_t (*)(int, void*, size_t)>(gSlot9, "read");
    return real(fd, data, size);
}
int nanosleep(const struct timespec* request, struct timespec* remaining) {
    noteCall();
    auto real = resolve<int (*)(const struct timespec*, struct timespec*)>(gSlot10, "nanosleep");
    return real(request, remaining);
}
int clock_nanosleep(clockid_t clock, int flags, const struct timespec* request,
                    struct timespec* remaining) {
    noteCall();
    auto real = resolve<int (*)(clockid_t, int, const struct timespec*, struct timespec*)>(
        gSlot11, "clock_nanosleep");
    return real(clock, flags, request, remaining);
}
int sched_yield() {
    noteCall();
    auto real = resolve<int (*)()>(gSlot12, "sched_yield");
    return real();
}
int poll(struct pollfd* fds, nfds_t count, int timeout) {
    noteCall();
    auto real = resolve<int (*)(struct pollfd*, nfds_t, int)>(gSlot13, "poll");
    return real(fds, count, timeout);
}
int close(int fd) {
    noteCall();
    auto real = resolve<int (*)(int)>(gSlot14, "close");
    return real(fd);
}
}  // extern "C"

#endif
