// Exact figures of the sound engine: the carrier tables, the fades, each
// carrier's output, the diode curve, the meter, an empty cycle, a phase that
// lands on a full period, and checksums that pin every bit of whole runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
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

// A cycle of 512 samples of x at rest from a known state, after a cycle in
// state `before` (none: the run's first cycle), and some of its exact output
// samples; then, at full depth, a cycle of 1.0 whose every sample shows the
// envelope the state left behind.
constexpr int32_t kFirst = -1;
struct Figure {
    const char* what;
    int32_t before, wave, state, diodeExponent;  // 0: diode off
    float x;
    double phase;
    std::vector<std::pair<size_t, float>> out;
};

TEST(RenderFigures, FadesCarriersAndTheDiodeGiveTheirExactValues) {
    const float g = kEnvelopeOnLevel;
    // clang-format off
    const Figure figures[] = {
        {"fade-in", kFirst, WaveSelf, StateFadeIn, 0, 1, 0,
         {{0, 0.0f}, {256, 0.35355338f}, {511, 0.70572573f}}},
        {"fade-out", StateOn, WaveSelf, StateFadeOut, 0, 1, 0,
         {{0, g}, {256, 0.35355338f}, {511, 0.0013810679f}}},
        // Nothing modulated was heard, so nothing modulated fades out.
        {"fade-out after silence", StateSilent, WaveSelf, StateFadeOut, 0, 1, 0, {{0, 0}, {511, 0}}},
        {"fade-out after bypass", StateBypass, WaveSine, StateFadeOut, 0, 1, 1, {{0, 0}, {511, 0}}},
        {"fade-out first in a run", kFirst, WaveSelf, StateFadeOut, 0, 1, 0, {{0, 0}, {511, 0}}},
        {"sine at pi/2", StateOn, WaveSine, StateOn, 0, 0.5f, kPi / 2, {{0, 0.35355338f}}},
        {"self, positive", StateOn, WaveSelf, StateOn, 0, 0.5f, 0, {{0, 0.17677669f}}},
        {"self, negative", StateOn, WaveSelf, StateOn, 0, -0.5f, 0, {{0, -0.17677669f}}},
        {"self, zero", StateOn, WaveSelf, StateOn, 0, 0, 0, {{0, 0}}},
        {"diode squares 0.5", StateOn, WaveTriangle, StateOn, 2, 0.5f, 0, {{0, 0.088388346f}}},
        {"silent at full depth", StateOn, WaveSine, StateSilent, 0, 0.5f, 1, {{0, 0}}},
    };
    // clang-format on
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
        m.c.diode.store(f.diodeExponent > 0 ? 1 : 0);
        nonl.store(f.diodeExponent);
        m.c.phase.store(f.phase);
        m.settle(1.0, 440.0);
        const std::vector<float> out = m.render(std::vector<float>(512, f.x));
        for (const auto& [at, expected] : f.out) {
            EXPECT_FLOAT_BITS(expected, out[at]) << f.what << " at " << at;
        }
        const int32_t after = f.state == StateFadeIn    ? StateOn
                              : f.state == StateFadeOut ? StateSilent
                                                        : f.state;
        EXPECT_EQ(after, m.c.state.load()) << f.what;
        m.c.wave.store(WaveSelf);
        for (float y : m.render(std::vector<float>(512, 1.0f))) {
            ASSERT_FLOAT_BITS(after == StateOn ? g : 0.0f, y) << f.what;
        }
    }
    EXPECT_EQ(0x3F3504F3u, floatBits(g));
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
    m.settle(0.75, 1000.0);
    m.c.previous_depth.store(0.25);
    m.c.phase.store(1.25);
    m.panel.levelIndicator.setFloatValue(6.0f);
    m.render({});
    EXPECT_EQ(std::vector<int32_t>{StateFadeIn}, m.states.runs());  // the pull was made
    EXPECT_EQ(std::make_tuple(StateOn, 0.75, 1.25, 0.0f),
              std::make_tuple(m.c.state.load(), m.c.previous_depth.load(), m.c.phase.load(),
                              m.panel.levelIndicator.floatValue()));
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
