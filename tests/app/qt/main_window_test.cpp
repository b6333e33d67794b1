// The whole window over its panel, as a user meets it: every way of working a
// control (mouse, keyboard, an assistive technology's action or value) sends
// that control's action exactly once and reaches the controller; a value set
// from code, on any thread, sends nothing and reaches its widget through the
// refresh timer; Space, M and B stay the window's keys after any click; Tab
// reaches every control; screen readers hear names, and values in units.

#include "app/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "app/qt/segmented_control_view.h"
#include "app/qt/slider_view.h"
#include "platform/log/system_log.h"

namespace tolva {
namespace {

// The window over a panel connected to its controller, as main builds it.
// Counting, each control's action only counts its sends.
struct Window {
    explicit Window(bool counting = false) {
        resetModulatorGlobals();
        setSystemLogSink([this](std::string_view entry) { log.emplace_back(entry); });
        panel.connect(*controller);
        delegate.setViewController(controller);
        delegate.applicationDidFinishLaunching();
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
        if (counting) {
#define TOLVA_COUNT(outlet) panel.outlet.setAction([this](auto&) { ++sent[#outlet]; })
            TOLVA_COUNT(frequencySlider), TOLVA_COUNT(depthSlider), TOLVA_COUNT(playButton);
            TOLVA_COUNT(bypassButton), TOLVA_COUNT(muteButton), TOLVA_COUNT(segCtrlMult);
            TOLVA_COUNT(segCtrlCarrWave), TOLVA_COUNT(centerButton), TOLVA_COUNT(linlogButton);
            TOLVA_COUNT(sourceButton), TOLVA_COUNT(diodeButton), TOLVA_COUNT(nonlSlider);
            TOLVA_COUNT(tuningStepper), TOLVA_COUNT(midiPopupButton), TOLVA_COUNT(testButton);
#undef TOLVA_COUNT
        }
    }
    ~Window() {
        setSystemLogSink(nullptr);
    }
    template <typename T = QWidget>
    T* child(const std::string& outlet) {
        return window.findChild<T*>(QString::fromStdString(outlet));
    }
    QAccessibleInterface* accessible(const std::string& outlet) {
        return QAccessible::queryAccessibleInterface(child(outlet));
    }

