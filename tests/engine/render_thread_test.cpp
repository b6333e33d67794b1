// The render thread against the others: fade requests and Bypass that are
// never lost, controller values that always arrive, three threads at once
// (run under ThreadSanitizer), and a render thread that never allocates.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
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

TEST_F(RenderThreadRunning, TheLastControllerValuesAlwaysReachTheSliders) {
    m.c.midif.store(1);
    for (int burst = 0; burst < 20; ++burst) {
        double last = 0.0;
        std::thread midiThread([&] {
            for (int k = 1; k <= 2000; ++k) {
                last = static_cast<double>((k * 37 + burst) % 128) / 127.0;
                mmi.store(last, std::memory_order_relaxed);
                changed.store(1, std::memory_order_release);
                nonl.store(1.0 + 3.0 * last, std::memory_order_relaxed);
                changen.store(1, std::memory_order_release);
            }
        });
        midiThread.join();
        m.waitForCycles(1);
        ASSERT_EQ(last, m.c.depth.load()) << "burst " << burst;
        ASSERT_EQ(last, m.panel.depthSlider.doubleValue());
        ASSERT_EQ(1.0 + 3.0 * last, m.panel.nonlSlider.doubleValue());
    }
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
    const std::function<void(double)> changes[] = {
        [&](double u) { m.c.frequency.store(u * 96000.0); },
        [&](double u) { m.c.wave.store(static_cast<int32_t>(u * 4)), m.c.diode.store(u > 0.5); },
        [&](double u) { nonl.store(1.0 + 3.0 * u), changen.store(1); },
        [&](double u) { m.c.state.store(static_cast<int32_t>(u * 5)); },
        [&](double u) { m.c.midif.store(u > 0.5); },
        [&](double u) { pitch.store(u * 127.0), mmi.store(u), changed.store(1); },
    };
    std::mt19937 random(77);
    while (!done.load()) {
        changes[random() % 6](static_cast<int>(random() % 10000) / 10000.0);
        std::this_thread::yield();
    }
    render.join();
    EXPECT_EQ(0u, test::realtimeViolations().allocations);
}

}  // namespace
}  // namespace tolva
