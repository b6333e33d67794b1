// The fast carrier pass against the plain one, bit for bit: every output
// sample, the running phase and the peak. Random settings over every state
// and carrier, then samples picked where only the guard keeps the fast
// carrier exact (there the vector sine or power, unguarded, rounds to another
// output than glibc 2.36's sin and pow), or where the bound the guard relies
// on does not hold.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/carrier_pass.h"
#include "engine/fast_carrier_pass.h"
#include "engine/modulator_globals.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva {
namespace {

constexpr int32_t kTableLength = 48000;

class FastRender : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fastCarrierPassAvailable()) {
            GTEST_SKIP() << "this CPU or build has no fast carrier pass";
        }
        R.store(kTableLength);
        tables.cycle.store(kTableLength);
        tables.Trif.store(new float[kTableLength]());
        tables.Ramf.store(new float[kTableLength]());
        tables.fillTables();
    }
    void TearDown() override { resetModulatorGlobals(); }

    CarrierPass steady(int32_t wave, bool diode) const {
        return {StateOn, 4, wave, diode, 1.0, 1.0, 0.0, 0.0, table(wave), kTableLength};
    }
    const float* table(int32_t wave) const {
        return wave == WaveRamp ? tables.Ramf.load() : tables.Trif.load();
    }

    // Both passes over the same samples, from the same phase and peak.
    void expectSame(const CarrierPass& pass, const std::vector<float>& input, uint32_t first,
                    double phase, const std::string& what) {
        std::vector<float> plain = input, fast = input;
        double plainPhase = phase, fastPhase = phase;
        float plainPeak = 0.125f, fastPeak = 0.125f;
        const auto count = static_cast<uint32_t>(input.size());
        plainCarrierPass(pass, plain.data(), first, count, plainPhase, plainPeak);
        fastCarrierPass(pass, fast.data(), first, count, fastPhase, fastPeak);
        // A NaN's sign and payload are the compiler's choice, not the formulas'.
        for (uint32_t i = 0; i < count; ++i) {
            if (std::memcmp(&plain[i], &fast[i], sizeof(float)) != 0 &&
                !(std::isnan(plain[i]) && std::isnan(fast[i]))) {
                ADD_FAILURE() << what << ": sample " << i << " of " << count << " (input "
                              << input[i] << "): plain " << plain[i] << ", fast " << fast[i];
                return;
            }
        }
        EXPECT_EQ(0, std::memcmp(&plainPhase, &fastPhase, sizeof(double))) << what << ": phase";
        EXPECT_EQ(0, std::memcmp(&plainPeak, &fastPeak, sizeof(float))) << what << ": peak";
        compared += count;
    }

    RingModulatorViewController tables;
    uint64_t compared = 0;
};

TEST_F(FastRender, GivesThePlainPassBitsOverRandomSettings) {
    std::mt19937_64 rng(1010);
    auto uniform = [&](double low, double high) {
        return std::uniform_real_distribution<double>(low, high)(rng);
    };
    auto oneOf = [&](std::initializer_list<double> values) {
        return *(values.begin() + rng() % values.size());
    };
    const float kOddInputs[] = {0.0f,   -0.0f, 1e-40f, -1e-45f,   1.5e-38f,   3e38f,
                                -1e30f, 1.0f,  -1.0f,  HUGE_VALF, -HUGE_VALF, NAN};
    for (int trial = 0; trial < 3000; ++trial) {
        const auto wave = static_cast<int32_t>(rng() % 4);
        const bool diode = rng() % 2 == 0;
        nonl.store(oneOf({uniform(1.0, 4.0), uniform(1.0, 4.0), 1.0, 2.0, 4.0}));
        const auto frames = static_cast<uint32_t>(1 + rng() % (rng() % 4 == 0 ? 8192 : 300));
        // Mostly whole cycles; some chunks of one, as a strided buffer is worked through.
        const auto first = static_cast<uint32_t>(rng() % 4 == 0 ? rng() % frames : 0);
        const auto count = static_cast<uint32_t>(
            first == 0 ? frames : 1 + rng() % std::min<uint32_t>(frames - first, 300));
        const double depth = oneOf({uniform(0.0, 1.0), 0.0, 1.0, -0.0});
        const double increment = kTwoPi / kTableLength *
                                 oneOf({uniform(0.0, 2000.0), uniform(0.0, kTableLength), 0.0, -0.0,
                                        static_cast<double>(kTableLength)});
        // Glides of depth and frequency, or none.
        const double target = rng() % 2 == 0 ? depth : uniform(0.0, 1.0);
        const double from = rng() % 2 == 0 ? increment : oneOf({-0.0, 0.0, uniform(0.0, 1.0)});
        const auto state = static_cast<int32_t>(rng() % 5);
        const CarrierPass pass{state,  frames, wave,      diode,       depth,
                               target, from,   increment, table(wave), kTableLength};
        const double phase = oneOf({uniform(0.0, kTwoPi), uniform(0.0, 1e-6), 0.0, -0.0, 4.9e-324,
                                    kTwoPi, std::nextafter(kTwoPi, 0.0),
                                    kTwoPi - uniform(0.0, 1e-9), uniform(kTwoPi, 20.0)});
        std::vector<float> input(count);
        for (float& x : input) {
            x = rng() % 8 == 0 ? kOddInputs[rng() % std::size(kOddInputs)]
                               : static_cast<float>(uniform(-1.0, 1.0));
        }
        expectSame(pass, input, first, phase, "trial " + std::to_string(trial));
    }
    std::printf("%llu samples compared\n", static_cast<unsigned long long>(compared));
}

