#include "app/qt/segmented_control_view.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>

namespace tolva {

SegmentedControlView::SegmentedControlView(SegmentedControlModel& model, const QStringList& labels,
                                           QWidget* parent)
    : QWidget(parent), model_(model) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    group_.setExclusive(true);
    for (int64_t i = 0; i < model_.segmentCount(); ++i) {
        const int index = static_cast<int>(i);
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setText(index < labels.size() ? labels[index] : QString::number(index));
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setFocusPolicy(Qt::StrongFocus);
        row->addWidget(button);
        group_.addButton(button, index);
    }
    // idClicked is sent for user clicks only.
    connect(&group_, &QButtonGroup::idClicked, this, [this](int id) {
        model_.userSelect(id);
        refresh();
    });
    refresh();
}

void SegmentedControlView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(&group_);
    const int64_t selected = model_.selectedSegment();
    if (QAbstractButton* button = group_.button(static_cast<int>(selected))) {
        button->setChecked(true);
    } else if (QAbstractButton* checked = group_.checkedButton()) {
        // No segment selected: an exclusive group cannot uncheck its last button.
        group_.setExclusive(false);
        checked->setChecked(false);
        group_.setExclusive(true);
    }
}

}  // namespace tolva
