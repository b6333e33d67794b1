// The carrier following the held note: what one render cycle's call of
// midiFreqChanged does to the carrier and to the controls that show it, and
// that it does so without allocating, locking or calling the system.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "frequency/frequency_panel.h"
#include "frequency/pitch_scales.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

using test::FrequencyPanel;

class MidiFrequencyFollowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        p.run();
        p.panel.sourceButton.userClick();  // MIDI drives the carrier
        bendd.store(2.0);
    }

    // One render cycle's worth of following.
    void follow(double note) {
        pitch.store(note);
        p.c.midiFreqChanged();
    }

    void expectConsistent() { p.expectConsistent(); }

    SliderModel& slider() { return p.panel.frequencySlider; }
    std::string text() { return p.panel.frequencyTextField.stringValue(); }

    FrequencyPanel p;
};

TEST_F(MidiFrequencyFollowTest, TheNoteBecomesTheCarrierAndIsShown) {
    p.c.frequency.store(300);
    follow(69);
    EXPECT_EQ(440.0, p.c.frequency.load());
    EXPECT_EQ(440.0, slider().doubleValue());
    EXPECT_EQ("440.0 Hz", text());

    // An unchanged note touches nothing on the following cycles.
    const uint64_t sliderRevision = slider().revision();
    const uint64_t textRevision = p.panel.frequencyTextField.revision();
    const uint64_t segmentRevision = p.panel.segCtrlMult.revision();
    for (int i = 0; i < 5; ++i) {
        follow(69);
    }
    EXPECT_EQ(sliderRevision, slider().revision());
    EXPECT_EQ(textRevision, p.panel.frequencyTextField.revision());
    EXPECT_EQ(segmentRevision, p.panel.segCtrlMult.revision());
}

TEST_F(MidiFrequencyFollowTest, NotesOutsideTheLinearRangeStepTheOctave) {
    slider().setRange(100, 700);
    follow(81);  // 880 Hz
    EXPECT_EQ(880.0, p.c.frequency.load());
    EXPECT_EQ(2.0, p.c.mult.load());
    EXPECT_EQ(3, p.panel.segCtrlMult.selectedSegment());
    EXPECT_EQ(440.0, slider().doubleValue());
    EXPECT_EQ("880.0 Hz", text());

    p.panel.segCtrlMult.setSelectedSegment(2);
    p.c.mult.store(1.0);
    slider().setRange(200, 1000);
    follow(45);  // 110 Hz
    EXPECT_EQ(0.5, p.c.mult.load());
    EXPECT_EQ(1, p.panel.segCtrlMult.selectedSegment());
    EXPECT_EQ(220.0, slider().doubleValue());
    expectConsistent();
}

TEST_F(MidiFrequencyFollowTest, NotesOutsideTheLogRangeStepTheOctaveToo) {
    p.panel.linlogButton.userClick();
    follow(105);  // 3520 Hz: p = 2101 at x1
    EXPECT_EQ(3520.0, p.c.frequency.load());
    EXPECT_EQ(2.0, p.c.mult.load());
    EXPECT_EQ(3, p.panel.segCtrlMult.selectedSegment());
    EXPECT_DOUBLE_EQ(1760.0, slider().doubleValue());
    EXPECT_EQ("3520.0 Hz", text());

    follow(33);  // 55 Hz: 27.5 at x2, below the range
    EXPECT_EQ(1.0, p.c.mult.load());
    EXPECT_EQ(2, p.panel.segCtrlMult.selectedSegment());
    EXPECT_DOUBLE_EQ(55.0, slider().doubleValue());
    expectConsistent();
}

TEST_F(MidiFrequencyFollowTest, ANoteFarOutTakesOneOctaveStepOnly) {
    follow(117);  // 7040 Hz: two octaves above the slider's top at x1
    EXPECT_EQ(2.0, p.c.mult.load());
    EXPECT_EQ(1760.0, slider().doubleValue());  // at its end
    EXPECT_EQ("7040.0 Hz", text());
    follow(117);
    EXPECT_EQ(2.0, p.c.mult.load());  // no further step while the note stays
    expectConsistent();
}

