// The offline renderer on buffers in memory: what each channel sounds like,
// and which settings it refuses.

#include "offline_render.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modulator_globals.h"
#include "reference_modulator.h"
#include "sample_comparison.h"

namespace tolva {
namespace {

using test::sameBits;

// A test signal with both signs, zeros, quiet and loud samples.
std::vector<float> testSignal(size_t frames, double hz, double rate, uint32_t seed) {
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
        x[i] = static_cast<float>(
            0.6 * std::sin(6.283185307179586 * hz * static_cast<double>(i) / rate) + 0.3 * noise);
    }
    x[frames / 3] = 0.0f;
    x[frames / 2] = -0.0f;
    return x;
}

std::vector<float> renderMono(const OfflineRenderSettings& s, double rate,
                              const std::vector<float>& input) {
    std::vector<std::vector<float>> channels{input};
    std::string error;
    EXPECT_TRUE(renderOffline(s, rate, channels, &error)) << error;
    return channels.front();
}

struct Case {
    const char* name;
    int32_t wave;
    bool diode;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class EveryCarrier : public ::testing::TestWithParam<Case> {};

TEST_P(EveryCarrier, SoundsLikeTheModulatorFormulasSampleForSample) {
    OfflineRenderSettings s;
    s.wave = GetParam().wave;
    s.diode = GetParam().diode;
    s.exponent = 2.5;
    s.frequency = 1234.5;
    s.depth = 0.8;
    const double rate = 48000.0;
    const std::vector<float> input = testSignal(2000, 440.0, rate, 7);
    EXPECT_TRUE(sameBits(test::referenceModulate(input, rate, s), renderMono(s, rate, input)));
}

INSTANTIATE_TEST_SUITE_P(
    OfflineRender, EveryCarrier,
    ::testing::Values(Case{"self", WaveSelf, false}, Case{"sine", WaveSine, false},
                      Case{"triangle", WaveTriangle, false}, Case{"ramp", WaveRamp, false},
                      Case{"sineDiode", WaveSine, true}, Case{"triangleDiode", WaveTriangle, true},
                      Case{"rampDiode", WaveRamp, true}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(OfflineRender, CyclesOfOneFrameAndAShortLastCycleFollowTheBlockLength) {
    const double rate = 44100.0;
    const std::vector<float> input = testSignal(1000, 300.0, rate, 11);
    for (uint32_t block : {1u, 7u, 256u, 999u, 1000u, 4096u}) {
        OfflineRenderSettings s;
        s.blockFrames = block;
        s.wave = WaveTriangle;
        EXPECT_TRUE(sameBits(test::referenceModulate(input, rate, s), renderMono(s, rate, input)))
            << "block " << block;
    }
}

TEST(OfflineRender, TheFirstCycleFadesInFromTheDryInput) {
    OfflineRenderSettings s;
    s.blockFrames = 64;
    const std::vector<float> input(256, 0.5f);
    const std::vector<float> out = renderMono(s, 48000.0, input);
    // Envelope and depth both start at 0: the very first sample is the input.
    EXPECT_EQ(0.5f, out[0]);
    // Full depth from the second cycle on: no dry signal is left, only the
    // carrier-shaped part at 1/sqrt(2).
    for (size_t i = 64; i < out.size(); ++i) {
        ASSERT_LE(std::fabs(out[i]), 0.5f * 0.70710677f + 1e-6f) << i;
    }
}

TEST(OfflineRender, EachChannelRunsThroughItsOwnModulator) {
    OfflineRenderSettings s;
    s.wave = WaveRamp;
    s.blockFrames = 100;
    const double rate = 22050.0;
    std::vector<std::vector<float>> channels{testSignal(1050, 200.0, rate, 1),
                                             testSignal(1050, 900.0, rate, 2),
                                             std::vector<float>(1050, 0.0f)};
    const auto input = channels;
    std::string error;
    ASSERT_TRUE(renderOffline(s, rate, channels, &error)) << error;
    for (size_t c = 0; c < input.size(); ++c) {
        EXPECT_TRUE(sameBits(test::referenceModulate(input[c], rate, s), channels[c]))
            << "channel " << c;
    }
}

TEST(OfflineRender, AnEmptySignalStaysEmpty) {
    std::vector<std::vector<float>> channels(2);
    std::string error;
    EXPECT_TRUE(renderOffline(OfflineRenderSettings{}, 48000.0, channels, &error)) << error;
    EXPECT_TRUE(channels[0].empty());
}

TEST(OfflineRender, ChannelsOfDifferentLengthsAreRefused) {
    std::vector<std::vector<float>> channels{std::vector<float>(10), std::vector<float>(11)};
    std::string error;
    EXPECT_FALSE(renderOffline(OfflineRenderSettings{}, 48000.0, channels, &error));
    EXPECT_EQ("channels differ in length", error);
}

TEST(OfflineRender, SeedsTheProcessWideValuesAsPlayWould) {
    OfflineRenderSettings s;
    s.diode = true;
    s.exponent = 3.0;
    OfflineRenderer renderer;
    std::string error;
    ASSERT_TRUE(renderer.open(s, 44100.0, 2, &error)) << error;
    EXPECT_EQ(44100.0, R.load());
    EXPECT_EQ(440.0, A.load());
    EXPECT_EQ(2.0, bendd.load());
    EXPECT_EQ(3.0, nonl.load());
    s.diode = false;
    ASSERT_TRUE(renderer.open(s, 44100.0, 1, &error)) << error;
    EXPECT_EQ(1.0, nonl.load()) << "without the diode the curve stays linear";
}

TEST(OfflineRender, AClosedRendererRendersNothing) {
    OfflineRenderer renderer;
    float sample = 0.25f;
    float* channel = &sample;
    EXPECT_FALSE(renderer.renderCycle(&channel, &channel, 1));
    std::string error;
    ASSERT_TRUE(renderer.open(OfflineRenderSettings{}, 8000.0, 1, &error)) << error;
    renderer.close();
    EXPECT_FALSE(renderer.renderCycle(&channel, &channel, 1));
    EXPECT_EQ(0.25f, sample);
}

TEST(OfflineRenderSettingsCheck, AcceptsTheEdgesOfEveryRange) {
    OfflineRenderSettings s;
    s.frequency = 48000.0;
    s.depth = 0.0;
    s.diode = true;
    s.exponent = 4.0;
    s.blockFrames = kOfflineMaxBlockFrames;
    EXPECT_EQ("", offlineRenderProblem(s, 48000.0, kOfflineMaxChannels));
    s.depth = 1.0;
    s.exponent = 1.0;
    s.blockFrames = 1;
    s.frequency = 1e-9;
    EXPECT_EQ("", offlineRenderProblem(s, 1.0, 1));
    EXPECT_EQ("", offlineRenderProblem(OfflineRenderSettings{}, kOfflineMaxSampleRate, 1));
}

TEST(OfflineRenderSettingsCheck, RefusesWhatCannotSoundRight) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    auto problem = [](auto change, double rate = 48000.0, int channels = 1) {
        OfflineRenderSettings s;
        change(s);
        return offlineRenderProblem(s, rate, channels);
    };
    auto none = [](OfflineRenderSettings&) {};
    EXPECT_EQ("the input has no audio channels", problem(none, 48000.0, 0));
    EXPECT_EQ("the input has more than 64 channels", problem(none, 48000.0, 65));
    EXPECT_EQ("the input's sample rate is below 1 Hz", problem(none, 0.5));
    EXPECT_EQ("the input's sample rate is below 1 Hz", problem(none, nan));
    EXPECT_EQ("the input's sample rate is above 768000 Hz", problem(none, 768001.0));
    EXPECT_EQ("unknown carrier", problem([](auto& s) { s.wave = 4; }));
    EXPECT_EQ("unknown carrier", problem([](auto& s) { s.wave = -1; }));
    const std::string frequency =
        "frequency must be above 0 Hz and at most the input's sample rate (48000 Hz)";
    for (double hz : {0.0, -5.0, 48000.5, nan, inf}) {
        EXPECT_EQ(frequency, problem([hz](auto& s) { s.frequency = hz; })) << hz;
    }
    for (double d : {-0.01, 1.01, nan}) {
        EXPECT_EQ("depth must be between 0 and 1", problem([d](auto& s) { s.depth = d; })) << d;
    }
    for (double e : {0.99, 4.01, nan, inf}) {
        EXPECT_EQ("diode exponent must be between 1 and 4", problem([e](auto& s) {
                      s.diode = true;
                      s.exponent = e;
                  }))
            << e;
    }
    EXPECT_EQ("", problem([](auto& s) { s.exponent = 0.0; })) << "unused while the diode is off";
    EXPECT_EQ("block must be 1 to 1048576 frames", problem([](auto& s) { s.blockFrames = 0; }));
    EXPECT_EQ("block must be 1 to 1048576 frames",
              problem([](auto& s) { s.blockFrames = kOfflineMaxBlockFrames + 1; }));
}

TEST(OfflineRenderSettingsCheck, ARefusedOpenLeavesNoUnitBehind) {
    OfflineRenderer renderer;
    std::string error;
    OfflineRenderSettings s;
    s.depth = 2.0;
    EXPECT_FALSE(renderer.open(s, 48000.0, 2, &error));
    EXPECT_EQ("depth must be between 0 and 1", error);
    EXPECT_EQ(0, renderer.channels());
}

TEST(OfflineUnit, AUnitThatFailsToOpenIsReleasedWithTheFailingStep) {
    struct Step {
        AudioCall call;
        const char* operation;
    };
    for (const Step& step : {Step{AudioCall::InstanceNew, "Couldn't get audio unit instance"},
                             Step{AudioCall::GetSampleRate, "Couldn't get sample rate"},
                             Step{AudioCall::SetOutputStreamFormat,
                                  "Couldn't set StreamFormat on output scope / bus 1"},
                             Step{AudioCall::Initialize, "Couldn't initialize audio unit"},
                             Step{AudioCall::Start, "Couldn't start audio unit"}}) {
        ManualAudioDevice device(48000.0);
        device.failCall(step.call, kAudioHardwareUnspecifiedError);
        RingModulatorViewController controller;
        OfflineUnitFailure failure;
        EXPECT_FALSE(openOfflineUnit(controller, device, OfflineRenderSettings{}, &failure));
        EXPECT_STREQ(step.operation, failure.operation);
        EXPECT_EQ(kAudioHardwareUnspecifiedError, failure.status);
        EXPECT_EQ(0, device.instancesAlive()) << step.operation;
        EXPECT_EQ(nullptr, controller.toneUnit.load());
        EXPECT_EQ(nullptr, controller.Trif.load());
        EXPECT_EQ(nullptr, controller.Ramf.load());
    }
}

TEST(OfflineUnit, OpensLikePlayAndClosesCompletely) {
    ManualAudioDevice device(44100.0);
    RingModulatorViewController controller;
    OfflineRenderSettings s;
    s.wave = WaveRamp;
    s.frequency = 100.0;
    ASSERT_TRUE(openOfflineUnit(controller, device, s, nullptr));
    EXPECT_TRUE(device.running());
    EXPECT_EQ(StateFadeIn, controller.state.load());
    EXPECT_EQ(44100, controller.cycle.load());
    EXPECT_EQ(4u, controller.streamFormat.mBytesPerFrame);
    EXPECT_EQ(WaveRamp, controller.wave.load());
    EXPECT_EQ(0, controller.midif.load());
    ASSERT_NE(nullptr, controller.Ramf.load());
    EXPECT_EQ(0.0f, controller.Ramf.load()[0]);
    EXPECT_NEAR(0.846777f, controller.Trif.load()[11025], 1e-6f);
    std::vector<float> buffer(32, 0.5f);
    EXPECT_TRUE(device.runCycle(32, buffer.data()));
    EXPECT_EQ(StateOn, controller.state.load());
    closeOfflineUnit(controller);
    EXPECT_EQ(0, device.instancesAlive());
    EXPECT_FALSE(device.running());
    EXPECT_EQ(nullptr, controller.Trif.load());
}

}  // namespace
}  // namespace tolva
