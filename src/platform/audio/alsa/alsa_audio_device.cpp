#include "platform/audio/alsa/alsa_audio_device.h"

#include <alsa/asoundlib.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <system_error>

#include "platform/alsa/quiet_alsa_messages.h"

namespace tolva {
namespace {

// How long the device thread waits for the PCM at a time; stop() is noticed
// within this (or within a period, whichever is shorter).
constexpr int kWaitMilliseconds = 20;
// Periods of silence written ahead of the first rendered period.
constexpr unsigned kPeriodsAhead = 2;
constexpr unsigned kPeriodsInBuffer = 3;
constexpr int kRealtimePriority = 70;

struct HwParams {
    snd_pcm_hw_params_t* p = nullptr;
    HwParams() { snd_pcm_hw_params_malloc(&p); }
    ~HwParams() { snd_pcm_hw_params_free(p); }
    HwParams(const HwParams&) = delete;
    HwParams& operator=(const HwParams&) = delete;
};

// Mono float at `rate` (exactly, or near it when `exact` is false) in periods
// of about `period` frames. The PCM's own rates come first; only a PCM that
// cannot run at the rate at all resamples.
OSStatus configure(snd_pcm_t* pcm, unsigned* rate, bool exact, unsigned* period) {
    HwParams hw;
    if (hw.p == nullptr || snd_pcm_hw_params_any(pcm, hw.p) < 0 ||
        snd_pcm_hw_params_set_access(pcm, hw.p, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) {
        return kAudioHardwareBadDeviceError;
    }
    if (snd_pcm_hw_params_set_format(pcm, hw.p, SND_PCM_FORMAT_FLOAT_LE) < 0 ||
        snd_pcm_hw_params_set_channels(pcm, hw.p, 1) < 0) {
        return kAudioDeviceUnsupportedFormatError;
    }
    snd_pcm_hw_params_set_rate_resample(pcm, hw.p, 0);
    int dir = 0;
    if (exact) {
        if (snd_pcm_hw_params_test_rate(pcm, hw.p, *rate, 0) < 0) {
            snd_pcm_hw_params_set_rate_resample(pcm, hw.p, 1);
        }
        if (snd_pcm_hw_params_set_rate(pcm, hw.p, *rate, 0) < 0) {
            return kAudioDeviceUnsupportedFormatError;
        }
    } else if (snd_pcm_hw_params_set_rate_near(pcm, hw.p, rate, &dir) < 0) {
        return kAudioDeviceUnsupportedFormatError;
    }
    snd_pcm_uframes_t frames = *period;
    dir = 0;
    if (snd_pcm_hw_params_set_period_size_near(pcm, hw.p, &frames, &dir) < 0) {
        return kAudioHardwareBadDeviceError;
    }
    unsigned periods = kPeriodsInBuffer;
    dir = 0;
    snd_pcm_hw_params_set_periods_near(pcm, hw.p, &periods, &dir);
    if (snd_pcm_hw_params(pcm, hw.p) < 0) {
        return kAudioHardwareBadDeviceError;
    }
    snd_pcm_hw_params_get_period_size(hw.p, &frames, &dir);
    *period = static_cast<unsigned>(frames);
    return noErr;
}

// Both sides start by hand; the device thread wakes when a period is there.
bool setSoftwareParams(snd_pcm_t* pcm, unsigned period) {
    snd_pcm_sw_params_t* sw = nullptr;
    if (snd_pcm_sw_params_malloc(&sw) < 0) {
        return false;
    }
    snd_pcm_uframes_t boundary = 0;
    const bool ok = snd_pcm_sw_params_current(pcm, sw) >= 0 &&
                    snd_pcm_sw_params_get_boundary(sw, &boundary) >= 0 &&
                    snd_pcm_sw_params_set_start_threshold(pcm, sw, boundary) >= 0 &&
                    snd_pcm_sw_params_set_avail_min(pcm, sw, period) >= 0 &&
                    snd_pcm_sw_params(pcm, sw) >= 0;
    snd_pcm_sw_params_free(sw);
    return ok;
}

// Real-time priority where the system grants it; otherwise the thread runs on.
bool raisePriority() {
    int priority = kRealtimePriority;
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        geteuid() != 0 && static_cast<rlim_t>(priority) > limit.rlim_cur) {
        priority = static_cast<int>(limit.rlim_cur);
    }
    if (priority < sched_get_priority_min(SCHED_FIFO)) {
        return false;
    }
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

}  // namespace

AlsaAudioDevice::AlsaAudioDevice(std::string pcmName, unsigned periodFrames)
    : pcmName_(std::move(pcmName)),
      wantedPeriod_(periodFrames == 0 ? kPreferredPeriod : periodFrames) {}

AlsaAudioDevice::~AlsaAudioDevice() {
    stop();
    closePcms();
}

OSStatus AlsaAudioDevice::open() {
    if (playback_ != nullptr) {
        return noErr;
    }
    QuietAlsaMessages quiet;
    snd_pcm_t* playback = nullptr;
    snd_pcm_t* capture = nullptr;
    if (snd_pcm_open(&playback, pcmName_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) {
        return kAudioHardwareBadDeviceError;
    }
    if (snd_pcm_open(&capture, pcmName_.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) < 0) {
        snd_pcm_close(playback);
        return kAudioHardwareBadDeviceError;
    }
    playback_ = playback;
    capture_ = capture;
    return noErr;
}

OSStatus AlsaAudioDevice::enableOutput(bool enable) {
    if (playback_ == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    if (thread_.joinable() || prepared_) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    if (!enable) {
        outputOn_ = false;
        return noErr;
    }
    unsigned rate = kPreferredRate;
    unsigned period = wantedPeriod_;
    const OSStatus status = configure(playback_, &rate, false, &period);
    if (status == noErr) {
        rate_ = rate;
        period_ = period;
        outputOn_ = true;
    }
    return status;
}

OSStatus AlsaAudioDevice::enableInput(bool enable) {
    if (capture_ == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    if (thread_.joinable() || prepared_) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    if (!enable) {
        inputOn_ = false;
        return noErr;
    }
    // Capture follows the rate playback chose; without playback it picks its own.
    unsigned rate = rate_ != 0 ? rate_ : kPreferredRate;
    unsigned period = period_ != 0 ? period_ : wantedPeriod_;
    const OSStatus status = configure(capture_, &rate, rate_ != 0, &period);
    if (status == noErr) {
        if (rate_ == 0) {
            rate_ = rate;
            period_ = period;
        }
        inputOn_ = true;
    }
    return status;
}

OSStatus AlsaAudioDevice::sampleRate(double* rate) {
    if (playback_ == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    if (rate_ == 0) {
        return kAudioHardwareIllegalOperationError;  // neither side configured yet
    }
    *rate = static_cast<double>(rate_);
    return noErr;
}

OSStatus AlsaAudioDevice::bufferFrameSize(UInt32* frames) {
    if (period_ == 0) {
        return kAudioHardwareIllegalOperationError;
    }
    *frames = period_;
    return noErr;
}

OSStatus AlsaAudioDevice::setStreamFormat(AudioCall, const AudioStreamBasicDescription& format) {
    if (playback_ == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    if (rate_ == 0) {
        return kAudioHardwareIllegalOperationError;
    }
    return format.mSampleRate == static_cast<double>(rate_) ? noErr
                                                            : kAudioDeviceUnsupportedFormatError;
}

OSStatus AlsaAudioDevice::initialize() {
    if (playback_ == nullptr) {
        return kAudioHardwareBadDeviceError;
    }
    if (!outputOn_ && !inputOn_) {
        return kAudioUnitErr_FailedInitialization;
    }
    if ((outputOn_ && !setSoftwareParams(playback_, period_)) ||
        (inputOn_ && !setSoftwareParams(capture_, period_))) {
        return kAudioUnitErr_FailedInitialization;
    }
    if ((outputOn_ && snd_pcm_prepare(playback_) < 0) ||
        (inputOn_ && snd_pcm_prepare(capture_) < 0)) {
        return kAudioUnitErr_FailedInitialization;
    }
    buffer_.assign(period_, 0.0f);
    silence_.assign(period_, 0.0f);
    prepared_ = true;
    return noErr;
}

OSStatus AlsaAudioDevice::start(AudioCycleHost& host) {
    if (!prepared_) {
        return kAudioUnitErr_Uninitialized;
    }
    if (thread_.joinable()) {
        return noErr;
    }
    host_ = &host;
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        running_.store(false, std::memory_order_release);
        host_ = nullptr;
        return kAudioHardwareUnspecifiedError;
    }
    return noErr;
}

OSStatus AlsaAudioDevice::stop() {
    if (!thread_.joinable()) {
        return noErr;
    }
    // The thread looks at the flag at least every kWaitMilliseconds and never
    // between the pull and the end of a cycle, so joining it is bounded and a
    // cycle under way finishes first.
    running_.store(false, std::memory_order_release);
    thread_.join();
    host_ = nullptr;
    if (outputOn_) {
        snd_pcm_drop(playback_);
        snd_pcm_prepare(playback_);
    }
    if (inputOn_) {
        snd_pcm_drop(capture_);
        snd_pcm_prepare(capture_);
    }
    return noErr;
}

OSStatus AlsaAudioDevice::uninitialize() {
    stop();
    if (playback_ != nullptr) {
        snd_pcm_hw_free(playback_);
        snd_pcm_hw_free(capture_);
    }
    prepared_ = false;
    outputOn_ = inputOn_ = false;
    rate_ = period_ = 0;
    return noErr;
}

OSStatus AlsaAudioDevice::dispose() {
    stop();
    closePcms();
    return noErr;
}

void AlsaAudioDevice::closePcms() {
    if (playback_ != nullptr) {
        snd_pcm_close(playback_);
        playback_ = nullptr;
    }
    if (capture_ != nullptr) {
        snd_pcm_close(capture_);
        capture_ = nullptr;
    }
}

OSStatus AlsaAudioDevice::pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING {
    // The period was read into buffer_, which is the buffer being rendered.
    auto* dst = static_cast<float*>(io->mBuffers[0].mData);
    const auto held = static_cast<UInt32>(buffer_.size());
    const UInt32 available = frames < held ? frames : held;
    if (available > 0 && dst != buffer_.data()) {
        std::memmove(dst, buffer_.data(), available * sizeof(float));
    }
    if (available < frames) {
        std::memset(dst + available, 0, (frames - available) * sizeof(float));
    }
    return noErr;
}

void AlsaAudioDevice::startStreams() {
    if (outputOn_) {
        for (unsigned k = 0; k < kPeriodsAhead; ++k) {
            snd_pcm_writei(playback_, silence_.data(), period_);
        }
        snd_pcm_start(playback_);
    }
    if (inputOn_) {
        snd_pcm_start(capture_);
    }
}

void AlsaAudioDevice::restartStreams() {
    xruns_.fetch_add(1, std::memory_order_relaxed);
    bool ready = true;
    if (outputOn_) {
        snd_pcm_drop(playback_);
        ready = snd_pcm_prepare(playback_) >= 0 && ready;
    }
    if (inputOn_) {
        snd_pcm_drop(capture_);
        ready = snd_pcm_prepare(capture_) >= 0 && ready;
    }
    if (ready) {
        startStreams();
    } else {
        // The device has gone away; keep the thread answering stop().
        std::this_thread::sleep_for(std::chrono::milliseconds(kWaitMilliseconds));
    }
}

bool AlsaAudioDevice::readPeriod() {
    unsigned got = 0;
    while (got < period_) {
        if (!running_.load(std::memory_order_acquire)) {
            return false;
        }
        const snd_pcm_sframes_t n = snd_pcm_readi(capture_, buffer_.data() + got, period_ - got);
        if (n > 0) {
            got += static_cast<unsigned>(n);
        } else if (n == -EAGAIN || n == 0) {
            snd_pcm_wait(capture_, kWaitMilliseconds);
        } else {
            restartStreams();
            return false;
        }
    }
    return true;
}

bool AlsaAudioDevice::writePeriod(const float* samples) {
    unsigned put = 0;
    while (put < period_) {
        if (!running_.load(std::memory_order_acquire)) {
            return false;
        }
        const snd_pcm_sframes_t n = snd_pcm_writei(playback_, samples + put, period_ - put);
        if (n > 0) {
            put += static_cast<unsigned>(n);
        } else if (n == -EAGAIN || n == 0) {
            snd_pcm_wait(playback_, kWaitMilliseconds);
        } else {
            restartStreams();
            return false;
        }
    }
    return true;
}

void AlsaAudioDevice::run() {
    realtime_.store(raisePriority(), std::memory_order_relaxed);
    startStreams();
    while (running_.load(std::memory_order_acquire)) {
        if (inputOn_) {
            if (!readPeriod()) {
                continue;
            }
        } else {
            std::memset(buffer_.data(), 0, buffer_.size() * sizeof(float));
        }
        host_->renderCycle(period_, buffer_.data());
        cycles_.fetch_add(1, std::memory_order_relaxed);
        if (outputOn_) {
            writePeriod(buffer_.data());
        }
    }
}

}  // namespace tolva
