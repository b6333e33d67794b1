// The carrier frequency as the user sets it: through the slider, the scale
// button, the octave segments, the tuning stepper and the centre button, with
// the automatic octave; and as MIDI notes set it, cycle by cycle.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "frequency/pitch_scales.h"
#include "support/played_modulator.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

using test::PlayedModulator;

struct PanelCase {
    const char* what;
    bool running;
    std::function<void(PlayedModulator&)> gestures;
    double frequency, mult, slider, a;
    int64_t segment;
};

using P = PlayedModulator;
void range(P& m, double min, double max) {
    m.panel.frequencySlider.setRange(min, max);
}
void octave(P& m, int64_t segment) {
    m.panel.segCtrlMult.userSelect(segment);
}
void slide(P& m, double value) {
    m.panel.frequencySlider.userMove(value);
}
void tune(P& m, double a) {
    m.panel.tuningStepper.userSetValue(a);
}

void at(PlayedModulator& m, double hz, int64_t segment) {
    m.c.frequency.store(hz);
    m.panel.segCtrlMult.setSelectedSegment(segment);
    m.c.mult.store(0.25 * (1 << segment));
    m.c.updateFrequencyControls();
}

TEST(FrequencyControls, GesturesSetTheCarrierTheOctaveAndTheSlider) {
    // clang-format off
    const PanelCase cases[] = {
        {"x2 then 300", false, [](P& m) { octave(m, 3), slide(m, 300); }, 600, 2, 300, 440, 3},
        {"A 445, x2, then 300", false, [](P& m) { tune(m, 445), octave(m, 3), slide(m, 300); },
         606.8181818181819, 2, 300, 445, 3},
        {"an unset A is repaired", false, [](P& m) { A.store(450), slide(m, 300); },
         300, 1, 300, 440, 2},
        {"the log scale keeps the frequency", false,
         [](P& m) { slide(m, 300), m.panel.linlogButton.userClick(); },
         300, 1, logval(300, 55, 1760), 440, 2},
        {"tuning while running", true, [](P& m) { tune(m, 442); }, 442, 1, 440, 442, 2},
        {"tuning while stopped", false, [](P& m) { tune(m, 442); }, 442, 1, 440, 442, 2},
        {"centre on the log scale", true, [](P& m) {
             m.panel.linlogButton.userClick(), slide(m, 1500), m.panel.centerButton.userClick(); },
         440, 2, 737, 440, 3},
        {"centre on the linear scale", true, [](P& m) {
             octave(m, 4), slide(m, 900), m.panel.centerButton.userClick(); },
         440, 1, 440, 440, 2},
        {"a sharp A at the top steps one octave further", false,
         [](P& m) { tune(m, 445), slide(m, 1760), octave(m, 3); }, 3560, 4, 880, 445, 4},
        {"one octave up", false, [](P& m) { range(m, 100, 1000), at(m, 1500, 2); },
         1500, 2, 750, 440, 3},
        {"one octave down", false, [](P& m) { range(m, 100, 1000), at(m, 80, 2); },
         80, 0.5, 160, 440, 1},
        {"one octave only", false, [](P& m) { range(m, 100, 1000), at(m, 3000, 2); },
         3000, 2, 1000, 440, 3},
        {"down to x1/4", false, [](P& m) { at(m, 20, 1); }, 20, 0.25, 80, 440, 0},
        {"never below x1/4", false, [](P& m) { at(m, 10, 0); }, 10, 0.25, 55, 440, 0},
        {"never above x4", false, [](P& m) { at(m, 10000, 4); }, 10000, 4, 1760, 440, 4},
        {"the log scale never steps", false,
         [](P& m) { m.panel.linlogButton.userClick(), at(m, 3000, 2); }, 3000, 1, 1760, 440, 2},
    };
    // clang-format on
    for (const PanelCase& k : cases) {
        PlayedModulator m;
        if (k.running) {
            m.play();
        }
        k.gestures(m);
        EXPECT_DOUBLE_EQ(k.frequency, m.c.frequency.load()) << k.what;
        EXPECT_EQ(k.mult, m.c.mult.load()) << k.what;
        EXPECT_EQ(k.segment, m.panel.segCtrlMult.selectedSegment()) << k.what;
        EXPECT_NEAR(k.slider, m.panel.frequencySlider.doubleValue(), 1e-9) << k.what;
        EXPECT_EQ(k.a, A.load()) << k.what;
        const bool logarithmic = m.panel.linlogButton.state() == 1;
        EXPECT_EQ(logarithmic ? "Log." : "Lin.", m.panel.linlogButton.title()) << k.what;
        EXPECT_EQ(logarithmic ? 5 : 0, m.panel.frequencySlider.numberOfTickMarks()) << k.what;
        char text[32];
        std::snprintf(text, sizeof text, "%4.1lf Hz", k.frequency);
        EXPECT_EQ(text, m.panel.frequencyTextField.stringValue()) << k.what;
    }
}

