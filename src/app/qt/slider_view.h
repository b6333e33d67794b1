#pragma once

#include <QSlider>

#include "app/qt/model_view.h"
#include "platform/ui/slider_model.h"

namespace tolva {

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

  private:
    void userAction(int action);

    SliderModel& model_;
};

}  // namespace tolva
