// What passes through the JACK device: exact samples at no added latency,
// the ring-modulated spectrum, and fades that last one server cycle.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "jack_device_fixture.h"
#include "support/signal_analysis.h"

namespace tolva::test {
namespace {

class JackSignalPathTest : public JackDeviceTest {
  protected:
    // Plays, then feeds Tolva from a source and records it in a sink; the
    // system capture port Tolva took is let go so the source is all it hears.
    void playThroughProbes(ProbeClient::Signal signal) {
        source->setSignal(signal);
        ASSERT_TRUE(source->ok() && sink->ok());
        play();
        ASSERT_TRUE(running());
        ASSERT_TRUE(source->connect(source->portName(), "Tolva:in"));
        ASSERT_TRUE(source->disconnect("system:capture_1", "Tolva:in"));
        ASSERT_TRUE(sink->connect("Tolva:out", sink->portName()));
    }

    // Records `frames` frames at the sink, then stops the probes.
    std::vector<float> record(uint64_t frames) {
        const uint64_t target = sink->framesRecorded() + frames;
        EXPECT_TRUE(waitUntil([&] { return sink->framesRecorded() >= target; }, kHangGuard));
        sink->deactivate();
        source->deactivate();
        return sink->samples();
    }

    // Compares every frame heard, from the first that reached the sink, with
    // the frame the source sent at the same server frame. The dummy server on
    // a busy machine skips the odd cycle of a client (an xrun); those frames
    // may differ, so nearly all, not all, must be identical.
    static void expectSameFrames(const std::vector<float>& heard, uint64_t recorded,
                                 uint32_t firstFrame) {
        size_t first = 0;
        while (first < recorded && heard[first] == 0.0f) {
            ++first;
        }
        size_t compared = 0;
        size_t same = 0;
        size_t silent = 0;  // whole cycles the server skipped
        for (size_t i = first; i < recorded; ++i) {
            const float expected = markedSignal(firstFrame + static_cast<uint32_t>(i));
            if (std::memcmp(&heard[i], &expected, sizeof(float)) == 0) {
                ++same;
            } else if (heard[i] == 0.0f) {
                ++silent;
            }
            ++compared;
        }
        const size_t wrong = compared - same - silent;
        EXPECT_LT(first, recorded / 2) << "the output hardly reached the sink";
        EXPECT_GE(same, compared * 80 / 100) << "too many cycles skipped to judge";
        EXPECT_LE(wrong, compared / 100) << wrong << " frames heard differ from those sent";
        std::printf("frames identical %zu, skipped %zu, different %zu, of %zu\n", same, silent,
                    wrong, compared);
    }

    // Where each marker heard lies against the markers sent: 0 for a device
    // that plays the input of the same cycle. Nearly all must be at 0.
    static void expectMarkersOnTime(const std::vector<float>& heard, uint64_t recorded,
                                    uint32_t firstFrame) {
        size_t onTime = 0;
        size_t heardMarkers = 0;
        long otherLag = 0;
        for (size_t i = 0; i < recorded; ++i) {
            if (heard[i] == 0.875f) {
                ++heardMarkers;
                const long at = static_cast<long>((firstFrame + i) % 480);
                const long lag = at > 240 ? at - 480 : at;
                onTime += lag == 0 ? 1 : 0;
                otherLag = lag != 0 ? lag : otherLag;
            }
        }
        EXPECT_GT(heardMarkers, 50u);
        EXPECT_GE(onTime, heardMarkers * 95 / 100) << "a marker came " << otherLag << " frames off";
        std::printf("markers heard: %zu, on time (0 frames added): %zu\n", heardMarkers, onTime);
    }

    void SetUp() override {
        JackDeviceTest::SetUp();
        source.emplace(ProbeClient::Role::Source, "tolva-source");
        sink.emplace(ProbeClient::Role::Sink, "tolva-sink");
    }
    void TearDown() override {
        JackDeviceTest::TearDown();
        sink.reset();
        source.reset();
    }

