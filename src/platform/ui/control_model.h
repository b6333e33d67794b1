#pragma once

// Common ground of the panel's control models. A model holds a control's
// values; a view (the Qt window) draws it and forwards the user's gestures.
// Setting a value from code never sends the control's action; a user gesture
// (the user...() calls) updates the model, then sends the action once.

#include <atomic>
#include <cstdint>
#include <functional>

namespace tolva {

template <typename Self>
class ControlModel {
  public:
    using Action = std::function<void(Self& sender)>;

    // [UI] The handler that a user gesture sends.
    void setAction(Action action) { action_ = std::move(action); }
    // [any] Grows with every change; views redraw when it moved.
    uint64_t revision() const { return revision_.load(std::memory_order_acquire); }

  protected:
    ControlModel() = default;
    ~ControlModel() = default;
    void markChanged() { revision_.fetch_add(1, std::memory_order_acq_rel); }
    // [UI]
    void sendAction() {
        if (action_) {
            action_(static_cast<Self&>(*this));
        }
    }

  private:
    Action action_;
    std::atomic<uint64_t> revision_{0};
    static_assert(std::atomic<uint64_t>::is_always_lock_free);
};

}  // namespace tolva
