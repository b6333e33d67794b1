#pragma once

#include <QComboBox>

#include "app/qt/model_view.h"
#include "platform/ui/popup_button_model.h"

namespace tolva {

// A combo box over a PopUpButtonModel. Combo index i is model item i; a
// separator occupies its index and cannot be chosen.
class PopUpButtonView : public QComboBox, public ModelView {
  public:
    explicit PopUpButtonView(PopUpButtonModel& model, QWidget* parent = nullptr);

    PopUpButtonModel& popUpModel() const { return model_; }
    // [UI]
    void refresh() override;

  private:
    PopUpButtonModel& model_;
};

}  // namespace tolva