    std::vector<std::string> log;
    std::shared_ptr<RingModulatorViewController> controller =
        std::make_shared<RingModulatorViewController>();
    ControlPanel panel;
    AppDelegate delegate;
    MainWindow window{panel, delegate};
    std::map<std::string, int> sent;
};

enum class Gesture { Click, Key, Action, Value };

// Works a control: a mouse click, a key pressed with the control focused, its
// accessible action, or a value set through it in its unit. On a segmented
// control, `arg` is the segment (a key goes to the selected one).
void work(QWidget* control, Gesture gesture, double arg) {
    if (auto* row = dynamic_cast<SegmentedControlView*>(control)) {
        control = row->segment(static_cast<int>(
            gesture == Gesture::Key ? static_cast<double>(row->model().selectedSegment()) : arg));
    }
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (gesture == Gesture::Click) {
        QTest::mouseClick(control, Qt::LeftButton);
    } else if (gesture == Gesture::Key) {
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, static_cast<Qt::Key>(arg));
    } else if (gesture == Gesture::Action) {
        accessible->actionInterface()->doAction(accessible->actionInterface()->actionNames()[0]);
    } else {
        accessible->valueInterface()->setCurrentValue(arg);
    }
}

struct Case {
    const char* outlet;
    Gesture gesture;
    double arg;
    bool (*heard)(const Window&);  // what the controller made of it, where that shows
};
#define HEARD(...) []([[maybe_unused]] const Window& w) { return static_cast<bool>(__VA_ARGS__); }

const Case kGestures[] = {
    {"playButton", Gesture::Action, 0, nullptr},
    {"bypassButton", Gesture::Key, Qt::Key_Space, HEARD(w.controller->state == StateBypass)},
    {"bypassButton", Gesture::Action, 0, HEARD(w.controller->state == StateBypass)},
    {"muteButton", Gesture::Action, 0, HEARD(w.panel.muteButton.attributedTitle().foreground)},
    {"sourceButton", Gesture::Action, 0, HEARD(w.controller->midif == 1)},
    {"linlogButton", Gesture::Click, 0, HEARD(w.controller->logview == 1)},
    {"diodeButton", Gesture::Action, 0, HEARD(w.controller->diode == 1)},
    {"centerButton", Gesture::Action, 0, nullptr},
    {"testButton", Gesture::Action, 0, HEARD(w.log.size() == 1)},
    {"segCtrlCarrWave", Gesture::Click, 2, HEARD(w.controller->wave == WaveTriangle)},
    {"segCtrlMult", Gesture::Key, Qt::Key_Right, HEARD(w.controller->mult == 2.0)},
    {"segCtrlMult", Gesture::Action, 0, HEARD(w.controller->mult == 0.25)},
    {"depthSlider", Gesture::Value, 25, HEARD(w.controller->depth == 0.25)},
    {"depthSlider", Gesture::Key, Qt::Key_Left, HEARD(w.controller->depth == 0.995)},
    {"frequencySlider", Gesture::Value, 300, HEARD(w.controller->frequency == 300.0)},
    {"frequencySlider", Gesture::Click, 0, HEARD(w.controller->frequency > 440.0)},
    {"nonlSlider", Gesture::Value, 2.5, HEARD(nonl == 2.5)},
    {"tuningStepper", Gesture::Key, Qt::Key_Up, HEARD(A == 440.5)},
    {"tuningStepper", Gesture::Value, 442, HEARD(A == 442.0)},
    {"midiPopupButton", Gesture::Key, Qt::Key_End, HEARD(omni == 0 && channel == 15)},
};

TEST(MainWindowGestures, EachSendsItsControlsActionOnceAndReachesTheController) {
    for (const Case& c : kGestures) {
        SCOPED_TRACE(testing::Message() << c.outlet << " gesture " << static_cast<int>(c.gesture));
        // The sends, then what the controller made of them; a row without the
        // latter (Play would need a device) counts twice.
        for (bool counting : {true, c.heard == nullptr}) {
            Window w(counting);
            work(w.child(c.outlet), c.gesture, c.arg);
            EXPECT_EQ(w.sent, (counting ? std::map<std::string, int>{{c.outlet, 1}} : w.sent));
            EXPECT_TRUE(counting || c.heard(w));
        }
    }
}

TEST(MainWindowGestures, AfterAClickAnywhereSpaceMAndBAreTheWindowsKeys) {
    for (const char* outlet : {"playButton", "bypassButton", "segCtrlCarrWave", "frequencySlider",
                               "tuningStepper", "midiPopupButton", "frequencyTextField"}) {
        SCOPED_TRACE(outlet);
        Window w(true);
        w.child("depthSlider")->setFocus();
        work(w.child(outlet), Gesture::Click, 1);
        if (auto* popup = w.child<QComboBox>(outlet)) {
            popup->hidePopup();
        }
        w.sent.clear();
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_M, Qt::Key_B}) {
            QTest::keyClick(w.window.focusWidget(), key);
        }
        EXPECT_EQ(w.sent["playButton"], 1);  // and M and B too, but in the tuning box's text
        EXPECT_EQ(w.sent.size(), std::string(outlet) == "tuningStepper" ? 1u : 3u);
    }
}

TEST(MainWindowKeyboard, TabReachesEveryNamedControlAndEntersARowAtItsSelectedSegment) {
    Window w(true);
    w.panel.segCtrlCarrWave.setSelectedSegment(3);
    w.window.refreshTimer().tick();
    std::set<std::string> reached, worked;
    w.child("frequencySlider")->setFocus();
    for (int i = 0; i < 40; ++i, QTest::keyClick(w.window.focusWidget(), Qt::Key_Tab)) {
        QWidget* focus = w.window.focusWidget();
        if (auto* row = dynamic_cast<SegmentedControlView*>(focus->parentWidget())) {
            EXPECT_EQ(focus, static_cast<QWidget*>(
                                 row->segment(static_cast<int>(row->model().selectedSegment()))));
            focus = row;
        }
        reached.insert(focus->objectName().toStdString());
    }
    for (const Case& c : kGestures) {
        worked.insert(c.outlet);
    }
    EXPECT_EQ(reached, worked);
    for (const std::string& outlet : worked) {  // every one named and explained
        EXPECT_FALSE(w.accessible(outlet)->text(QAccessible::Name).isEmpty()) << outlet;
        EXPECT_FALSE(w.accessible(outlet)->text(QAccessible::Description).isEmpty()) << outlet;
    }
    EXPECT_EQ(w.sent, (std::map<std::string, int>{}));
}

