#include "app/qt/segmented_control_view.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>

#include "app/qt/accessible_views.h"

namespace tolva {

SegmentedControlView::SegmentedControlView(SegmentedControlModel& model, const QStringList& labels,
                                           QWidget* parent)
    : QWidget(parent), model_(model) {
    installAccessibleViews();
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
        row->addWidget(button);
        group_.addButton(button, index);
    }
    // idClicked is sent for user clicks only (mouse, Space, arrow keys, an
    // accessible Press or Toggle).
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
    // Tab stops once, at the selected segment (the first when none is);
    // the arrow keys move between segments, and a mouse click takes no focus.
    const int tabStop =
        group_.button(static_cast<int>(selected)) != nullptr ? static_cast<int>(selected) : 0;
    for (QAbstractButton* button : group_.buttons()) {
        button->setFocusPolicy(group_.id(button) == tabStop ? Qt::TabFocus : Qt::NoFocus);
    }
}

}  // namespace tolva
