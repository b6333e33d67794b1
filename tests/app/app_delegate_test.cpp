// Start-up: the launch state of the controller, the File menu's log lines,
// and the diagnostic entry the test button writes right after launch.

#include "app/app_delegate.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/log/system_log.h"

namespace tolva {
namespace {

class AppDelegateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        setSystemLogSink([this](std::string_view entry) { log.emplace_back(entry); });
        controller = std::make_shared<RingModulatorViewController>();
        controller->setSegCtrlMult(&segCtrlMult);
        controller->setSegCtrlCarrWave(&segCtrlCarrWave);
        segCtrlMult.setAction([this](SegmentedControlModel&) { ++multActions; });
        delegate.setViewController(controller);
    }
    void TearDown() override {
        setSystemLogSink({});
        resetModulatorGlobals();
    }

    std::vector<std::string> log;
    SegmentedControlModel segCtrlMult{5, 0};
    SegmentedControlModel segCtrlCarrWave{4, 1};
    int multActions = 0;
    std::shared_ptr<RingModulatorViewController> controller;
    AppDelegate delegate;
};

TEST_F(AppDelegateTest, LaunchSetsTheDefaultTuningAndFrequency) {
    delegate.applicationDidFinishLaunching();

    EXPECT_EQ(controller->frequency.load(), 440.0);
    EXPECT_EQ(controller->mult.load(), 1.0);
    EXPECT_EQ(controller->midif.load(), 0);
    EXPECT_EQ(controller->logview.load(), 0);
    EXPECT_EQ(A.load(), 440.0);
    EXPECT_EQ(pitch.load(), 69.0);
}

TEST_F(AppDelegateTest, LaunchSelectsTheTimesOneSegmentWithoutSendingItsAction) {
    delegate.applicationDidFinishLaunching();

    EXPECT_EQ(segCtrlMult.selectedSegment(), 2);
    EXPECT_EQ(multActions, 0);
}

TEST_F(AppDelegateTest, LaunchOpensNoDeviceAndLeavesTheModulatorSilent) {
    delegate.applicationDidFinishLaunching();

    EXPECT_EQ(controller->toneUnit.load(), nullptr);
    EXPECT_EQ(controller->state.load(), StateSilent);
    EXPECT_EQ(controller->Trif.load(), nullptr);
    EXPECT_EQ(controller->Ramf.load(), nullptr);
    EXPECT_EQ(midi.load(), 0);
    // Depth, carrier and diode wait for the first Play to be seeded.
    EXPECT_EQ(controller->depth.load(), 0.0);
    EXPECT_EQ(controller->wave.load(), WaveSelf);
    EXPECT_EQ(controller->diode.load(), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(AppDelegateTest, LaunchReplacesWhateverTheSourceAndScaleHeldBefore) {
    controller->midif.store(1);
    controller->logview.store(1);
    controller->mult.store(4.0);
    A.store(445.0);
    pitch.store(12.0);

    delegate.applicationDidFinishLaunching();

    EXPECT_EQ(controller->midif.load(), 0);
    EXPECT_EQ(controller->logview.load(), 0);
    EXPECT_EQ(controller->mult.load(), 1.0);
    EXPECT_EQ(A.load(), 440.0);
    EXPECT_EQ(pitch.load(), 69.0);
}

TEST_F(AppDelegateTest, DiagnosticEntryAfterLaunchShowsTheLaunchTuning) {
    delegate.applicationDidFinishLaunching();
    ButtonModel testButton{ButtonModel::Kind::Push, "Test"};

    controller->testButtonClicked(&testButton);

    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "\nA = 440.0\nPitch =  69\nfrequency =  440.00\nmidif = 0\nlogview = 0\n"
              "mult = 1.00\n\n");
}

TEST_F(AppDelegateTest, FileMenuOpenAndSaveOnlyWriteTheirLogLines) {
    delegate.applicationDidFinishLaunching();
    const double frequencyBefore = controller->frequency.load();

    delegate.openDocument();
    delegate.saveDocument();

    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "OPEN:\n");
    EXPECT_EQ(log[1], "SAVE:\n");
    EXPECT_EQ(controller->frequency.load(), frequencyBefore);
}

TEST_F(AppDelegateTest, ClosingTheLastWindowQuits) {
    EXPECT_TRUE(delegate.applicationShouldTerminateAfterLastWindowClosed());
}

TEST_F(AppDelegateTest, LaunchWithoutAControllerDoesNothing) {
    AppDelegate empty;
    empty.applicationDidFinishLaunching();
    EXPECT_EQ(A.load(), 0.0);
    EXPECT_EQ(empty.window(), nullptr);
}

}  // namespace
}  // namespace tolva
