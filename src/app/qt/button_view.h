#pragma once

#include <QPushButton>
#include <QString>

#include "app/qt/model_view.h"
#include "platform/ui/button_model.h"

namespace tolva {

// A push or on/off button over a ButtonModel. A click (mouse, Space on the
// focused button, a window shortcut or an accessible Press or Toggle, all
// through click()) goes to the model, which flips an on/off state and sends
// the action once. Tab gives the button the focus, a mouse click does not. A
// coloured title tints the button (see title_tint.h); the text is always the
// model's.
class ButtonView : public QPushButton, public ModelView {
  public:
    // accessibleName empty: screen readers read the title, which follows the model.
    ButtonView(ButtonModel& model, QString accessibleName = {}, QWidget* parent = nullptr);

    ButtonModel& model() const { return model_; }
    // [UI]
    void refresh() override;
    // The tint the button shows now, if its title is coloured.
    bool tinted() const { return tinted_; }

  private:
    ButtonModel& model_;
    QString fixedAccessibleName_;
    bool tinted_ = false;
};

}  // namespace tolva
