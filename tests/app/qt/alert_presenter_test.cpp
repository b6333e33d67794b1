// Critical alerts: title, literal message, one OK button; raised from another
// thread, the alert is shown once, by the UI thread.

#include "app/qt/qt_alert_presenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>

namespace tolva {
namespace {

struct SeenAlert {
    QString title;
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    bool onUiThread = false;
};

QMessageBox* visibleMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Polls the event loop for the alert, records it and presses its button.
class AlertAnswerer {
  public:
    AlertAnswerer() {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            QMessageBox* box = visibleMessageBox();
            if (box == nullptr || box->property("answered").toBool()) {
                return;
            }
            box->setProperty("answered", true);
            SeenAlert seen;
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.format = box->textFormat();
            seen.icon = box->icon();
            for (QAbstractButton* b : box->buttons()) {
                seen.buttons << b->text();
            }
            seen.onUiThread = box->thread() == QApplication::instance()->thread();
            seen_.push_back(seen);
            box->buttons().front()->click();
        });
        poll_.start(5);
    }
    const std::vector<SeenAlert>& seen() const { return seen_; }

  private:
    QTimer poll_;
    std::vector<SeenAlert> seen_;
};

TEST(QtAlertPresenterTest, ShowsTheTitleTheLiteralMessageAndOneOkButton) {
    QtAlertPresenter presenter;
    AlertAnswerer answerer;
    presenter.showCriticalAlert(
        "Tolva: Hardware Error:", "100% <b>failed</b> (-50)\nApplication will quit", "OK");
    ASSERT_EQ(answerer.seen().size(), 1u);
    const SeenAlert& a = answerer.seen()[0];
    EXPECT_EQ(a.title, "Tolva: Hardware Error:");
    EXPECT_EQ(a.text, "100% <b>failed</b> (-50)\nApplication will quit");
    EXPECT_EQ(a.format, Qt::PlainText);
    EXPECT_EQ(a.icon, QMessageBox::Critical);
    EXPECT_EQ(a.buttons, QStringList{"OK"});
}

TEST(QtAlertPresenterTest, AnAlertFromAnotherThreadAppearsOnceOnTheUiThread) {
    QtAlertPresenter presenter;
    AlertAnswerer answerer;
    std::atomic<bool> returned{false};
    std::thread caller([&] {
        presenter.showCriticalAlert("Tolva: Hardware Error:", "MIDI Client Create Error", "OK");
        returned.store(true);
    });
    // A hang guard: the caller waits until the alert is dismissed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load(); }, 10000));
    caller.join();
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_TRUE(answerer.seen()[0].onUiThread);
    EXPECT_EQ(answerer.seen()[0].text, "MIDI Client Create Error");
}

TEST(QtAlertPresenterTest, AlertsFromTwoThreadsEachAppearOnce) {
    QtAlertPresenter presenter;
    AlertAnswerer answerer;
    std::atomic<int> returned{0};
    std::thread a([&] {
        presenter.showCriticalAlert("T", "first", "OK");
        ++returned;
    });
    std::thread b([&] {
        presenter.showCriticalAlert("T", "second", "OK");
        ++returned;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load() == 2; }, 10000));
    a.join();
    b.join();
    ASSERT_EQ(answerer.seen().size(), 2u);
    EXPECT_NE(answerer.seen()[0].text, answerer.seen()[1].text);
}

}  // namespace
}  // namespace tolva
