#pragma once

#include <QDoubleSpinBox>

#include "app/qt/model_view.h"
#include "platform/ui/stepper_model.h"

namespace tolva {

// A spin box over a StepperModel. Each step (arrow click, Up/Down,
// Page Up/Down, wheel) moves the model by its increment and sends the action
// once; a typed value, or one set through assistive technology, is taken
// once when editing finishes. The range clamps both. Space is not taken.
class StepperView : public QDoubleSpinBox, public ModelView {
  public:
    StepperView(StepperModel& model, int decimals, QWidget* parent = nullptr);

    StepperModel& model() const { return model_; }
    // [UI]
    void refresh() override;
    void stepBy(int steps) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void userEntered(double value);

    StepperModel& model_;
};

}  // namespace tolva
