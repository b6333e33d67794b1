#include "app/qt/button_view.h"

#include <QPalette>
#include <QSignalBlocker>

#include "app/qt/accessible_views.h"
#include "app/qt/title_tint.h"

namespace tolva {
namespace {

QColor toQColor(RgbaColor c) {
    return QColor::fromRgbF(static_cast<float>(c.red), static_cast<float>(c.green),
                            static_cast<float>(c.blue), static_cast<float>(c.alpha));
}

}  // namespace

ButtonView::ButtonView(ButtonModel& model, QString accessibleName, QWidget* parent)
    : QPushButton(parent), model_(model), fixedAccessibleName_(std::move(accessibleName)) {
    installAccessibleViews();
    setCheckable(model_.kind() == ButtonModel::Kind::OnOff);
    // A mouse click leaves the keyboard focus where it was, so Space, M and
    // B keep their window-wide meaning; Tab still reaches the button.
    setFocusPolicy(Qt::TabFocus);
    if (!fixedAccessibleName_.isEmpty()) {
        setAccessibleName(fixedAccessibleName_);
    }
    // clicked is sent for user clicks only (mouse, Space, click() from a
    // window key or an accessible action), never for setChecked from code.
    connect(this, &QAbstractButton::clicked, this, [this] {
        model_.userClick();
        refresh();
    });
    refresh();
}

void ButtonView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QSignalBlocker blocker(this);
    if (isCheckable()) {
        setChecked(model_.state() == 1);
    }
    const AttributedTitle title = model_.attributedTitle();
    const QString text = QString::fromStdString(title.text);
    if (this->text() != text) {
        setText(text);
    }
    if (fixedAccessibleName_.isEmpty() && accessibleName() != text) {
        setAccessibleName(text);
    }
    if (title.foreground) {
        const TitleTint tint = titleTint(*title.foreground);
        QPalette p;
        p.setColor(QPalette::Button, toQColor(tint.background));
        p.setColor(QPalette::ButtonText, toQColor(tint.text));
        setPalette(p);
        tinted_ = true;
    } else if (tinted_) {
        setPalette(QPalette());  // back to the application's palette
        tinted_ = false;
    }
}

}  // namespace tolva
