#include "platform/ui/latest_text.h"

namespace tolva {

void LatestText::set(std::string_view text) TOLVA_NONBLOCKING {
    size_t length = text.size() < kCapacity ? text.size() : kCapacity;
    // Never cut a UTF-8 sequence in half.
    while (length < text.size() && length > 0 &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    // Claim a slot that nobody is writing. With two writers and four slots a
    // claim succeeds within a few tries; each try is one compare-and-swap.
    for (;;) {
        const uint32_t index = nextSlot_.fetch_add(1, std::memory_order_relaxed) % kSlots;
        Slot& slot = slots_[index];
        uint32_t seq = slot.sequence.load(std::memory_order_relaxed);
        if ((seq & 1u) != 0 ||
            !slot.sequence.compare_exchange_strong(seq, seq + 1, std::memory_order_acquire,
                                                   std::memory_order_relaxed)) {
            continue;
        }
        std::atomic_thread_fence(std::memory_order_release);
        for (size_t i = 0; i < length; ++i) {
            slot.chars[i].store(text[i], std::memory_order_relaxed);
        }
        slot.chars[length].store('\0', std::memory_order_relaxed);
        slot.sequence.store(seq + 2, std::memory_order_release);
        published_.store(index, std::memory_order_release);
        return;
    }
}

void LatestText::copyTo(char* out) const {
    for (;;) {
        const uint32_t index = published_.load(std::memory_order_acquire);
        const Slot& slot = slots_[index];
        const uint32_t before = slot.sequence.load(std::memory_order_acquire);
        if ((before & 1u) != 0) {
            continue;
        }
        for (size_t i = 0; i <= kCapacity; ++i) {
            out[i] = slot.chars[i].load(std::memory_order_relaxed);
        }
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.sequence.load(std::memory_order_relaxed) == before) {
            out[kCapacity] = '\0';
            return;
        }
    }
}

std::string LatestText::get() const {
    char buffer[kCapacity + 1];
    copyTo(buffer);
    return std::string(buffer);
}

}  // namespace tolva
