// Play, Stop, Bypass and Mute as a user presses them: the states the render
// thread goes through, the log lines, the titles, a device that stops calling
// back, and hundreds of runs that always end cleanly.

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "midi/source_button_colors.h"
#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::PlayedModulator;

struct Gestures {
    std::string presses;  // p: Play/Stop, b: Bypass, m: Mute, s: the MIDI source
    std::vector<int32_t> statesSeen;
    std::vector<std::string> log;
};

constexpr int32_t Si = StateSilent, In = StateFadeIn, On = StateOn, Out = StateFadeOut,
                  By = StateBypass;

TEST(Transport, GestureSequencesGoThroughTheirStates) {
    const Gestures sequences[] = {
        {"pp", {In, On, Out}, {}},
        {"pbb", {In, On, By, On}, {"Unbypass: previous state = 2\n"}},
        {"pmbmb",
         {In, On, Out, Si, By, On},
         {"Unmute: previous state = 2\n", "Unbypass: previous state = 2\n"}},
        {"pbmbm",
         {In, On, By, Out, Si, In, On},
         {"Unbypass: previous state = 2\n", "Unmute: previous state = 4\n"}},
        {"pmp", {In, On, Out, Si, Out}, {}},
        {"pbp", {In, On, By, Out}, {}},
        // Buttons already on at Play: the sound follows what they show.
        {"mpm", {Si, In, On}, {"Unmute: previous state = 2\n"}},
        {"bpb", {By, On}, {"Unbypass: previous state = 2\n"}},
        {"mbpmb", {Si, By, On}, {"Unmute: previous state = 4\n", "Unbypass: previous state = 2\n"}},
        {"spsp", {In, On, Out}, {}},
        {"psp", {In, On, Out}, {}},
    };
    for (const Gestures& g : sequences) {
        PlayedModulator m;
        m.driveFromThread();
        for (char press : g.presses) {
            ButtonModel& button = press == 'p'   ? m.panel.playButton
                                  : press == 'b' ? m.panel.bypassButton
                                  : press == 's' ? m.panel.sourceButton
                                                 : m.panel.muteButton;
            button.userClick();
            if (m.running()) {
                m.waitForCycles(2);
            }
        }
        std::vector<int32_t> seen = m.states.runs();
        if (!m.running() && seen.size() > 1 && seen.back() == Si) {
            seen.pop_back();  // cycles between the fade-out and the device's stop
        }
        EXPECT_EQ(g.statesSeen, seen) << g.presses;
        std::vector<std::string> log = m.log();
        log.erase(log.begin());  // the MIDI connection's line
        EXPECT_EQ(g.log, log) << g.presses;
        for (ButtonModel* b : {&m.panel.bypassButton, &m.panel.muteButton}) {
            const auto colour = b->attributedTitle().foreground;
            EXPECT_EQ(b->state() == 1, colour == RgbaColor::systemRed()) << g.presses;
        }
        EXPECT_EQ(m.running() ? "Stop" : "Play", m.panel.playButton.title()) << g.presses;
        // The source's three looks: the panel's, MIDI armed while stopped, MIDI live.
        const auto midiLook = m.c.midif.load() == 0
                                  ? std::nullopt
                                  : std::optional(m.running() ? MidiLiveColor : MidiArmedColor);
        EXPECT_EQ(midiLook, m.panel.sourceButton.attributedTitle().foreground) << g.presses;
        EXPECT_EQ(0.0f, m.running() ? 0.0f : m.panel.levelIndicator.floatValue());
    }
}

TEST(Transport, ADeviceThatStopsCallingBackHoldsNeitherStopNorMute) {
    for (ButtonModel* (*button)(PlayedModulator&) :
         {+[](PlayedModulator& m) { return &m.panel.muteButton; },
          +[](PlayedModulator& m) { return &m.panel.playButton; }}) {
        PlayedModulator m;
        m.driveFromThread();
        m.play();
        m.waitForCycles(2);
        m.device.stopCallingBack();
        button(m)->userClick();
        const std::vector<std::string> log = m.log();
        EXPECT_EQ("Audio device stopped calling back; fade-out skipped\n", log.back());
        m.c.stop();
        EXPECT_FALSE(m.running());
        EXPECT_EQ(0, m.device.instancesAlive());
        m.play();  // the next Play works
        m.waitForCycles(2);
    }
}

TEST(Transport, HundredsOfRunsOfRandomLengthEndCleanly) {
    PlayedModulator m;
    m.device.driveFromThread([](uint64_t k) { return static_cast<UInt32>(1 + k * 7919 % 700); },
                             std::chrono::microseconds(50));
    std::mt19937 random(5);
    for (int run = 0; run < 300; ++run) {
        m.play();
        for (unsigned k = random() % 4; k > 0; --k) {
            (random() % 2 == 0 ? m.panel.bypassButton : m.panel.muteButton).userClick();
        }
        m.waitForCycles(random() % 3);
        m.stop();
        ASSERT_EQ(0u, m.device.cyclesAfterStop()) << run;
        ASSERT_EQ(0, m.device.instancesAlive()) << run;
        ASSERT_EQ(nullptr, m.c.Trif.load()) << run;
    }
}

}  // namespace
}  // namespace tolva
