// While MIDI drives the carrier, every render cycle retunes it to the held
// note and bend and moves the frequency controls to show it.

#include <cmath>

#include "engine/ring_modulator_view_controller.h"
#include "frequency/frequency_text.h"
#include "frequency/octave_multiplier.h"
#include "frequency/pitch_scales.h"

namespace tolva {

void RingModulatorViewController::midiFreqChanged() TOLVA_NONBLOCKING {
    const double f = Frequency(pitch.load(std::memory_order_relaxed));
    if (f == frequency.load(std::memory_order_relaxed)) {
        return;
    }
    if (!(f > 0.0) || std::isinf(f)) {
        return;  // no usable frequency: the carrier stays where it is
    }
    frequency.store(f, std::memory_order_relaxed);

    const double a = A.load(std::memory_order_relaxed);
    const double chosen = mult.load(std::memory_order_relaxed);
    double m = chosen;
    if (frequencySlider != nullptr && a > 0.0 && m > 0.0) {
        const double min = frequencySlider->minValue();
        const double max = frequencySlider->maxValue();
        const bool logarithmic = logview.load(std::memory_order_relaxed) == 1;
        auto sliderValue = [&](double multiplier) {
            const double x = f * 440.0 / (a * multiplier);
            return logarithmic ? logval(x, min, max) : x;
        };
        // One octave step at most each way, and never beyond x1/4 or x4: a
        // note further out leaves the slider at its end while the carrier and
        // the text show the true frequency. The linear scale tests the lower
        // end with the multiplier the upper test left, so a range narrower
        // than an octave steps up and back down again.
        const double p = sliderValue(m);
        if (p > max && m * 2.0 <= kHighestMult) {
            m *= 2.0;
        }
        const double q = logarithmic ? p : sliderValue(m);
        if (min > q && m * 0.5 >= kLowestMult) {
            m *= 0.5;
        }
        // Only an octave step writes the octave: a note or a bend alone must
        // never undo a segment the user has just chosen.
        if (m != chosen) {
            mult.store(m, std::memory_order_relaxed);
            if (segCtrlMult != nullptr) {
                const int64_t segment = segmentForMult(m);
                if (segment >= 0) {
                    segCtrlMult->setSelectedSegment(segment);
                }
            }
        }
        frequencySlider->setDoubleValue(sliderValue(m));
    }
    if (frequencyTextField != nullptr) {
        char text[kFrequencyTextSize];
        formatFrequencyText(f, text);
        frequencyTextField->setStringValue(text);
    }
}

}  // namespace tolva
