// The render cycle against a plain per-sample rendition of its arithmetic,
// bit for bit, over random settings, states, carriers, diode settings and
// cycle lengths, three cycles in a row so that everything carried from one
// cycle to the next is checked too.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "support/reference_render.h"
#include "support/render_rig.h"

namespace tolva {
namespace {

using test::doubleBits;

test::ReferenceSettings snapshot(const RingModulatorViewController& c) {
    test::ReferenceSettings s;
    s.state = c.state.load();
    s.wave = c.wave.load();
    s.diode = c.diode.load();
    s.nonl = nonl.load();
    s.depth = c.depth.load();
    s.previousDepth = c.previous_depth.load();
    s.frequency = c.frequency.load();
    s.twoPiNorm = c.TWO_PI_NORM.load();
    s.previousIncrement = c.previous_phase_increment.load();
    s.phase = c.phase.load();
    s.trif = c.Trif.load();
    s.ramf = c.Ramf.load();
    s.cycle = c.cycle.load();
    return s;
}

TEST(RenderCycleAgainstReference, MatchesBitForBitOverRandomSettings) {
    std::mt19937 random(20240611);
    auto uniform = [&random](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    const std::vector<uint32_t> fixedLengths = {1, 255, 256, 257, 8192, 10000, 2, 511, 4096};

    for (int trial = 0; trial < 120; ++trial) {
        const double rate = trial % 3 == 0 ? 48000.0 : (trial % 3 == 1 ? 44100.0 : 22050.5);
        test::RenderRig rig{rate};
        auto& c = rig.c;
        c.wave.store(pick(WaveSelf, WaveRamp));
        c.diode.store(pick(0, 1) == 1 ? pick(1, 3) : 0);
        nonl.store(uniform(1.0, 4.0));
        c.previous_depth.store(pick(0, 4) == 0 ? 0.0 : uniform(0.0, 1.0));
        c.previous_phase_increment.store(uniform(0.0, 0.5));
        c.phase.store(uniform(0.0, kTwoPi));
        c.state.store(pick(StateSilent, StateBypass));

        for (int cycleIndex = 0; cycleIndex < 3; ++cycleIndex) {
            // Frequencies up to 1.5 times the rate take the phase beyond a period.
            c.frequency.store(pick(0, 9) == 0 ? uniform(rate, 1.5 * rate)
                                              : uniform(0.0, rate / 2.0));
            c.depth.store(pick(0, 4) == 0 ? 1.0 : uniform(0.0, 1.0));
            if (pick(0, 2) == 0) {
                c.state.store(pick(StateSilent, StateBypass));
            }
            const uint32_t frames = trial < static_cast<int>(fixedLengths.size())
                                        ? fixedLengths[static_cast<size_t>(trial)]
                                        : static_cast<uint32_t>(pick(1, 1500));
            std::vector<float> input(frames);
            for (float& x : input) {
                x = static_cast<float>(uniform(-1.0, 1.0));
            }
            if (frames > 4) {
                input[1] = 0.0f;
                input[2] = -0.0f;
                input[3] = 1.0f;
                input[4] = -1.0f;
            }

            const test::ReferenceResult expected = test::referenceRender(snapshot(c), input);
            const std::vector<float> out = rig.render(input);

            SCOPED_TRACE(::testing::Message()
                         << "trial " << trial << " cycle " << cycleIndex << " N " << frames
                         << " wave " << c.wave.load() << " diode " << c.diode.load());
            for (size_t i = 0; i < frames; ++i) {
                ASSERT_FLOAT_BITS(expected.out[i], out[i]) << "sample " << i;
            }
            ASSERT_EQ(expected.state, c.state.load());
            ASSERT_EQ(doubleBits(expected.phase), doubleBits(c.phase.load()));
            ASSERT_EQ(doubleBits(expected.previousIncrement),
                      doubleBits(c.previous_phase_increment.load()));
            ASSERT_EQ(doubleBits(expected.previousDepth), doubleBits(c.previous_depth.load()));
            ASSERT_EQ(test::referenceMeter(expected.peak), rig.level.floatValue());
        }
    }
}

}  // namespace
}  // namespace tolva
