// The whole window over a connected panel: every control is there, named and
// explained; each gesture reaches its handler once and sets its field; the
// keyboard shortcuts and the File menu work; values set on the render thread
// reach the window through its timer; and the launched application starts in
// its launch state.

#include "app/qt/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QStandardItemModel>
#include <QTest>
#include <string>
#include <thread>
#include <vector>

#include "app/qt/application.h"
#include "app/qt/button_view.h"
#include "app/qt/level_meter_view.h"
#include "app/qt/popup_button_view.h"
#include "app/qt/segmented_control_view.h"
#include "app/qt/slider_view.h"
#include "app/qt/stepper_view.h"
#include "app/qt/text_field_view.h"
#include "platform/log/system_log.h"

namespace tolva {
namespace {

const char* const kOutlets[] = {
    "frequencySlider", "depthSlider", "playButton",      "frequencyTextField", "bypassButton",
    "muteButton",      "segCtrlMult", "segCtrlCarrWave", "centerButton",       "linlogButton",
    "sourceButton",    "diodeButton", "nonlSlider",      "tuningStepper",      "midiPopupButton",
    "levelIndicator",  "testButton"};

class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        resetModulatorGlobals();
        setSystemLogSink([this](std::string_view entry) { log.emplace_back(entry); });
        controller = std::make_shared<RingModulatorViewController>();
        panel.connect(*controller);
        delegate.setViewController(controller);
        window = std::make_unique<MainWindow>(panel, delegate);
        delegate.applicationDidFinishLaunching();
        window->show();
        window->activateWindow();
        (void)QTest::qWaitForWindowActive(window.get(), 2000);
        window->refreshTimer().tick();
    }
    ~MainWindowTest() override {
        window.reset();
        setSystemLogSink({});
        resetModulatorGlobals();
    }
    template <typename T>
    T* child(const char* outlet) {
        T* w = window->findChild<T*>(QString::fromLatin1(outlet));
        EXPECT_NE(w, nullptr) << outlet;
        return w;
    }

    std::vector<std::string> log;
    std::shared_ptr<RingModulatorViewController> controller;
    ControlPanel panel;
    AppDelegate delegate;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, IsTitledTolvaAndHoldsEveryControlNamedAndExplained) {
    EXPECT_EQ(window->windowTitle(), "Tolva");
    for (const char* outlet : kOutlets) {
        QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(outlet));
        ASSERT_NE(w, nullptr) << outlet;
        EXPECT_FALSE(w->accessibleName().isEmpty()) << outlet;
        EXPECT_FALSE(w->toolTip().isEmpty()) << outlet;
    }
}

TEST_F(MainWindowTest, ControlsCarryTheirRolesAsAccessibleNames) {
    const std::pair<const char*, const char*> names[] = {{"playButton", "Play"},
                                                         {"frequencySlider", "Frequency"},
                                                         {"segCtrlCarrWave", "Carrier"},
                                                         {"segCtrlMult", "Octave"},
                                                         {"depthSlider", "Depth"},
                                                         {"diodeButton", "Diode"},
                                                         {"nonlSlider", "Nonlinearity"},
                                                         {"tuningStepper", "Tuning"},
                                                         {"midiPopupButton", "MIDI channel"},
                                                         {"levelIndicator", "Level"},
                                                         {"bypassButton", "Bypass"},
                                                         {"muteButton", "Mute"},
                                                         {"sourceButton", "MIDI"}};
    for (const auto& [outlet, name] : names) {
        QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(outlet));
        ASSERT_NE(w, nullptr) << outlet;
        EXPECT_EQ(w->accessibleName(), name) << outlet;
    }
}

