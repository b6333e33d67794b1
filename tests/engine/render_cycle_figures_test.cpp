// Exact figures of the sound engine: the carrier tables, the fades, each
// carrier's output, the diode curve, the meter, an empty cycle, a phase that
// lands on a full period, and checksums that pin every bit of whole runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/carrier_tables.h"
#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::doubleBits;
using test::floatBits;
using test::PlayedModulator;

constexpr double kPi = 3.141592653589793;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(CarrierTables, HoldOnePeriodAndAreNeverReadOutside) {
    PlayedModulator m{44100.0};
    m.play();
    const float* trif = m.c.Trif.load();
    const float* ramf = m.c.Ramf.load();
    ASSERT_EQ(44100, m.c.cycle.load());
    EXPECT_FLOAT_BITS(0.0f, trif[0]);
    EXPECT_FLOAT_BITS(0.0f, ramf[0]);
    EXPECT_FLOAT_BITS(0.846777f, trif[11025]);
    EXPECT_FLOAT_BITS(0.846777f, ramf[11025]);
    EXPECT_FLOAT_BITS(-0.846777f, trif[33075]);
    const auto peak = std::max_element(ramf, ramf + 44100);
    EXPECT_NEAR(7617, static_cast<double>(peak - ramf), 3);
    EXPECT_NEAR(0.95656, *peak, 1e-5);

    // Phase to entry: truncated, a full period reads the start again.
    const struct {
        double phase;
        int entry;
    } lookups[] = {{0.0, 0}, {kPi / 2, 11025}, {kPi, 22050}, {kTwoPi, 0}, {kTwoPi + kPi, 22050}};
    for (const auto& l : lookups) {
        EXPECT_EQ(trif[l.entry], m.c.tri(l.phase)) << l.phase;
        EXPECT_EQ(ramf[l.entry], m.c.ram(l.phase)) << l.phase;
    }
    for (double phase : {std::nextafter(kTwoPi, 0.0), 1e300, -1.0, double(kNaN), HUGE_VAL}) {
        EXPECT_LE(std::fabs(m.c.tri(phase)), 1.0) << phase;
        EXPECT_LE(std::fabs(m.c.ram(phase)), 1.0) << phase;
    }
    EXPECT_EQ(0.0, carrierTableLookup(nullptr, 44100, 1.0));
}

// One cycle at rest from a known state, after a cycle in state `before` (none:
// the run's first cycle); then, at full depth, a cycle of 1.0 whose every
// sample shows the envelope the state left behind.
constexpr int32_t kFirst = -1;
struct Figure {
    const char* what;
    int32_t before, wave, state, diode;
    double nonl, phase;
    std::vector<float> input;
    size_t at;
    float expected;
    int32_t stateAfter;
    float nextCycleLevel;
};

