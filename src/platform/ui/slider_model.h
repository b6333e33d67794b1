#pragma once

#include <cmath>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"

namespace tolva {

// A slider holding a double between its minimum and its maximum.
class SliderModel : public ControlModel<SliderModel> {
  public:
    SliderModel(double minValue, double maxValue, double value)
        : min_(minValue), max_(maxValue), value_(clamp(value)) {}

    // [any]
    double doubleValue() const { return value_.load(std::memory_order_acquire); }
    double minValue() const { return min_.load(std::memory_order_acquire); }
    double maxValue() const { return max_.load(std::memory_order_acquire); }
    int numberOfTickMarks() const { return ticks_.load(std::memory_order_acquire); }

    // [any, wait-free] Moves the slider without sending its action. The value
    // is clamped to the range; NaN leaves the slider where it is.
    void setDoubleValue(double value) TOLVA_NONBLOCKING {
        if (std::isnan(value)) {
            return;
        }
        value_.store(clamp(value), std::memory_order_release);
        markChanged();
    }
    // [UI]
    void setRange(double minValue, double maxValue) {
        min_.store(minValue, std::memory_order_release);
        max_.store(maxValue, std::memory_order_release);
        setDoubleValue(doubleValue());
    }
    // [UI]
    void setNumberOfTickMarks(int count) {
        ticks_.store(count < 0 ? 0 : count, std::memory_order_release);
        markChanged();
    }
    // [UI] The user drags the slider to `value`.
    void userMove(double value) {
        setDoubleValue(value);
        sendAction();
    }

  private:
    double clamp(double v) const TOLVA_NONBLOCKING {
        const double lo = min_.load(std::memory_order_acquire);
        const double hi = max_.load(std::memory_order_acquire);
        return v < lo ? lo : (v > hi ? hi : v);
    }

    LockFreeAtomic<double> min_;
    LockFreeAtomic<double> max_;
    LockFreeAtomic<double> value_;
    LockFreeAtomic<int> ticks_{0};
};

}  // namespace tolva
