// The frequency text is built without printf (the render thread builds it),
// so it is checked here, digit for digit, against what printf gives.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "frequency/frequency_text.h"

namespace tolva {
namespace {

std::string printed(double hz) {
    char text[128];
    std::snprintf(text, sizeof text, "%4.1lf Hz", hz);
    return text;
}

std::string formatted(double hz) {
    char text[kFrequencyTextSize];
    const size_t length = formatFrequencyText(hz, text);
    EXPECT_EQ(std::string(text).size(), length) << hz;
    return text;
}

void expectLikePrintf(double hz) {
    EXPECT_EQ(printed(hz), formatted(hz)) << std::hexfloat << hz;
}

TEST(FrequencyTextTest, ShowsOneDecimalPaddedToFourCharacters) {
    EXPECT_EQ("440.0 Hz", formatted(440.0));
    EXPECT_EQ(" 7.0 Hz", formatted(7.0));
    EXPECT_EQ("606.8 Hz", formatted(606.8181818181819));
    EXPECT_EQ("466.2 Hz", formatted(466.1637615180899));
    EXPECT_EQ("0.0 Hz", formatted(0.0).substr(1));
}

TEST(FrequencyTextTest, ExactHalvesRoundToEvenLikePrintf) {
    for (double hz : {0.25,       0.75,       2.25, 2.75,  1.25,   1023.75, 1e6 + 0.25,
                      0.05,       0.15,       0.35, 0.45,  2.45,   2.55,    1e6 + 0.05,
                      1e6 + 0.15, 1e6 + 0.95, 9.95, 99.95, 999.95, 9999.95, 19999.95}) {
        expectLikePrintf(hz);
    }
}

TEST(FrequencyTextTest, ValuesJustAroundTheRoundingPointMatchPrintf) {
    for (int whole = 0; whole < 2000; whole += 7) {
        for (int tenth = 0; tenth < 10; ++tenth) {
            const double middle = whole + tenth / 10.0 + 0.05;
            double hz = middle;
            for (int step = 0; step < 4; ++step) {
                hz = std::nextafter(hz, 0.0);
            }
            for (int step = 0; step < 9; ++step) {
                expectLikePrintf(hz);
                hz = std::nextafter(hz, 1e9);
            }
        }
    }
}

TEST(FrequencyTextTest, RandomAudioFrequenciesMatchPrintf) {
    std::mt19937_64 random(20240607);
    std::uniform_real_distribution<double> audible(0.0, 20000.0);
    std::uniform_real_distribution<double> small(-2.0, 2.0);
    for (int i = 0; i < 200000; ++i) {
        expectLikePrintf(audible(random));
    }
    for (int i = 0; i < 20000; ++i) {
        expectLikePrintf(small(random));
    }
}

TEST(FrequencyTextTest, SmallNegativeAndLargeValuesMatchPrintf) {
    const double denormal = std::numeric_limits<double>::denorm_min();
    for (double hz : {0.0,         -0.0,         0.04,          0.05,   0.049999999999999996,
                      -0.04,       -0.05,        -0.06,         -1.0,   -440.0,
                      -12345.65,   denormal,     -denormal,     1e-300, 0.95,
                      9.96,        99.96,        999.96,        1e6,    123456789.25,
                      1e14 + 0.25, 8.9e14 + 0.5, -8.9e14 - 0.25}) {
        expectLikePrintf(hz);
    }
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> huge(1e12, 9e14);
    for (int i = 0; i < 20000; ++i) {
        expectLikePrintf(huge(random));
    }
}

// Beyond any frequency the panel can reach, the text still fits its buffer
// and keeps its form.
TEST(FrequencyTextTest, EnormousValuesStayWithinTheBuffer) {
    for (double hz : {4503599627370495.5, 1e20, -1e20, 1e45, std::numeric_limits<double>::max(),
                      -std::numeric_limits<double>::max()}) {
        const std::string text = formatted(hz);
        ASSERT_LT(text.size(), kFrequencyTextSize) << hz;
        EXPECT_EQ(" Hz", text.substr(text.size() - 3)) << hz;
        EXPECT_EQ(hz < 0, text[0] == '-') << hz;
    }
}

TEST(FrequencyTextTest, NonFiniteValuesReadAsPrintfWritesThem) {
    expectLikePrintf(std::numeric_limits<double>::infinity());
    expectLikePrintf(-std::numeric_limits<double>::infinity());
    expectLikePrintf(std::numeric_limits<double>::quiet_NaN());
}

}  // namespace
}  // namespace tolva
