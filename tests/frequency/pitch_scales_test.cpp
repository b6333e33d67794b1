// Notes to Hz and back, the logarithmic slider scale and the frequency text:
// the figures every frequency on the panel and from MIDI rests on, and what
// comes back outside their domains.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "engine/modulator_globals.h"
#include "frequency/frequency_text.h"
#include "frequency/pitch_scales.h"

namespace tolva {
namespace {

TEST(PitchScales, NotesBendsAndTheReference) {
    resetModulatorGlobals();
    A.store(440.0);
    bendd.store(2.0);
    const struct {
        double a, bend, note, hz;
    } notes[] = {{440, 0, 69, 440.0},
                 {440, 0, 81, 880.0},
                 {440, 0, 57, 220.0},
                 {440, 0, 60, 261.6255653005986},
                 {442, 0, 69, 442.0},
                 {440, 0.5, 69, 466.1637615180899},
                 {440, -1, 69, 391.99543598174927}};
    for (const auto& k : notes) {
        A.store(k.a);
        bend.store(k.bend);
        EXPECT_DOUBLE_EQ(k.hz, Frequency(k.note)) << k.note << " " << k.bend;
        if (k.bend == 0) {
            EXPECT_NEAR(k.note, Pitch(k.hz), 1e-12);
        }
    }
    A.store(440.0);
    EXPECT_NEAR(62.3695077, Pitch(300), 1e-7);
    EXPECT_DOUBLE_EQ(311.1269837220809, logfreq(907.5, 55, 1760));
    EXPECT_DOUBLE_EQ(1078.0, logval(440, 55, 1760));
    EXPECT_DOUBLE_EQ(737.0, logval(220, 55, 1760));
    EXPECT_GT(logval(3520, 55, 1760), 1760.0);  // not clamped
    resetModulatorGlobals();
}

TEST(PitchScales, UnusableRangesFrequenciesAndReferencesGiveFiniteValues) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (auto [min, max] :
         {std::pair{0.0, 1760.0}, {-55.0, 1760.0}, {440.0, 440.0}, {55.0, -1.0}}) {
        for (double v : {-100.0, 0.0, 440.0}) {
            EXPECT_TRUE(std::isfinite(logfreq(v, min, max))) << min << " " << max << " " << v;
            EXPECT_TRUE(std::isfinite(logval(v, min, max))) << min << " " << max << " " << v;
        }
    }
    EXPECT_EQ(440.0, logfreq(440, 440, 440));  // without a usable range the scale is linear
    A.store(0.0);
    for (double f : {440.0, 0.0, -440.0, nan}) {
        EXPECT_EQ(69.0, Pitch(f)) << f;
    }
}

std::string printed(double hz) {
    char text[128];
    std::snprintf(text, sizeof text, "%4.1lf Hz", hz);
    return text;
}

std::string formatted(double hz) {
    char text[kFrequencyTextSize];
    const size_t length = formatFrequencyText(hz, text);
    EXPECT_EQ(std::strlen(text), length);
    return text;
}

TEST(FrequencyText, IsWhatPrintfWritesDigitForDigit) {
    EXPECT_EQ(" 7.0 Hz", formatted(7.0));
    std::mt19937_64 random(20240607);
    std::uniform_real_distribution<double> audible(0.0, 20000.0);
    for (int i = 0; i < 100000; ++i) {
        const double hz = i % 2 == 0 ? audible(random) : audible(random) / 5000.0 - 2.0;
        ASSERT_EQ(printed(hz), formatted(hz)) << std::hexfloat << hz;
    }
    // Around every rounding point: exact halves of binary values round as printf rounds them.
    for (int tenths = 0; tenths < 20000; tenths += 7) {
        double hz = tenths / 10.0 + 0.05;
        for (int step = 0; step < 4; ++step) {
            hz = std::nextafter(hz, 0.0);
        }
        for (int step = 0; step < 9; ++step, hz = std::nextafter(hz, 1e9)) {
            ASSERT_EQ(printed(hz), formatted(hz)) << std::hexfloat << hz;
        }
    }
    for (double hz : {-0.0, -0.05, 1e-300, 8.9e14 + 0.5, HUGE_VAL, -HUGE_VAL,
                      std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(printed(hz), formatted(hz)) << hz;
    }
    for (double hz : {1e20, -std::numeric_limits<double>::max()}) {  // far beyond any carrier
        const std::string text = formatted(hz);
        EXPECT_LT(text.size(), kFrequencyTextSize);
        EXPECT_EQ(" Hz", text.substr(text.size() - 3));
    }
}

}  // namespace
}  // namespace tolva
