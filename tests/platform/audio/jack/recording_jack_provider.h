#pragma once

// Units on the test server whose every cycle is recorded: how many frames it
// had and what it played, taken right after the render callback, on the
// server's process thread. The render callback runs inside a RealtimeSection,
// so what it allocates, locks or calls is counted.

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/audio/jack/jack_audio_device.h"
#include "support/realtime_checker.h"

namespace tolva::test {

class CycleRecorder {
  public:
    static constexpr size_t kMaxCycles = 1 << 16;
    static constexpr size_t kMaxSamples = 48000 * 30;

    CycleRecorder() : frames_(kMaxCycles), samples_(kMaxSamples) {}

    // [render]
    void record(UInt32 frames, const float* out) {
        const size_t cycle = cycles_.load(std::memory_order_relaxed);
        const size_t at = used_;
        if (cycle < kMaxCycles && at + frames <= kMaxSamples) {
            frames_[cycle] = frames;
            std::memcpy(&samples_[at], out, frames * sizeof(float));
            used_ = at + frames;
            cycles_.store(cycle + 1, std::memory_order_release);
        }
    }
    size_t cycles() const { return cycles_.load(std::memory_order_acquire); }
    // After the unit has stopped (or for cycles already counted): one cycle's output.
    std::vector<float> cycle(size_t index) const {
        size_t at = 0;
        for (size_t k = 0; k < index; ++k) {
            at += frames_[k];
        }
        return {samples_.begin() + static_cast<long>(at),
                samples_.begin() + static_cast<long>(at + frames_[index])};
    }
    UInt32 framesOf(size_t index) const { return frames_[index]; }

    std::atomic<int> inside{0};        // render callbacks under way
    std::atomic<bool> stopped{false};  // set by the test once stop() has returned
    std::atomic<uint64_t> afterStop{0};

  private:
    std::vector<UInt32> frames_;
    std::vector<float> samples_;
    size_t used_ = 0;  // render thread
    std::atomic<size_t> cycles_{0};
};

class RecordingJackProvider final : public AudioDeviceProvider {
  public:
    std::unique_ptr<AudioDeviceBackend> createDevice() override {
        recorder = std::make_unique<CycleRecorder>();
        auto inner = std::make_unique<JackAudioDevice>();
        device = inner.get();
        return std::make_unique<Backend>(*this, std::move(inner));
    }

    // Every pulled sample becomes this value when set: an input that is there
    // from the very first cycle, before any port can be connected.
    std::atomic<bool> constantInputOn{false};
    std::atomic<float> constantInput{0.0f};

    std::unique_ptr<CycleRecorder> recorder;  // of the latest unit
    JackAudioDevice* device = nullptr;        // the latest unit's, until it is disposed

  private:
    class Backend final : public AudioDeviceBackend, public AudioCycleHost {
      public:
        Backend(RecordingJackProvider& owner, std::unique_ptr<JackAudioDevice> inner)
            : owner_(owner), recorder_(*owner.recorder), inner_(std::move(inner)) {}
        ~Backend() override { owner_.device = nullptr; }
        OSStatus open() override { return inner_->open(); }
        OSStatus enableOutput(bool on) override { return inner_->enableOutput(on); }
        OSStatus enableInput(bool on) override { return inner_->enableInput(on); }
        OSStatus sampleRate(double* rate) override { return inner_->sampleRate(rate); }
        OSStatus bufferFrameSize(UInt32* frames) override {
            return inner_->bufferFrameSize(frames);
        }
        OSStatus setStreamFormat(AudioCall side, const AudioStreamBasicDescription& f) override {
            return inner_->setStreamFormat(side, f);
        }
        OSStatus initialize() override { return inner_->initialize(); }
        OSStatus start(AudioCycleHost& host) override {
            host_ = &host;
            return inner_->start(*this);
        }
        OSStatus stop() override {
            const OSStatus status = inner_->stop();
            recorder_.stopped.store(true, std::memory_order_seq_cst);
            return status;
        }
        OSStatus uninitialize() override { return inner_->uninitialize(); }
        OSStatus dispose() override { return inner_->dispose(); }
        OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING override {
            const OSStatus status = inner_->pullInput(frames, io);
            if (owner_.constantInputOn.load(std::memory_order_acquire)) {
                auto* dst = static_cast<float*>(io->mBuffers[0].mData);
                const float value = owner_.constantInput.load(std::memory_order_relaxed);
                for (UInt32 i = 0; i < frames; ++i) {
                    dst[i] = value;
                }
            }
            return status;
        }
        void renderCycle(UInt32 frames, float* buffer) TOLVA_NONBLOCKING override {
            recorder_.inside.fetch_add(1, std::memory_order_seq_cst);
            if (recorder_.stopped.load(std::memory_order_seq_cst)) {
                recorder_.afterStop.fetch_add(1, std::memory_order_relaxed);
            }
            {
                RealtimeSection realtime;
                host_->renderCycle(frames, buffer);
            }
            recorder_.record(frames, buffer);
            recorder_.inside.fetch_sub(1, std::memory_order_seq_cst);
        }

      private:
        RecordingJackProvider& owner_;
        CycleRecorder& recorder_;
        std::unique_ptr<JackAudioDevice> inner_;
        AudioCycleHost* host_ = nullptr;
    };
};

}  // namespace tolva::test
