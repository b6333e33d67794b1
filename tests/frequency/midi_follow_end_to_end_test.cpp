// MIDI driving the carrier, end to end: messages arrive through the read
// callback on a MIDI thread of their own, the test device runs the render
// cycles after Play, and what is checked is what a listener hears. The input
// is a constant 0.5 and the carrier a sine at full depth, so the output is a
// pure tone at the carrier frequency.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include "frequency/frequency_panel.h"
#include "frequency/pitch_scales.h"
#include "midi/packet_list_builder.h"
#include "support/realtime_checker.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

using test::FrequencyPanel;

constexpr double kRate = 48000.0;
constexpr UInt32 kFrames = 2048;
constexpr double kTone = 0.5 * 0.70710677;  // input x envelope level at full depth

// The frequency of the strongest component between lo and hi, to within
// 0.02 Hz: a coarse scan, then two finer ones around the best so far.
double dominantFrequency(const std::vector<float>& signal, double lo, double hi) {
    double best = lo;
    for (double step : {4.0, 0.4, 0.04}) {
        double bestAmplitude = -1.0;
        for (double hz = lo; hz <= hi; hz += step) {
            const double amplitude = test::toneAmplitude(signal, hz, kRate);
            if (amplitude > bestAmplitude) {
                bestAmplitude = amplitude;
                best = hz;
            }
        }
        lo = best - step;
        hi = best + step;
    }
    return best;
}

// Zero crossings over a stretch, as a rough frequency.
double crossingFrequency(const std::vector<float>& signal, size_t from, size_t to) {
    int crossings = 0;
    for (size_t i = from + 1; i < to; ++i) {
        if ((signal[i - 1] < 0.0f) != (signal[i] < 0.0f)) {
            ++crossings;
        }
    }
    return crossings * kRate / (2.0 * static_cast<double>(to - from));
}

class MidiFollowEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        p.device.setInput([](float* dst, UInt32 frames, uint64_t) {
            for (UInt32 i = 0; i < frames; ++i) {
                dst[i] = 0.5f;
            }
        });
        p.panel.sourceButton.userClick();  // MIDI armed
        omni.store(1);                     // every channel, as the pop-up's first item
        nonl.store(1.0);
        p.play();
        p.cycle(kFrames);  // the fade-in
    }

    // A packet list delivered by the MIDI thread before the next cycle.
    void receive(test::Bytes message) {
        std::thread midiThread([&] { test::receive({message}); });
        midiThread.join();
    }

    // `count` cycles back to back.
    std::vector<float> cycles(int count) {
        std::vector<float> out;
        for (int i = 0; i < count; ++i) {
            const std::vector<float> one = p.cycle(kFrames);
            out.insert(out.end(), one.begin(), one.end());
        }
        return out;
    }

    FrequencyPanel p{kRate};
};

TEST_F(MidiFollowEndToEndTest, ANoteRetunesTheCarrierWithinTheCycleItArrivesIn) {
    const std::vector<float> before = cycles(1);
    EXPECT_NEAR(kTone, test::toneAmplitude(before, 440.0, kRate), 0.01);

    receive({0x90, 81, 100});  // note on, 880 Hz
    const std::vector<float> arrival = p.cycle(kFrames);
    // The cycle glides from 440 Hz to the note and ends on it.
    EXPECT_NEAR(440.0, crossingFrequency(arrival, 0, kFrames / 8), 60.0);
    EXPECT_NEAR(880.0, crossingFrequency(arrival, kFrames * 7 / 8, kFrames), 60.0);
    EXPECT_EQ(880.0, p.c.frequency.load());
    EXPECT_EQ(880.0 * p.c.TWO_PI_NORM.load(), p.c.previous_phase_increment.load());

    // From the next cycle on the tone is the note alone.
    const std::vector<float> after = cycles(4);
    EXPECT_NEAR(kTone, test::toneAmplitude(after, 880.0, kRate), 0.01);
    EXPECT_LT(test::toneAmplitude(after, 440.0, kRate), 0.002);
    EXPECT_NEAR(880.0, dominantFrequency(after, 200, 2000), 0.1);
    EXPECT_EQ("880.0 Hz", p.panel.frequencyTextField.stringValue());

    receive({0x90, 28, 100});  // 41.2 Hz, below the slider: one octave down
    cycles(1);
    EXPECT_NEAR(Frequency(28), dominantFrequency(cycles(4), 20, 2000), 0.1);
    EXPECT_EQ(0.5, p.c.mult.load());
    EXPECT_EQ(1, p.panel.segCtrlMult.selectedSegment());
    EXPECT_DOUBLE_EQ(2 * Frequency(28), p.panel.frequencySlider.doubleValue());

    receive({0x80, 28, 0});  // released: the older note sounds again
    cycles(1);
    EXPECT_NEAR(880.0, dominantFrequency(cycles(4), 200, 2000), 0.1);
}

