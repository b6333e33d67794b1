// Notes to Hz and back, and the logarithmic slider scale: the figures every
// frequency on the panel and from MIDI rests on, and what happens outside
// their domains.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/modulator_globals.h"
#include "frequency/pitch_scales.h"

namespace tolva {
namespace {

class PitchScalesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        A.store(440.0);
        bendd.store(2.0);
    }
    void TearDown() override { resetModulatorGlobals(); }
};

TEST_F(PitchScalesTest, NotesSoundInEqualTemperamentAroundA) {
    EXPECT_EQ(440.0, Frequency(69));
    EXPECT_EQ(880.0, Frequency(81));
    EXPECT_EQ(220.0, Frequency(57));
    EXPECT_DOUBLE_EQ(261.6255653005986, Frequency(60));
}

TEST_F(PitchScalesTest, TheReferenceMovesEveryNote) {
    A.store(442.0);
    EXPECT_EQ(442.0, Frequency(69));
    EXPECT_EQ(884.0, Frequency(81));
    EXPECT_EQ(442.0, TuningA(442.0));
}

TEST_F(PitchScalesTest, TheBendAddsSemitonesBeforeTheOctaveDivision) {
    bend.store(0.5);
    EXPECT_DOUBLE_EQ(466.1637615180899, Frequency(69));  // one semitone up
    bend.store(-1.0);
    EXPECT_DOUBLE_EQ(391.99543598174927, Frequency(69));  // two semitones down
}

TEST_F(PitchScalesTest, PitchIsTheInverseWithoutTheBend) {
    EXPECT_EQ(69.0, Pitch(440));
    EXPECT_EQ(81.0, Pitch(880));
    EXPECT_EQ(57.0, Pitch(220));
    EXPECT_DOUBLE_EQ(60.0, Pitch(261.6255653005986));
    EXPECT_NEAR(62.3695077, Pitch(300), 1e-7);

    bend.store(0.5);
    EXPECT_NEAR(64.0 + 1.0, Pitch(Frequency(64)), 1e-12);
}

TEST_F(PitchScalesTest, LogScaleMapsTheRangeEndsAndTheGeometricMean) {
    EXPECT_EQ(55.0, logfreq(55, 55, 1760));
    EXPECT_DOUBLE_EQ(1760.0, logfreq(1760, 55, 1760));
    EXPECT_DOUBLE_EQ(311.1269837220809, logfreq(907.5, 55, 1760));
    EXPECT_DOUBLE_EQ(1078.0, logval(440, 55, 1760));
    EXPECT_DOUBLE_EQ(737.0, logval(220, 55, 1760));
    EXPECT_EQ(55.0, logval(55, 55, 1760));
}

TEST_F(PitchScalesTest, LogScaleRoundTripsInsideAndOutsideTheRange) {
    for (double v : {10.0, 55.0, 100.0, 907.5, 1500.0, 1760.0, 2500.0}) {
        EXPECT_NEAR(v, logval(logfreq(v, 55, 1760), 55, 1760), 1e-9) << v;
    }
    EXPECT_GT(logval(3520, 55, 1760), 1760.0);  // not clamped
    EXPECT_LT(logval(27.5, 55, 1760), 55.0);
}

// Whatever range or frequency the scales are handed, what comes back is a
// number that the slider, the carrier and the text can take.
TEST_F(PitchScalesTest, UnusableRangesAndFrequenciesGiveFiniteValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Range {
        double min, max;
    };
    for (Range r : {Range{0, 1760}, Range{-55, 1760}, Range{440, 440}, Range{0, 0}, Range{55, -1},
                    Range{-10, -10}}) {
        for (double v : {-100.0, 0.0, 1.0, 440.0, 1760.0}) {
            EXPECT_TRUE(std::isfinite(logfreq(v, r.min, r.max)))
                << r.min << " " << r.max << " " << v;
            EXPECT_TRUE(std::isfinite(logval(v, r.min, r.max)))
                << r.min << " " << r.max << " " << v;
        }
    }
    for (double f : {0.0, -0.0, -440.0, nan, -inf}) {
        EXPECT_TRUE(std::isfinite(logval(f, 55, 1760))) << f;
        EXPECT_TRUE(std::isfinite(Pitch(f))) << f;
    }
    // Without a usable range the slider value simply is the frequency.
    EXPECT_EQ(440.0, logfreq(440, 440, 440));
    EXPECT_EQ(440.0, logval(440, 440, 440));
}

TEST_F(PitchScalesTest, PitchWithoutAReferenceStaysFinite) {
    A.store(0.0);
    EXPECT_TRUE(std::isfinite(Pitch(440)));
    EXPECT_EQ(0.0, Frequency(69));  // no reference, no pitch: never NaN
    A.store(-440.0);
    EXPECT_TRUE(std::isfinite(Pitch(440)));
}

}  // namespace
}  // namespace tolva
