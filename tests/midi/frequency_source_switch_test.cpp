// The MIDI source button: handing the carrier between the panel and MIDI
// notes without a jump, stopped and running, and the three looks of its title.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "frequency/frequency_panel.h"
#include "midi/source_button_colors.h"

namespace tolva {
namespace {

using test::FrequencyPanel;

class FrequencySourceSwitchTest : public ::testing::Test {
  protected:
    ButtonModel& source() { return p.panel.sourceButton; }
    std::optional<RgbaColor> look() { return source().attributedTitle().foreground; }
    // A cycle of the running modulator; the carrier is `frequency` afterwards.
    double cycleFrequency() {
        p.cycle(256);
        return p.c.frequency.load();
    }

    FrequencyPanel p;
};

TEST_F(FrequencySourceSwitchTest, TheThreeLooksAreDistinctAndAllReadMidi) {
    EXPECT_NE(MidiLiveColor, MidiArmedColor);
    EXPECT_EQ((RgbaColor{0.1, 0.9, 0.7, 1.0}), MidiLiveColor);
    EXPECT_EQ((RgbaColor{0.2, 0.6, 0.55, 1.0}), MidiArmedColor);

    EXPECT_EQ(std::nullopt, look());  // plain
    source().userClick();
    EXPECT_EQ(MidiArmedColor, look());
    p.play();
    EXPECT_EQ(MidiLiveColor, look());
    source().userClick();
    EXPECT_EQ(std::nullopt, look());
    EXPECT_EQ("MIDI", source().attributedTitle().text);
    source().userClick();
    EXPECT_EQ(MidiLiveColor, look());
    EXPECT_EQ("MIDI", source().attributedTitle().text);
    p.stop();
    EXPECT_EQ(MidiArmedColor, look());
    EXPECT_EQ("MIDI", source().attributedTitle().text);
}

TEST_F(FrequencySourceSwitchTest, StoppedTheSwitchOnlyArmsMidi) {
    p.panel.frequencySlider.userMove(300);
    pitch.store(64.0);
    source().userClick();
    EXPECT_EQ(1, p.c.midif.load());
    EXPECT_EQ(MidiArmedColor, look());
    EXPECT_EQ(64.0, pitch.load());  // the note is not touched
    EXPECT_EQ(300.0, p.c.frequency.load());
    EXPECT_EQ("300.0 Hz", p.panel.frequencyTextField.stringValue());

    source().userClick();
    EXPECT_EQ(0, p.c.midif.load());
    EXPECT_EQ(std::nullopt, look());
    EXPECT_EQ("MIDI", source().title());
    EXPECT_EQ(64.0, pitch.load());
    EXPECT_EQ(300.0, p.c.frequency.load());
}

TEST_F(FrequencySourceSwitchTest, ArmedMidiDrivesTheCarrierFromTheFirstCycle) {
    source().userClick();
    pitch.store(72.0);
    p.play();
    EXPECT_DOUBLE_EQ(523.2511306011972, cycleFrequency());
    EXPECT_EQ("523.3 Hz", p.panel.frequencyTextField.stringValue());
}

TEST_F(FrequencySourceSwitchTest, RunningAt440TheSwitchStartsFromNote69) {
    p.play();
    cycleFrequency();
    source().userClick();
    EXPECT_EQ(69.0, pitch.load());
    EXPECT_EQ(1, p.c.midif.load());
    EXPECT_EQ(MidiLiveColor, look());
    EXPECT_EQ(440.0, cycleFrequency());
}

TEST_F(FrequencySourceSwitchTest, RunningAt300TheSwitchKeeps300) {
    p.play();
    p.panel.frequencySlider.userMove(300);
    ASSERT_EQ(300.0, cycleFrequency());
    source().userClick();
    EXPECT_NEAR(62.3695077, pitch.load(), 1e-7);
    EXPECT_NEAR(300.0, cycleFrequency(), 1e-9);
    EXPECT_NEAR(300.0, p.panel.frequencySlider.doubleValue(), 1e-9);
    EXPECT_EQ(1.0, p.c.mult.load());
    EXPECT_EQ("300.0 Hz", p.panel.frequencyTextField.stringValue());
}

TEST_F(FrequencySourceSwitchTest, ABendHeldAtTheSwitchAppliesAtTheNextCycle) {
    p.play();
    cycleFrequency();
    bend.store(0.5);  // one semitone with the bend range of 2
    source().userClick();
    EXPECT_EQ(69.0, pitch.load());  // the note ignores the bend
    EXPECT_EQ(440.0, p.c.frequency.load());
    EXPECT_DOUBLE_EQ(466.1637615180899, cycleFrequency());
}

TEST_F(FrequencySourceSwitchTest, BackToThePanelKeepsTheLastMidiFrequency) {
    source().userClick();
    p.play();
    pitch.store(72.0);
    const double note = cycleFrequency();
    source().userClick();
    EXPECT_EQ(0, p.c.midif.load());
    EXPECT_EQ(std::nullopt, look());
    EXPECT_EQ("MIDI", source().title());
    pitch.store(76.0);  // a later note no longer drives the carrier
    EXPECT_EQ(note, cycleFrequency());
    p.panel.frequencySlider.userMove(250);
    EXPECT_EQ(250.0, cycleFrequency());  // the panel does
}

}  // namespace
}  // namespace tolva
