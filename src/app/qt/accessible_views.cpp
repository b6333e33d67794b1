#include "app/qt/accessible_views.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

#include "app/qt/button_view.h"
#include "app/qt/level_meter_view.h"
#include "app/qt/segmented_control_view.h"
#include "app/qt/slider_view.h"

namespace tolva {
namespace {

// A push button, an on/off button or a segment: Press or Toggle clicks it.
class AccessibleButton : public QAccessibleWidget {
  public:
    AccessibleButton(QAbstractButton* button, QAccessible::Role checkableRole)
        : QAccessibleWidget(button), checkableRole_(checkableRole) {}

    QAccessible::Role role() const override {
        return button()->isCheckable() ? checkableRole_ : QAccessible::Button;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            return button()->text();
        }
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = button()->isCheckable();
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) {
            names << (button()->isCheckable() ? toggleAction() : pressAction());
        }
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (!widget()->isEnabled()) {
            return;
        }
        if (name == pressAction() || name == toggleAction()) {
            button()->click();  // the mouse's path: the model flips and sends its action once
        } else {
            QAccessibleWidget::doAction(name);
        }
    }

  private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(object()); }

    const QAccessible::Role checkableRole_;
};

// Shared by the value-bearing views: the value interface next to the widget's own.
class AccessibleValue : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(t);
    }
};

// A slider, in its unit; a value set through it is a user's move.
class AccessibleSlider : public AccessibleValue {
  public:
    explicit AccessibleSlider(SliderView* slider) : AccessibleValue(slider, QAccessible::Slider) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            const SliderUnit& unit = slider()->unit();
            return QString::number(currentValue().toDouble(), 'f', unit.decimals) + unit.suffix;
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override {
        return slider()->inUnit(slider()->model().doubleValue());
    }
    void setCurrentValue(const QVariant& value) override {
        bool isNumber = false;
        const double number = value.toDouble(&isNumber);
        if (isNumber) {
            slider()->userSetUnitValue(number);
        }
    }
    QVariant minimumValue() const override {
        return slider()->inUnit(slider()->model().minValue());
    }
    QVariant maximumValue() const override {
        return slider()->inUnit(slider()->model().maxValue());
    }
    // One arrow-key step at the bottom of the range, where a logarithmic
    // scale has its smallest steps.
    QVariant minimumStepSize() const override {
        const double lo = slider()->model().minValue();
        const double step = (slider()->model().maxValue() - lo) * slider()->singleStep() /
                            static_cast<double>(SliderView::kSteps);
        return slider()->inUnit(lo + step) - slider()->inUnit(lo);
    }

  private:
    SliderView* slider() const { return static_cast<SliderView*>(object()); }
};

// The level meter: the cells lit, 0 to all of them; read only.
class AccessibleLevelMeter : public AccessibleValue {
  public:
    explicit AccessibleLevelMeter(LevelMeterView* meter)
        : AccessibleValue(meter, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) {
            return QStringLiteral("%1 of %2").arg(meter()->litCells()).arg(meter()->cellCount());
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return meter()->litCells(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant minimumValue() const override { return 0; }
    QVariant maximumValue() const override { return meter()->cellCount(); }
    QVariant minimumStepSize() const override { return 1; }

  private:
    LevelMeterView* meter() const { return static_cast<LevelMeterView*>(object()); }
};

QAccessibleInterface* viewInterface(const QString&, QObject* object) {
    if (auto* slider = dynamic_cast<SliderView*>(object)) {
        return new AccessibleSlider(slider);
    }
    if (auto* meter = dynamic_cast<LevelMeterView*>(object)) {
        return new AccessibleLevelMeter(meter);
    }
    if (auto* button = dynamic_cast<ButtonView*>(object)) {
        return new AccessibleButton(button, QAccessible::CheckBox);
    }
    auto* segment = qobject_cast<QAbstractButton*>(object);
    if (segment != nullptr && dynamic_cast<SegmentedControlView*>(segment->parentWidget())) {
        return new AccessibleButton(segment, QAccessible::RadioButton);
    }
    return nullptr;
}

}  // namespace

void installAccessibleViews() {
    QAccessible::installFactory(&viewInterface);  // Qt ignores a factory it has already
}

}  // namespace tolva