TEST(MainWindowAccessibility, ValuesReadInTheirUnits) {
    Window w;
    auto read = [&](const char* outlet) {  // current, minimum, maximum, step
        QAccessibleValueInterface* v = w.accessible(outlet)->valueInterface();
        QString text;
        for (const QVariant& x :
             {v->currentValue(), v->minimumValue(), v->maximumValue(), v->minimumStepSize()}) {
            text += QString::number(x.toDouble(), 'g', 6) + " ";
        }
        return (text + w.accessible(outlet)->text(QAccessible::Value)).toStdString();
    };
    EXPECT_EQ(read("frequencySlider"), "440 55 1760 8.525 440.0 Hz");
    EXPECT_EQ(read("depthSlider"), "100 0 100 0.5 100.0 %");
    EXPECT_EQ(read("nonlSlider"), "1 1 4 0.015 1.00");
    EXPECT_EQ(read("tuningStepper"), "440 435 445 0.5 440.0");
    EXPECT_EQ(read("levelIndicator"), "0 0 6 1 0 of 6");
    // On the logarithmic scale the slider still reads, and takes, Hz.
    work(w.child("linlogButton"), Gesture::Click, 0);
    EXPECT_EQ(read("frequencySlider"), "440 55 1760 0.961383 440.0 Hz");
    w.accessible("frequencySlider")->valueInterface()->setCurrentValue(1000.0);
    EXPECT_NEAR(w.controller->frequency.load(), 1000.0, 1e-9);
}

TEST(MainWindowRefresh, ValuesSetFromCodeOnAnyThreadSendNothingAndReachTheirWidgets) {
    Window w(true);
    std::thread render([&] {
        w.controller->updateLevel(0.1f);
        w.panel.frequencyTextField.setStringValue("523.3 Hz");
        w.panel.depthSlider.setDoubleValue(0.5);
        w.panel.segCtrlMult.setSelectedSegment(3);
    });
    render.join();
    w.panel.bypassButton.setState(1);
    w.panel.muteButton.setAttributedTitle(
        w.panel.muteButton.attributedTitle().withForeground(RgbaColor::systemRed()));
    w.panel.tuningStepper.setDoubleValue(441.0);
    // The window's own timer draws them; the wait is a hang guard only.
    auto* depth = w.child<SliderView>("depthSlider");
    EXPECT_TRUE(QTest::qWaitFor([&] { return depth->value() == depth->positionOf(0.5); }, 5000));
    EXPECT_EQ(w.accessible("levelIndicator")->valueInterface()->currentValue(), 4);
    // The readout's name is the frequency itself, for a screen reader to hear.
    EXPECT_EQ(w.accessible("frequencyTextField")->text(QAccessible::Name), "523.3 Hz");
    EXPECT_TRUE(w.child<SegmentedControlView>("segCtrlMult")->segment(3)->isChecked());
    EXPECT_TRUE(w.accessible("bypassButton")->state().checked);
    // A red title tints the button red, under black text (the better contrast).
    const QPalette mute = w.child("muteButton")->palette();
    EXPECT_EQ(mute.color(QPalette::Button), QColor::fromRgbF(1.0f, 0.231f, 0.188f));
    EXPECT_EQ(mute.color(QPalette::ButtonText), QColor(Qt::black));
    w.panel.muteButton.setTitle("Mute");
    w.window.refreshTimer().tick();
    EXPECT_EQ(w.child("muteButton")->palette(), QApplication::palette(w.child("muteButton")));
    EXPECT_EQ(w.accessible("tuningStepper")->text(QAccessible::Value), "441.0");
    EXPECT_EQ(w.sent, (std::map<std::string, int>{}));
}

}  // namespace
}  // namespace tolva
