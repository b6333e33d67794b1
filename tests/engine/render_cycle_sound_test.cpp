// What a listener hears: sidebands without the input tone, untouched
// pass-through when dry or bypassed, one-cycle fades, bounded output, a
// carrier that keeps running while bypassed, and buffers of odd shapes.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "support/reference_render.h"
#include "support/render_rig.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

constexpr double kRate = 44100.0;
constexpr size_t kFrames = 512;

// The input cut into cycles of kFrames, rendered in turn.
std::vector<float> renderAll(test::RenderRig& rig, const std::vector<float>& input) {
    std::vector<float> out;
    for (size_t at = 0; at < input.size(); at += kFrames) {
        const size_t end = std::min(input.size(), at + kFrames);
        const std::vector<float> part = rig.render(std::vector<float>(
            input.begin() + static_cast<long>(at), input.begin() + static_cast<long>(end)));
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::vector<float> noise(size_t frames, float scale, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-scale, scale);
    std::vector<float> out(frames);
    for (float& x : out) {
        x = value(random);
    }
    return out;
}

TEST(RingModulation, SineTimesSineGivesSidebandsAndNoInputTone) {
    test::RenderRig rig{kRate};
    rig.c.wave.store(WaveSine);
    rig.c.state.store(StateOn);
    rig.settle(1.0, 300.0);
    const std::vector<float> out = renderAll(rig, test::sineTone(1000.0, kRate, 44032, 0.5));

    // 0.5 * sin(a) * g * sin(b): two sidebands of g/4 each.
    const double sideband = 0.5 * kEnvelopeOnLevel / 2.0;
    EXPECT_NEAR(sideband, test::toneAmplitude(out, 1300.0, kRate), 0.01);
    EXPECT_NEAR(sideband, test::toneAmplitude(out, 700.0, kRate), 0.01);
    EXPECT_LT(test::toneAmplitude(out, 1000.0, kRate), 1e-3);
    EXPECT_LT(test::toneAmplitude(out, 300.0, kRate), 1e-3);
}

TEST(RingModulation, HalfDepthKeepsHalfTheDrySignal) {
    test::RenderRig rig{kRate};
    rig.c.wave.store(WaveSine);
    rig.c.state.store(StateOn);
    rig.settle(0.5, 300.0);
    const std::vector<float> out = renderAll(rig, test::sineTone(1000.0, kRate, 44032, 0.5));
    EXPECT_NEAR(0.25, test::toneAmplitude(out, 1000.0, kRate), 0.01);
    EXPECT_NEAR(0.5 * 0.5 * kEnvelopeOnLevel / 2.0, test::toneAmplitude(out, 1300.0, kRate), 0.01);
}

TEST(PassThrough, DryOrBypassedIsBitIdenticalForEveryCarrierAndState) {
    const std::vector<float> input = noise(3000, 1.0f, 7);
    test::RenderRig dry{kRate};
    test::RenderRig bypassed{kRate};
    nonl.store(3.0);
    for (int32_t wave : {WaveSelf, WaveSine, WaveTriangle, WaveRamp}) {
        for (int32_t diodeOn : {0, 1}) {
            for (int32_t state : {StateSilent, StateFadeIn, StateOn, StateFadeOut, StateBypass}) {
                // Depth 0 at rest: nothing of the carrier is heard.
                dry.c.wave.store(wave);
                dry.c.diode.store(diodeOn);
                dry.c.state.store(state);
                dry.settle(0.0, 777.0);
                const std::vector<float> dryOut = dry.render(input);

                // Bypass at full depth, while the depth ramps.
                bypassed.c.wave.store(wave);
                bypassed.c.diode.store(diodeOn);
                bypassed.c.state.store(StateBypass);
                bypassed.c.previous_depth.store(0.2);
                bypassed.c.depth.store(1.0);
                const std::vector<float> bypassOut = bypassed.render(input);

                for (size_t i = 0; i < input.size(); ++i) {
                    ASSERT_FLOAT_BITS(input[i], dryOut[i]) << wave << "/" << state << " " << i;
                    ASSERT_FLOAT_BITS(input[i], bypassOut[i]) << wave << " " << i;
                }
                EXPECT_EQ(StateBypass, bypassed.c.state.load());
                EXPECT_EQ(test::referenceMeter(test::peakMagnitude(input)),
                          bypassed.level.floatValue());
            }
        }
    }
}

TEST(Fades, EachLastsExactlyOneCycle) {
    for (int32_t wave : {WaveSelf, WaveSine, WaveTriangle, WaveRamp}) {
        const std::vector<float> input = noise(700, 1.0f, static_cast<unsigned>(wave));
        // Two modulators on the same carrier path: one fades in, one is on throughout.
        test::RenderRig fading{kRate};
        test::RenderRig steady{kRate};
        for (test::RenderRig* r : {&fading, &steady}) {
            r->c.wave.store(wave);
            r->settle(1.0, 523.0);
        }
        fading.c.state.store(StateFadeIn);
        steady.c.state.store(StateOn);
        fading.render(input);
        steady.render(input);
        const std::vector<float> afterFadeIn = fading.render(input);
        const std::vector<float> on = steady.render(input);
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_FLOAT_BITS(on[i], afterFadeIn[i]) << "wave " << wave << " sample " << i;
        }

        // Full depth: after the fade-out cycle the modulated part is gone.
        fading.c.state.store(StateFadeOut);
        const std::vector<float> fadeOut = fading.render(input);
        EXPECT_NE(0.0f, test::peakMagnitude(fadeOut));
        EXPECT_EQ(0.0f, test::peakMagnitude(fading.render(input))) << "wave " << wave;
    }
}

