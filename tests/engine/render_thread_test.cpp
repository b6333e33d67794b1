// The render thread against the others: fade requests and Bypass that are
// never lost, controller values that always arrive, three threads at once
// (run under ThreadSanitizer), and a render thread that never allocates.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "engine/render_limits.h"
#include "support/played_modulator.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

using test::PlayedModulator;

// Waits until `done` holds (a hang guard, not a timing).
template <typename Done>
bool eventually(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

// Short cycles back to back: the render thread reads the state as often as it can.
class RenderThreadRunning : public ::testing::Test {
  protected:
    void SetUp() override {
        m.driveFromThread(8, std::chrono::microseconds(0));
        m.play();
    }
    PlayedModulator m;
};

TEST_F(RenderThreadRunning, RequestsMadeAsAFadeInEndsAreKept) {
    for (int round = 0; round < 5000; ++round) {
        m.c.state.store(StateFadeIn);
        for (volatile int spin = round % 97 * 4; spin > 0;) {
            spin = spin - 1;  // the request lands anywhere in the cycle that takes the fade-in up
        }
        m.c.state.store(StateFadeOut);
        ASSERT_TRUE(eventually([&] { return m.c.state.load() == StateSilent; }))
            << "round " << round << ": the fade-out was lost";
        m.c.state.store(StateFadeIn);
        for (volatile int spin = round % 89 * 4; spin > 0;) {
            spin = spin - 1;
        }
        m.c.state.store(StateBypass);
        m.waitForCycles(1);
        ASSERT_EQ(StateBypass, m.c.state.load()) << "round " << round;
    }
}

TEST_F(RenderThreadRunning, TheLastModulationWheelValueAlwaysBecomesTheDepth) {
    m.c.midif.store(1);
    for (int burst = 0; burst < 20; ++burst) {
        double last = 0.0;
        std::thread midiThread([&] {
            for (int k = 1; k <= 2000; ++k) {
                last = static_cast<double>((k * 37 + burst) % 128) / 127.0;
                mmi.store(last, std::memory_order_relaxed);
                changed.store(1, std::memory_order_release);
            }
        });
        midiThread.join();
        m.waitForCycles(1);
        ASSERT_EQ(last, m.c.depth.load()) << "burst " << burst;
        ASSERT_EQ(last, m.panel.depthSlider.doubleValue());
    }
}

// The panel's user, the render thread and a MIDI keyboard at once, on cycles
// of changing length. Every value they share is an atomic.
TEST(ThreeThreads, PanelRenderAndMidiTogether) {
    PlayedModulator m;
    m.device.driveFromThread(
        [](uint64_t k) { return static_cast<UInt32>((k * 2654435761u) % 1500); },
        std::chrono::microseconds(0));
    m.play();
    std::atomic<bool> stop{false};
    std::thread midiThread([&] {
        for (uint32_t k = 0; !stop.load(); ++k) {
            pitch.store(k % 128);
            bend.store((k % 16384 - 8192.0) / 8192.0);
            mmi.store((k % 128) / 127.0);
            changed.store(1, std::memory_order_release);
            nonl.store(1.0 + (k % 128) * 3.0 / 127.0);
            changen.store(1, std::memory_order_release);
            std::this_thread::yield();
        }
    });
    std::mt19937 generator(2);
    auto random = [&generator] { return static_cast<int>(generator() % 65536); };
    for (int k = 0; k < 3000; ++k) {
        switch (random() % 8) {
            case 0:
                m.panel.depthSlider.userMove((random() % 101) / 100.0);
                break;
            case 1:
                m.panel.nonlSlider.userMove(1.0 + (random() % 31) / 10.0);
                break;
            case 2:
                m.panel.segCtrlCarrWave.userSelect(random() % 4);
                break;
            case 3:
                m.panel.diodeButton.userClick();
                break;
            case 4:
                m.panel.frequencySlider.userMove(55.0 + random() % 1700);
                break;
            case 5:
                m.panel.sourceButton.userClick();
                break;
            case 6:
                m.panel.bypassButton.userClick();
                break;
            default:  // the window's timer reads what the render thread shows
                (void)m.panel.frequencyTextField.stringValue();
                (void)m.panel.levelIndicator.floatValue();
        }
        std::this_thread::yield();
    }
    stop.store(true);
    midiThread.join();
    m.stop();
    EXPECT_EQ(0u, m.device.cyclesAfterStop());
}

// Every carrier, the diode, the MIDI follow and the controller hand-over, on
// cycles of every length up to the largest a device asks for, while another
// thread changes everything the cycle reads.
TEST(RealtimeProof, TheRenderCycleNeverAllocates) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr int kCycles = 3000;
#else
    constexpr int kCycles = 30000;
#endif
    PlayedModulator m;
    m.play();
    std::vector<float> buffer(kMaxDeviceFrames);
    std::atomic<bool> done{false};
    std::thread render([&] {
        for (int warm = 0; warm < 16; ++warm) {  // faults in each pass's code first
            m.c.midif.store(warm / 8);
            m.c.wave.store(warm % 4);
            m.c.diode.store(warm / 4 % 2);
            m.device.runCycle(256, buffer.data());
        }
        test::resetRealtimeViolations();
        uint32_t seed = 12345;
        for (int k = 0; k < kCycles; ++k) {
            seed = seed * 1664525u + 1013904223u;
            test::RealtimeSection section;
            m.device.runCycle((seed >> 8) % (kMaxDeviceFrames + 1), buffer.data());
        }
        done.store(true);
    });
    std::mt19937 generator(77);
    auto random = [&generator] { return static_cast<int>(generator() % 65536); };
    while (!done.load()) {
        const double unit = (random() % 10001) / 10000.0;
        switch (random() % 6) {
            case 0:
                m.c.frequency.store(unit * 96000.0);
                break;
            case 1:
                m.c.wave.store(random() % 4);
                m.c.diode.store(random() % 2);
                break;
            case 2:
                nonl.store(1.0 + 3.0 * unit);
                changen.store(1);
                break;
            case 3:
                m.c.state.store(random() % 5);
                break;
            case 4:
                m.c.midif.store(random() % 2);
                break;
            default:
                pitch.store(unit * 127.0);
                mmi.store(unit);
                changed.store(1, std::memory_order_release);
        }
        std::this_thread::yield();
    }
    render.join();
    EXPECT_EQ(0u, test::realtimeViolations().allocations);
}

}  // namespace
}  // namespace tolva
