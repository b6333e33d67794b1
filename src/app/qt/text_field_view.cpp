#include "app/qt/text_field_view.h"

namespace tolva {

TextFieldView::TextFieldView(TextFieldModel& model, QWidget* parent)
    : QLabel(parent), model_(model) {
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFrameShape(QFrame::StyledPanel);
    QFont mono = font();
    mono.setStyleHint(QFont::Monospace);
    mono.setFamily(QStringLiteral("monospace"));
    setFont(mono);
    refresh();
}

void TextFieldView::refresh() {
    if (!takeRevision(model_.revision())) {
        return;
    }
    const QString text = QString::fromStdString(model_.stringValue());
    if (this->text() != text) {
        setText(text);
    }
}

}  // namespace tolva
