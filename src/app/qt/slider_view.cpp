#include "app/qt/slider_view.h"

#include <QSignalBlocker>
#include <cmath>

#include "app/qt/accessible_views.h"

namespace tolva {

SliderView::SliderView(SliderModel& model, Qt::Orientation orientation, QWidget* parent)
    : QSlider(orientation, parent), model_(model) {
    setRange(0, kSteps);
    setSingleStep(kSteps / 200);
    setPageStep(kSteps / 20);
    installAccessibleViews();
    // actionTriggered is sent for user gestures only (drag, click on the
    // groove, keys, wheel), never for setValue from code.
    connect(this, &QAbstractSlider::actionTriggered, this,
            [this](int action) { userAction(action); });
    refresh();
}

double SliderView::valueAt(int position) const {
    const double lo = model_.minValue();
    const double hi = model_.maxValue();
    return lo + (hi - lo) * static_cast<double>(position) / kSteps;
}

int SliderView::positionOf(double value) const {
    const double lo = model_.minValue();
    const double hi = model_.maxValue();
    if (!(hi > lo)) {
        return 0;
    }
    const double p = std::round((value - lo) / (hi - lo) * kSteps);
    return p < 0.0 ? 0 : (p > kSteps ? kSteps : static_cast<int>(p));
}

double SliderView::inUnit(double modelValue) const {
    return unit_.fromModel ? unit_.fromModel(modelValue) : modelValue;
}

void SliderView::userSetUnitValue(double value) {
    const double target = unit_.toModel && std::isfinite(value) ? unit_.toModel(value) : value;
    if (!std::isfinite(target)) {
        return;
    }
    model_.userMove(target);
    refresh();
}

void SliderView::userAction(int) {
    // The position already holds where the gesture puts the slider.
    model_.userMove(valueAt(sliderPosition()));
    refresh();
}

void SliderView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(this);
    const int ticks = model_.numberOfTickMarks();
    if (ticks > 1) {
        setTickPosition(QSlider::TicksBelow);
        setTickInterval(kSteps / (ticks - 1));
    } else {
        setTickPosition(QSlider::NoTicks);
    }
    const int position = positionOf(model_.doubleValue());
    if (position != value() || position != sliderPosition()) {
        setValue(position);
    }
}

}  // namespace tolva
