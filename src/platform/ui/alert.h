#pragma once

// Critical alerts. The window system installs a presenter; without one (no
// window system up) the alert is written to standard error instead.

#include <string_view>

namespace tolva {

class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // [UI] Shows a modal critical alert and returns when the user dismisses it.
    // The message is shown literally.
    virtual void showCriticalAlert(std::string_view title, std::string_view message,
                                   std::string_view defaultButton) = 0;
};

// [UI] Installs the presenter; null restores the standard-error fallback.
void setAlertPresenter(AlertPresenter* presenter);
// [UI] Shows the alert through the presenter, or on standard error.
void runCriticalAlert(std::string_view title, std::string_view message,
                      std::string_view defaultButton);

}  // namespace tolva
