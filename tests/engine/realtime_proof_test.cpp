// The render thread never allocates, locks, calls into the system or blocks,
// whatever the cycle length and whatever the other threads change meanwhile,
// including the MIDI frequency follow that moves the panel's controls.
// Suite RealtimeProof: long-running, filter it with --gtest_filter=-RealtimeProof.*

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "engine/render_limits.h"
#include "support/realtime_checker.h"
#include "support/render_rig.h"

namespace tolva {
namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define TOLVA_SLOW_BUILD 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TOLVA_SLOW_BUILD 1
#endif

#if defined(TOLVA_SLOW_BUILD)
constexpr uint64_t kCycles = 10000;
#else
constexpr uint64_t kCycles = 100000;
#endif

struct RenderThreadReport {
    long voluntarySwitches = -1;
    uint64_t cycles = 0;
};

TEST(RealtimeProof, RenderThreadNeverAllocatesLocksCallsOrBlocks) {
    // The input is made inside the cycle, so the generator must not allocate either.
    test::RenderRig rig{48000.0, [](float* dst, UInt32 frames, uint64_t first) {
                            for (UInt32 i = 0; i < frames; ++i) {
                                dst[i] = static_cast<float>((first + i) % 97) / 48.0f - 1.0f;
                            }
                        }};
    rig.c.state.store(StateFadeIn);
    rig.c.depth.store(0.7);
    rig.start();

    std::vector<float> buffer(kMaxDeviceFrames);
    test::resetRealtimeViolations();
    std::atomic<bool> done{false};
    RenderThreadReport report;
    std::thread render([&] {
        // Warm up outside the measurement: the first run of each carrier pass
        // and of the MIDI follow faults its code in and binds its library calls.
        for (int64_t follow = 0; follow < 2; ++follow) {
            rig.c.midif.store(follow);
            for (int32_t w = WaveSelf; w <= WaveRamp; ++w) {
                for (int32_t d = 0; d < 2; ++d) {
                    rig.c.wave.store(w);
                    rig.c.diode.store(d);
                    pitch.store(60.0 + w + 4 * d);
                    rig.device.runCycle(kMaxDeviceFrames, buffer.data());
                }
            }
        }
        const uint64_t warmUpCycles = rig.device.cyclesRun();
        uint32_t seed = 12345;
        const long switchesBefore = test::voluntaryContextSwitches();
        for (uint64_t k = 0; k < kCycles; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const auto frames = static_cast<UInt32>((seed >> 8) % (kMaxDeviceFrames + 1));
            test::RealtimeSection section;
            rig.device.runCycle(frames, buffer.data());
        }
        const long switchesAfter = test::voluntaryContextSwitches();
        report.voluntarySwitches = switchesAfter - switchesBefore;
        report.cycles = rig.device.cyclesRun() - warmUpCycles;
        done.store(true);
    });

    std::mt19937 random(77);
    auto unit = [&random] { return static_cast<double>(random() % 10001) / 10000.0; };
    while (!done.load()) {
        switch (random() % 8) {
            case 0:
                rig.c.frequency.store(unit() * 96000.0);
                break;
            case 1:
                rig.c.depth.store(unit());
                break;
            case 2:
                rig.c.wave.store(static_cast<int32_t>(random() % 4));
                break;
            case 3:
                rig.c.diode.store(static_cast<int32_t>(random() % 2));
                break;
            case 4:
                nonl.store(1.0 + 3.0 * unit());
                break;
            case 5:
                rig.c.state.store(static_cast<int32_t>(random() % 5));
                break;
            case 6:
                rig.c.midif.store(static_cast<int64_t>(random() % 2));
                break;
            default:
                pitch.store(unit() * 127.0);
                bend.store(unit() * 2.0 - 1.0);
                mmi.store(unit());
                changed.store(1, std::memory_order_release);
                changen.store(1, std::memory_order_release);
                rig.c.mult.store(0.25 * static_cast<double>(1 << (random() % 5)));
                break;
        }
        std::this_thread::yield();
    }
    render.join();

    const test::RealtimeViolations seen = test::realtimeViolations();
    EXPECT_EQ(kCycles, report.cycles);
    EXPECT_EQ(0u, seen.allocations);
    EXPECT_EQ(0u, seen.locks);
    EXPECT_EQ(0u, seen.systemCalls);
    EXPECT_EQ(0, report.voluntarySwitches);
    if (!test::realtimeLocksAndCallsWatched()) {
        GTEST_LOG_(INFO) << "locks and system calls are not watched in a sanitizer build";
    }
}

}  // namespace
}  // namespace tolva
