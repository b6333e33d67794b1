#include "platform/audio/manual_audio_device.h"

#include <algorithm>
#include <cstring>

#include "engine/render_limits.h"

namespace tolva {

// The backend of one unit instance on a ManualAudioDevice.
class ManualAudioDevice::Unit final : public AudioDeviceBackend {
  public:
    explicit Unit(ManualAudioDevice& device) : device_(device) {
        device_.instances_.fetch_add(1, std::memory_order_acq_rel);
    }
    ~Unit() override { device_.instances_.fetch_sub(1, std::memory_order_acq_rel); }

    OSStatus open() override { return device_.record(AudioCall::InstanceNew); }
    OSStatus enableOutput(bool) override { return device_.record(AudioCall::EnableOutput); }
    OSStatus enableInput(bool) override { return device_.record(AudioCall::EnableInput); }
    OSStatus sampleRate(double* rate) override {
        OSStatus status = device_.record(AudioCall::GetSampleRate);
        if (status == noErr) {
            *rate = device_.sampleRate_;
        }
        return status;
    }
    OSStatus bufferFrameSize(UInt32* frames) override {
        *frames = device_.lastFrames_.load(std::memory_order_acquire);
        return noErr;
    }
    OSStatus setRenderCallback() override { return device_.record(AudioCall::SetRenderCallback); }
    OSStatus setStreamFormat(AudioCall side, const AudioStreamBasicDescription&) override {
        return device_.record(side);
    }
    OSStatus initialize() override { return device_.record(AudioCall::Initialize); }
    OSStatus start(AudioCycleHost& host) override {
        OSStatus status = device_.record(AudioCall::Start);
        if (status != noErr) {
            return status;
        }
        device_.framesSinceStart_ = 0;
        device_.stopReturned_.store(false, std::memory_order_release);
        device_.stopRequested_.store(false, std::memory_order_release);
        device_.host_.store(&host, std::memory_order_release);
        device_.running_.store(true, std::memory_order_release);
        if (device_.threadDriven_) {
            device_.thread_ = std::thread([this] { device_.threadLoop(); });
        }
        return noErr;
    }
    OSStatus stop() override {
        OSStatus status = device_.record(AudioCall::Stop);
        device_.stopRequested_.store(true, std::memory_order_release);
        device_.running_.store(false, std::memory_order_seq_cst);
        if (device_.thread_.joinable()) {
            device_.thread_.join();
        }
        while (device_.inCycle_.load(std::memory_order_seq_cst) != 0) {
            std::this_thread::yield();
        }
        device_.stopReturned_.store(true, std::memory_order_release);
        return status;
    }
    OSStatus uninitialize() override { return device_.record(AudioCall::Uninitialize); }
    OSStatus dispose() override { return device_.record(AudioCall::Dispose); }
    bool alive() const override { return device_.alive_.load(std::memory_order_acquire); }

    OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING override {
        OSStatus status = device_.injected(AudioCall::Render);
        if (status != noErr) {
            return status;
        }
        auto* dst = static_cast<float*>(io->mBuffers[0].mData);
        // Never past the end of the buffer the caller handed over.
        const auto fit = static_cast<UInt32>(io->mBuffers[0].mDataByteSize / sizeof(float));
        frames = frames < fit ? frames : fit;
        if (device_.input_) {
            device_.input_(dst, frames, device_.framesSinceStart_);
        } else if (frames > 0) {
            std::memset(dst, 0, frames * sizeof(float));
        }
        return noErr;
    }

