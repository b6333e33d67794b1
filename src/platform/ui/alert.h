#pragma once

// Alerts. The window system installs a presenter; without one (no window
// system up) an alert is written to standard error instead.

#include <string_view>

namespace tolva {

class AlertPresenter {
  public:
    virtual ~AlertPresenter() = default;
    // [UI] Shows a modal critical alert and returns when the user dismisses it.
    // The message is shown literally.
    virtual void showCriticalAlert(std::string_view title, std::string_view message,
                                   std::string_view defaultButton) = 0;
    // [UI] The same with an informative text under the message: what the user
    // can do. A presenter without a place for it shows it after the message.
    virtual void showCriticalAlertWithAdvice(std::string_view title, std::string_view message,
                                             std::string_view advice,
                                             std::string_view defaultButton);
    // [UI] Shows a message that does not end anything, without waiting for
    // the user; by default on standard error.
    virtual void showNotice(std::string_view title, std::string_view message);
};

// [UI] Installs the presenter; null restores the standard-error fallback.
void setAlertPresenter(AlertPresenter* presenter);
// [UI] Shows the critical alert through the presenter, or on standard error;
// `advice`, when not empty, is its informative text.
void runCriticalAlert(std::string_view title, std::string_view message,
                      std::string_view defaultButton, std::string_view advice = {});
// [UI] Shows a notice through the presenter, or on standard error.
void runNotice(std::string_view title, std::string_view message);

}  // namespace tolva
