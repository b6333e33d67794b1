#pragma once

#include <cstdint>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"

namespace tolva {

// A row of segments, one of them selected (-1: none).
class SegmentedControlModel : public ControlModel<SegmentedControlModel> {
  public:
    SegmentedControlModel(int64_t segmentCount, int64_t selected)
        : count_(segmentCount), selected_(selected) {}

    int64_t segmentCount() const { return count_; }
    // [any]
    int64_t selectedSegment() const { return selected_.load(std::memory_order_acquire); }
    // [any, wait-free] Selects without sending the action. An index outside
    // 0..count-1 other than -1 (no selection) is refused and changes nothing.
    void setSelectedSegment(int64_t segment) TOLVA_NONBLOCKING {
        if (segment < -1 || segment >= count_) {
            return;
        }
        selected_.store(segment, std::memory_order_release);
        markChanged();
    }
    // [UI] The user clicks a segment.
    void userSelect(int64_t segment) {
        if (segment < 0 || segment >= count_) {
            return;
        }
        setSelectedSegment(segment);
        sendAction();
    }

  private:
    const int64_t count_;
    LockFreeAtomic<int64_t> selected_;
};

}  // namespace tolva