    std::optional<ProbeClient> source;  // on the server SetUp starts
    std::optional<ProbeClient> sink;
};

TEST_F(JackSignalPathTest, DepthZeroPlaysTheInputBitForBitInTheSameCycle) {
    panel.depthSlider.userMove(0.0);
    playThroughProbes(&markedSignal);
    const std::vector<float> heard = record(48000);
    const uint64_t recorded = std::min<uint64_t>(sink->framesRecorded(), heard.size());
    expectSameFrames(heard, recorded, sink->firstFrame());
    expectMarkersOnTime(heard, recorded, sink->firstFrame());
}

TEST_F(JackSignalPathTest, BypassPlaysTheInputBitForBitInTheSameCycle) {
    panel.depthSlider.userMove(1.0);
    playThroughProbes(&markedSignal);
    ASSERT_TRUE(waitForCycles(2));
    panel.bypassButton.userClick();
    ASSERT_EQ(c.state.load(), StateBypass);
    // Only what was heard after Bypass took effect counts.
    sink->deactivate();
    ProbeClient bypassSink{ProbeClient::Role::Sink, "tolva-bypass-sink"};
    ASSERT_TRUE(bypassSink.connect("Tolva:out", bypassSink.portName()));
    const uint64_t target = 48000;
    ASSERT_TRUE(waitUntil([&] { return bypassSink.framesRecorded() >= target; }, kHangGuard));
    bypassSink.deactivate();
    source->deactivate();
    const std::vector<float>& heard = bypassSink.samples();
    expectSameFrames(heard, target, bypassSink.firstFrame());
    expectMarkersOnTime(heard, target, bypassSink.firstFrame());
}

float tone1000(uint32_t frame) {
    const double t = static_cast<double>(frame % 48000) / 48000.0;
    return static_cast<float>(0.5 * std::sin(2.0 * 3.141592653589793 * 1000.0 * t));
}

TEST_F(JackSignalPathTest, SineCarrierTurnsAToneIntoItsSumAndDifference) {
    panel.depthSlider.userMove(1.0);
    playThroughProbes(&tone1000);
    ASSERT_TRUE(waitForCycles(4));  // past the fade-in and the depth glide
    sink->deactivate();
    ProbeClient steadySink{ProbeClient::Role::Sink, "tolva-steady-sink"};
    ASSERT_TRUE(steadySink.connect("Tolva:out", steadySink.portName()));
    ASSERT_TRUE(waitUntil([&] { return steadySink.framesRecorded() >= 48000 + 4096; }, kHangGuard));
    steadySink.deactivate();
    source->deactivate();
    // Tenths of a second from a point safely after the sink was connected. A
    // cycle the server skips shifts the carrier against the clock and smears
    // the tenth it falls in, so the cleanest tenth is the one judged.
    const std::vector<float>& heard = steadySink.samples();
    std::vector<float> best;
    double bestSum = -1.0;
    for (size_t at = 4096; at + 4800 <= 4096 + 48000; at += 4800) {
        std::vector<float> tenth(heard.begin() + static_cast<long>(at),
                                 heard.begin() + static_cast<long>(at + 4800));
        const double sum =
            toneAmplitude(tenth, 560.0, 48000.0) + toneAmplitude(tenth, 1440.0, 48000.0);
        if (sum > bestSum) {
            bestSum = sum;
            best = std::move(tenth);
        }
    }
    // 0.5 sin(a) x g sin(b) = g/4 (cos(a-b) - cos(a+b)).
    const double expected = 0.25 * kEnvelopeOnLevel;
    EXPECT_NEAR(toneAmplitude(best, 1000.0 - 440.0, 48000.0), expected, 0.002);
    EXPECT_NEAR(toneAmplitude(best, 1000.0 + 440.0, 48000.0), expected, 0.002);
    EXPECT_LT(toneAmplitude(best, 1000.0, 48000.0), 0.001);
    EXPECT_LT(toneAmplitude(best, 440.0, 48000.0), 0.001);
}

// With the input as its own carrier at full depth, a constant input x plays
// x * x * envelope: the envelope itself, scaled.
class JackFadeTest : public JackDeviceTest {
  protected:
    void SetUp() override {
        JackDeviceTest::SetUp();
        panel.depthSlider.userMove(1.0);
        c.previous_depth.store(1.0);  // no depth glide in the first cycle
        panel.segCtrlCarrWave.userSelect(WaveSelf);
        provider.constantInput.store(0.5f);
        provider.constantInputOn.store(true);
    }
    static constexpr float kSteady = 0.25f * kEnvelopeOnLevel;

