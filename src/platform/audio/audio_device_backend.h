#pragma once

// The device behind the audio-unit call set. One backend object serves one
// unit instance, from AudioComponentInstanceNew to AudioComponentInstanceDispose.
// A provider, installed once at start-up, creates them.

#include <memory>

#include "platform/audio/audio_unit.h"

namespace tolva {

// The calls of the audio-unit set, by name; used to report and inject failures.
enum class AudioCall {
    InstanceNew,
    EnableOutput,
    GetSampleRate,
    EnableInput,
    SetRenderCallback,
    SetInputStreamFormat,   // samples handed to the output (input scope, element 0)
    SetOutputStreamFormat,  // samples delivered from the input (output scope, element 1)
    Initialize,
    Start,
    Stop,
    Uninitialize,
    Dispose,
    Render,
};
inline constexpr int kAudioCallCount = static_cast<int>(AudioCall::Render) + 1;
const char* audioCallName(AudioCall call);

// What a backend drives once per device cycle: the unit's render callback.
class AudioCycleHost {
  public:
    // [render] Runs the render callback for `frames` frames. `buffer` is the
    // device's output buffer of `frames` floats; the callback's input pull
    // fills it with this cycle's input before the modulator overwrites it.
    virtual void renderCycle(UInt32 frames, float* buffer) TOLVA_NONBLOCKING = 0;
    // [device thread] The device now runs at another sample rate: the unit's
    // listeners of kAudioUnitProperty_SampleRate are told, before the first
    // cycle at the new rate where the device allows it. Stores only.
    virtual void sampleRateChanged() = 0;

  protected:
    ~AudioCycleHost() = default;
};

class AudioDeviceBackend {
  public:
    virtual ~AudioDeviceBackend() = default;

    // [UI] Opens the device; the status of instance creation.
    virtual OSStatus open() = 0;
    // [UI]
    virtual OSStatus enableOutput(bool enable) = 0;
    // [UI]
    virtual OSStatus enableInput(bool enable) = 0;
    // [UI] The device's sample rate in Hz.
    virtual OSStatus sampleRate(double* rate) = 0;
    // [UI] Frames per device cycle, as far as the device knows it now.
    virtual OSStatus bufferFrameSize(UInt32* frames) {
        (void)frames;
        return kAudioUnitErr_InvalidProperty;
    }
    // [UI] Called after the layer has installed the callback.
    virtual OSStatus setRenderCallback() { return noErr; }
    // [UI] The layer has already checked that the format is mono 32-bit float.
    virtual OSStatus setStreamFormat(AudioCall side, const AudioStreamBasicDescription& format) = 0;
    // [UI]
    virtual OSStatus initialize() = 0;
    // [UI] Starts calling host.renderCycle once per device cycle.
    virtual OSStatus start(AudioCycleHost& host) = 0;
    // [UI] Returns only after a cycle in progress has finished; none follows.
    virtual OSStatus stop() = 0;
    // [UI]
    virtual OSStatus uninitialize() = 0;
    // [UI] Last call before the backend is destroyed.
    virtual OSStatus dispose() { return noErr; }
    // [any] False once the device has gone away (its server shut down).
    virtual bool alive() const { return true; }
    // [UI] After stop(): true when a cycle outlived the wait for it and may
    // still be running; nothing it touches may then be freed.
    virtual bool cycleOutlivedStop() const { return false; }
    // [render] Copies this cycle's `frames` input samples into io's first buffer.
    virtual OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING = 0;
};

class AudioDeviceProvider {
  public:
    virtual ~AudioDeviceProvider() = default;
    // [UI] A backend for one new instance; null when no device can be had.
    virtual std::unique_ptr<AudioDeviceBackend> createDevice() = 0;
};

// [UI] Installs the provider that AudioComponentFindNext finds; null removes it.
// The provider must outlive every instance it created.
void setAudioDeviceProvider(AudioDeviceProvider* provider);
// [UI]
AudioDeviceProvider* audioDeviceProvider();

}  // namespace tolva
