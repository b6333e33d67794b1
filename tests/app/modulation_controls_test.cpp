// Depth, carrier, diode and nonlinearity: what each gesture leaves in the
// fields the render cycle reads, what code-driven moves leave alone, and the
// test button's diagnostic entry.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ring_modulator_view_controller.h"
#include "platform/log/system_log.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

class ModulationControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        c.setDepthSlider(&depthSlider);
        c.setSegCtrlCarrWave(&segCtrlCarrWave);
        c.setDiodeButton(&diodeButton);
        c.setNonlSlider(&nonlSlider);
        depthSlider.setAction([this](SliderModel& s) {
            ++actions;
            c.depthChanged(&s);
        });
        segCtrlCarrWave.setAction([this](SegmentedControlModel& s) {
            ++actions;
            c.segCtrlWaveClicked(&s);
        });
        diodeButton.setAction([this](ButtonModel& b) {
            ++actions;
            c.diodeButtonClicked(&b);
        });
        nonlSlider.setAction([this](SliderModel& s) {
            ++actions;
            c.nonlChanged(&s);
        });
    }
    void TearDown() override {
        setSystemLogSink({});
        resetModulatorGlobals();
    }

    RingModulatorViewController c;
    SliderModel depthSlider{0.0, 1.0, 1.0};
    SegmentedControlModel segCtrlCarrWave{4, 1};
    ButtonModel diodeButton{ButtonModel::Kind::OnOff, "Diode"};
    SliderModel nonlSlider{1.0, 4.0, 1.0};
    int actions = 0;
};

TEST_F(ModulationControlsTest, MovingTheDepthSliderSetsDepth) {
    depthSlider.userMove(0.25);
    EXPECT_EQ(c.depth.load(), 0.25);
    EXPECT_EQ(actions, 1);

    depthSlider.userMove(0.0);
    EXPECT_EQ(c.depth.load(), 0.0);
}

TEST_F(ModulationControlsTest, DepthBeyondTheSliderRangeIsClampedByTheSlider) {
    depthSlider.userMove(1.7);
    EXPECT_EQ(c.depth.load(), 1.0);
    depthSlider.userMove(-0.3);
    EXPECT_EQ(c.depth.load(), 0.0);
}

TEST_F(ModulationControlsTest, CodeMovingTheSlidersLeavesDepthAndNonlAlone) {
    c.depth.store(0.5);
    nonl.store(2.0);

    depthSlider.setDoubleValue(0.9);
    nonlSlider.setDoubleValue(3.5);
    segCtrlCarrWave.setSelectedSegment(3);
    diodeButton.setState(1);

    EXPECT_EQ(c.depth.load(), 0.5);
    EXPECT_EQ(nonl.load(), 2.0);
    EXPECT_EQ(c.wave.load(), WaveSelf);
    EXPECT_EQ(c.diode.load(), 0);
    EXPECT_EQ(actions, 0);
}

TEST_F(ModulationControlsTest, EachCarrierSegmentSelectsItsWave) {
    const int32_t expected[] = {WaveSelf, WaveSine, WaveTriangle, WaveRamp};
    for (int64_t segment = 3; segment >= 0; --segment) {
        segCtrlCarrWave.userSelect(segment);
        EXPECT_EQ(c.wave.load(), expected[segment]) << "segment " << segment;
    }
    EXPECT_EQ(actions, 4);
}

TEST_F(ModulationControlsTest, SegmentTwoSelectsTheTriangle) {
    segCtrlCarrWave.userSelect(2);
    EXPECT_EQ(c.wave.load(), WaveTriangle);
}

TEST_F(ModulationControlsTest, NoSelectedSegmentLeavesTheWaveUnchanged) {
    c.wave.store(WaveRamp);
    segCtrlCarrWave.setSelectedSegment(-1);

    c.segCtrlWaveClicked(&segCtrlCarrWave);
    EXPECT_EQ(c.wave.load(), WaveRamp);
    c.updateWave();
    EXPECT_EQ(c.wave.load(), WaveRamp);
}

TEST_F(ModulationControlsTest, TheOutletDecidesWhenTheSenderDisagrees) {
    SegmentedControlModel other{4, 3};
    segCtrlCarrWave.setSelectedSegment(2);
    c.segCtrlWaveClicked(&other);
    EXPECT_EQ(c.wave.load(), WaveTriangle);
}

TEST_F(ModulationControlsTest, UpdateWaveReadsTheCarrierSelector) {
    segCtrlCarrWave.setSelectedSegment(0);
    c.wave.store(WaveSine);
    c.updateWave();
    EXPECT_EQ(c.wave.load(), WaveSelf);
}

