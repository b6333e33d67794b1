// The render cycle against the other threads: fade requests and Bypass that
// are never lost or overwritten, controller values that always arrive, and
// three threads at once (run it under ThreadSanitizer).

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "support/render_rig.h"

namespace tolva {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kHangGuard = std::chrono::seconds(20);

// Waits until `done` holds; false when the hang guard ran out first.
template <typename Done>
bool waitUntil(Done done) {
    const auto deadline = Clock::now() + kHangGuard;
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Waits until `count` whole cycles have begun and ended after this call.
bool waitForCycles(const ManualAudioDevice& device, uint64_t count) {
    const uint64_t target = device.cyclesRun() + count + 1;
    return waitUntil([&] { return device.cyclesRun() >= target; });
}

class RenderThreadRunning : public ::testing::Test {
  protected:
    RenderThreadRunning() {
        // Short cycles back to back: the render thread reads the state as often as it can.
        rig.device.driveFromThread(8, std::chrono::microseconds(0));
        rig.c.wave.store(WaveSine);
        rig.settle(1.0, 440.0);
        rig.start();
    }
    test::RenderRig rig{48000.0};
};

TEST_F(RenderThreadRunning, StopPressedDuringTheFadeInStillFadesOut) {
    for (int round = 0; round < 500; ++round) {
        rig.c.state.store(StateFadeIn);
        rig.c.state.store(StateFadeOut);
        ASSERT_TRUE(waitUntil([&] { return rig.c.state.load() == StateSilent; }))
            << "round " << round << ": the fade-out was lost, state " << rig.c.state.load();
    }
}

TEST_F(RenderThreadRunning, BypassPressedDuringTheFadeInIsKept) {
    for (int round = 0; round < 500; ++round) {
        rig.c.state.store(StateOn);
        rig.c.state.store(StateFadeIn);
        rig.c.state.store(StateBypass);
        ASSERT_TRUE(waitForCycles(rig.device, 1));
        ASSERT_EQ(StateBypass, rig.c.state.load()) << "round " << round;
    }
}

TEST_F(RenderThreadRunning, LastControllerOneValueAlwaysReachesTheDepth) {
    rig.c.midif.store(1);
    for (int burst = 0; burst < 20; ++burst) {
        std::atomic<bool> go{false};
        double last = 0.0;
        std::thread midiThread([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            for (int k = 1; k <= 2000; ++k) {
                last = static_cast<double>((k * 37 + burst) % 128) / 127.0;
                mmi.store(last, std::memory_order_relaxed);
                changed.store(1, std::memory_order_release);
            }
        });
        go.store(true);
        midiThread.join();
        ASSERT_TRUE(waitForCycles(rig.device, 1));
        ASSERT_EQ(last, rig.c.depth.load()) << "burst " << burst;
        ASSERT_EQ(last, rig.depthSlider.doubleValue());
        ASSERT_EQ(0, changed.load());
    }
}

// The panel's user, the render thread and a MIDI keyboard at once. Every
// value they share is an atomic; ThreadSanitizer reports any that is not.
TEST(ThreeThreads, PanelRenderAndMidiTogetherStayClean) {
    test::RenderRig rig{44100.0};
    rig.device.driveFromThread(
        [](uint64_t index) { return static_cast<UInt32>((index * 2654435761u) % 1500); },
        std::chrono::microseconds(0));
    SegmentedControlModel waves{4, 1};
    ButtonModel diodeButton{ButtonModel::Kind::OnOff, "Diode"};
    rig.c.setSegCtrlCarrWave(&waves);
    rig.c.setDiodeButton(&diodeButton);
    rig.depthSlider.setAction([&](SliderModel& s) { rig.c.depthChanged(&s); });
    rig.nonlSlider.setAction([&](SliderModel& s) { rig.c.nonlChanged(&s); });
    waves.setAction([&](SegmentedControlModel& s) { rig.c.segCtrlWaveClicked(&s); });
    diodeButton.setAction([&](ButtonModel& b) { rig.c.diodeButtonClicked(&b); });
    rig.c.state.store(StateFadeIn);
    rig.start();

    std::atomic<bool> stop{false};
    std::thread midiThread([&] {
        std::mt19937 random(1);
        while (!stop.load()) {
            pitch.store(static_cast<double>(random() % 128));
            bend.store((static_cast<double>(random() % 16384) - 8192.0) / 8192.0);
            mmi.store(static_cast<double>(random() % 128) / 127.0);
            changed.store(1, std::memory_order_release);
            nonl.store(1.0 + static_cast<double>(random() % 128) * 3.0 / 127.0);
            changen.store(1, std::memory_order_release);
            std::this_thread::yield();
        }
    });

    std::mt19937 random(2);
    const auto end = Clock::now() + std::chrono::milliseconds(1500);
    int fades = 0;
    while (Clock::now() < end) {
        switch (random() % 9) {
            case 0:
                rig.depthSlider.userMove(static_cast<double>(random() % 101) / 100.0);
                break;
            case 1:
                rig.nonlSlider.userMove(1.0 + static_cast<double>(random() % 31) / 10.0);
                break;
            case 2:
                waves.userSelect(static_cast<int64_t>(random() % 4));
                break;
            case 3:
                diodeButton.userClick();
                break;
            case 4:
                rig.c.frequency.store(20.0 + static_cast<double>(random() % 5000));
                break;
            case 5:
                rig.c.midif.store(static_cast<int64_t>(random() % 2));
                break;
            case 6:
                rig.c.state.store(random() % 2 == 0 ? StateBypass : StateFadeIn);
                break;
            case 7:
                rig.c.state.store(StateFadeOut);
                ASSERT_TRUE(waitUntil([&] { return rig.c.state.load() == StateSilent; }));
                ++fades;
                break;
            default:
                // The window's timer reads what the render thread shows.
                (void)rig.frequencyText.stringValue();
                (void)rig.frequencySlider.doubleValue();
                (void)rig.segCtrlMult.selectedSegment();
                (void)rig.level.floatValue();
                (void)rig.nonlSlider.doubleValue();
                break;
        }
    }
    stop.store(true);
    midiThread.join();
    rig.stop();
    EXPECT_GT(rig.device.cyclesRun(), 0u);
    EXPECT_GT(fades, 0);
    EXPECT_EQ(0u, rig.device.cyclesAfterStop());
}

}  // namespace
}  // namespace tolva
