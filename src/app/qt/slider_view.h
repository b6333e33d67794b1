#pragma once

#include <QSlider>
#include <QString>
#include <functional>

#include "app/qt/model_view.h"
#include "platform/ui/slider_model.h"

namespace tolva {

// The unit a slider's value is read and set in by assistive technology (Hz,
// percent), converted from and to the model's value; empty conversions leave
// the value as it is.
struct SliderUnit {
    std::function<double(double)> fromModel;
    std::function<double(double)> toModel;
    QString suffix;  // after the number in the spoken value, e.g. " Hz"
    int decimals = 2;
};

// A slider over a double-valued model. QSlider counts in whole steps, so the
// model's range is cut into kSteps fine steps; a user's drag, click, key or
// wheel turn moves the model (and sends its action once per move), and the
// model's value is drawn back on the next refresh.
class SliderView : public QSlider, public ModelView {
  public:
    static constexpr int kSteps = 100000;

    SliderView(SliderModel& model, Qt::Orientation orientation, QWidget* parent = nullptr);

    SliderModel& model() const { return model_; }
    // [UI]
    void refresh() override;
    // [UI] The model value a slider position stands for, and back.
    double valueAt(int position) const;
    int positionOf(double value) const;

    void setUnit(SliderUnit unit) { unit_ = std::move(unit); }
    const SliderUnit& unit() const { return unit_; }
    // [UI] A model value in the slider's unit.
    double inUnit(double modelValue) const;
    // [UI] A user sets the value in the slider's unit (through assistive
    // technology): the model moves and sends its action once. Anything but
    // a finite number is ignored.
    void userSetUnitValue(double value);

  private:
    void userAction(int action);

    SliderModel& model_;
    SliderUnit unit_;
};

}  // namespace tolva
