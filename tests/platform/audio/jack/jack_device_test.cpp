// Tolva's JACK device as the window plays it, heard at the speakers of a fake
// card on a jackd of the test's own: exact samples at no added latency through
// new period sizes, fades of one cycle that the speakers hear whole from the
// first, and a cycle that stalls through Stop. (The modulated spectrum and a
// server that goes away are the end-to-end test's.)

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <thread>

#include "app/control_panel.h"
#include "jack_test_server.h"
#include "platform/audio/jack/jack_audio_device.h"
#include "support/realtime_checker.h"

namespace tolva::test {
namespace {

// The device with each render cycle watched: its allocations counted, one
// cycle made to stall on request, and whether it was freed under a cycle.
std::atomic<int> gInside{0};
std::atomic<bool> gStallNext{false};
std::atomic<bool> gFreedUnderCycle{false};
std::atomic<uint64_t> gXruns{0};  // reported to the devices that have closed

struct WatchedJack final : JackAudioDevice, AudioCycleHost {
    ~WatchedJack() override {
        gFreedUnderCycle = gFreedUnderCycle || gInside > 0;
        gXruns += xruns();
    }
    OSStatus start(AudioCycleHost& unit) override {
        host = &unit;
        return JackAudioDevice::start(*this);
    }
    void renderCycle(UInt32 frames, float* buffer) TOLVA_NONBLOCKING override {
        ++gInside;
        RealtimeSection realtime;
        host->renderCycle(frames, buffer);
        if (gStallNext.exchange(false)) {
            TOLVA_TEST_BOOKKEEPING_SCOPE;
            std::this_thread::sleep_for(std::chrono::seconds(3));
        }
        --gInside;
    }
    void sampleRateChanged() override { host->sampleRateChanged(); }
    AudioCycleHost* host = nullptr;
};

// The modulator with its panel, playing on the server at the smallest period,
// where a lost cycle is likeliest: a 440 Hz sine carrier at full depth, and no MIDI.
class JackDeviceTest : public ::testing::Test, AudioDeviceProvider {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << "no JACK server";
        panel.connect(c);
        c.mult.store(1.0);
        midi.store(1);
        setAudioDeviceProvider(this);
    }
    void TearDown() override {
        c.stop();
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }
    std::unique_ptr<AudioDeviceBackend> createDevice() override {
        return std::make_unique<WatchedJack>();
    }
    void click(ButtonModel& button, unsigned cycles = 8) {
        button.userClick();
        ASSERT_TRUE(server.speakers->recordMore(cycles * server.period));
    }