struct Picked {
    const char* what;
    int32_t wave;
    double exponent;  // of the diode; 0: no diode
    double phase;
    float x;
};

const Picked kPicked[] = {
    {"sine", WaveSine, 0.0, 0x1.776a0fe29ee9ep+1, 0x1.e9de14p-1f},
    {"sine", WaveSine, 0.0, 0x1.0fd1089106964p+1, 0x1.211bdep-1f},
    {"sine", WaveSine, 0.0, 0x1.a3b4bf37ecf02p+0, 0x1.4bdc24p-2f},
    {"sine diode", WaveSine, 0x1.ced1ed3286ea3p+1, 0x1.d66122ade7d4ep-1, 0x1.816de6p-1f},
    {"sine diode", WaveSine, 0x1.0fdf1337d1ebbp+1, 0x1.8c316f0e20ac5p-1, 0x1.c5b6b2p-2f},
    {"sine diode", WaveSine, 0x1.e6b046a11e469p+0, 0x1.1e239337de022p+1, 0x1.c50e18p-1f},
    {"triangle diode", WaveTriangle, 0x1.b3c7a8d5f30e9p+1, 0x1.3d3e01cc8792ap-1, 0x1.ced1eep-1f},
    {"triangle diode", WaveTriangle, 0x1.46425c5a4fd61p+1, 0x1.e32b2791f19b9p+0, 0x1.c50e18p-1f},
    {"triangle diode", WaveTriangle, 0x1.2465eaa755af7p+1, 0x1.5a667f898e7ap+2, 0x1.e6e416p-1f},
    {"sine at phase 0", WaveSine, 2.0, 0.0, 0.5f},
    {"sine of a subnormal phase", WaveSine, 0.0, 4.9e-324, 0.5f},
    {"sine at the double nearest pi", WaveSine, 0.0, kTwoPi / 2, 0.5f},
    {"sine at 2 pi", WaveSine, 1.5, kTwoPi, 0.5f},
    {"sine beyond 16", WaveSine, 0.0, 16.5, -0.5f},
    {"sine of infinity", WaveSine, 0.0, HUGE_VAL, 0.5f},
    {"triangle at exactly 2 pi", WaveTriangle, 0.0, kTwoPi, 0.5f},
    {"ramp below 0", WaveRamp, 0.0, -1.0, 0.5f},
    {"ramp far beyond 2 pi", WaveRamp, 3.0, 1e6, 0.5f},
    {"ramp of NaN", WaveRamp, 0.0, std::nan(""), 0.5f},
    {"triangle at 0 through the diode", WaveTriangle, 3.0, 0.0, -0.5f},
    {"diode below an exponent of 1", WaveSine, 0.5, 1.0, 0.5f},
};

TEST_F(FastRender, GivesThePlainPassBitsWhereOnlyTheGuardOrTheLibraryCan) {
    const uint64_t recomputedBefore = fastCarrierPassRecomputedSamples();
    for (const Picked& p : kPicked) {
        nonl.store(p.exponent);
        CarrierPass pass = steady(p.wave, p.exponent > 0.0);
        pass.frames = 5;  // one group of four, then one sample alone
        expectSame(pass, std::vector<float>(5, p.x), 0, p.phase, p.what);
    }
    EXPECT_GT(fastCarrierPassRecomputedSamples(), recomputedBefore);
}

}  // namespace
}  // namespace tolva
