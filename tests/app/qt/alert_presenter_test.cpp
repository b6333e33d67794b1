// Critical alerts raised from two threads at once: each is shown once, by the
// UI thread, with its title, its message word for word and one OK button.

#include "app/qt/qt_alert_presenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

namespace tolva {
namespace {

TEST(QtAlertPresenterTest, AlertsFromTwoThreadsAppearOnceEachOnTheUiThreadWordForWord) {
    QtAlertPresenter presenter;
    QStringList seen;
    QTimer answerer;  // reads and dismisses each alert as the UI thread shows it
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box->isVisible() && !box->property("seen").toBool()) {
            box->setProperty("seen", true);
            EXPECT_EQ(box->thread(), QApplication::instance()->thread());
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            ASSERT_EQ(box->buttons().size(), 1);
            seen << box->windowTitle() + "|" + box->text() + "|" + box->buttons()[0]->text();
            box->buttons().front()->click();
        }
    });
    answerer.start(5);
    std::atomic<int> returned{0};
    auto raise = [&](const char* message) {
        presenter.showCriticalAlert("Tolva: Hardware Error:", message, "OK");
        ++returned;
    };
    std::thread first(raise, "100% <b>failed</b> (-50)\nApplication will quit"),
        second(raise, "MIDI Client Create Error");
    // A hang guard: each caller waits until its alert is dismissed.
    EXPECT_TRUE(QTest::qWaitFor([&] { return returned.load() == 2; }, 10000));
    first.join();
    second.join();
    seen.sort();
    EXPECT_EQ(seen, (QStringList{
                        "Tolva: Hardware Error:|100% <b>failed</b> (-50)\nApplication will quit|OK",
                        "Tolva: Hardware Error:|MIDI Client Create Error|OK"}));
}

}  // namespace
}  // namespace tolva
