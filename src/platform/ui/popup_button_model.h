#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"

namespace tolva {

// A pop-up menu of items, some of which may be separators that cannot be chosen.
class PopUpButtonModel : public ControlModel<PopUpButtonModel> {
  public:
    struct Item {
        std::string title;
        bool separator = false;
    };

    explicit PopUpButtonModel(std::vector<Item> items) : items_(std::move(items)) {}

    const std::vector<Item>& items() const { return items_; }
    // [any]
    int64_t indexOfSelectedItem() const { return selected_.load(std::memory_order_acquire); }
    // [UI] Without the action. Separators and indices out of range are refused.
    bool selectItem(int64_t index) {
        if (!choosable(index)) {
            return false;
        }
        selected_.store(index, std::memory_order_release);
        markChanged();
        return true;
    }
    // [UI] The user chooses an item; false when it cannot be chosen.
    bool userSelect(int64_t index) {
        if (!selectItem(index)) {
            return false;
        }
        sendAction();
        return true;
    }

  private:
    bool choosable(int64_t index) const {
        return index >= 0 && index < static_cast<int64_t>(items_.size()) &&
               !items_[static_cast<size_t>(index)].separator;
    }

    const std::vector<Item> items_;
    LockFreeAtomic<int64_t> selected_{0};
};

}  // namespace tolva
