#pragma once

// The modulator wired to its panel and playing through a JACK server of the
// test's own, as the application would on a machine where JACK runs.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "jack_probe_clients.h"
#include "jack_test_server.h"
#include "recording_jack_provider.h"
#include "support/launch_state.h"

namespace tolva::test {

// Generous: only a guard against hangs on a loaded machine.
inline constexpr std::chrono::milliseconds kHangGuard{10000};

class JackDeviceTest : public ::testing::Test {
  protected:
    explicit JackDeviceTest(unsigned period = 256) : server(period) {}

    void SetUp() override {
        ASSERT_TRUE(server.start()) << "jackd did not come up";
        prepareForPlay(c, panel);
        setAudioDeviceProvider(&provider);
    }

    void TearDown() override {
        if (c.toneUnit.load() != nullptr) {
            c.stop();
        }
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }

    void play() { panel.playButton.userClick(); }
    bool running() const { return c.toneUnit.load() != nullptr; }

    // Waits until `count` more cycles of the running unit have been recorded.
    bool waitForCycles(size_t count) {
        const size_t target = provider.recorder->cycles() + count;
        return waitUntil([&] { return provider.recorder->cycles() >= target; }, kHangGuard);
    }

    JackTestServer server;
    RecordingJackProvider provider;
    ControlPanel panel;
    RingModulatorViewController c;
};

// Sample of the test signal at an absolute frame: a quiet tone that never
// repeats within a second, with a marker of 0.875 every 480 frames. A sample
// heard one frame early or late differs from the one expected.
inline float markedSignal(uint32_t frame) {
    if (frame % 480 == 0) {
        return 0.875f;
    }
    const double t = static_cast<double>(frame % 48000) / 48000.0;
    return static_cast<float>(0.25 * std::sin(2.0 * 3.141592653589793 * 331.0 * t));
}

}  // namespace tolva::test