TEST_F(MidiFollowEndToEndTest, ABendOfOneSemitoneRaisesTheToneByTheTwelfthRootOfTwo) {
    receive({0x90, 64, 100});
    cycles(1);
    const double plain = dominantFrequency(cycles(4), 200, 1000);
    EXPECT_NEAR(Frequency(64), plain, 0.1);

    receive({0xE0, 0x00, 0x60});  // 8192 + 4096: bend 0.5, one semitone with a range of 2
    ASSERT_EQ(0.5, bend.load());
    cycles(1);
    const double bent = dominantFrequency(cycles(4), 200, 1000);
    EXPECT_NEAR(std::pow(2.0, 1.0 / 12.0), bent / plain, 2e-4);

    receive({0xE0, 0x00, 0x40});  // centred again
    cycles(1);
    EXPECT_NEAR(plain, dominantFrequency(cycles(4), 200, 1000), 0.1);
}

TEST_F(MidiFollowEndToEndTest, MovingTheSliderInMidiModeIsUndoneAtTheNextCycle) {
    receive({0x90, 72, 100});
    cycles(1);
    const double note = p.c.frequency.load();
    const double placed = p.panel.frequencySlider.doubleValue();

    p.panel.frequencySlider.userMove(200);
    EXPECT_EQ(200.0, p.c.frequency.load());
    const std::vector<float> next = p.cycle(kFrames);
    EXPECT_EQ(note, p.c.frequency.load());
    EXPECT_EQ(placed, p.panel.frequencySlider.doubleValue());
    EXPECT_EQ("523.3 Hz", p.panel.frequencyTextField.stringValue());
    // The listener never hears 200 Hz.
    EXPECT_LT(test::toneAmplitude(next, 200.0, kRate), 0.002);
    EXPECT_NEAR(kTone, test::toneAmplitude(next, note, kRate), 0.01);
}

TEST_F(MidiFollowEndToEndTest, ModulationWheelMovesTheDepthSliderAtTheNextCycle) {
    receive({0xB0, 1, 64});
    EXPECT_EQ(1.0, p.panel.depthSlider.doubleValue());
    cycles(1);
    EXPECT_DOUBLE_EQ(64.0 / 127.0, p.panel.depthSlider.doubleValue());
    EXPECT_DOUBLE_EQ(64.0 / 127.0, p.c.depth.load());
}

// The whole render cycle in MIDI mode, with a new note, bend or controller
// value in every cycle, stays real-time safe.
TEST_F(MidiFollowEndToEndTest, FollowingNotesEveryCycleStaysRealTimeSafe) {
    std::vector<float> out(kFrames);
    const uint8_t notes[] = {81, 45, 117, 20, 69, 127, 0, 60};
    test::resetRealtimeViolations();
    for (int cycle = 0; cycle < 200; ++cycle) {
        receive({0x90, notes[cycle % 8], 100});
        if (cycle % 5 == 0) {
            receive({0xE0, static_cast<uint8_t>(cycle % 128), static_cast<uint8_t>(cycle % 128)});
            receive({0xB0, 1, static_cast<uint8_t>(cycle % 128)});
        }
        if (cycle == 100) {
            p.panel.linlogButton.userClick();
        }
        test::RealtimeSection realtime;
        ASSERT_TRUE(p.device.runCycle(kFrames, out.data()));
    }
    const test::RealtimeViolations v = test::realtimeViolations();
    EXPECT_EQ(0u, v.allocations);
    EXPECT_EQ(0u, v.locks);
    EXPECT_EQ(0u, v.systemCalls);
    p.expectConsistent();
}

}  // namespace
}  // namespace tolva