// At the outer segments a note beyond the range leaves the octave where it
// is and the slider at its end; the carrier and the text are the note's.
TEST_F(MidiFrequencyFollowTest, NotesBeyondTheOuterSegmentsKeepTheOctaveInRange) {
    for (int scale = 0; scale < 2; ++scale) {
        SCOPED_TRACE(scale == 0 ? "linear" : "logarithmic");
        p.panel.segCtrlMult.userSelect(4);
        follow(127);  // 12543.9 Hz, above 1760 x 4
        EXPECT_DOUBLE_EQ(Frequency(127), p.c.frequency.load());
        EXPECT_EQ(4.0, p.c.mult.load());
        EXPECT_EQ(4, p.panel.segCtrlMult.selectedSegment());
        EXPECT_EQ(1760.0, slider().doubleValue());
        EXPECT_EQ("12543.9 Hz", text());
        expectConsistent();

        p.panel.segCtrlMult.userSelect(0);
        follow(0);  // 8.2 Hz, below 55 x 1/4
        EXPECT_DOUBLE_EQ(Frequency(0), p.c.frequency.load());
        EXPECT_EQ(0.25, p.c.mult.load());
        EXPECT_EQ(0, p.panel.segCtrlMult.selectedSegment());
        EXPECT_EQ(55.0, slider().doubleValue());
        EXPECT_EQ(" 8.2 Hz", text());
        expectConsistent();

        p.panel.linlogButton.userClick();
    }
}

TEST_F(MidiFrequencyFollowTest, ARangeNarrowerThanAnOctaveStepsUpAndBackDown) {
    slider().setRange(500, 600);
    follow(81);  // 880: above 600 at x1, below 500 at x2
    EXPECT_EQ(1.0, p.c.mult.load());
    EXPECT_EQ(2, p.panel.segCtrlMult.selectedSegment());
    EXPECT_EQ(600.0, slider().doubleValue());
    EXPECT_EQ("880.0 Hz", text());
}

TEST_F(MidiFrequencyFollowTest, TheBendAloneRetunesOnEveryChange) {
    follow(69);
    bend.store(0.5);
    follow(69);
    EXPECT_DOUBLE_EQ(466.1637615180899, p.c.frequency.load());
    EXPECT_EQ("466.2 Hz", text());
    bend.store(-1.0);
    follow(69);
    EXPECT_DOUBLE_EQ(391.99543598174927, p.c.frequency.load());
    EXPECT_EQ("392.0 Hz", text());
}

TEST_F(MidiFrequencyFollowTest, APanelFrequencyIsTakenBackAtTheNextCycle) {
    follow(72);
    const double note = p.c.frequency.load();
    const double placed = slider().doubleValue();
    slider().userMove(200);
    EXPECT_EQ(200.0, p.c.frequency.load());
    follow(72);
    EXPECT_EQ(note, p.c.frequency.load());
    EXPECT_EQ(placed, slider().doubleValue());
}

TEST_F(MidiFrequencyFollowTest, UnusableReferenceOrRangeLeaveTheCarrierPlayable) {
    follow(69);
    A.store(0.0);
    follow(70);
    EXPECT_EQ(440.0, p.c.frequency.load());  // no note without a reference: it stays
    A.store(440.0);

    p.panel.linlogButton.userClick();
    for (double min : {0.0, -55.0, 1760.0}) {
        slider().setRange(min, 1760);
        for (double note : {20.0, 69.0, 120.0}) {
            follow(note);
            expectConsistent();
            EXPECT_EQ(std::string::npos, text().find("nan"));
        }
    }
}

// The render thread must not allocate, lock or call the system, also when
// every cycle brings a new note that moves the slider, the octave and the text.
TEST_F(MidiFrequencyFollowTest, FollowingMakesNoAllocationLockOrSystemCall) {
    slider().setRange(100, 700);
    p.c.midiFreqChanged();  // the first call of anything lazy happens outside the watch
    const double notes[] = {81, 45, 117, 20, 69, 127, 0, 60.5};
    test::resetRealtimeViolations();
    {
        test::RealtimeSection realtime;
        for (int cycle = 0; cycle < 400; ++cycle) {
            pitch.store(notes[cycle % 8]);
            bend.store(cycle % 3 == 0 ? 0.25 : 0.0);
            if (cycle == 200) {
                p.c.logview.store(1);
            }
            p.c.midiFreqChanged();
        }
    }
    const test::RealtimeViolations v = test::realtimeViolations();
    EXPECT_EQ(0u, v.allocations);
    EXPECT_EQ(0u, v.locks);
    EXPECT_EQ(0u, v.systemCalls);
    expectConsistent();
}

}  // namespace
}  // namespace tolva