TEST(OutputBounds, NeverLouderThanTheInputWithinFullScale) {
    std::mt19937 random(99);
    test::RenderRig rig{kRate};
    for (int trial = 0; trial < 200; ++trial) {
        rig.c.wave.store(trial % 4);
        rig.c.diode.store(trial % 3 == 0 ? 1 : 0);
        nonl.store(1.0 + (trial % 7) * 0.5);
        rig.c.state.store(trial % 5);
        rig.c.previous_depth.store(std::uniform_real_distribution<double>(0.0, 1.0)(random));
        rig.c.depth.store(std::uniform_real_distribution<double>(0.0, 1.0)(random));
        rig.c.frequency.store(std::uniform_real_distribution<double>(0.0, 2.0 * kRate)(random));
        std::vector<float> input = noise(300, 1.0f, static_cast<unsigned>(trial));
        input[0] = 1.0f;
        input[1] = -1.0f;
        input[2] = std::numeric_limits<float>::denorm_min();
        input[3] = -std::numeric_limits<float>::min();
        const std::vector<float> out = rig.render(input);
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_TRUE(std::isfinite(out[i])) << trial << " " << i;
            ASSERT_LE(std::fabs(out[i]), std::fabs(input[i])) << trial << " " << i;
        }
    }
}

TEST(OutputBounds, ExtremeFiniteInputStaysFiniteWithOscillatorCarriers) {
    const float max = std::numeric_limits<float>::max();
    const std::vector<float> input = {max, -max, max / 3.0f, 1e30f, -1e38f, 0.0f, max};
    for (int32_t wave : {WaveSine, WaveTriangle, WaveRamp}) {
        for (int32_t diodeOn : {0, 1}) {
            test::RenderRig rig{kRate};
            nonl.store(2.5);
            rig.c.wave.store(wave);
            rig.c.diode.store(diodeOn);
            rig.c.state.store(StateFadeIn);
            rig.c.previous_depth.store(0.3);
            rig.c.depth.store(1.0);
            rig.c.frequency.store(4321.0);
            for (int k = 0; k < 3; ++k) {
                for (float y : rig.render(input)) {
                    ASSERT_TRUE(std::isfinite(y)) << "wave " << wave << " diode " << diodeOn;
                }
            }
        }
    }
}

TEST(Bypass, CarrierKeepsRunningSoLeavingResumesWhereItWouldBe) {
    const std::vector<float> input = noise(333, 0.8f, 3);
    for (int32_t wave : {WaveSine, WaveTriangle, WaveRamp}) {
        test::RenderRig heard{kRate};
        test::RenderRig bypassed{kRate};
        for (test::RenderRig* r : {&heard, &bypassed}) {
            r->c.wave.store(wave);
            r->c.state.store(StateOn);
            r->c.depth.store(1.0);
            r->c.frequency.store(611.0);  // the first cycle glides up from 0 Hz
        }
        heard.render(input);
        bypassed.render(input);
        bypassed.c.state.store(StateBypass);
        heard.c.frequency.store(900.0);
        bypassed.c.frequency.store(900.0);
        heard.render(input);
        const std::vector<float> passed = bypassed.render(input);
        EXPECT_EQ(input, passed);
        bypassed.c.state.store(StateOn);
        const std::vector<float> a = heard.render(input);
        const std::vector<float> b = bypassed.render(input);
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_FLOAT_BITS(a[i], b[i]) << "wave " << wave << " sample " << i;
        }
    }
}