    // A fade-in cycle: silent at its first frame, rising every frame, below the steady level.
    static void expectRise(const std::vector<float>& cycle) {
        ASSERT_FALSE(cycle.empty());
        EXPECT_EQ(cycle.front(), 0.0f);
        for (size_t i = 1; i < cycle.size(); ++i) {
            ASSERT_GT(cycle[i], cycle[i - 1]) << "frame " << i;
        }
        EXPECT_LT(cycle.back(), kSteady);
    }
    // A fade-out cycle: at the steady level at its first frame, falling every frame, not to 0.
    static void expectFall(const std::vector<float>& cycle) {
        ASSERT_FALSE(cycle.empty());
        EXPECT_FLOAT_EQ(cycle.front(), kSteady);
        for (size_t i = 1; i < cycle.size(); ++i) {
            ASSERT_LT(cycle[i], cycle[i - 1]) << "frame " << i;
        }
        EXPECT_GT(cycle.back(), 0.0f);
    }
    static void expectConstant(const std::vector<float>& cycle, float value) {
        for (float y : cycle) {
            ASSERT_FLOAT_EQ(y, value);
        }
    }
};

TEST_F(JackFadeTest, PlayFadesInOverTheFirstServerCycleExactly) {
    play();
    ASSERT_TRUE(waitForCycles(3));
    const CycleRecorder& r = *provider.recorder;
    EXPECT_EQ(r.framesOf(0), server.period());
    expectRise(r.cycle(0));
    expectConstant(r.cycle(1), kSteady);
    expectConstant(r.cycle(2), kSteady);
}

TEST_F(JackFadeTest, MuteFadesOutOverOneCycleAndUnmuteFadesBackIn) {
    play();
    ASSERT_TRUE(waitForCycles(3));
    const size_t before = provider.recorder->cycles();
    panel.muteButton.userClick();  // returns once the fade-out is under way
    ASSERT_EQ(c.state.load(), StateSilent);
    ASSERT_TRUE(waitForCycles(2));
    const CycleRecorder& r = *provider.recorder;
    size_t fade = before;
    while (fade < r.cycles() && r.cycle(fade).front() == kSteady &&
           r.cycle(fade).back() == kSteady) {
        ++fade;
    }
    ASSERT_LT(fade + 1, r.cycles());
    expectFall(r.cycle(fade));
    expectConstant(r.cycle(fade + 1), 0.0f);

    const size_t muted = r.cycles();
    panel.muteButton.userClick();
    ASSERT_TRUE(waitForCycles(3));
    size_t rise = muted;
    while (rise < r.cycles() && r.cycle(rise).back() == 0.0f) {
        ++rise;
    }
    ASSERT_LT(rise + 1, r.cycles());
    expectRise(r.cycle(rise));
    expectConstant(r.cycle(rise + 1), kSteady);
}

TEST_F(JackFadeTest, StopPlaysOneFadeOutCycleAndThenNoCycleAtAll) {
    play();
    ASSERT_TRUE(waitForCycles(3));
    c.stop();
    const CycleRecorder& r = *provider.recorder;
    const size_t cycles = r.cycles();
    ASSERT_GE(cycles, 4u);
    // Steady cycles, one falling cycle, then at most silent ones until the stop.
    size_t fade = cycles - 1;
    while (fade > 0 && r.cycle(fade).front() != kSteady) {
        expectConstant(r.cycle(fade), 0.0f);
        --fade;
    }
    expectFall(r.cycle(fade));
    expectConstant(r.cycle(fade - 1), kSteady);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // ~10 server cycles
    EXPECT_EQ(r.cycles(), cycles);
    EXPECT_EQ(r.afterStop.load(), 0u);
}

}  // namespace
}  // namespace tolva::test
