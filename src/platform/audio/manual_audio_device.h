#pragma once

// A device whose cycles are driven by its owner: a test, or the offline
// renderer. Cycles of any frame count run either synchronously through
// runCycle() or from the device's own thread; the input of each cycle comes
// from a generator; any call of the audio-unit set can be made to fail with a
// chosen status.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/audio/audio_device_backend.h"

namespace tolva {

class ManualAudioDevice final : public AudioDeviceProvider {
  public:
    // [render] Fills `frames` input samples; firstFrame counts frames since Start.
    using InputGenerator = std::function<void(float* dst, UInt32 frames, uint64_t firstFrame)>;
    // [device thread] The frame count of the next cycle when driven from the thread.
    using FrameCountSource = std::function<UInt32(uint64_t cycleIndex)>;

    explicit ManualAudioDevice(double sampleRate = 48000.0);
    ~ManualAudioDevice() override;

    // Configuration; call while no unit of this device runs.
    void setSampleRate(double rate);
    void setInput(InputGenerator generator);
    void setInputSamples(std::vector<float> samples);  // zeros after the end
    void failCall(AudioCall call, OSStatus status);    // every later call of that kind fails
    void clearFailures();
    // Drive cycles from the device's own thread while the unit runs, `frames`
    // at a time, sleeping `period` between cycles (zero: back to back).
    void driveFromThread(FrameCountSource frames, std::chrono::microseconds period);
    void driveFromThread(UInt32 frames, std::chrono::microseconds period);
    void driveManually();

    // [test thread] Runs one cycle now if the unit runs. The output is copied
    // to `out` when given. False when no unit is running.
    bool runCycle(UInt32 frames, float* out = nullptr);
    // A dead device: the thread keeps running but calls back no more.
    void stopCallingBack();
    // A device that has gone away, as a server that shut down: no more cycles,
    // and the unit reads as not alive. The next unit created finds it back.
    void loseDevice();
    // [test thread] The device's rate changes under the running unit, whose
    // rate listeners are told at once.
    void changeSampleRate(double rate);

    // Observations, from any thread.
    bool running() const { return running_.load(std::memory_order_acquire); }
    // [test thread] Whether started units are driven by the device's own thread.
    bool threadDriven() const { return threadDriven_; }
    uint64_t cyclesRun() const { return cycles_.load(std::memory_order_acquire); }
    uint64_t cyclesAfterStop() const { return cyclesAfterStop_.load(std::memory_order_acquire); }
    int instancesAlive() const { return instances_.load(std::memory_order_acquire); }
    // The calls made on this device's units, in order (not the render pulls).
    std::vector<AudioCall> callLog() const;
    void clearCallLog();

    std::unique_ptr<AudioDeviceBackend> createDevice() override;

  private:
    class Unit;
    friend class Unit;

    OSStatus record(AudioCall call);  // [UI] logs the call, returns its injected status
    OSStatus injected(AudioCall call) const {
        return failures_[static_cast<size_t>(call)].load(std::memory_order_acquire);
    }
    void threadLoop();
    void cycle(UInt32 frames, float* out);  // [render]

    mutable std::mutex logMutex_;
    std::vector<AudioCall> log_;
    std::array<std::atomic<OSStatus>, kAudioCallCount> failures_{};

    double sampleRate_;
    InputGenerator input_;
    FrameCountSource threadFrames_;
    std::chrono::microseconds threadPeriod_{0};
    bool threadDriven_ = false;

    std::thread thread_;
    std::vector<float> threadBuffer_;
    std::atomic<AudioCycleHost*> host_{nullptr};
    std::atomic<bool> running_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> callingBack_{true};
    std::atomic<bool> alive_{true};
    std::atomic<bool> stopReturned_{false};
    std::atomic<int> inCycle_{0};
    std::atomic<uint64_t> cycles_{0};
    std::atomic<uint64_t> cyclesAfterStop_{0};
    std::atomic<int> instances_{0};
    std::atomic<UInt32> lastFrames_{256};  // frames of the latest cycle
    uint64_t framesSinceStart_ = 0;        // render side
};

}  // namespace tolva
