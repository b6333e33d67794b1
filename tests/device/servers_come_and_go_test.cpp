// The modulator on the test device and the in-process MIDI services while the
// servers behind them come and go: MIDI whose server went away, made again
// with the channel filter the pop-up shows, and a rate that changes under the
// running unit. (A device that goes away is the end-to-end test's.)

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/control_panel.h"
#include "platform/audio/manual_audio_device.h"
#include "platform/log/system_log.h"
#include "platform/midi/in_process_midi_services.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

class ServersComeAndGoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        panel.connect(c);
        c.mult.store(1.0);  // 440 Hz on the panel's slider
        setAudioDeviceProvider(&device);
        setMidiServicesProvider(&midiServices);
        setSystemLogSink([this](std::string_view entry) { log.emplace_back(entry); });
        device.driveFromThread(256, std::chrono::microseconds(500));
        midiServices.addSource("keys");
    }
    void TearDown() override {
        c.stop();
        setSystemLogSink({});
        setMidiServicesProvider(nullptr);
        setAudioDeviceProvider(nullptr);
    }
    void strike(uint8_t status, uint8_t note) {
        midiServices.send(0, {{status, note, 100}});
        ASSERT_TRUE(midiServices.waitUntilDelivered());
    }
    long count(const std::string& entry) const { return std::count(log.begin(), log.end(), entry); }

    ManualAudioDevice device{48000.0};
    InProcessMidiServices midiServices;
    RingModulatorViewController c;
    ControlPanel panel;
    std::vector<std::string> log;
};

TEST_F(ServersComeAndGoTest, MidiIsMadeAgainAfterItsServerWentAwayWithThePopUpsChannel) {
    ASSERT_TRUE(panel.midiPopupButton.userSelect(4));  // MIDI channel 3, before the first Play
    for (int play = 0; play < 4; ++play) {
        panel.playButton.userClick();
    }
    EXPECT_EQ(count("MIDI Sources: 1"), 1) << "made again while its server ran";
    midiServices.loseServer();
    panel.playButton.userClick();
    EXPECT_EQ(count("MIDI Sources: 1"), 2);
    strike(0x90, 50);
    EXPECT_EQ(hold.load(), 0) << "channel 1 was heard";
    strike(0x92, 55);
    EXPECT_EQ(pitch.load(), 55.0) << "the new port hears nothing";
}

TEST_F(ServersComeAndGoTest, ARateChangeUnderTheRunningUnitKeepsTheCarrierAtItsFrequency) {
    device.driveManually();
    device.setInput(
        [](float* dst, UInt32 frames, uint64_t) { std::fill(dst, dst + frames, 0.5f); });
    panel.playButton.userClick();
    std::vector<float> heard(22050);
    device.runCycle(256, heard.data());
    device.changeSampleRate(44100.0);
    for (size_t at = 0; at < heard.size(); at += 225) {
        device.runCycle(225, &heard[at]);
    }
    // A steady 0.5 at full depth plays the carrier itself, at 0.5 of the envelope.
    EXPECT_NEAR(test::toneAmplitude(heard, 440.0, 44100.0), 0.5 * kEnvelopeOnLevel, 0.01);
}

}  // namespace
}  // namespace tolva