TEST_F(MainWindowTest, RangesAreThoseThePanelNeeds) {
    EXPECT_GT(panel.frequencySlider.minValue(), 0.0);
    EXPECT_EQ(panel.depthSlider.minValue(), 0.0);
    EXPECT_EQ(panel.depthSlider.maxValue(), 1.0);
    EXPECT_EQ(panel.nonlSlider.minValue(), 1.0);
    EXPECT_EQ(panel.nonlSlider.maxValue(), 4.0);
    auto* tuning = child<StepperView>("tuningStepper");
    EXPECT_EQ(tuning->minimum(), 435.0);
    EXPECT_EQ(tuning->maximum(), 445.0);
    EXPECT_EQ(tuning->singleStep(), 0.5);
    EXPECT_EQ(tuning->value(), 440.0);
    auto* popup = child<PopUpButtonView>("midiPopupButton");
    ASSERT_EQ(popup->count(), 18);
    EXPECT_EQ(popup->itemText(0), "All channels");
    EXPECT_FALSE(qobject_cast<QStandardItemModel*>(popup->model())->item(1)->isEnabled());
    EXPECT_EQ(popup->itemText(2), "Channel 1");
    EXPECT_EQ(popup->itemText(17), "Channel 16");
    EXPECT_EQ(child<LevelMeterView>("levelIndicator")->cellCount(), 6);
    EXPECT_NE(child<SegmentedControlView>("segCtrlMult")->segment(4), nullptr);
    EXPECT_EQ(child<SegmentedControlView>("segCtrlMult")->segment(5), nullptr);
    EXPECT_NE(child<SegmentedControlView>("segCtrlCarrWave")->segment(3), nullptr);
    EXPECT_EQ(child<SegmentedControlView>("segCtrlCarrWave")->segment(4), nullptr);
}

TEST_F(MainWindowTest, ModulationGesturesSetTheirFields) {
    auto* depth = child<SliderView>("depthSlider");
    depth->setSliderDown(true);
    depth->setSliderPosition(SliderView::kSteps / 4);
    depth->setSliderDown(false);
    EXPECT_EQ(controller->depth.load(), 0.25);

    QTest::mouseClick(child<SegmentedControlView>("segCtrlCarrWave")->segment(2), Qt::LeftButton);
    EXPECT_EQ(controller->wave.load(), WaveTriangle);

    QTest::mouseClick(child<ButtonView>("diodeButton"), Qt::LeftButton);
    EXPECT_EQ(controller->diode.load(), 1);

    auto* nonlView = child<SliderView>("nonlSlider");
    nonlView->setSliderDown(true);
    nonlView->setSliderPosition(SliderView::kSteps / 2);
    nonlView->setSliderDown(false);
    EXPECT_EQ(nonl.load(), 2.5);
}

TEST_F(MainWindowTest, FrequencyGesturesReachTheirHandlers) {
    QTest::mouseClick(child<SegmentedControlView>("segCtrlMult")->segment(3), Qt::LeftButton);
    EXPECT_EQ(controller->mult.load(), 2.0);

    QTest::keyClick(child<StepperView>("tuningStepper"), Qt::Key_Up);
    EXPECT_EQ(A.load(), 440.5);

    QTest::mouseClick(child<ButtonView>("linlogButton"), Qt::LeftButton);
    EXPECT_EQ(controller->logview.load(), 1);
    EXPECT_EQ(child<ButtonView>("linlogButton")->text(), "Log.");

    QTest::keyClick(child<PopUpButtonView>("midiPopupButton"), Qt::Key_Down);
    EXPECT_EQ(omni.load(), 0);
    EXPECT_EQ(channel.load(), 0);

    QTest::mouseClick(child<ButtonView>("sourceButton"), Qt::LeftButton);
    EXPECT_EQ(controller->midif.load(), 1);
    EXPECT_TRUE(child<ButtonView>("sourceButton")->tinted());
    EXPECT_EQ(child<ButtonView>("sourceButton")->text(), "MIDI");
}

TEST_F(MainWindowTest, ATestClickWritesOneDiagnosticEntry) {
    QTest::mouseClick(child<ButtonView>("testButton"), Qt::LeftButton);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "\nA = 440.0\nPitch =  69\nfrequency =  440.00\nmidif = 0\nlogview = 0\n"
              "mult = 1.00\n\n");
}

TEST_F(MainWindowTest, SpaceMAndBActAsClicksOnPlayMuteAndBypass) {
    int plays = 0;
    panel.playButton.setAction([&](ButtonModel&) { ++plays; });
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(plays, 1);

    QTest::keyClick(window.get(), Qt::Key_B);
    EXPECT_EQ(panel.bypassButton.state(), 1);
    EXPECT_EQ(controller->state.load(), StateBypass);
    EXPECT_TRUE(child<ButtonView>("bypassButton")->tinted());

    QTest::keyClick(window.get(), Qt::Key_M);
    EXPECT_EQ(panel.muteButton.state(), 1);
    EXPECT_TRUE(child<ButtonView>("muteButton")->tinted());
    EXPECT_EQ(child<ButtonView>("muteButton")->text(), "Mute");

    QTest::keyClick(window.get(), Qt::Key_B);
    EXPECT_EQ(panel.bypassButton.state(), 0);
    EXPECT_FALSE(child<ButtonView>("bypassButton")->tinted());
}

