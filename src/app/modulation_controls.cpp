// The controls that shape the modulation: depth, carrier, diode and its
// exponent, and the test button's diagnostic entry.

#include "engine/ring_modulator_view_controller.h"
#include "platform/log/system_log.h"

namespace tolva {

void RingModulatorViewController::depthChanged(SliderModel* sender) {
    depth.store(sender->doubleValue(), std::memory_order_relaxed);
}

void RingModulatorViewController::segCtrlWaveClicked(SegmentedControlModel* sender) {
    const int64_t segment = sender->selectedSegment();
    if (segment >= WaveSelf && segment <= WaveRamp) {
        wave.store(static_cast<int32_t>(segment), std::memory_order_relaxed);
    }
    updateWave();
}

void RingModulatorViewController::updateWave() {
    if (segCtrlCarrWave == nullptr) {
        return;
    }
    const int64_t segment = segCtrlCarrWave->selectedSegment();
    if (segment >= WaveSelf && segment <= WaveRamp) {
        wave.store(static_cast<int32_t>(segment), std::memory_order_relaxed);
    }
}

void RingModulatorViewController::diodeButtonClicked(ButtonModel* sender) {
    diode.store(sender->state() == 1 ? 1 : 0, std::memory_order_relaxed);
}

void RingModulatorViewController::nonlChanged(SliderModel* sender) {
    nonl.store(sender->doubleValue(), std::memory_order_relaxed);
}

void RingModulatorViewController::testButtonClicked(ButtonModel*) {
    systemLog(
        "\nA = %4.1lf\nPitch = %3.0lf\nfrequency = %7.2lf\nmidif = %ld\nlogview = %d\nmult = "
        "%4.2f\n\n",
        A.load(), pitch.load(), frequency.load(), static_cast<long>(midif.load()),
        static_cast<int>(logview.load()), mult.load());
}

void RingModulatorViewController::midiDepthChanged() TOLVA_NONBLOCKING {
    if (depthSlider != nullptr) {
        depthSlider->setDoubleValue(mmi.load(std::memory_order_relaxed));
    }
}

void RingModulatorViewController::midiNonlChanged() TOLVA_NONBLOCKING {
    if (nonlSlider != nullptr) {
        nonlSlider->setDoubleValue(nonl.load(std::memory_order_relaxed));
    }
}

}  // namespace tolva
