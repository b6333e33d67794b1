#include "app/qt/popup_button_view.h"

#include <QSignalBlocker>

namespace tolva {

PopUpButtonView::PopUpButtonView(PopUpButtonModel& model, QWidget* parent)
    : QComboBox(parent), model_(model) {
    // As a button: a mouse choice leaves the keyboard focus where it was.
    setFocusPolicy(Qt::TabFocus);
    for (const PopUpButtonModel::Item& item : model_.items()) {
        if (item.separator) {
            insertSeparator(count());
        } else {
            addItem(QString::fromStdString(item.title));
        }
    }
    // activated is sent for user choices only.
    connect(this, &QComboBox::activated, this, [this](int index) {
        model_.userSelect(index);
        refresh();
        // A refused choice leaves the model where it was; show that again.
        setCurrentIndex(static_cast<int>(model_.indexOfSelectedItem()));
    });
    refresh();
}

void PopUpButtonView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(this);
    setCurrentIndex(static_cast<int>(model_.indexOfSelectedItem()));
}

}  // namespace tolva
