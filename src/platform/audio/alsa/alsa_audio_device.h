#pragma once

// The device unit on an ALSA PCM ("default" unless told otherwise), through
// libasound, for systems where no JACK server answers. Capture and playback
// of the same PCM run in full duplex, mono 32-bit float, at the PCM's own rate
// (48000 where it is free to choose), in periods of about 128 frames. A thread
// of its own, at real-time priority where the system allows it, reads a
// period, runs the render callback on it and writes it back; the playback
// side is kept two periods ahead. After an xrun both sides are restarted.
//
// How the calls map onto the PCM:
//   open            open capture and playback               InstanceNew
//   enableOutput    configure playback (rate, period)       EnableOutput
//   sampleRate      the rate playback was configured at     GetSampleRate
//   enableInput     configure capture at that rate          EnableInput
//   setStreamFormat the format's rate must be the PCM's      StreamFormat
//   initialize      software parameters, prepare, buffers   Initialize
//   start           the device thread                       Start
//   stop            join the thread (it wakes every period or sooner)

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/audio_device_backend.h"
#include "platform/realtime.h"

struct _snd_pcm;

namespace tolva {

class AlsaAudioDevice final : public AudioDeviceBackend {
  public:
    static constexpr unsigned kPreferredRate = 48000;
    static constexpr unsigned kPreferredPeriod = 128;

    explicit AlsaAudioDevice(std::string pcmName = "default",
                             unsigned periodFrames = kPreferredPeriod);
    ~AlsaAudioDevice() override;
    AlsaAudioDevice(const AlsaAudioDevice&) = delete;
    AlsaAudioDevice& operator=(const AlsaAudioDevice&) = delete;

    // A second open() of an open device returns noErr, so that a chooser may
    // open the device to see whether it exists.
    OSStatus open() override;
    OSStatus enableOutput(bool enable) override;
    OSStatus enableInput(bool enable) override;
    OSStatus sampleRate(double* rate) override;
    OSStatus bufferFrameSize(UInt32* frames) override;  // the configured period
    OSStatus setStreamFormat(AudioCall side, const AudioStreamBasicDescription& format) override;
    OSStatus initialize() override;
    OSStatus start(AudioCycleHost& host) override;
    OSStatus stop() override;
    OSStatus uninitialize() override;
    OSStatus dispose() override;
    OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING override;

    // Observations, from any thread.
    bool isOpen() const { return playback_ != nullptr; }
    unsigned periodFrames() const { return period_; }  // as configured
    uint64_t cyclesRun() const { return cycles_.load(std::memory_order_relaxed); }
    uint64_t xruns() const { return xruns_.load(std::memory_order_relaxed); }
    bool realtimePriority() const { return realtime_.load(std::memory_order_relaxed); }

  private:
    std::string pcmName_;
    unsigned wantedPeriod_;
    _snd_pcm* playback_ = nullptr;
    _snd_pcm* capture_ = nullptr;
    bool outputOn_ = false;
    bool inputOn_ = false;
    bool prepared_ = false;
    unsigned rate_ = 0;
    unsigned period_ = 0;
    std::vector<float> buffer_;   // one period: read into, rendered in place, written from
    std::vector<float> silence_;  // one period of zeros, to keep playback ahead
    std::thread thread_;
    AudioCycleHost* host_ = nullptr;  // set before the thread starts

    LockFreeAtomic<bool> running_{false};
    LockFreeAtomic<uint64_t> cycles_{0};
    LockFreeAtomic<uint64_t> xruns_{0};
    LockFreeAtomic<bool> realtime_{false};

    void run();         // the device thread
    bool readPeriod();  // false: stopped, or an xrun restarted the streams
    bool writePeriod(const float* samples);
    void startStreams();
    void restartStreams();
    void closePcms();
};

}  // namespace tolva
