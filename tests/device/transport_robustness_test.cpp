// The transport against a device thread it does not control: hundreds of
// runs of random length, a device that stops calling back, and requests made
// while the render thread is finishing a fade.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/transport_fixture.h"

namespace tolva::test {
namespace {

constexpr const char* kDeadDeviceWords = "stopped calling back";

int countContaining(const std::vector<std::string>& entries, const std::string& words) {
    int count = 0;
    for (const std::string& entry : entries) {
        if (entry.find(words) != std::string::npos) {
            ++count;
        }
    }
    return count;
}

int countOccurrences(const std::string& text, const std::string& words) {
    int count = 0;
    for (size_t at = text.find(words); at != std::string::npos;
         at = text.find(words, at + words.size())) {
        ++count;
    }
    return count;
}

class TransportRobustnessTest : public TransportFixture {
  protected:
    // Cycles back to back, of a frame count that changes every cycle.
    void driveBackToBack(UInt32 maxFrames = 512) {
        driveFromThread(
            [maxFrames](uint64_t index) {
                return static_cast<UInt32>(1 + (index * 2654435761u >> 7) % maxFrames);
            },
            std::chrono::microseconds(0));
    }

    void expectReleased() {
        EXPECT_EQ(c.toneUnit.load(), nullptr);
        EXPECT_EQ(c.Trif.load(), nullptr);
        EXPECT_EQ(c.Ramf.load(), nullptr);
        EXPECT_EQ(device.instancesAlive(), 0);
        EXPECT_FALSE(device.running());
        EXPECT_EQ(panel.playButton.title(), "Play");
        EXPECT_EQ(panel.levelIndicator.floatValue(), 0.0f);
    }

    // A Stop request the render thread overwrote leaves the state where the
    // fade it was finishing would go; taken up or still pending is fine.
    static bool requestKept(int32_t state) { return state == StateSilent || state == StateFadeOut; }
};

TEST_F(TransportRobustnessTest, HundredsOfRunsOfRandomLengthEndCleanly) {
    driveBackToBack();
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> runLength(0, 1500);  // microseconds
    std::uniform_int_distribution<int> gesture(0, 5);
    const auto started = std::chrono::steady_clock::now();

    for (int run = 0; run < 300; ++run) {
        play();
        ASSERT_NE(c.toneUnit.load(), nullptr);
        std::this_thread::sleep_for(std::chrono::microseconds(runLength(random)));
        switch (gesture(random)) {
            case 0:
                panel.bypassButton.userClick();
                break;
            case 1:
                panel.muteButton.userClick();
                break;
            default:
                break;
        }
        play();

        ASSERT_EQ(device.cyclesAfterStop(), 0u) << "run " << run;
        ASSERT_TRUE(requestKept(c.state.load())) << "run " << run;
        expectReleased();
        if (HasFailure()) {
            FAIL() << "run " << run;
        }
        ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(60));
    }
    EXPECT_GT(device.cyclesRun(), 300u);
}

TEST_F(TransportRobustnessTest, StopOnADeviceThatStoppedCallingBackCompletesAndSaysSoOnce) {
    driveFromThread();
    playAndSettle();
    device.stopCallingBack();
    device.clearCallLog();
    clearLog();

    ::testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    play();
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_LT(took, kHangGuard);
    EXPECT_EQ(device.callLog(), (std::vector<AudioCall>{AudioCall::Stop, AudioCall::Uninitialize,
                                                        AudioCall::Dispose}));
    expectReleased();
    EXPECT_EQ(countOccurrences(err, kDeadDeviceWords), 1) << err;
    EXPECT_EQ(countContaining(logEntries(), kDeadDeviceWords), 1);
    EXPECT_EQ(device.cyclesAfterStop(), 0u);

    // The application goes on: the next Play opens a device that calls back.
    clearLog();
    playAndSettle();
    play();
    expectReleased();
    EXPECT_EQ(countContaining(logEntries(), kDeadDeviceWords), 0);
}

TEST_F(TransportRobustnessTest, MuteOnADeviceThatStoppedCallingBackReturnsAndSaysSoOnce) {
    driveFromThread();
    playAndSettle();
    device.stopCallingBack();
    clearLog();

    ::testing::internal::CaptureStderr();
    const auto started = std::chrono::steady_clock::now();
    panel.muteButton.userClick();
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_LT(took, kHangGuard);
    EXPECT_EQ(panel.muteButton.attributedTitle(),
              (AttributedTitle{"Mute", RgbaColor::systemRed()}));
    EXPECT_EQ(c.state.load(), StateFadeOut);  // still asked for
    EXPECT_EQ(countOccurrences(err, kDeadDeviceWords), 1) << err;
    EXPECT_EQ(countContaining(logEntries(), kDeadDeviceWords), 1);
    EXPECT_NE(c.toneUnit.load(), nullptr);

    ::testing::internal::CaptureStderr();
    play();
    ::testing::internal::GetCapturedStderr();
    expectReleased();
}

// The render thread ends a fade by a store of its own. A request the UI
// thread makes just as a fade-in ends must survive that store; the window is
// short, so each case is tried many times on a device that runs short cycles
// back to back.

TEST_F(TransportRobustnessTest, StopPressedRightAfterPlayIsNeverLost) {
    driveBackToBack(16);
    for (int run = 0; run < 100; ++run) {
        play();
        play();
        ASSERT_TRUE(requestKept(c.state.load())) << "run " << run << ": " << c.state.load();
        ASSERT_EQ(device.cyclesAfterStop(), 0u);
    }
    expectReleased();
}

TEST_F(TransportRobustnessTest, BypassPressedRightAfterPlayIsNeverLost) {
    driveBackToBack(16);
    for (int run = 0; run < 100; ++run) {
        play();
        panel.bypassButton.userClick();
        ASSERT_TRUE(waitForCycles(2));
        ASSERT_EQ(c.state.load(), StateBypass) << "run " << run;
        panel.bypassButton.userClick();
        play();
    }
    expectReleased();
}

TEST_F(TransportRobustnessTest, MutePressedAsTheFadeInEndsIsNeverLost) {
    driveBackToBack(16);
    playAndSettle();
    for (int attempt = 0; attempt < 3000; ++attempt) {
        panel.muteButton.userClick();  // on: waits for the fade-out
        ASSERT_TRUE(requestKept(c.state.load())) << "attempt " << attempt;
        panel.muteButton.userClick();  // off: fades in
    }
}

TEST_F(TransportRobustnessTest, BypassPressedAsTheFadeInEndsIsNeverLost) {
    driveBackToBack(16);
    playAndSettle();
    panel.muteButton.userClick();
    for (int attempt = 0; attempt < 3000; ++attempt) {
        panel.muteButton.userClick();    // off: fades in
        panel.bypassButton.userClick();  // on, at once
        panel.muteButton.userClick();    // on: saves what it finds, waits for the fade-out
        ASSERT_EQ(c.mutePreviousState, StateBypass) << "attempt " << attempt;
        ASSERT_TRUE(requestKept(c.state.load())) << "attempt " << attempt;
        panel.bypassButton.userClick();  // off, still muted
        if (attempt % 500 == 0) {
            clearLog();
        }
    }
}

}  // namespace
}  // namespace tolva::test