TEST_F(MainWindowTest, FocusedControlsKeepTheirKeys) {
    int plays = 0;
    panel.playButton.setAction([&](ButtonModel&) { ++plays; });
    auto* bypass = child<ButtonView>("bypassButton");
    bypass->setFocus();
    QTest::keyClick(bypass, Qt::Key_Space);
    EXPECT_EQ(plays, 0);
    EXPECT_EQ(panel.bypassButton.state(), 1);

    auto* tuning = child<StepperView>("tuningStepper");
    tuning->setFocus();
    QTest::keyClick(tuning, Qt::Key_M);
    EXPECT_EQ(panel.muteButton.state(), 0);

    auto* depth = child<SliderView>("depthSlider");
    depth->setFocus();
    QTest::keyClick(depth, Qt::Key_Space);
    EXPECT_EQ(plays, 1);
}

TEST_F(MainWindowTest, AHeldKeyDoesNotRepeatItsButton) {
    QKeyEvent first(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, "m", false);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, "m", true);
    QApplication::sendEvent(window.get(), &first);
    QApplication::sendEvent(window.get(), &repeat);
    EXPECT_EQ(panel.muteButton.state(), 1);
}

TEST_F(MainWindowTest, FileMenuOpenAndSaveWriteTheirLinesAndQuitClosesTheWindow) {
    EXPECT_EQ(window->openAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window->saveAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(window->quitAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "OPEN:\n");
    EXPECT_EQ(log[1], "SAVE:\n");

    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, RenderThreadValuesReachTheWindowOnTheNextTick) {
    std::thread render([&] {
        controller->updateLevel(0.6f);
        panel.frequencyTextField.setStringValue("523.3 Hz");
        panel.depthSlider.setDoubleValue(0.5);
        panel.nonlSlider.setDoubleValue(3.0);
        panel.frequencySlider.setDoubleValue(523.25);
        panel.segCtrlMult.setSelectedSegment(3);
    });
    render.join();
    window->refreshTimer().tick();
    EXPECT_EQ(child<LevelMeterView>("levelIndicator")->litCells(), 6);
    EXPECT_EQ(child<TextFieldView>("frequencyTextField")->text(), "523.3 Hz");
    auto* depth = child<SliderView>("depthSlider");
    EXPECT_EQ(depth->value(), depth->positionOf(0.5));
    auto* nonlView = child<SliderView>("nonlSlider");
    EXPECT_EQ(nonlView->value(), nonlView->positionOf(3.0));
    auto* frequency = child<SliderView>("frequencySlider");
    EXPECT_EQ(frequency->value(), frequency->positionOf(523.25));
    EXPECT_TRUE(child<SegmentedControlView>("segCtrlMult")->segment(3)->isChecked());
    // Code moved the sliders: their handlers did not run.
    EXPECT_EQ(controller->depth.load(), 0.0);
    EXPECT_EQ(controller->frequency.load(), 440.0);
}

TEST_F(MainWindowTest, TheWindowsOwnTimerDeliversTheMeter) {
    ASSERT_TRUE(window->refreshTimer().isActive());
    std::thread render([&] { controller->updateLevel(0.1f); });
    render.join();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return child<LevelMeterView>("levelIndicator")->litCells() == 4; }, 5000));
}

TEST(LaunchedApplicationTest, ShowsTheWindowInItsLaunchStateAndQuitsWhenItCloses) {
    resetModulatorGlobals();
    std::vector<std::string> log;
    setSystemLogSink([&](std::string_view entry) { log.emplace_back(entry); });

    Application& app = launchApplication();

    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_TRUE(app.window->isVisible());
    EXPECT_EQ(app.delegate.window(), app.window.get());
    EXPECT_EQ(app.delegate.viewController(), app.controller.get());
    EXPECT_EQ(app.controller->frequencySlider, &app.panel.frequencySlider);
    EXPECT_EQ(app.panel.segCtrlMult.selectedSegment(), 2);
    EXPECT_EQ(app.controller->toneUnit.load(), nullptr);

    app.panel.testButton.userClick();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "\nA = 440.0\nPitch =  69\nfrequency =  440.00\nmidif = 0\nlogview = 0\n"
              "mult = 1.00\n\n");

    app.window->close();
    app.window->refreshTimer().stop();
    setAlertPresenter(nullptr);
    setSystemLogSink({});
    resetModulatorGlobals();
}

}  // namespace
}  // namespace tolva
