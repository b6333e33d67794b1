#pragma once

// Real-time annotations shared by every layer.
//
// TOLVA_NONBLOCKING, placed after a function's parameter list, marks a function that runs on the
// render thread and must not allocate, lock, block or make system calls. Clang's RealtimeSanitizer
// (-fsanitize=realtime) checks such functions at run time; other compilers
// ignore the mark.

#include <atomic>

#if defined(__clang__) && defined(__has_cpp_attribute)
#if __has_cpp_attribute(clang::nonblocking)
#define TOLVA_NONBLOCKING [[clang::nonblocking]]
#endif
#endif
#ifndef TOLVA_NONBLOCKING
#define TOLVA_NONBLOCKING
#endif

namespace tolva {

// Every value shared between threads is an atomic that never falls back to a
// lock; declare it through this alias so the check is never forgotten.
template <typename T>
struct LockFreeAtomic : std::atomic<T> {
    static_assert(std::atomic<T>::is_always_lock_free, "shared values must be lock-free");
    using std::atomic<T>::atomic;
    using std::atomic<T>::operator=;
};

}  // namespace tolva
