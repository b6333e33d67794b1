#pragma once

#include <string>
#include <string_view>

#include "platform/realtime.h"
#include "platform/ui/control_model.h"
#include "platform/ui/latest_text.h"

namespace tolva {

// A read-only text line.
class TextFieldModel : public ControlModel<TextFieldModel> {
  public:
    // [any, wait-free]
    void setStringValue(std::string_view text) TOLVA_NONBLOCKING {
        text_.set(text);
        markChanged();
    }
    // [UI]
    std::string stringValue() const { return text_.get(); }

  private:
    LatestText text_;
};

}  // namespace tolva