TEST(OddStates, UnknownStatePassesTheInputLikeBypass) {
    const std::vector<float> input = noise(64, 1.0f, 5);
    for (int32_t state : {-1, 5, 1000}) {
        test::RenderRig rig{kRate};
        rig.c.state.store(state);
        rig.settle(1.0, 500.0);
        EXPECT_EQ(input, rig.render(input));
        EXPECT_EQ(state, rig.c.state.load());
    }
}

TEST(CarrierAboveTheRate, TablesAreNeverReadOutside) {
    // Phase increments beyond a period per sample; ASan watches the reads.
    for (int32_t wave : {WaveTriangle, WaveRamp}) {
        test::RenderRig rig{kRate};
        rig.c.wave.store(wave);
        rig.c.state.store(StateOn);
        rig.settle(1.0, 3.7 * kRate);
        const std::vector<float> input(1000, 0.5f);
        for (int k = 0; k < 50; ++k) {
            for (float y : rig.render(input)) {
                ASSERT_LE(std::fabs(y), 0.5f);
            }
        }
        rig.c.frequency.store(1e12);
        for (float y : rig.render(input)) {
            ASSERT_LE(std::fabs(y), 0.5f);
        }
    }
}

class BufferShapes : public ::testing::Test {
  protected:
    BufferShapes() {
        rig.c.wave.store(WaveTriangle);
        rig.c.state.store(StateFadeIn);
        rig.c.depth.store(0.9);
        rig.c.frequency.store(2500.0);
        rig.c.phase.store(1.0);
    }
    // What the cycle makes of `input` in a contiguous buffer of its own length.
    test::ReferenceResult expectedFor(const std::vector<float>& input) const {
        test::ReferenceSettings s;
        s.state = StateFadeIn;
        s.wave = WaveTriangle;
        s.depth = 0.9;
        s.frequency = 2500.0;
        s.twoPiNorm = rig.c.TWO_PI_NORM.load();
        s.phase = 1.0;
        s.trif = rig.c.Trif.load();
        s.cycle = rig.c.cycle.load();
        return test::referenceRender(s, input);
    }
    test::RenderRig rig{kRate};
};

TEST_F(BufferShapes, ShortBufferIsNotOverrun) {
    constexpr UInt32 frames = 600;
    constexpr size_t fits = 250;
    const std::vector<float> input = noise(frames, 1.0f, 11);
    const test::ReferenceResult expected = expectedFor(input);
    // Exactly `fits` floats on the heap: one sample more would be an overrun.
    std::vector<float> buffer(input.begin(), input.begin() + fits);
    EXPECT_EQ(noErr,
              rig.renderInPlace(buffer.data(), frames, static_cast<UInt32>(fits * sizeof(float))));
    for (size_t i = 0; i < fits; ++i) {
        ASSERT_FLOAT_BITS(expected.out[i], buffer[i]) << i;
    }
    EXPECT_EQ(StateOn, rig.c.state.load());
}

TEST_F(BufferShapes, InterleavedStrideTouchesOnlyItsOwnSamples) {
    constexpr UInt32 frames = 700;
    const std::vector<float> input = noise(frames, 1.0f, 13);
    const test::ReferenceResult expected = expectedFor(input);

    rig.c.streamFormat.mBytesPerFrame = 8;
    std::vector<float> buffer(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        buffer[2 * i] = input[i];
        buffer[2 * i + 1] = 42.0f;  // the other channel
    }
    EXPECT_EQ(noErr, rig.renderInPlace(buffer.data(), frames,
                                       static_cast<UInt32>(buffer.size() * sizeof(float))));
    for (size_t i = 0; i < frames; ++i) {
        ASSERT_FLOAT_BITS(expected.out[i], buffer[2 * i]) << i;
        ASSERT_EQ(42.0f, buffer[2 * i + 1]) << i;
    }
    EXPECT_EQ(test::doubleBits(expected.phase), test::doubleBits(rig.c.phase.load()));
}

}  // namespace
}  // namespace tolva