TEST(RenderFigures, FadesCarriersAndTheDiodeGiveTheirExactValues) {
    const float g = kEnvelopeOnLevel;
    const std::vector<float> ones(512, 1.0f);
    const Figure figures[] = {
        {"fade-in start", kFirst, WaveSelf, StateFadeIn, 0, 1, 0, ones, 0, 0.0f, StateOn, g},
        {"fade-in middle", kFirst, WaveSelf, StateFadeIn, 0, 1, 0, ones, 256, 0.35355338f, StateOn,
         g},
        {"fade-in end", kFirst, WaveSelf, StateFadeIn, 0, 1, 0, ones, 511, 0.70572573f, StateOn, g},
        {"fade-out start", StateOn, WaveSelf, StateFadeOut, 0, 1, 0, ones, 0, g, StateSilent, 0.0f},
        {"fade-out middle", StateOn, WaveSelf, StateFadeOut, 0, 1, 0, ones, 256, 0.35355338f,
         StateSilent, 0.0f},
        {"fade-out end", StateOn, WaveSelf, StateFadeOut, 0, 1, 0, ones, 511, 0.0013810679f,
         StateSilent, 0.0f},
        // Nothing modulated was heard, so nothing modulated fades out.
        {"fade-out after silence", StateSilent, WaveSelf, StateFadeOut, 0, 1, 0, ones, 0, 0.0f,
         StateSilent, 0.0f},
        {"fade-out after bypass", StateBypass, WaveSine, StateFadeOut, 0, 1, 1, ones, 0, 0.0f,
         StateSilent, 0.0f},
        {"fade-out first in a run", kFirst, WaveSelf, StateFadeOut, 0, 1, 0, ones, 0, 0.0f,
         StateSilent, 0.0f},
        {"sine at pi/2",
         StateOn,
         WaveSine,
         StateOn,
         0,
         1,
         kPi / 2,
         {0.5f},
         0,
         0.35355338f,
         StateOn,
         g},
        {"self, positive", StateOn, WaveSelf, StateOn, 0, 1, 0, {0.5f}, 0, 0.17677669f, StateOn, g},
        {"self, negative",
         StateOn,
         WaveSelf,
         StateOn,
         0,
         1,
         0,
         {-0.5f},
         0,
         -0.17677669f,
         StateOn,
         g},
        {"self, zero", StateOn, WaveSelf, StateOn, 0, 1, 0, {0.0f}, 0, 0.0f, StateOn, g},
        {"diode squares 0.5",
         StateOn,
         WaveTriangle,
         StateOn,
         1,
         2,
         0,
         {0.5f},
         0,
         0.088388346f,
         StateOn,
         g},
        {"silent at full depth",
         StateOn,
         WaveSine,
         StateSilent,
         0,
         1,
         1,
         {0.5f},
         0,
         0.0f,
         StateSilent,
         0.0f},
    };
    for (const Figure& f : figures) {
        PlayedModulator m{44100.0};
        m.play();
        float* trif = m.c.Trif.load();
        std::fill(trif, trif + m.c.cycle.load(), 0.5f);  // a known triangle carrier
        if (f.before != kFirst) {
            m.c.state.store(f.before);
            m.render({0.25f});
        }
        m.c.wave.store(f.wave);
        m.c.state.store(f.state);
        m.c.diode.store(f.diode);
        nonl.store(f.nonl);
        m.c.phase.store(f.phase);
        m.settle(1.0, 440.0);
        EXPECT_FLOAT_BITS(f.expected, m.render(f.input)[f.at]) << f.what;
        EXPECT_EQ(f.stateAfter, m.c.state.load()) << f.what;
        m.c.wave.store(WaveSelf);
        for (float y : m.render(ones)) {
            ASSERT_FLOAT_BITS(f.nextCycleLevel, y) << f.what;
        }
    }
    EXPECT_EQ(0x3F3504F3u, floatBits(g));
}

TEST(DiodeCurve, IsOddWithNegativeZeroAtZero) {
    nonl.store(2.0);
    EXPECT_EQ(doubleBits(-0.25), doubleBits(da(-0.5)));
    EXPECT_EQ(doubleBits(0.25), doubleBits(da(0.5)));
    EXPECT_EQ(doubleBits(-0.0), doubleBits(da(0.0)));
    nonl.store(1.0);
    EXPECT_EQ(doubleBits(-0.3), doubleBits(da(-0.3)));
    nonl.store(0.0);
}

TEST(LevelMeter, StepsAtItsThresholds) {
    PlayedModulator m;
    const std::pair<float, float> cases[] = {
        {0.5f, 5.0f},   {std::nextafter(0.5f, 1.0f), 6.0f},
        {0.2f, 5.0f},   {0.08f, 3.0f},
        {0.03f, 2.0f},  {0.007f, 2.0f},
        {0.002f, 1.0f}, {0.0f, 0.0f},
        {kNaN, 0.0f},   {std::numeric_limits<float>::infinity(), 6.0f}};
    for (const auto& [peak, level] : cases) {
        m.c.updateLevel(peak);
        EXPECT_EQ(level, m.panel.levelIndicator.floatValue()) << peak;
    }
}

