#include "app/qt/level_meter_view.h"

#include <QAccessible>
#include <QPainter>
#include <cmath>

#include "app/qt/accessible_views.h"

namespace tolva {

LevelMeterView::LevelMeterView(LevelIndicatorModel& model, QWidget* parent)
    : QWidget(parent), model_(model), cells_(static_cast<int>(std::lround(model.maxValue()))) {
    installAccessibleViews();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    refresh();
}

QColor LevelMeterView::cellColor(int index) const {
    // Hue from green (120 degrees) through yellow to red (0 degrees).
    const int hue = cells_ > 1 ? 120 - 120 * index / (cells_ - 1) : 120;
    return QColor::fromHsv(hue, 230, 220);
}

void LevelMeterView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const float value = model_.floatValue();
    int lit = std::isfinite(value) ? static_cast<int>(std::lround(value)) : 0;
    lit = lit < 0 ? 0 : (lit > cells_ ? cells_ : lit);
    if (lit != lit_) {
        lit_ = lit;
        update();
        QAccessibleValueChangeEvent changed(this, lit_);
        QAccessible::updateAccessibility(&changed);
    }
}

QSize LevelMeterView::sizeHint() const {
    return {cells_ * 22, 16};
}

QSize LevelMeterView::minimumSizeHint() const {
    return {cells_ * 8, 12};
}

void LevelMeterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int gap = 3;
    const int cellWidth = cells_ > 0 ? (width() - gap * (cells_ - 1)) / cells_ : width();
    const QColor unlit = palette().color(QPalette::Mid);
    for (int i = 0; i < cells_; ++i) {
        const QRect cell(i * (cellWidth + gap), 0, cellWidth, height());
        painter.fillRect(cell, i < lit_ ? cellColor(i) : unlit);
    }
}

}  // namespace tolva