    JackTestServer server{64};
    RingModulatorViewController c;
    ControlPanel panel;
};

float voice(uint32_t frame) {
    return static_cast<float>(0.25 * std::sin(2.0 * M_PI * 331.0 * (frame % 48000) / 48000.0));
}

TEST_F(JackDeviceTest, DepthZeroAndBypassPlayTheMicBitForBitInTheSameCycleAtEveryPeriod) {
    server.mic->signal = &voice;
    panel.depthSlider.userMove(0.0);
    click(panel.playButton, 376);
    panel.bypassButton.userClick();
    panel.depthSlider.userMove(1.0);
    for (jack_nframes_t period : {512u, 64u, 1024u}) {
        // The server may refuse a new period while a graph change is under way.
        ASSERT_TRUE(
            waitUntil([&] { return jack_set_buffer_size(server.mic->client, period) == 0; }));
        ASSERT_TRUE(server.speakers->recordMore(8192));
    }
    const std::vector<float>& heard = server.speakers->stop();
    size_t same = 0, wrong = 0;
    for (size_t i = 0; i < server.speakers->recorded; ++i) {
        const float sent = voice(server.speakers->firstFrame + static_cast<uint32_t>(i));
        same += heard[i] == sent ? 1 : 0;
        wrong += heard[i] != sent && heard[i] != 0.0f ? 1 : 0;  // 0: a cycle the server skipped
    }
    EXPECT_GT(same, 24000u);
    EXPECT_LT(wrong, 200u) << "frames heard differ from those the mic played at that frame";
}

// The first cycle the speakers hear of a Play is its fade-in, and no render
// cycle allocates.
TEST_F(JackDeviceTest, PlayMuteUnmuteAndStopEachFadeOverOneHeardCycle) {
    // The input as its own carrier at full depth on a steady 0.5: the
    // speakers hear 0.25 times the envelope.
    server.mic->signal = [](uint32_t) { return 0.5f; };
    panel.segCtrlCarrWave.userSelect(WaveSelf);
    c.previous_depth.store(1.0);
    constexpr float kSteady = 0.25f * kEnvelopeOnLevel;
    resetRealtimeViolations();
    // A run the server could not keep up with (it reports an xrun) may lose any
    // cycle, and its letter with it: such a run is played again.
    std::string shapes;
    for (int run = 0; run < 4 && (run == 0 || gXruns > 0); ++run) {
        gXruns = 0;
        const uint64_t from = server.speakers->recorded;
        for (ButtonModel* button : {&panel.playButton, &panel.muteButton, &panel.muteButton,
                                    &panel.playButton, &panel.playButton, &panel.playButton}) {
            click(*button, 16);
        }
        // Each heard cycle as a letter, a run of the steady level as one: O
        // steady, I a fade-in from 0, F a fade-out from steady, ? anything else,
        // X a cycle that never reached the speakers (whatever Tolva played in
        // it); silence leaves no letter.
        shapes = "F";  // the silence before Play
        for (uint64_t at = from; at + 64 <= server.speakers->recorded; at += 64) {
            const float* y = &server.speakers->samples[at];
            const bool flat = std::all_of(y, y + 64, [&](float v) { return v == *y; });
            const bool up = std::is_sorted(y, y + 64) && *y == 0.0f && y[63] < kSteady;
            const bool down = std::is_sorted(y, y + 64, std::greater<>()) && *y == kSteady;
            const char shape = server.speakers->missedBetween(at, at + 64) ? 'X'
                               : flat ? "S?O"[(*y > 0.0f) + (*y == kSteady)]
                               : up   ? 'I'
                               : down ? 'F'
                                      : '?';
            // A cycle missed amid the steady level hides nothing.
            const size_t lastHeard = shapes.find_last_not_of('X');
            if (shape != 'S' && (shape != 'O' || shapes[lastHeard] != 'O')) {
                shapes += shape;
            }
        }
    }
    if (gXruns > 0) {
        GTEST_SKIP() << "the server lost cycles in every run; no run to judge";
    }
    // The process's first client may start late on a busy machine and miss its
    // first cycle unreported: that may cost the first fade-in, and only it.
    // A cycle the speakers never got may have held any one letter.
    const std::string heard = std::regex_replace(shapes, std::regex("^FO"), "FIO");
    EXPECT_TRUE(std::regex_match("FIOFIOFIOF",
                                 std::regex(std::regex_replace(heard, std::regex("X"), "[FIO]?"))))
        << heard << ": a Play or Mute without its one-cycle fade, or a Play that began with a step";
    EXPECT_EQ(realtimeViolations().allocations, 0u);
}

TEST_F(JackDeviceTest, StopNeverFreesTheDeviceUnderACycleThatOutlivesIt) {
    click(panel.playButton);
    gStallNext = true;
    ASSERT_TRUE(waitUntil([] { return !gStallNext && gInside > 0; }));
    c.stop();
    EXPECT_EQ(c.toneUnit.load(), nullptr);
    ASSERT_TRUE(waitUntil([] { return gInside == 0; }));
    EXPECT_FALSE(gFreedUnderCycle) << "Stop freed the device while a cycle ran in it";
}

}  // namespace
}  // namespace tolva::test
