// Exact figures of the render cycle: the fade envelopes, the output of each
// carrier, the diode curve, the level meter, an empty cycle and a phase that
// lands on a full period.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/render_rig.h"

namespace tolva {
namespace {

using test::doubleBits;
using test::floatBits;

class RenderFigures : public ::testing::Test {
  protected:
    // Full depth with the input's own magnitude as carrier: a sample of 1.0
    // comes out as exactly its envelope gain.
    std::vector<float> envelopeOf(int32_t state, size_t frames) {
        rig.c.wave.store(WaveSelf);
        rig.c.state.store(state);
        rig.settle(1.0, 440.0);
        return rig.render(std::vector<float>(frames, 1.0f));
    }

    test::RenderRig rig{44100.0};
};

TEST_F(RenderFigures, FadeInRisesAcrossOneCycleThenHolds) {
    const std::vector<float> fade = envelopeOf(StateFadeIn, 512);
    EXPECT_FLOAT_BITS(0.0f, fade[0]);
    EXPECT_FLOAT_BITS(0.35355338f, fade[256]);
    EXPECT_FLOAT_BITS(0.70572573f, fade[511]);
    EXPECT_EQ(StateOn, rig.c.state.load());

    const std::vector<float> next = rig.render(std::vector<float>(512, 1.0f));
    for (float v : next) {
        ASSERT_FLOAT_BITS(kEnvelopeOnLevel, v);
    }
    EXPECT_EQ(0x3F3504F3u, floatBits(kEnvelopeOnLevel));
}

TEST_F(RenderFigures, FadeOutFallsAcrossOneCycleThenIsSilent) {
    const std::vector<float> fade = envelopeOf(StateFadeOut, 512);
    EXPECT_FLOAT_BITS(kEnvelopeOnLevel, fade[0]);
    EXPECT_FLOAT_BITS(0.35355338f, fade[256]);
    EXPECT_FLOAT_BITS(0.0013810679f, fade[511]);
    EXPECT_EQ(StateSilent, rig.c.state.load());

    const std::vector<float> next = rig.render(std::vector<float>(512, 1.0f));
    for (float v : next) {
        ASSERT_EQ(0.0f, v);  // full depth: nothing of the input is left
    }
}

TEST_F(RenderFigures, SineAtAQuarterPeriod) {
    rig.c.wave.store(WaveSine);
    rig.c.state.store(StateOn);
    rig.settle(1.0, 440.0);
    rig.c.phase.store(3.141592653589793 / 2.0);
    EXPECT_FLOAT_BITS(0.35355338f, rig.render({0.5f})[0]);
}

TEST_F(RenderFigures, SelfCarrierIsASignedSquare) {
    rig.c.wave.store(WaveSelf);
    rig.c.state.store(StateOn);
    rig.settle(1.0, 440.0);
    const std::vector<float> out = rig.render({0.5f, -0.5f, 0.0f});
    EXPECT_FLOAT_BITS(0.17677669f, out[0]);
    EXPECT_FLOAT_BITS(-0.17677669f, out[1]);
    EXPECT_FLOAT_BITS(0.0f, out[2]);
}

TEST_F(RenderFigures, DiodeCurveSquaresAKnownCarrier) {
    // A triangle table that reads 0.5 everywhere is a known carrier.
    std::vector<float> half(static_cast<size_t>(rig.c.cycle.load()), 0.5f);
    float* table = rig.c.Trif.exchange(half.data());
    rig.c.wave.store(WaveTriangle);
    rig.c.diode.store(1);
    nonl.store(2.0);
    rig.c.state.store(StateOn);
    rig.settle(1.0, 440.0);
    EXPECT_FLOAT_BITS(0.088388346f, rig.render({0.5f})[0]);
    rig.c.Trif.store(table);
}

TEST(DiodeCurve, IsOddWithNegativeZeroAtZero) {
    test::RenderRig rig;
    nonl.store(2.0);
    EXPECT_EQ(doubleBits(-0.25), doubleBits(da(-0.5)));
    EXPECT_EQ(doubleBits(0.25), doubleBits(da(0.5)));
    EXPECT_EQ(doubleBits(-0.0), doubleBits(da(0.0)));
    nonl.store(1.0);
    EXPECT_EQ(doubleBits(0.3), doubleBits(da(0.3)));
    EXPECT_EQ(doubleBits(-0.3), doubleBits(da(-0.3)));
}

TEST(DiodeMode, WithLinearExponentSoundsLikePlainMultiplication) {
    std::vector<float> input(1000);
    for (size_t i = 0; i < input.size(); ++i) {
        input[i] = static_cast<float>(std::sin(0.37 * static_cast<double>(i))) * 0.9f;
    }
    for (int32_t wave : {WaveSine, WaveTriangle, WaveRamp}) {
        std::vector<float> outputs[2];
        for (int32_t diodeOn : {0, 1}) {
            test::RenderRig r{44100.0};
            nonl.store(1.0);
            r.c.wave.store(wave);
            r.c.diode.store(diodeOn);
            r.c.state.store(StateFadeIn);
            r.c.depth.store(0.8);
            r.c.frequency.store(1234.5);
            outputs[diodeOn] = r.render(input);
        }
        for (size_t i = 0; i < input.size(); ++i) {
            ASSERT_FLOAT_BITS(outputs[0][i], outputs[1][i]) << "wave " << wave << " sample " << i;
        }
    }
}

TEST(LevelMeter, StepsAtItsThresholds) {
    test::RenderRig rig;
    struct Case {
        float peak;
        float level;
    };
    const Case cases[] = {
        {0.5f, 5.0f},
        {std::nextafter(0.5f, 1.0f), 6.0f},
        {0.2f, 5.0f},
        {0.08f, 3.0f},
        {0.03f, 2.0f},
        {0.007f, 2.0f},
        {0.002f, 1.0f},
        {0.0f, 0.0f},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f},
        {std::numeric_limits<float>::max(), 6.0f},
        {std::numeric_limits<float>::infinity(), 6.0f},
    };
    for (const Case& k : cases) {
        rig.c.updateLevel(k.peak);
        EXPECT_EQ(k.level, rig.level.floatValue()) << "peak " << k.peak;
    }
}

TEST(EmptyCycle, StillPullsAndHandsOverItsState) {
    int pulls = 0;
    test::RenderRig counting{44100.0, [&pulls](float*, UInt32 frames, uint64_t) {
                                 EXPECT_EQ(0u, frames);
                                 ++pulls;
                             }};
    auto& c = counting.c;
    c.depth.store(0.75);
    c.previous_depth.store(0.25);
    c.frequency.store(1000.0);
    c.previous_phase_increment.store(0.01);
    c.phase.store(1.25);
    counting.level.setFloatValue(6.0f);

    c.state.store(StateFadeIn);
    EXPECT_TRUE(counting.render({}).empty());
    EXPECT_EQ(1, pulls);
    EXPECT_EQ(StateOn, c.state.load());
    EXPECT_EQ(0.75, c.previous_depth.load());
    EXPECT_EQ(doubleBits(1000.0 * c.TWO_PI_NORM.load()),
              doubleBits(c.previous_phase_increment.load()));
    EXPECT_EQ(1.25, c.phase.load());
    EXPECT_EQ(0.0f, counting.level.floatValue());

    c.state.store(StateFadeOut);
    counting.render({});
    EXPECT_EQ(StateSilent, c.state.load());
}

TEST_F(RenderFigures, PhaseLandingOnAFullPeriodWrapsOnlyAtTheNextUpdate) {
    // Increment 0.5 throughout; the first update lands exactly on 2*pi.
    rig.c.TWO_PI_NORM.store(0.5);
    rig.c.wave.store(WaveSine);
    rig.c.state.store(StateOn);
    rig.settle(1.0, 1.0);
    rig.c.phase.store(kTwoPi - 0.5);

    const std::vector<float> one = rig.render({1.0f});
    EXPECT_EQ(doubleBits(kTwoPi), doubleBits(rig.c.phase.load()));
    (void)one;

    // The carrier of the next sample is sin(2*pi), not sin(0).
    const std::vector<float> next = rig.render({1.0f});
    EXPECT_EQ(-2.4492935982947064e-16, std::sin(kTwoPi));
    const auto expected =
        static_cast<float>(static_cast<double>(kEnvelopeOnLevel) * (1.0 * std::sin(kTwoPi)) + 0.0);
    EXPECT_FLOAT_BITS(expected, next[0]);
    EXPECT_LT(next[0], 0.0f);
    EXPECT_EQ(0.5, rig.c.phase.load());
}

}  // namespace
}  // namespace tolva
