#pragma once

#include "platform/realtime.h"
#include "platform/ui/control_model.h"

namespace tolva {

// A discrete level meter showing whole steps from 0 to its maximum.
class LevelIndicatorModel : public ControlModel<LevelIndicatorModel> {
  public:
    explicit LevelIndicatorModel(float maxValue) : max_(maxValue) {}

    float maxValue() const { return max_; }
    // [any]
    float floatValue() const { return value_.load(std::memory_order_acquire); }
    // [any, wait-free]
    void setFloatValue(float value) TOLVA_NONBLOCKING {
        value_.store(value, std::memory_order_release);
        markChanged();
    }

  private:
    const float max_;
    LockFreeAtomic<float> value_{0.0f};
};

}  // namespace tolva