TEST(RenderFigures, AnEmptyCycleStillPullsAndHandsOverItsState) {
    PlayedModulator m;
    m.play();
    m.c.depth.store(0.75);
    m.c.frequency.store(1000.0);
    m.c.phase.store(1.25);
    m.panel.levelIndicator.setFloatValue(6.0f);
    m.render({});
    EXPECT_EQ(std::vector<int32_t>{StateFadeIn}, m.states.runs());  // the pull was made
    EXPECT_EQ(StateOn, m.c.state.load());
    EXPECT_EQ(0.75, m.c.previous_depth.load());
    EXPECT_EQ(1000.0 * m.c.TWO_PI_NORM.load(), m.c.previous_phase_increment.load());
    EXPECT_EQ(1.25, m.c.phase.load());
    EXPECT_EQ(0.0f, m.panel.levelIndicator.floatValue());
    m.c.state.store(StateFadeOut);
    m.render({});
    EXPECT_EQ(StateSilent, m.c.state.load());
}

TEST(RenderFigures, APhaseLandingOnAFullPeriodWrapsOnlyAtTheNextUpdate) {
    PlayedModulator m;
    m.play();
    m.c.TWO_PI_NORM.store(0.5);  // an increment of 0.5 throughout
    m.c.state.store(StateOn);
    m.settle(1.0, 1.0);
    m.c.phase.store(kTwoPi - 0.5);
    m.render({1.0f});
    EXPECT_EQ(doubleBits(kTwoPi), doubleBits(m.c.phase.load()));
    // The next sample's carrier is sin(2*pi), just below zero, not sin(0).
    EXPECT_FLOAT_BITS(static_cast<float>(double(kEnvelopeOnLevel) * -2.4492935982947064e-16),
                      m.render({1.0f})[0]);
    EXPECT_EQ(0.5, m.c.phase.load());
}

// Whole runs, every bit: each carrier with the diode off and on, through every
// state, gliding in depth and frequency, on cycles of odd lengths, with inputs
// at the edges of the float range. The checksums were taken while the cycle
// matched, bit for bit, a rendition of its formulas written out sample by
// sample; any change in the arithmetic shows here.
uint64_t checksumOfRun(int32_t wave, int32_t diode) {
    PlayedModulator m{44100.0};
    m.play();
    m.c.wave.store(wave);
    m.c.diode.store(diode);
    nonl.store(2.5);
    m.c.phase.store(1.0);
    uint64_t hash = 14695981039346656037u;
    auto mix = [&hash](uint64_t bits) { hash = (hash ^ bits) * 1099511628211u; };
    uint32_t seed = 7;
    const float edges[] = {0.0f, -0.0f, 1.0f, -1.0f, 1e-40f, -3e38f, 0.5f};
    for (int32_t state : {StateSilent, StateFadeIn, StateOn, StateFadeOut, StateBypass}) {
        m.c.state.store(state);
        for (UInt32 frames : {1u, 257u, 1024u}) {
            m.c.depth.store(0.3 + 0.2 * (frames % 3));
            m.c.frequency.store(frames == 257 ? 1234.5 : 17000.0 + state);
            std::vector<float> input(frames);
            for (size_t i = 0; i < frames; ++i) {
                seed = seed * 1664525u + 1013904223u;
                input[i] = i < 7 && frames > 7 ? edges[i] : float(seed >> 8) / 8388608.0f - 1.0f;
            }
            for (float y : m.render(input)) {
                mix(floatBits(y));
            }
            mix(doubleBits(m.c.phase.load()));
            mix(static_cast<uint64_t>(m.panel.levelIndicator.floatValue()));
        }
    }
    return hash;
}

TEST(RenderChecksums, EveryCarrierWithAndWithoutTheDiode) {
    const struct {
        int32_t wave, diode;
        uint64_t checksum;
    } runs[] = {
        {WaveSelf, 0, 0x6b092aa5ef313fcdu},     {WaveSelf, 1, 0x6b092aa5ef313fcdu},
        {WaveSine, 0, 0xcbb125652c1f0b74u},     {WaveSine, 1, 0x7934c0c88dd31007u},
        {WaveTriangle, 0, 0x47c4107daf923da1u}, {WaveTriangle, 1, 0x6a8724b9a4c6c7b4u},
        {WaveRamp, 0, 0x40857082bda2ccd8u},     {WaveRamp, 1, 0x36f012aeaa172da0u},
    };
    for (const auto& r : runs) {
        EXPECT_EQ(r.checksum, checksumOfRun(r.wave, r.diode))
            << std::hex << "wave " << r.wave << " diode " << r.diode;
    }
}

}  // namespace
}  // namespace tolva
