#pragma once

#include <QLabel>

#include "app/qt/model_view.h"
#include "platform/ui/text_field_model.h"

namespace tolva {

// A read-only line of text over a TextFieldModel.
class TextFieldView : public QLabel, public ModelView {
  public:
    explicit TextFieldView(TextFieldModel& model, QWidget* parent = nullptr);

    // [UI]
    void refresh() override;

  private:
    TextFieldModel& model_;
};

}  // namespace tolva
