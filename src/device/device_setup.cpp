// Opening the full-duplex device unit for one run, and seeding the
// modulator's state from the device's rate and from the panel.

#include <cmath>
#include <new>

#include "device/check_error.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva {
namespace {

// Rates the modulator can run at: its carrier tables hold one entry per
// sample of a second.
constexpr double kLowestRate = 1.0;
constexpr double kHighestRate = 1536000.0;

// What a user without a device can do.
constexpr const char* kNoDeviceAdvice =
    "Start a JACK server (jackd, or PipeWire's JACK) or check ALSA's default device, "
    "then launch Tolva again.";

// [device thread] The device's rate changed under the running unit: the
// carrier keeps the frequency shown. The tables keep their entries (a lookup
// takes the phase's place in the period, whatever the table's length).
void followDeviceRate(void* controller, AudioUnit unit, AudioUnitPropertyID, AudioUnitScope,
                      AudioUnitElement) {
    double rate = 0.0;
    UInt32 size = sizeof(rate);
    if (AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0, &rate,
                             &size) == noErr &&
        rate >= kLowestRate && kHighestRate >= rate) {
        R.store(rate);
        static_cast<RingModulatorViewController*>(controller)->TWO_PI_NORM.store(kTwoPi / rate);
    }
}

}  // namespace

void RingModulatorViewController::createToneUnit() {
    AudioComponentDescription description;
    description.componentType = kAudioUnitType_Output;
    description.componentSubType = kAudioUnitSubType_HALOutput;
    description.componentManufacturer = kAudioUnitManufacturer_Apple;
    description.componentFlags = 0;
    description.componentFlagsMask = 0;
    AudioComponent component = AudioComponentFindNext(nullptr, &description);

    AudioComponentInstance unit = nullptr;
    CheckError(AudioComponentInstanceNew(component, &unit), "Couldn't get audio unit instance",
               kNoDeviceAdvice);
    toneUnit.store(unit, std::memory_order_release);

    const UInt32 enable = 1;
    CheckError(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Output,
                                    0, &enable, sizeof(enable)),
               "Couldn't enable output");

    double rate = 0.0;
    UInt32 size = sizeof(rate);
    OSStatus status = AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate,
                                           kAudioUnitScope_Output, 0, &rate, &size);
    if (status == noErr && !(rate >= kLowestRate && rate <= kHighestRate)) {
        status = kAudioUnitErr_InvalidPropertyValue;  // no usable carrier at this rate
    }
    CheckError(status, "Couldn't get sample rate");
    R.store(rate);
    sampleRate = rate;

    CheckError(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input,
                                    1, &enable, sizeof(enable)),
               "Couldn't enable input");

    AURenderCallbackStruct callback;
    callback.inputProc = &RenderRMTone;
    callback.inputProcRefCon = this;
    CheckError(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                    kAudioUnitScope_Input, 0, &callback, sizeof(callback)),
               "Error setting callback: ");
    AudioUnitAddPropertyListener(unit, kAudioUnitProperty_SampleRate, &followDeviceRate, this);

    streamFormat = monoFloatStreamFormat(R.load());

    CheckError(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                    &streamFormat, sizeof(streamFormat)),
               "Couldn't set StreamFormat on input scope / bus 0");
    CheckError(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                    1, &streamFormat, sizeof(streamFormat)),
               "Couldn't set StreamFormat on output scope / bus 1");

    // The state of this run, from the rate and from the panel. The diode and
    // its exponent follow their controls, so what is heard matches what they show.
    A.store(tuningStepper != nullptr ? tuningStepper->doubleValue() : 440.0);
    bendd.store(2.0);
    nonl.store(nonlSlider != nullptr ? nonlSlider->doubleValue() : 1.0);
    if (std::isnan(pitch.load())) {
        pitch.store(69.0);
    }
    TWO_PI_NORM.store(6.283185307179586 / R.load());
    logview.store(linlogButton != nullptr && linlogButton->state() == 1 ? 1 : 0);
    depth.store(depthSlider != nullptr ? depthSlider->doubleValue() : 0.0);
    phase.store(0.0);
    modulatedLastCycle.store(false);
    wave.store(WaveSine);
    midif.store(sourceButton != nullptr ? sourceButton->state() : 0, std::memory_order_release);
    diode.store(diodeButton != nullptr && diodeButton->state() == 1 ? 1 : 0);
    const auto length = static_cast<int32_t>(R.load());
    cycle.store(length);

    // Zero-filled tables, ramp first. Should one not be had, its carrier is
    // silent: the lookup reads nothing from a missing table.
    delete[] Ramf.exchange(new (std::nothrow) float[static_cast<size_t>(length)]());
    delete[] Trif.exchange(new (std::nothrow) float[static_cast<size_t>(length)]());
    fillTables();
    updateWave();
    updateFrequency();
}

}  // namespace tolva
