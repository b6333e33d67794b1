#pragma once

// A short text that any thread may set without allocating, locking or waiting,
// and that readers copy out whole: the last completed write wins. Texts longer
// than the capacity are cut at a character boundary.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/realtime.h"

namespace tolva {

class LatestText {
  public:
    static constexpr size_t kCapacity = 63;

    // [any, wait-free]
    void set(std::string_view text) TOLVA_NONBLOCKING;
    // [any] Copies the current text into out (at least kCapacity + 1 bytes, NUL-terminated).
    void copyTo(char* out) const;
    // [UI]
    std::string get() const;

  private:
    static constexpr size_t kSlots = 4;
    struct Slot {
        LockFreeAtomic<uint32_t> sequence{0};  // odd while being written
        std::array<std::atomic<char>, kCapacity + 1> chars{};
    };
    std::array<Slot, kSlots> slots_{};
    LockFreeAtomic<uint32_t> published_{0};  // index of the newest complete slot
    LockFreeAtomic<uint32_t> nextSlot_{1};
};

}  // namespace tolva
