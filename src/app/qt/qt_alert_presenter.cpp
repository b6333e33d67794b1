#include "app/qt/qt_alert_presenter.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace tolva {
namespace {

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QtAlertPresenter::QtAlertPresenter(QObject* parent) : QObject(parent) {}

void QtAlertPresenter::showCriticalAlert(std::string_view title, std::string_view message,
                                         std::string_view defaultButton) {
    showCriticalAlertWithAdvice(title, message, {}, defaultButton);
}

void QtAlertPresenter::showCriticalAlertWithAdvice(std::string_view title, std::string_view message,
                                                   std::string_view advice,
                                                   std::string_view defaultButton) {
    const QString t = toQString(title);
    const QString m = toQString(message);
    const QString a = toQString(advice);
    const QString b = toQString(defaultButton);
    if (QThread::currentThread() == thread()) {
        if (showing_) {
            // Raised again from inside the alert's own event loop: the alert
            // is already up.
            return;
        }
        show(t, m, a, b);
        return;
    }
    const std::lock_guard lock(serial_);
    QMetaObject::invokeMethod(
        this, [this, &t, &m, &a, &b] { show(t, m, a, b); }, Qt::BlockingQueuedConnection);
}

void QtAlertPresenter::show(const QString& title, const QString& message, const QString& advice,
                            const QString& button) {
    showing_ = true;
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::NoButton);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(advice);
    QPushButton* ok = box.addButton(button, QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    box.exec();
    showing_ = false;
}

void QtAlertPresenter::showNotice(std::string_view title, std::string_view message) {
    if (notice_ != nullptr) {
        notice_->close();
    }
    auto* box = new QMessageBox(QMessageBox::Warning, toQString(title), toQString(message),
                                QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    notice_ = box;
}

}  // namespace tolva
