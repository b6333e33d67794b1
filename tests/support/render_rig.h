#pragma once

// A modulator wired to a manually driven device, ready to render: a device
// unit opened through the audio-unit calls with input enabled and the render
// cycle installed, the controller seeded as the device setup leaves it, and
// the controls the render cycle writes to. Cycles run either through
// render() (the cycle called directly on a caller-owned buffer, whose
// contents are the cycle's input: the device's pull leaves them as they are)
// or through device.runCycle() once start() has been called.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/manual_audio_device.h"

namespace tolva::test {

inline uint32_t floatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

inline uint64_t doubleBits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// Compares floats by bit pattern, so that -0.0 differs from 0.0 and NaNs are compared exactly.
#define EXPECT_FLOAT_BITS(expected, actual) \
    EXPECT_EQ(::tolva::test::floatBits(expected), ::tolva::test::floatBits(actual))
#define ASSERT_FLOAT_BITS(expected, actual) \
    ASSERT_EQ(::tolva::test::floatBits(expected), ::tolva::test::floatBits(actual))

class RenderRig {
  public:
    // `generator` fills the device's input; without one the pull leaves the
    // buffer as the caller filled it.
    explicit RenderRig(double rate = 44100.0, ManualAudioDevice::InputGenerator generator = {})
        : device(rate) {
        resetModulatorGlobals();
        nonl.store(1.0);
        A.store(440.0);
        bendd.store(2.0);
        pitch.store(69.0);
        device.setInput(generator
                            ? std::move(generator)
                            : ManualAudioDevice::InputGenerator([](float*, UInt32, uint64_t) {}));
        setAudioDeviceProvider(&device);

        AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                              kAudioUnitManufacturer_Apple, 0, 0};
        AudioComponent component = AudioComponentFindNext(nullptr, &description);
        EXPECT_EQ(noErr, AudioComponentInstanceNew(component, &unit));
        const UInt32 one = 1;
        EXPECT_EQ(noErr, AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO,
                                              kAudioUnitScope_Input, 1, &one, sizeof one));
        EXPECT_EQ(noErr, AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO,
                                              kAudioUnitScope_Output, 0, &one, sizeof one));
        AURenderCallbackStruct callback{&RenderRMTone, &c};
        EXPECT_EQ(noErr,
                  AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                       kAudioUnitScope_Input, 0, &callback, sizeof callback));

        R.store(rate);
        c.toneUnit.store(unit);
        c.sampleRate = rate;
        c.streamFormat = monoFloatStreamFormat(rate);
        c.TWO_PI_NORM.store(kTwoPi / rate);
        c.cycle.store(static_cast<int32_t>(rate));
        c.mult.store(1.0);
        c.frequency.store(440.0);
        c.wave.store(WaveSine);
        const auto length = static_cast<size_t>(c.cycle.load());
        c.Ramf.store(new float[length]());
        c.Trif.store(new float[length]());
        c.fillTables();

        c.setFrequencySlider(&frequencySlider);
        c.setDepthSlider(&depthSlider);
        c.setNonlSlider(&nonlSlider);
        c.setSegCtrlMult(&segCtrlMult);
        c.setFrequencyTextField(&frequencyText);
        c.setLevelIndicator(&level);
    }

    ~RenderRig() {
        if (started_) {
            AudioOutputUnitStop(unit);
        }
        AudioComponentInstanceDispose(unit);
        c.toneUnit.store(nullptr);
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }

    RenderRig(const RenderRig&) = delete;
    RenderRig& operator=(const RenderRig&) = delete;

    // Initialises and starts the unit, so that the device's cycles call the render cycle.
    void start() {
        const AudioStreamBasicDescription format = monoFloatStreamFormat(c.sampleRate);
        EXPECT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                              kAudioUnitScope_Input, 0, &format, sizeof format));
        EXPECT_EQ(noErr, AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat,
                                              kAudioUnitScope_Output, 1, &format, sizeof format));
        EXPECT_EQ(noErr, AudioUnitInitialize(unit));
        EXPECT_EQ(noErr, AudioOutputUnitStart(unit));
        started_ = true;
    }

    void stop() {
        EXPECT_EQ(noErr, AudioOutputUnitStop(unit));
        started_ = false;
    }

    // The depth, the frequency and the carrier at rest: no ramp in the next cycle.
    void settle(double depthValue, double hz) {
        c.depth.store(depthValue);
        c.previous_depth.store(depthValue);
        c.frequency.store(hz);
        c.previous_phase_increment.store(hz * c.TWO_PI_NORM.load());
    }

    // One cycle of `frames` frames on `samples` in place, called as the device would.
    OSStatus renderInPlace(float* samples, UInt32 frames, UInt32 byteSize) {
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0].mNumberChannels = 1;
        list.mBuffers[0].mDataByteSize = byteSize;
        list.mBuffers[0].mData = samples;
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp stamp;
        return RenderRMTone(&c, &flags, &stamp, 0, frames, &list);
    }

    // One cycle whose input is `input`; returns the output.
    std::vector<float> render(std::vector<float> input) {
        const auto frames = static_cast<UInt32>(input.size());
        float empty = 0.0f;
        EXPECT_EQ(noErr, renderInPlace(input.empty() ? &empty : input.data(), frames,
                                       frames * static_cast<UInt32>(sizeof(float))));
        return input;
    }

    ManualAudioDevice device;
    RingModulatorViewController c;
    AudioUnit unit = nullptr;
    SliderModel frequencySlider{55.0, 1760.0, 440.0};
    SliderModel depthSlider{0.0, 1.0, 1.0};
    SliderModel nonlSlider{1.0, 4.0, 1.0};
    SegmentedControlModel segCtrlMult{5, 2};
    TextFieldModel frequencyText;
    LevelIndicatorModel level{6.0f};

  private:
    bool started_ = false;
};

}  // namespace tolva::test
