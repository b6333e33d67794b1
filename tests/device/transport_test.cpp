// Play, Stop, Bypass and Mute as the user works them on a running device:
// the states the render thread finds cycle after cycle, the saved states the
// log reports, the button titles, and what Stop releases.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/transport_fixture.h"
#include "midi/source_button_colors.h"

namespace tolva::test {
namespace {

using States = std::vector<int32_t>;
using Log = std::vector<std::string>;

const AttributedTitle kRedBypass{"Bypass", RgbaColor::systemRed()};
const AttributedTitle kRedMute{"Mute", RgbaColor::systemRed()};
const AttributedTitle kPlainBypass{"Bypass", std::nullopt};
const AttributedTitle kPlainMute{"Mute", std::nullopt};

class TransportTest : public TransportFixture {
  protected:
    void SetUp() override {
        TransportFixture::SetUp();
        driveFromThread();
    }

    void bypass() { panel.bypassButton.userClick(); }
    void mute() { panel.muteButton.userClick(); }
    // Lets at least two cycles run, so that any fade the last action asked for is over.
    void settle() { ASSERT_TRUE(waitForCycles(2)); }

    // Since the states were cleared, cycles saw `before`, then exactly one
    // fade-out, then silence.
    void expectFadeOutAfter(int32_t before) {
        States runs = states.runs();
        if (!runs.empty() && runs.front() == before) {
            runs.erase(runs.begin());
        }
        EXPECT_TRUE(runs == States{StateFadeOut} || runs == (States{StateFadeOut, StateSilent}))
            << ::testing::PrintToString(states.seen());
        const States seen = states.seen();
        EXPECT_EQ(std::count(seen.begin(), seen.end(), StateFadeOut), 1);
    }
};

TEST_F(TransportTest, PlayFadesInOverOneCycleAndRuns) {
    play();
    EXPECT_NE(c.toneUnit.load(), nullptr);
    EXPECT_EQ(panel.playButton.title(), "Stop");
    settle();

    EXPECT_EQ(c.state.load(), StateOn);
    const States runs = states.runs();
    ASSERT_GE(runs.size(), 2u);
    EXPECT_EQ(runs[0], StateFadeIn);
    EXPECT_EQ(runs[1], StateOn);
    EXPECT_EQ(states.seen()[1], StateOn);  // the fade lasts exactly one cycle
}

TEST_F(TransportTest, StopFadesOutThenStopsAndReleasesTheDeviceAndTables) {
    playAndSettle();
    EXPECT_GT(panel.levelIndicator.floatValue(), 0.0f);
    states.clear();
    device.clearCallLog();

    play();

    EXPECT_EQ(c.toneUnit.load(), nullptr);
    EXPECT_EQ(c.Trif.load(), nullptr);
    EXPECT_EQ(c.Ramf.load(), nullptr);
    EXPECT_EQ(panel.levelIndicator.floatValue(), 0.0f);
    EXPECT_EQ(panel.playButton.title(), "Play");
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_FALSE(device.running());
    EXPECT_EQ(device.instancesAlive(), 0);
    EXPECT_EQ(device.cyclesAfterStop(), 0u);
    EXPECT_EQ(device.callLog(), (std::vector<AudioCall>{AudioCall::Stop, AudioCall::Uninitialize,
                                                        AudioCall::Dispose}));
    // Cycles at the full level, one fading out, then silence until the device stops.
    expectFadeOutAfter(StateOn);
    EXPECT_TRUE(logEntries().empty());
}

TEST_F(TransportTest, StopKeepsTheSeededStateForTheNextRun) {
    panel.sourceButton.setState(1);
    panel.depthSlider.setDoubleValue(0.4);
    playAndSettle();
    play();

    EXPECT_EQ(c.midif.load(), 1);
    EXPECT_EQ(c.depth.load(), 0.4);
    EXPECT_EQ(c.cycle.load(), 44100);
    EXPECT_EQ(R.load(), 44100.0);
}

TEST_F(TransportTest, StopWhileStoppedDoesNothing) {
    const uint64_t revision = panel.playButton.revision();
    c.stop();

    EXPECT_TRUE(device.callLog().empty());
    EXPECT_EQ(panel.playButton.title(), "Play");
    EXPECT_EQ(panel.playButton.revision(), revision);
    EXPECT_EQ(c.state.load(), StateSilent);
}

TEST_F(TransportTest, StopWhileRunningIsTheStopOfThePlayButton) {
    playAndSettle();
    c.stop();

    EXPECT_EQ(c.toneUnit.load(), nullptr);
    EXPECT_EQ(panel.playButton.title(), "Play");
    EXPECT_EQ(device.instancesAlive(), 0);
    EXPECT_EQ(c.Trif.load(), nullptr);
}

TEST_F(TransportTest, BypassOnAndOffReturnsToTheModulatedSoundAtOnce) {
    playAndSettle();
    bypass();
    EXPECT_EQ(c.state.load(), StateBypass);
    EXPECT_EQ(panel.bypassButton.attributedTitle(), kRedBypass);
    settle();
    EXPECT_EQ(c.state.load(), StateBypass);

    bypass();
    EXPECT_EQ(c.state.load(), StateOn);
    EXPECT_EQ(panel.bypassButton.attributedTitle(), kPlainBypass);
    settle();

    EXPECT_EQ(states.runs(), (States{StateFadeIn, StateOn, StateBypass, StateOn}));
    EXPECT_EQ(logEntries(), (Log{"Unbypass: previous state = 2\n"}));
}

TEST_F(TransportTest, MuteThenBypassThenReleasingBoth) {
    playAndSettle();

    mute();  // returns once the fade-out has been taken up
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_EQ(panel.muteButton.attributedTitle(), kRedMute);
    bypass();
    EXPECT_EQ(c.state.load(), StateSilent);  // still muted; On is saved for later
    settle();
    mute();
    EXPECT_EQ(c.state.load(), StateBypass);
    EXPECT_EQ(panel.muteButton.attributedTitle(), kPlainMute);
    settle();
    bypass();
    EXPECT_EQ(c.state.load(), StateOn);
    settle();

    EXPECT_EQ(states.runs(),
              (States{StateFadeIn, StateOn, StateFadeOut, StateSilent, StateBypass, StateOn}));
    EXPECT_EQ(logEntries(),
              (Log{"Unmute: previous state = 2\n", "Unbypass: previous state = 2\n"}));
}

TEST_F(TransportTest, BypassThenMuteThenReleasingBoth) {
    playAndSettle();

    bypass();
    EXPECT_EQ(c.state.load(), StateBypass);
    settle();
    mute();
    EXPECT_EQ(c.state.load(), StateSilent);
    bypass();
    EXPECT_EQ(c.state.load(), StateSilent);
    settle();
    mute();
    EXPECT_TRUE(c.state.load() == StateFadeIn || c.state.load() == StateOn);
    settle();
    EXPECT_EQ(c.state.load(), StateOn);

    EXPECT_EQ(states.runs(), (States{StateFadeIn, StateOn, StateBypass, StateFadeOut, StateSilent,
                                     StateFadeIn, StateOn}));
    EXPECT_EQ(logEntries(),
              (Log{"Unbypass: previous state = 2\n", "Unmute: previous state = 4\n"}));
}

TEST_F(TransportTest, StopWhileMutedStillPlaysTheFadeOutCycle) {
    playAndSettle();
    mute();
    settle();
    states.clear();

    play();

    EXPECT_EQ(c.toneUnit.load(), nullptr);
    expectFadeOutAfter(StateSilent);
    EXPECT_EQ(device.cyclesAfterStop(), 0u);
}

TEST_F(TransportTest, StopWhileBypassedFadesOutAndStops) {
    playAndSettle();
    bypass();
    settle();
    play();

    EXPECT_EQ(c.toneUnit.load(), nullptr);
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_EQ(panel.bypassButton.attributedTitle(), kRedBypass);  // the button stays on
}

TEST_F(TransportTest, MuteWhileStoppedOnlyColoursItsTitle) {
    c.mutePreviousState = StateBypass;
    mute();
    EXPECT_EQ(panel.muteButton.attributedTitle(), kRedMute);
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_EQ(c.mutePreviousState, StateBypass);
    mute();
    EXPECT_EQ(panel.muteButton.attributedTitle(), kPlainMute);
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_TRUE(logEntries().empty());
    EXPECT_TRUE(device.callLog().empty());
}

TEST_F(TransportTest, PlayWithMuteOnStaysSilentUntilUnmutedThenFadesIn) {
    mute();
    play();
    EXPECT_EQ(c.state.load(), StateSilent);
    settle();
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_EQ(panel.muteButton.attributedTitle(), kRedMute);

    mute();
    settle();
    EXPECT_EQ(c.state.load(), StateOn);
    EXPECT_EQ(states.runs(), (States{StateSilent, StateFadeIn, StateOn}));
    EXPECT_EQ(logEntries(), (Log{"Unmute: previous state = 2\n"}));
}

TEST_F(TransportTest, PlayWithBypassOnPassesTheInputUntilReleased) {
    bypass();  // while stopped: saves Silent
    play();
    EXPECT_EQ(c.state.load(), StateBypass);
    settle();
    EXPECT_EQ(c.state.load(), StateBypass);

    bypass();
    EXPECT_EQ(c.state.load(), StateOn);  // not the Silent saved while stopped
    settle();
    EXPECT_EQ(states.runs(), (States{StateBypass, StateOn}));
    EXPECT_EQ(logEntries(), (Log{"Unbypass: previous state = 2\n"}));
}

TEST_F(TransportTest, PlayWithBothOnStaysSilentThenReleasesIntoBypassThenOn) {
    bypass();
    mute();
    play();
    EXPECT_EQ(c.state.load(), StateSilent);
    settle();

    mute();
    EXPECT_EQ(c.state.load(), StateBypass);
    settle();
    bypass();
    EXPECT_EQ(c.state.load(), StateOn);
    settle();

    EXPECT_EQ(states.runs(), (States{StateSilent, StateBypass, StateOn}));
    EXPECT_EQ(logEntries(),
              (Log{"Unmute: previous state = 4\n", "Unbypass: previous state = 2\n"}));
}

TEST_F(TransportTest, BypassWhileStoppedSwitchesTheStateItFinds) {
    bypass();
    EXPECT_EQ(c.state.load(), StateBypass);
    EXPECT_EQ(c.bypassPreviousState, StateSilent);
    EXPECT_EQ(panel.bypassButton.attributedTitle(), kRedBypass);

    bypass();
    EXPECT_EQ(c.state.load(), StateSilent);
    EXPECT_EQ(panel.bypassButton.attributedTitle(), kPlainBypass);
    EXPECT_EQ(logEntries(), (Log{"Unbypass: previous state = 0\n"}));
}

TEST_F(TransportTest, WithMidiAsTheSourceItsTitleShowsLiveWhileRunningAndArmedWhenStopped) {
    panel.sourceButton.userClick();  // stopped: armed
    ASSERT_EQ(panel.sourceButton.attributedTitle(), (AttributedTitle{"MIDI", MidiArmedColor}));

    play();
    EXPECT_EQ(panel.sourceButton.attributedTitle(), (AttributedTitle{"MIDI", MidiLiveColor}));
    settle();
    play();
    EXPECT_EQ(panel.sourceButton.attributedTitle(), (AttributedTitle{"MIDI", MidiArmedColor}));
}

TEST_F(TransportTest, WithThePanelAsTheSourcePlayAndStopLeaveItsTitleAlone) {
    const AttributedTitle before = panel.sourceButton.attributedTitle();
    const uint64_t revision = panel.sourceButton.revision();

    playAndSettle();
    play();

    EXPECT_EQ(panel.sourceButton.attributedTitle(), before);
    EXPECT_EQ(panel.sourceButton.revision(), revision);
}

TEST_F(TransportTest, SavedStatesSurvivePlayAndStop) {
    playAndSettle();
    bypass();
    play();  // Stop while bypassed
    EXPECT_EQ(c.bypassPreviousState, StateOn);
    bypass();  // released while stopped: back to the saved state
    EXPECT_EQ(c.state.load(), StateOn);
    EXPECT_EQ(logEntries(), (Log{"Unbypass: previous state = 2\n"}));
}

}  // namespace
}  // namespace tolva::test