struct Note {
    bool logarithmic;
    double min, max;
    int64_t segment;
    double note, bend;
    double mult;
    int64_t segmentAfter;
    double slider;
    const char* text;
};

TEST(MidiFollow, EachCycleTunesTheCarrierToTheNoteAndShowsIt) {
    const Note notes[] = {
        {false, 55, 1760, 2, 69, 0, 1, 2, 440, "440.0 Hz"},
        {false, 100, 700, 2, 81, 0, 2, 3, 440, "880.0 Hz"},
        {false, 200, 1000, 2, 45, 0, 0.5, 1, 220, "110.0 Hz"},
        {true, 55, 1760, 2, 105, 0, 2, 3, 1760, "3520.0 Hz"},
        {false, 450, 500, 2, 81, 0, 1, 2, 500, "880.0 Hz"},  // up an octave, and back down
        {false, 55, 1760, 4, 127, 0, 4, 4, 1760, "12543.9 Hz"},
        {false, 55, 1760, 0, 0, 0, 0.25, 0, 55, " 8.2 Hz"},
        {false, 55, 1760, 2, 69, 0.5, 1, 2, 466.1637615180899, "466.2 Hz"},
    };
    for (const Note& k : notes) {
        PlayedModulator m;
        m.panel.sourceButton.userClick();
        range(m, k.min, k.max);
        m.panel.segCtrlMult.userSelect(k.segment);
        if (k.logarithmic) {
            m.panel.linlogButton.userClick();
        }
        m.play();
        pitch.store(k.note);
        bend.store(k.bend);
        m.render(std::vector<float>(64, 0.0f));
        EXPECT_DOUBLE_EQ(Frequency(k.note), m.c.frequency.load()) << k.note;
        EXPECT_EQ(k.mult, m.c.mult.load()) << k.note;
        EXPECT_EQ(k.segmentAfter, m.panel.segCtrlMult.selectedSegment()) << k.note;
        EXPECT_NEAR(k.slider, m.panel.frequencySlider.doubleValue(), 1e-9) << k.note;
        EXPECT_EQ(k.text, m.panel.frequencyTextField.stringValue()) << k.note;
    }
}

TEST(MidiFollow, ANoteIsHeardFromTheNextCycleAndTheSliderCannotTakeItAway) {
    PlayedModulator m;
    m.panel.sourceButton.userClick();
    m.play();
    m.render(std::vector<float>(512, 0.5f));
    pitch.store(81.0);
    m.render(std::vector<float>(512, 0.5f));  // glides from 440 to 880 Hz
    m.panel.frequencySlider.userMove(200.0);
    const std::vector<float> out = m.render(std::vector<float>(8192, 0.5f));
    EXPECT_NEAR(0.5 * kEnvelopeOnLevel, test::toneAmplitude(out, 880.0, 48000.0), 0.01);
    EXPECT_LT(test::toneAmplitude(out, 440.0, 48000.0), 0.002);
    EXPECT_LT(test::toneAmplitude(out, 200.0, 48000.0), 0.002);
}

// A bend that moves on every cycle never undoes an octave the user has just chosen.
TEST(MidiFollow, AMovingBendNeverUndoesTheOctaveTheUserChose) {
    PlayedModulator m;
    m.device.setInput([](float* dst, UInt32 frames, uint64_t first) {
        bend.store(static_cast<double>(first % 200) / 1000.0);  // the wheel moves all the time
        std::fill(dst, dst + frames, 0.0f);
    });
    m.panel.sourceButton.userClick();
    m.driveFromThread(16, std::chrono::microseconds(0));
    m.play();
    int undone = 0;
    for (int k = 0; k < 3000; ++k) {
        const int64_t segment = 1 + k % 3;
        m.panel.segCtrlMult.userSelect(segment);
        m.waitForCycles(1);
        undone += m.c.mult.load() != 0.25 * (1 << segment) ||
                  m.panel.segCtrlMult.selectedSegment() != segment;
    }
    EXPECT_EQ(0, undone);
}

}  // namespace
}  // namespace tolva
