// The panel's frequency controls, worked as a user works them: the slider,
// the octave segments, the scale button, the centre button and the tuning
// stepper, stopped and running. What is checked is what the user sees (the
// slider, the segment, the text, the scale button) and what the listener
// hears (`frequency`).

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frequency/frequency_panel.h"
#include "frequency/pitch_scales.h"

namespace tolva {
namespace {

using test::FrequencyPanel;

class FrequencyControlsTest : public ::testing::Test {
  protected:
    void expectConsistent() { p.expectConsistent(); }

    SliderModel& slider() { return p.panel.frequencySlider; }
    std::string text() { return p.panel.frequencyTextField.stringValue(); }
    double frequency() { return p.c.frequency.load(); }
    double mult() { return p.c.mult.load(); }
    int64_t segment() { return p.panel.segCtrlMult.selectedSegment(); }

    FrequencyPanel p;
};

TEST_F(FrequencyControlsTest, SliderSetsReadingTimesOctaveTimesTuning) {
    p.panel.segCtrlMult.userSelect(3);
    slider().userMove(300);
    EXPECT_EQ(600.0, frequency());
    EXPECT_EQ("600.0 Hz", text());
    EXPECT_EQ(300.0, slider().doubleValue());  // the slider stays where the user put it

    p.panel.tuningStepper.userSetValue(445);
    slider().userMove(300);
    EXPECT_DOUBLE_EQ(606.8181818181819, frequency());
    EXPECT_EQ("606.8 Hz", text());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, SliderWhileStoppedFirstRepairsAnUnsetTuningAndOctave) {
    A.store(450.0);
    p.c.mult.store(0.0);
    slider().userMove(300);
    EXPECT_EQ(440.0, A.load());
    EXPECT_EQ(1.0, mult());
    EXPECT_EQ(300.0, frequency());
}

TEST_F(FrequencyControlsTest, ScaleSwitchKeepsTheFrequencyAndMovesTheSlider) {
    slider().userMove(300);
    ASSERT_EQ("300.0 Hz", text());

    p.panel.linlogButton.userClick();
    EXPECT_EQ(1, p.c.logview.load());
    EXPECT_EQ("Log.", p.panel.linlogButton.title());
    EXPECT_EQ(5, slider().numberOfTickMarks());
    EXPECT_EQ(300.0, frequency());
    EXPECT_EQ("300.0 Hz", text());
    EXPECT_DOUBLE_EQ(logval(300, 55, 1760), slider().doubleValue());

    p.panel.linlogButton.userClick();
    EXPECT_EQ(0, p.c.logview.load());
    EXPECT_EQ("Lin.", p.panel.linlogButton.title());
    EXPECT_EQ(0, slider().numberOfTickMarks());
    EXPECT_EQ(300.0, frequency());
    EXPECT_EQ("300.0 Hz", text());
    EXPECT_DOUBLE_EQ(300.0, slider().doubleValue());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, ScaleSwitchAtLaunchPlacesA440OnTheLogScale) {
    p.panel.linlogButton.userClick();
    EXPECT_DOUBLE_EQ(1078.0, slider().doubleValue());
    EXPECT_EQ("440.0 Hz", text());
    // A slider moved on the log scale reads logarithmically.
    slider().userMove(907.5);
    EXPECT_DOUBLE_EQ(311.1269837220809, frequency());
    EXPECT_EQ("311.1 Hz", text());
}

TEST_F(FrequencyControlsTest, TuningWhileRunningMovesTheCarrierAndKeepsTheSlider) {
    p.run();
    p.panel.tuningStepper.userSetValue(442);
    EXPECT_DOUBLE_EQ(442.0, frequency());
    EXPECT_EQ("442.0 Hz", text());
    EXPECT_EQ(442.0, A.load());
    EXPECT_DOUBLE_EQ(440.0, slider().doubleValue());
    EXPECT_EQ(2, segment());

    // The carrier keeps its place relative to the reference, on the log scale too.
    p.panel.linlogButton.userClick();
    const double placed = slider().doubleValue();
    p.panel.tuningStepper.userSetValue(436);
    EXPECT_DOUBLE_EQ(436.0, frequency());
    EXPECT_NEAR(placed, slider().doubleValue(), 1e-9);
    expectConsistent();
}

TEST_F(FrequencyControlsTest, TuningWhileStoppedTakesTheFrequencyFromTheSlider) {
    p.panel.tuningStepper.userSetValue(442);
    EXPECT_EQ(442.0, A.load());
    EXPECT_DOUBLE_EQ(442.0, frequency());
    EXPECT_EQ("442.0 Hz", text());
    EXPECT_EQ(440.0, slider().doubleValue());  // not re-placed while stopped

    p.panel.linlogButton.userClick();  // slider to 1078: 440 on the log scale at A 442
    p.panel.tuningStepper.userSetValue(444);
    EXPECT_NEAR(444.0 * logfreq(slider().doubleValue(), 55, 1760) / 440.0, frequency(), 1e-9);
}

TEST_F(FrequencyControlsTest, OctaveSegmentMovesTheCarrierAndKeepsTheSlider) {
    slider().userMove(300);
    p.panel.segCtrlMult.userSelect(3);
    EXPECT_EQ(2.0, mult());
    EXPECT_EQ(600.0, frequency());
    EXPECT_EQ(300.0, slider().doubleValue());
    EXPECT_EQ("600.0 Hz", text());

    p.panel.segCtrlMult.userSelect(0);
    EXPECT_EQ(0.25, mult());
    EXPECT_EQ(75.0, frequency());
    EXPECT_EQ(300.0, slider().doubleValue());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, CentreOnTheLinearScaleReturnsToAAtX1) {
    p.panel.tuningStepper.userSetValue(442);
    p.panel.segCtrlMult.userSelect(4);
    slider().userMove(1000);
    p.panel.centerButton.userClick();
    EXPECT_EQ(442.0, frequency());
    EXPECT_EQ(1.0, mult());
    EXPECT_EQ(2, segment());
    EXPECT_DOUBLE_EQ(440.0, slider().doubleValue());
    EXPECT_EQ("442.0 Hz", text());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, CentreOnTheLogScaleReturnsToAAtX2) {
    p.panel.tuningStepper.userSetValue(442);
    p.panel.linlogButton.userClick();
    p.panel.segCtrlMult.userSelect(0);
    p.panel.centerButton.userClick();
    EXPECT_EQ(442.0, frequency());
    EXPECT_EQ(2.0, mult());
    EXPECT_EQ(3, segment());
    EXPECT_NEAR(737.0, slider().doubleValue(), 1e-9);  // where 220 lies
    EXPECT_EQ("442.0 Hz", text());
    // Moving the slider back onto its place gives A again.
    slider().userMove(737.0);
    EXPECT_DOUBLE_EQ(442.0, frequency());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, CentreInMidiModeAlsoReturnsTheNoteToA) {
    pitch.store(75.0);
    p.panel.sourceButton.userClick();
    ASSERT_EQ(1, p.c.midif.load());
    p.panel.centerButton.userClick();
    EXPECT_EQ(69.0, pitch.load());

    p.panel.sourceButton.userClick();
    pitch.store(75.0);
    p.panel.centerButton.userClick();
    EXPECT_EQ(75.0, pitch.load());  // panel mode leaves the note alone
}

TEST_F(FrequencyControlsTest, AutomaticOctaveStepsOneOctaveUpOrDown) {
    slider().setRange(100, 1000);
    p.c.frequency.store(1500);
    p.c.updateFrequencyControls();
    EXPECT_EQ(2.0, mult());
    EXPECT_EQ(3, segment());
    EXPECT_EQ(750.0, slider().doubleValue());
    EXPECT_EQ("1500.0 Hz", text());

    p.panel.segCtrlMult.setSelectedSegment(2);
    p.c.mult.store(1.0);
    p.c.frequency.store(80);
    p.c.updateFrequencyControls();
    EXPECT_EQ(0.5, mult());
    EXPECT_EQ(1, segment());
    EXPECT_EQ(160.0, slider().doubleValue());

    // One octave only: the slider stops at its end.
    p.panel.segCtrlMult.setSelectedSegment(2);
    p.c.mult.store(1.0);
    p.c.frequency.store(3000);
    p.c.updateFrequencyControls();
    EXPECT_EQ(2.0, mult());
    EXPECT_EQ(3, segment());
    EXPECT_EQ(1000.0, slider().doubleValue());
    EXPECT_EQ("3000.0 Hz", text());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, OctaveChoiceAtASharpTuningAndTheSliderEndStepsOneFurther) {
    p.panel.tuningStepper.userSetValue(445);
    slider().userMove(1760);
    p.panel.segCtrlMult.userSelect(3);
    // 1760 * 2 * 445/440 over x2 lies above the range: one octave further up.
    EXPECT_EQ(4.0, mult());
    EXPECT_EQ(4, segment());
    EXPECT_DOUBLE_EQ(1760.0 * 2 * 445 / 440, frequency());
    EXPECT_DOUBLE_EQ(880.0, slider().doubleValue());

    p.panel.tuningStepper.userSetValue(435);
    slider().userMove(55);
    p.panel.segCtrlMult.userSelect(2);
    EXPECT_EQ(0.5, mult());
    EXPECT_EQ(1, segment());
    expectConsistent();
}

// At the outer segments the automatic octave has nowhere to go: the
// multiplier and the segment stay, the slider rests at its end, and the
// carrier and the text keep the true frequency.
TEST_F(FrequencyControlsTest, AutomaticOctaveNeverLeavesTheOuterSegments) {
    p.panel.tuningStepper.userSetValue(445);
    slider().userMove(1760);
    p.panel.segCtrlMult.userSelect(4);
    EXPECT_EQ(4.0, mult());
    EXPECT_EQ(4, segment());
    EXPECT_DOUBLE_EQ(1760.0 * 4 * 445 / 440, frequency());
    EXPECT_EQ(1760.0, slider().doubleValue());
    EXPECT_EQ("7120.0 Hz", text());
    expectConsistent();

    p.panel.tuningStepper.userSetValue(435);
    slider().userMove(55);
    p.panel.segCtrlMult.userSelect(0);
    EXPECT_EQ(0.25, mult());
    EXPECT_EQ(0, segment());
    EXPECT_DOUBLE_EQ(55.0 * 0.25 * 435 / 440, frequency());
    EXPECT_DOUBLE_EQ(55.0, slider().doubleValue());
    expectConsistent();

    p.c.frequency.store(1.0);  // far below, e.g. left by an earlier source
    p.c.updateFrequencyControls();
    EXPECT_EQ(0.25, mult());
    EXPECT_EQ(0, segment());
    EXPECT_EQ(" 1.0 Hz", text());
    expectConsistent();
}

TEST_F(FrequencyControlsTest, LogScaleNeverStepsTheOctave) {
    p.panel.linlogButton.userClick();
    p.c.frequency.store(5000);
    p.c.updateFrequencyControls();
    EXPECT_EQ(1.0, mult());
    EXPECT_EQ(2, segment());
    EXPECT_EQ(1760.0, slider().doubleValue());
    EXPECT_EQ("5000.0 Hz", text());
}

TEST_F(FrequencyControlsTest, PlayTakesTheFrequencyFromTheSlider) {
    p.panel.tuningStepper.userSetValue(442);
    p.panel.segCtrlMult.userSelect(1);
    slider().userMove(500);
    p.c.frequency.store(123);  // whatever was left behind
    p.play();
    EXPECT_DOUBLE_EQ(500 * 0.5 * 442 / 440.0, frequency());
    EXPECT_EQ("251.1 Hz", text());
    EXPECT_DOUBLE_EQ(500.0, slider().doubleValue());
}

// A slider range that the log scale cannot use, and a missing reference,
// must not put NaN or infinity anywhere.
TEST_F(FrequencyControlsTest, UnusableRangesAndReferencesNeverReachTheCarrier) {
    struct Range {
        double min, max;
    };
    for (Range r : {Range{0, 1760}, Range{-55, 1760}, Range{440, 440}}) {
        for (int scale = 0; scale < 2; ++scale) {
            SCOPED_TRACE(testing::Message() << r.min << ".." << r.max << " scale " << scale);
            slider().setRange(r.min, r.max);
            slider().userMove(r.min);
            p.panel.linlogButton.userClick();
            p.panel.segCtrlMult.userSelect(3);
            p.panel.centerButton.userClick();
            p.panel.tuningStepper.userStep(1);
            slider().userMove(r.max);
            expectConsistent();
        }
    }

    p.run();
    slider().setRange(55, 1760);
    for (int scale = 0; scale < 2; ++scale) {
        A.store(0.0);
        p.c.frequency.store(0.0);
        slider().userMove(300);
        p.panel.segCtrlMult.userSelect(1);
        p.panel.linlogButton.userClick();
        p.panel.centerButton.userClick();
        p.c.updateFrequencyControls();
        expectConsistent();
    }
}

}  // namespace
}  // namespace tolva