TEST_F(ModulationControlsTest, UpdateWaveWithoutTheSelectorKeepsTheWave) {
    RingModulatorViewController bare;
    bare.wave.store(WaveRamp);
    bare.updateWave();
    EXPECT_EQ(bare.wave.load(), WaveRamp);
}

TEST_F(ModulationControlsTest, DiodeFollowsTheButton) {
    diodeButton.userClick();
    EXPECT_EQ(diodeButton.state(), 1);
    EXPECT_EQ(c.diode.load(), 1);

    diodeButton.userClick();
    EXPECT_EQ(diodeButton.state(), 0);
    EXPECT_EQ(c.diode.load(), 0);
    EXPECT_EQ(actions, 2);
}

TEST_F(ModulationControlsTest, DiodeAfterPlayReseedCatchesUpWithTheButtonOnTheSecondClick) {
    // Play seeded diode 0 while the button shows on.
    diodeButton.setState(1);
    c.diode.store(0);

    diodeButton.userClick();
    EXPECT_EQ(diodeButton.state(), 0);
    EXPECT_EQ(c.diode.load(), 0);

    diodeButton.userClick();
    EXPECT_EQ(diodeButton.state(), 1);
    EXPECT_EQ(c.diode.load(), 1);
}

TEST_F(ModulationControlsTest, MovingTheNonlinearitySliderSetsNonl) {
    nonlSlider.userMove(2.5);
    EXPECT_EQ(nonl.load(), 2.5);
    nonlSlider.userMove(9.0);
    EXPECT_EQ(nonl.load(), 4.0);
    EXPECT_EQ(actions, 2);
}

TEST_F(ModulationControlsTest, MidiDepthMovesTheSliderWithoutItsActionOrAFieldWrite) {
    mmi.store(1.0);
    depthSlider.setDoubleValue(0.2);
    c.depth.store(1.0);  // the render cycle has already taken mmi
    const uint64_t before = depthSlider.revision();

    c.midiDepthChanged();

    EXPECT_EQ(depthSlider.doubleValue(), 1.0);
    EXPECT_GT(depthSlider.revision(), before);
    EXPECT_EQ(c.depth.load(), 1.0);
    EXPECT_EQ(mmi.load(), 1.0);
    EXPECT_EQ(actions, 0);
}

TEST_F(ModulationControlsTest, MidiNonlMovesTheSliderWithoutItsActionOrAFieldWrite) {
    nonl.store(3.25);
    c.midiNonlChanged();
    EXPECT_EQ(nonlSlider.doubleValue(), 3.25);
    EXPECT_EQ(nonl.load(), 3.25);
    EXPECT_EQ(actions, 0);
}

TEST_F(ModulationControlsTest, MidiSliderRefreshesAreRealtimeSafe) {
    mmi.store(0.5);
    nonl.store(2.0);
    test::resetRealtimeViolations();
    {
        test::RealtimeSection section;
        for (int i = 0; i < 1000; ++i) {
            c.midiDepthChanged();
            c.midiNonlChanged();
        }
    }
    const test::RealtimeViolations v = test::realtimeViolations();
    EXPECT_EQ(v.allocations, 0u);
    EXPECT_EQ(v.locks, 0u);
    EXPECT_EQ(v.systemCalls, 0u);
}

TEST_F(ModulationControlsTest, MidiRefreshesWithoutSlidersDoNothing) {
    RingModulatorViewController bare;
    mmi.store(0.7);
    bare.midiDepthChanged();
    bare.midiNonlChanged();
    EXPECT_EQ(bare.depth.load(), 0.0);
}

TEST_F(ModulationControlsTest, DiagnosticEntryFormatsEveryFieldInOrder) {
    std::vector<std::string> log;
    setSystemLogSink([&](std::string_view entry) { log.emplace_back(entry); });
    A.store(442.5);
    pitch.store(60.4);
    c.frequency.store(12345.678);
    c.midif.store(1);
    c.logview.store(1);
    c.mult.store(0.25);
    ButtonModel testButton{ButtonModel::Kind::Push, "Test"};

    c.testButtonClicked(&testButton);

    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              "\nA = 442.5\nPitch =  60\nfrequency = 12345.68\nmidif = 1\nlogview = 1\n"
              "mult = 0.25\n\n");
}

TEST_F(ModulationControlsTest, HandlersWorkTheSameWhileStopped) {
    ASSERT_EQ(c.toneUnit.load(), nullptr);
    depthSlider.userMove(0.75);
    segCtrlCarrWave.userSelect(3);
    diodeButton.userClick();
    nonlSlider.userMove(1.5);
    EXPECT_EQ(c.depth.load(), 0.75);
    EXPECT_EQ(c.wave.load(), WaveRamp);
    EXPECT_EQ(c.diode.load(), 1);
    EXPECT_EQ(nonl.load(), 1.5);
}

}  // namespace
}  // namespace tolva
