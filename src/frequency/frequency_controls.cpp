// The panel's frequency controls: the slider on its linear or logarithmic
// scale, the octave multiplier, the tuning stepper and the centre button.
//
// A slider value s stands for the carrier frequency reading(s) * mult * A / 440,
// where reading(s) is s on the linear scale and logfreq(s) on the logarithmic
// one. While stopped, the handlers first repair values that may not be set yet.

#include <cmath>

#include "engine/ring_modulator_view_controller.h"
#include "frequency/frequency_text.h"
#include "frequency/octave_multiplier.h"
#include "frequency/pitch_scales.h"

namespace tolva {
namespace {

bool usable(double hz) {
    return hz > 0.0 && std::isfinite(hz);
}

double reading(double s, double min, double max, bool logarithmic) {
    return logarithmic ? logfreq(s, min, max) : s;
}

void showFrequency(TextFieldModel* field, double hz) {
    if (field == nullptr) {
        return;
    }
    char text[kFrequencyTextSize];
    formatFrequencyText(hz, text);
    field->setStringValue(text);
}

void repairTuningOutsideStepperRange() {
    const double a = A.load();
    if (a < 435.0 || a > 445.0) {
        A.store(440.0);
    }
}

}  // namespace

void RingModulatorViewController::sliderChanged(SliderModel* sender) {
    const double s = sender->doubleValue();
    const double min = sender->minValue();
    const double max = sender->maxValue();
    if (toneUnit.load() == nullptr) {
        if (mult.load() == 0.0) {
            mult.store(1.0);
        }
        repairTuningOutsideStepperRange();
    }
    const double f = reading(s, min, max, logview.load() == 1) * mult.load() * A.load() / 440.0;
    if (!usable(f)) {
        return;
    }
    frequency.store(f);
    showFrequency(frequencyTextField, f);
}

void RingModulatorViewController::tuningStepperClicked(StepperModel* sender) {
    const double a = sender->doubleValue();
    if (!usable(a)) {
        return;
    }
    if (toneUnit.load() != nullptr) {
        const double oldA = A.load();
        const double f = oldA > 0.0 ? frequency.load() * (a / oldA) : frequency.load();
        if (usable(f)) {
            frequency.store(f);
        }
        showFrequency(frequencyTextField, frequency.load());
        A.store(a);
        updateFrequencyControls();
        return;
    }
    double val = frequencySlider != nullptr ? frequencySlider->doubleValue() : 0.0;
    if (val == 0.0) {
        val = a;
    }
    if (mult.load() == 0.0) {
        mult.store(1.0);
    }
    if (logview.load() == 1 && frequencySlider != nullptr) {
        val = logfreq(val, frequencySlider->minValue(), frequencySlider->maxValue());
    }
    val = val * (mult.load() * a / 440.0);
    showFrequency(frequencyTextField, val);
    A.store(a);
    if (usable(val)) {
        frequency.store(val);
    }
}

void RingModulatorViewController::segCtrlMultClicked(SegmentedControlModel* sender) {
    if (toneUnit.load() == nullptr) {
        if (A.load() == 0.0) {
            A.store(440.0);
        }
        if (mult.load() == 0.0) {
            mult.store(1.0);
        }
    }
    if (frequencySlider == nullptr) {
        return;
    }
    const double s = frequencySlider->doubleValue();
    const double chosen = multForSegment(sender->selectedSegment());
    if (chosen > 0.0) {
        mult.store(chosen);
    }
    const double f =
        reading(s, frequencySlider->minValue(), frequencySlider->maxValue(), logview.load() == 1) *
        mult.load() * A.load() / 440.0;
    if (usable(f)) {
        frequency.store(f);
    }
    updateFrequencyControls();
}

void RingModulatorViewController::linlogButtonClicked(ButtonModel* sender) {
    const bool logarithmic = sender->state() == 1;
    logview.store(logarithmic ? 1 : 0);
    sender->setTitle(logarithmic ? "Log." : "Lin.");
    if (frequencySlider != nullptr) {
        frequencySlider->setNumberOfTickMarks(logarithmic ? 5 : 0);
    }
    updateFrequencyControls();
}

void RingModulatorViewController::centerButtonClicked(ButtonModel*) {
    if (toneUnit.load() == nullptr) {
        repairTuningOutsideStepperRange();
    }
    const double a = TuningA(A.load());
    if (midif.load() != 0) {
        pitch.store(69.0);
    }
    if (logview.load() == 1) {
        frequency.store(a);
        mult.store(2.0);
        if (frequencySlider != nullptr) {
            const double value = logval((440.0 / A.load()) * (a / mult.load()),
                                        frequencySlider->minValue(), frequencySlider->maxValue());
            if (segCtrlMult != nullptr) {
                segCtrlMult->setSelectedSegment(3);
            }
            frequencySlider->setDoubleValue(value);
        }
    } else {
        mult.store(1.0);
        if (segCtrlMult != nullptr) {
            segCtrlMult->setSelectedSegment(2);
        }
        if (frequencySlider != nullptr) {
            frequencySlider->setDoubleValue((440.0 / A.load()) * (a / mult.load()));
        }
        frequency.store(a);
    }
    showFrequency(frequencyTextField, frequency.load());
}

void RingModulatorViewController::updateFrequencyControls() {
    if (toneUnit.load() == nullptr) {
        if (mult.load() == 0.0) {
            mult.store(1.0);
        }
        if (A.load() == 0.0) {
            A.store(440.0);
        }
        if (frequency.load() == 0.0) {
            frequency.store(A.load());
        }
    }
    const double f = frequency.load();
    if (frequencySlider != nullptr && A.load() > 0.0 && mult.load() > 0.0) {
        const double min = frequencySlider->minValue();
        const double max = frequencySlider->maxValue();
        if (logview.load() == 1) {
            frequencySlider->setDoubleValue(logval(f * 440.0 / (A.load() * mult.load()), min, max));
        } else {
            // The automatic octave: one step at most each way, never beyond
            // x1/4 or x4; the selected segment always shows the multiplier.
            double m = mult.load();
            if (min > f / m && m * 0.5 >= kLowestMult) {
                m *= 0.5;
            }
            if (f / m > max && m * 2.0 <= kHighestMult) {
                m *= 2.0;
            }
            if (m != mult.load()) {
                mult.store(m);
                if (segCtrlMult != nullptr) {
                    segCtrlMult->setSelectedSegment(segmentForMult(m));
                }
            }
            frequencySlider->setDoubleValue((440.0 / A.load()) * (f / m));
        }
    }
    showFrequency(frequencyTextField, f);
}

void RingModulatorViewController::updateFrequency() {
    if (midif.load() != 0 || frequencySlider == nullptr) {
        return;
    }
    const double min = frequencySlider->minValue();
    const double max = frequencySlider->maxValue();
    const bool logarithmic = logview.load() == 1;
    const double f = reading(frequencySlider->doubleValue(), min, max, logarithmic) * mult.load() *
                     A.load() / 440.0;
    if (!usable(f)) {
        return;
    }
    frequency.store(f);
    const double x = f * 440.0 / (A.load() * mult.load());
    frequencySlider->setDoubleValue(logarithmic ? logval(x, min, max) : x);
    showFrequency(frequencyTextField, f);
}

}  // namespace tolva
