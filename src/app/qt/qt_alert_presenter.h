#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <mutex>

#include "platform/ui/alert.h"

class QMessageBox;

namespace tolva {

// Alerts as Qt message boxes: the title, the message as plain text (a '%' or
// '<' shows as itself), the advice as the informative text, and one button.
// A critical alert raised on another thread is shown by the UI thread while
// the caller waits; alerts from several threads are shown one after the
// other, each once. A notice is a warning box that does not block: the
// window stays usable behind it, and a newer notice replaces an older one.
class QtAlertPresenter : public QObject, public AlertPresenter {
  public:
    // Create on the UI thread, after the QApplication.
    explicit QtAlertPresenter(QObject* parent = nullptr);

    // [any thread except the render thread]
    void showCriticalAlert(std::string_view title, std::string_view message,
                           std::string_view defaultButton) override;
    // [any thread except the render thread]
    void showCriticalAlertWithAdvice(std::string_view title, std::string_view message,
                                     std::string_view advice,
                                     std::string_view defaultButton) override;
    // [UI]
    void showNotice(std::string_view title, std::string_view message) override;

  private:
    // [UI]
    void show(const QString& title, const QString& message, const QString& advice,
              const QString& button);

    std::mutex serial_;
    bool showing_ = false;          // [UI]
    QPointer<QMessageBox> notice_;  // [UI] the notice on screen, if any
};

}  // namespace tolva
