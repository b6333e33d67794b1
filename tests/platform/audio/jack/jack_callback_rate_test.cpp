// Over a minute, the server calls the modulator once per period: none
// doubled, none lost but those the server itself skipped. Xruns of the server
// are reported, not judged: the dummy driver on a shared machine has its own.

#include <cstdio>

#include "jack_device_fixture.h"

namespace tolva::test {
namespace {

using JackCallbackRateTest = JackDeviceTest;

TEST_F(JackCallbackRateTest, CallbacksOverAMinuteMatchRateOverPeriod) {
    play();
    ASSERT_TRUE(waitForCycles(10));
    JackAudioDevice* device = provider.device;
    ASSERT_NE(device, nullptr);
    const uint64_t firstCycles = device->cyclesRun();
    const uint64_t firstXruns = device->xruns();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(60));
    const uint64_t cycles = device->cyclesRun() - firstCycles;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const uint64_t xruns = device->xruns() - firstXruns;
    const double expected = seconds * server.rate() / server.period();
    std::printf("callbacks %llu over %.3f s, expected %.1f (%.3f%%), server xruns %llu\n",
                static_cast<unsigned long long>(cycles), seconds, expected,
                100.0 * (static_cast<double>(cycles) - expected) / expected,
                static_cast<unsigned long long>(xruns));
    RecordProperty("callbacks", std::to_string(cycles));
    RecordProperty("expected", std::to_string(expected));
    RecordProperty("xruns", std::to_string(xruns));
    // A cycle in which the server reports an xrun may pass the client by: that
    // is the server's doing, so each xrun widens the margin by one cycle.
    EXPECT_NEAR(static_cast<double>(cycles), expected,
                expected * 0.01 + static_cast<double>(xruns));
}

}  // namespace
}  // namespace tolva::test
