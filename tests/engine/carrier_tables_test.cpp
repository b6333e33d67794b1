// The triangle and ramp tables: their contents at 44.1 kHz, their length at
// odd rates, and a lookup that never leaves the table.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "engine/carrier_tables.h"
#include "support/render_rig.h"

namespace tolva {
namespace {

using test::floatBits;

class CarrierTablesAt44100 : public ::testing::Test {
  protected:
    test::RenderRig rig{44100.0};
    const float* trif() const { return rig.c.Trif.load(); }
    const float* ramf() const { return rig.c.Ramf.load(); }
};

TEST_F(CarrierTablesAt44100, HoldOnePeriodStartingAtZero) {
    EXPECT_EQ(44100, rig.c.cycle.load());
    EXPECT_FLOAT_BITS(0.0f, trif()[0]);
    EXPECT_FLOAT_BITS(0.0f, ramf()[0]);
}

TEST_F(CarrierTablesAt44100, QuarterAndThreeQuarterPeriodsAreExact) {
    EXPECT_FLOAT_BITS(0.846777f, trif()[11025]);
    EXPECT_FLOAT_BITS(0.846777f, ramf()[11025]);
    EXPECT_FLOAT_BITS(-0.846777f, trif()[33075]);
}

TEST_F(CarrierTablesAt44100, RampPeaksEarlyInThePeriod) {
    int best = 0;
    for (int i = 1; i < 44100; ++i) {
        if (ramf()[i] > ramf()[best]) {
            best = i;
        }
    }
    EXPECT_NEAR(7617, best, 3);
    EXPECT_NEAR(0.95656, ramf()[best], 1e-5);
}

TEST_F(CarrierTablesAt44100, LookupTruncatesThePhaseToAnEntry) {
    EXPECT_FLOAT_BITS(trif()[0], static_cast<float>(rig.c.tri(0.0)));
    EXPECT_FLOAT_BITS(trif()[22050], static_cast<float>(rig.c.tri(3.141592653589793)));
    EXPECT_FLOAT_BITS(ramf()[22050], static_cast<float>(rig.c.ram(3.141592653589793)));
    EXPECT_FLOAT_BITS(trif()[11025], static_cast<float>(rig.c.tri(3.141592653589793 / 2.0)));
}

TEST_F(CarrierTablesAt44100, PhasesAtOrBeyondOnePeriodStayInsideTheTable) {
    // A full period reads the start again; further phases wrap into the period.
    EXPECT_FLOAT_BITS(trif()[0], static_cast<float>(rig.c.tri(kTwoPi)));
    EXPECT_FLOAT_BITS(trif()[22050], static_cast<float>(rig.c.tri(kTwoPi + 3.141592653589793)));
    const double hostile[] = {std::nextafter(kTwoPi, 0.0),
                              1e6,
                              1e300,
                              std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN(),
                              -1.0,
                              -std::numeric_limits<double>::infinity()};
    for (double phase : hostile) {
        const double t = rig.c.tri(phase);
        const double r = rig.c.ram(phase);
        EXPECT_TRUE(std::isfinite(t)) << phase;
        EXPECT_LE(std::fabs(r), 1.0) << phase;
    }
}

TEST(CarrierTableLookup, MissingOrEmptyTableReadsSilence) {
    EXPECT_EQ(0.0, carrierTableLookup(nullptr, 44100, 1.0));
    const float one[1] = {0.25f};
    EXPECT_EQ(0.0, carrierTableLookup(one, 0, 1.0));
    EXPECT_EQ(0.25, carrierTableLookup(one, 1, 6.0));
}

TEST(CarrierTables, FractionalRateFillsTheTruncatedLength) {
    test::RenderRig rig{48000.0};
    R.store(44100.5);
    rig.c.cycle.store(44100);
    // Exactly 44100 entries each: a fill one entry too far would be an overrun.
    auto trif = std::make_unique<float[]>(44100);
    auto ramf = std::make_unique<float[]>(44100);
    float* oldTrif = rig.c.Trif.exchange(trif.get());
    float* oldRamf = rig.c.Ramf.exchange(ramf.get());
    rig.c.fillTables();
    rig.c.Trif.store(oldTrif);
    rig.c.Ramf.store(oldRamf);

    // The last entry is one step before the period's end: just below zero.
    const float last = static_cast<float>(
        static_cast<double>(std::sin(static_cast<float>(44099.0 * 6.283185307179586 / 44100.5))) *
            0.93208 +
        static_cast<double>(std::sin(static_cast<float>(44099.0 * 18.84955592153876 / 44100.5))) *
            0.103565 +
        static_cast<double>(std::sin(static_cast<float>(44099.0 * 31.41592653589793 / 44100.5))) *
            0.037284 +
        static_cast<double>(std::sin(static_cast<float>(44099.0 * 43.982297150257104 / 44100.5))) *
            0.019022);
    EXPECT_FLOAT_BITS(last, trif[44099]);
    EXPECT_LT(trif[44099], 0.0f);
    EXPECT_LT(ramf[44099], 0.0f);
}

}  // namespace
}  // namespace tolva
