// Things the server does to a running modulator: a new period size, and
// going away altogether.

#include <jack/jack.h>

#include <future>
#include <thread>

#include "jack_device_fixture.h"

namespace tolva::test {
namespace {

using JackServerEventsTest = JackDeviceTest;

// Stop on a helper thread, so that a hang fails the test instead of stalling it.
bool stopReturnsWithin(RingModulatorViewController& c, std::chrono::milliseconds limit) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> stopped = done->get_future();
    std::thread([&c, done] {
        c.stop();
        done->set_value();
    }).detach();
    return stopped.wait_for(limit) == std::future_status::ready;
}

TEST_F(JackServerEventsTest, ANewPeriodSizeMidRunKeepsTheSoundComingAndStopWorks) {
    ProbeClient changer{ProbeClient::Role::Sink, "tolva-changer"};
    ASSERT_TRUE(changer.ok());
    panel.depthSlider.userMove(0.5);
    play();
    ASSERT_TRUE(waitForCycles(8));
    for (jack_nframes_t period : {512u, 128u, 1024u, 64u}) {
        ASSERT_EQ(jack_set_buffer_size(changer.client(), period), 0);
        const CycleRecorder& r = *provider.recorder;
        ASSERT_TRUE(waitUntil(
            [&] { return r.cycles() > 0 && r.framesOf(r.cycles() - 1) == period; }, kHangGuard))
            << "no cycle of " << period << " frames";
        ASSERT_TRUE(waitForCycles(8)) << "cycles stopped after the change to " << period;
        UInt32 frames = 0;
        UInt32 size = sizeof(frames);
        AudioUnitGetProperty(c.toneUnit.load(), kAudioDevicePropertyBufferFrameSize,
                             kAudioUnitScope_Global, 0, &frames, &size);
        EXPECT_EQ(frames, period);
    }
    EXPECT_TRUE(stopReturnsWithin(c, kHangGuard));
    EXPECT_EQ(provider.recorder->afterStop.load(), 0u);
}

TEST_F(JackServerEventsTest, StopReturnsWhenTheServerWasKilledMidRun) {
    play();
    ASSERT_TRUE(waitForCycles(4));
    server.kill();
    ASSERT_TRUE(stopReturnsWithin(c, kHangGuard)) << "Stop hung on a dead server";
    EXPECT_EQ(c.toneUnit.load(), nullptr);
    EXPECT_EQ(panel.playButton.title(), "Play");
}

TEST_F(JackServerEventsTest, StopReturnsWhenTheServerWasShutDownMidRun) {
    play();
    ASSERT_TRUE(waitForCycles(4));
    server.terminate();
    ASSERT_TRUE(stopReturnsWithin(c, kHangGuard)) << "Stop hung on a stopped server";
    EXPECT_EQ(c.toneUnit.load(), nullptr);
}

TEST_F(JackServerEventsTest, StopNeverReturnsDuringACycleNorLetsOneFollow) {
    for (int run = 0; run < 20; ++run) {
        play();
        ASSERT_TRUE(waitForCycles(static_cast<size_t>(1 + run % 3)));
        c.stop();
        const CycleRecorder& r = *provider.recorder;
        EXPECT_EQ(r.inside.load(), 0) << "run " << run;
        const size_t cycles = r.cycles();
        std::this_thread::sleep_for(std::chrono::milliseconds(12));  // a couple of periods
        EXPECT_EQ(r.cycles(), cycles) << "run " << run;
        EXPECT_EQ(r.afterStop.load(), 0u) << "run " << run;
    }
}

}  // namespace
}  // namespace tolva::test
