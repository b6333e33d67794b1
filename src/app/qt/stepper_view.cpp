#include "app/qt/stepper_view.h"

#include <QKeyEvent>
#include <QSignalBlocker>

namespace tolva {

StepperView::StepperView(StepperModel& model, int decimals, QWidget* parent)
    : QDoubleSpinBox(parent), model_(model) {
    setDecimals(decimals);
    setRange(model_.minValue(), model_.maxValue());
    setSingleStep(model_.increment());
    setKeyboardTracking(false);
    setAccelerated(false);
    // Qt's accessible spin box reads its step from this property.
    setProperty("stepSize", model_.increment());
    // Without keyboard tracking, valueChanged comes for a typed value when
    // editing finishes, and for a value set through assistive technology;
    // from code (refresh) it is blocked. Steps come through stepBy.
    connect(this, &QDoubleSpinBox::valueChanged, this,
            [this](double value) { userEntered(value); });
    refresh();
}

void StepperView::stepBy(int steps) {
    model_.userSetValue(model_.doubleValue() + steps * model_.increment());
    refresh();
}

void StepperView::userEntered(double value) {
    if (value != model_.doubleValue()) {
        model_.userSetValue(value);
    }
    refresh();
}

void StepperView::keyPressEvent(QKeyEvent* event) {
    // No tuning holds a space: Space goes on to the window (Play/Stop).
    if (event->key() == Qt::Key_Space) {
        event->ignore();
        return;
    }
    QDoubleSpinBox::keyPressEvent(event);
}

void StepperView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(this);
    setValue(model_.doubleValue());
}

}  // namespace tolva
