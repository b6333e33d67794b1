#include "app/qt/stepper_view.h"

#include <QSignalBlocker>

namespace tolva {

StepperView::StepperView(StepperModel& model, int decimals, QWidget* parent)
    : QDoubleSpinBox(parent), model_(model) {
    setDecimals(decimals);
    setRange(model_.minValue(), model_.maxValue());
    setSingleStep(model_.increment());
    setKeyboardTracking(false);
    setAccelerated(false);
    connect(this, &QAbstractSpinBox::editingFinished, this, [this] { userEntered(); });
    refresh();
}

void StepperView::stepBy(int steps) {
    model_.userSetValue(model_.doubleValue() + steps * model_.increment());
    refresh();
}

void StepperView::userEntered() {
    // editingFinished also comes when the box merely loses focus.
    interpretText();
    if (value() != model_.doubleValue()) {
        model_.userSetValue(value());
    }
    refresh();
}

void StepperView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(this);
    setValue(model_.doubleValue());
}

}  // namespace tolva