  private:
    ManualAudioDevice& device_;
};

ManualAudioDevice::ManualAudioDevice(double sampleRate) : sampleRate_(sampleRate) {
    threadBuffer_.resize(kMaxDeviceFrames);
    for (auto& f : failures_) {
        f.store(noErr, std::memory_order_relaxed);
    }
}

ManualAudioDevice::~ManualAudioDevice() {
    stopRequested_.store(true);
    running_.store(false);
    if (thread_.joinable()) {
        thread_.join();
    }
}

void ManualAudioDevice::setSampleRate(double rate) {
    sampleRate_ = rate;
}

void ManualAudioDevice::setInput(InputGenerator generator) {
    input_ = std::move(generator);
}

void ManualAudioDevice::setInputSamples(std::vector<float> samples) {
    input_ = [s = std::move(samples)](float* dst, UInt32 frames, uint64_t first) {
        for (UInt32 i = 0; i < frames; ++i) {
            const uint64_t k = first + i;
            dst[i] = k < s.size() ? s[k] : 0.0f;
        }
    };
}

void ManualAudioDevice::failCall(AudioCall call, OSStatus status) {
    failures_[static_cast<size_t>(call)].store(status, std::memory_order_release);
}

void ManualAudioDevice::clearFailures() {
    for (auto& f : failures_) {
        f.store(noErr, std::memory_order_release);
    }
}

void ManualAudioDevice::driveFromThread(FrameCountSource frames, std::chrono::microseconds period) {
    threadFrames_ = std::move(frames);
    threadPeriod_ = period;
    threadDriven_ = true;
}

void ManualAudioDevice::driveFromThread(UInt32 frames, std::chrono::microseconds period) {
    driveFromThread([frames](uint64_t) { return frames; }, period);
}

void ManualAudioDevice::driveManually() {
    threadDriven_ = false;
}

void ManualAudioDevice::stopCallingBack() {
    callingBack_.store(false, std::memory_order_release);
}

void ManualAudioDevice::loseDevice() {
    alive_.store(false, std::memory_order_release);
    stopCallingBack();
}

void ManualAudioDevice::changeSampleRate(double rate) {
    sampleRate_ = rate;
    if (running()) {
        host_.load(std::memory_order_acquire)->sampleRateChanged();
    }
}

std::vector<AudioCall> ManualAudioDevice::callLog() const {
    std::lock_guard lock(logMutex_);
    return log_;
}

void ManualAudioDevice::clearCallLog() {
    std::lock_guard lock(logMutex_);
    log_.clear();
}

std::unique_ptr<AudioDeviceBackend> ManualAudioDevice::createDevice() {
    callingBack_.store(true, std::memory_order_release);
    alive_.store(true, std::memory_order_release);
    return std::make_unique<Unit>(*this);
}

OSStatus ManualAudioDevice::record(AudioCall call) {
    {
        std::lock_guard lock(logMutex_);
        log_.push_back(call);
    }
    return injected(call);
}

void ManualAudioDevice::cycle(UInt32 frames, float* out) {
    AudioCycleHost* host = host_.load(std::memory_order_acquire);
    if (host == nullptr) {
        return;
    }
    if (stopReturned_.load(std::memory_order_acquire)) {
        cyclesAfterStop_.fetch_add(1, std::memory_order_acq_rel);
    }
    lastFrames_.store(frames, std::memory_order_release);
    host->renderCycle(frames, out);
    framesSinceStart_ += frames;
    cycles_.fetch_add(1, std::memory_order_acq_rel);
}

bool ManualAudioDevice::runCycle(UInt32 frames, float* out) {
    inCycle_.fetch_add(1, std::memory_order_seq_cst);
    if (!running_.load(std::memory_order_seq_cst)) {
        inCycle_.fetch_sub(1, std::memory_order_seq_cst);
        return false;
    }
    if (out == nullptr) {
        if (threadBuffer_.size() < frames) {
            threadBuffer_.resize(frames);
        }
        out = threadBuffer_.data();
    }
    cycle(frames, out);
    inCycle_.fetch_sub(1, std::memory_order_seq_cst);
    return true;
}

void ManualAudioDevice::threadLoop() {
    std::vector<float> buffer(kMaxDeviceFrames);
    uint64_t index = 0;
    while (!stopRequested_.load(std::memory_order_acquire)) {
        if (callingBack_.load(std::memory_order_acquire)) {
            UInt32 frames = threadFrames_ ? threadFrames_(index++) : 256;
            if (buffer.size() < frames) {
                buffer.resize(frames);
            }
            cycle(frames, buffer.data());
        }
        if (threadPeriod_.count() > 0) {
            std::this_thread::sleep_for(threadPeriod_);
        } else if (!callingBack_.load(std::memory_order_acquire)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

}  // namespace tolva
