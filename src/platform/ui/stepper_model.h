#pragma once

#include <cmath>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"

namespace tolva {

// A stepper: a value moved by fixed increments between a minimum and a maximum.
class StepperModel : public ControlModel<StepperModel> {
  public:
    StepperModel(double minValue, double maxValue, double increment, double value)
        : min_(minValue), max_(maxValue), increment_(increment), value_(clamp(value)) {}

    // [any]
    double doubleValue() const { return value_.load(std::memory_order_acquire); }
    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    double increment() const { return increment_; }
    // [UI] Without the action; clamped to the range, NaN ignored.
    void setDoubleValue(double value) {
        if (std::isnan(value)) {
            return;
        }
        value_.store(clamp(value), std::memory_order_release);
        markChanged();
    }
    // [UI] The user clicks up (+1) or down (-1).
    void userStep(int direction) {
        userSetValue(doubleValue() + (direction >= 0 ? increment_ : -increment_));
    }
    // [UI] The user enters a value.
    void userSetValue(double value) {
        setDoubleValue(value);
        sendAction();
    }

  private:
    double clamp(double v) const { return v < min_ ? min_ : (v > max_ ? max_ : v); }

    const double min_;
    const double max_;
    const double increment_;
    LockFreeAtomic<double> value_;
};

}  // namespace tolva
