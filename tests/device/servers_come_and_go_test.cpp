// The modulator while the servers behind it come and go: MIDI whose server
// went away, made again with the channel filter the pop-up shows, and a rate
// that changes under the running unit. (A device that goes away is the
// end-to-end test's.)

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/played_modulator.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

using test::PlayedModulator;

TEST(ServersComeAndGo, MidiIsMadeAgainAfterItsServerWentAwayWithThePopUpsChannel) {
    PlayedModulator m;
    m.driveFromThread(256, std::chrono::microseconds(500));
    m.midi.addSource("keys");
    ASSERT_TRUE(m.panel.midiPopupButton.userSelect(4));  // MIDI channel 3, before the first Play
    const auto made = [&] {
        const std::vector<std::string> log = m.log();
        return std::count(log.begin(), log.end(), "MIDI Sources: 1");
    };
    for (int press = 0; press < 4; ++press) {
        m.play();  // Play, Stop, Play, Stop
    }
    EXPECT_EQ(1, made()) << "made again while its server ran";
    m.midi.loseServer();
    m.play();
    EXPECT_EQ(2, made());
    for (const InProcessMidiServices::Packet& key :
         {std::vector<uint8_t>{0x90, 0x50, 100}, std::vector<uint8_t>{0x92, 0x52, 100}}) {
        m.midi.send(0, {key});
        ASSERT_TRUE(m.midi.waitUntilDelivered());
    }
    EXPECT_EQ(1, hold.load()) << "channel 1 was heard";
    EXPECT_EQ(0x52, pitch.load()) << "the new port hears nothing";
}

TEST(ServersComeAndGo, ARateChangeUnderTheRunningUnitKeepsTheCarrierAtItsFrequency) {
    PlayedModulator m;
    m.play();
    m.render(std::vector<float>(256, 0.5f));
    m.device.changeSampleRate(44100.0);
    std::vector<float> heard;
    for (int k = 0; k < 98; ++k) {
        const std::vector<float> cycle = m.render(std::vector<float>(225, 0.5f));
        heard.insert(heard.end(), cycle.begin(), cycle.end());
    }
    // A steady 0.5 at full depth plays the carrier itself, at 0.5 of the envelope.
    EXPECT_NEAR(test::toneAmplitude(heard, 440.0, 44100.0), 0.5 * kEnvelopeOnLevel, 0.01);
}

}  // namespace
}  // namespace tolva
