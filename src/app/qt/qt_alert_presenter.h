#pragma once

#include <QObject>
#include <QString>
#include <mutex>

#include "platform/ui/alert.h"

namespace tolva {

// Critical alerts as Qt message boxes: the title, the message as plain text
// (a '%' or '<' shows as itself) and one button. An alert raised on another
// thread is shown by the UI thread while the caller waits; alerts from
// several threads are shown one after the other, each once.
class QtAlertPresenter : public QObject, public AlertPresenter {
  public:
    // Create on the UI thread, after the QApplication.
    explicit QtAlertPresenter(QObject* parent = nullptr);

    // [any thread except the render thread]
    void showCriticalAlert(std::string_view title, std::string_view message,
                           std::string_view defaultButton) override;

  private:
    // [UI]
    void show(const QString& title, const QString& message, const QString& button);

    std::mutex serial_;
    bool showing_ = false;  // [UI]
};

}  // namespace tolva
