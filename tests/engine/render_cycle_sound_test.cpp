// What a listener hears: sidebands without the input tone, untouched
// pass-through when dry or bypassed, output never louder than the input, and
// buffers of odd shapes. (That the carrier runs on while bypassed, the render
// checksums pin.)

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "support/played_modulator.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

using test::PlayedModulator;

constexpr double kRate = 44100.0;

std::vector<float> noise(size_t frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> out(frames);
    for (float& x : out) {
        x = value(random);
    }
    return out;
}

// A modulator playing at rest: `depth`, a carrier at `hz`, the state on.
void playAtRest(PlayedModulator& m, int32_t wave, double depth, double hz) {
    m.play();
    m.c.wave.store(wave);
    m.c.state.store(StateOn);
    m.settle(depth, hz);
}

TEST(RingModulation, GivesTheSidebandsAndKeepsTheDryPartOfTheDepth) {
    for (const double depth : {1.0, 0.5}) {
        PlayedModulator m{kRate};
        playAtRest(m, WaveSine, depth, 300.0);
        const std::vector<float> input = test::sineTone(1000.0, kRate, 44032, 0.5);
        std::vector<float> out;
        for (size_t at = 0; at < input.size(); at += 512) {
            const auto part = m.render({input.begin() + long(at), input.begin() + long(at + 512)});
            out.insert(out.end(), part.begin(), part.end());
        }
        // 0.5 sin(a) * d g sin(b): two sidebands of d g / 4; (1 - d) of the input stays.
        const double sideband = depth * 0.5 * kEnvelopeOnLevel / 2.0;
        EXPECT_NEAR(sideband, test::toneAmplitude(out, 1300.0, kRate), 0.01);
        EXPECT_NEAR(sideband, test::toneAmplitude(out, 700.0, kRate), 0.01);
        EXPECT_NEAR((1.0 - depth) * 0.5, test::toneAmplitude(out, 1000.0, kRate), 1e-3);
        EXPECT_LT(test::toneAmplitude(out, 300.0, kRate), 1e-3);
    }
}

TEST(PassThrough, DryBypassedOrUnknownStatesAreBitIdenticalForEveryCarrier) {
    const std::vector<float> input = noise(3000, 7);
    PlayedModulator m{kRate};
    m.play();
    nonl.store(3.0);
    for (int32_t wave : {WaveSelf, WaveSine, WaveTriangle, WaveRamp}) {
        for (int32_t diode : {0, 1}) {
            m.c.wave.store(wave);
            m.c.diode.store(diode);
            for (int32_t state : {StateSilent, StateFadeIn, StateOn, StateFadeOut, StateBypass}) {
                m.c.state.store(state);
                m.settle(0.0, 777.0);  // depth 0: nothing of the carrier is heard
                ASSERT_EQ(input, m.render(input)) << wave << diode << state;
            }
            for (int32_t state : {StateBypass, -1, 5}) {  // bypassed while the depth glides
                m.c.state.store(state);
                m.c.previous_depth.store(0.2);
                m.c.depth.store(1.0);
                ASSERT_EQ(input, m.render(input)) << wave << diode << state;
                EXPECT_EQ(state, m.c.state.load());
                EXPECT_EQ(6.0f, m.panel.levelIndicator.floatValue());
            }
        }
    }
}

TEST(OutputBounds, NeverLouderThanTheInputAndAlwaysFinite) {
    std::mt19937 random(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    PlayedModulator m{kRate};
    m.play();
    const float max = std::numeric_limits<float>::max();
    for (int trial = 0; trial < 200; ++trial) {
        m.c.wave.store(trial % 4);
        m.c.diode.store(trial % 3 == 0 ? 1 : 0);
        nonl.store(1.0 + (trial % 7) * 0.5);
        m.c.state.store(trial % 5);
        m.c.depth.store(unit(random));
        m.c.frequency.store(unit(random) * (trial % 10 == 0 ? 1e12 : 1.2 * kRate));
        std::vector<float> input = noise(300, static_cast<unsigned>(trial));
        input[1] = std::numeric_limits<float>::denorm_min();
        const std::vector<float> out = m.render(input);
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_LE(std::fabs(out[i]), std::fabs(input[i])) << trial << " " << i;
        }
        if (m.c.wave.load() != WaveSelf) {  // the signed square of huge samples overflows
            for (float y : m.render({max, -max, 1e30f, 0.0f})) {
                ASSERT_TRUE(std::isfinite(y)) << trial;
            }
        }
    }
}

// The render callback on a buffer of the given shape; returns the buffer.
std::vector<float> renderShaped(const std::vector<float>& input, UInt32 stride, size_t fits,
                                float other) {
    PlayedModulator m{kRate};
    playAtRest(m, WaveTriangle, 0.9, 2500.0);
    m.c.phase.store(1.0);
    if (stride == 0) {
        return m.render(input);
    }
    m.c.streamFormat.mBytesPerFrame = stride;
    const size_t step = stride / sizeof(float);
    std::vector<float> buffer(fits * step, other);
    for (size_t i = 0; i < fits; ++i) {
        buffer[i * step] = input[i];
    }
    m.renderInPlace(buffer.data(), static_cast<UInt32>(input.size()),
                    static_cast<UInt32>(buffer.size() * sizeof(float)));
    return buffer;
}

TEST(BufferShapes, ShortAndInterleavedBuffersAreNeverOverrunOrMixedUp) {
    const std::vector<float> input = noise(700, 13);
    const std::vector<float> plain = renderShaped(input, 0, 0, 0.0f);
    const std::vector<float> shortOne = renderShaped(input, 4, 250, 0.0f);  // 250 floats only
    for (size_t i = 0; i < 250; ++i) {
        ASSERT_EQ(plain[i], shortOne[i]) << i;
    }
    const std::vector<float> stereo = renderShaped(input, 8, 700, 42.0f);
    for (size_t i = 0; i < 700; ++i) {
        ASSERT_EQ(plain[i], stereo[2 * i]) << i;
        ASSERT_EQ(42.0f, stereo[2 * i + 1]) << i;
    }
}

}  // namespace
}  // namespace tolva
