#include "offline_render.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "device/check_error.h"
#include "engine/modulator_globals.h"

namespace tolva {
namespace {

std::string formatNumber(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

bool fail(OfflineUnitFailure* failure, const char* operation, OSStatus status) {
    if (failure != nullptr) {
        failure->operation = operation;
        failure->status = status;
    }
    return false;
}

// The carrier tables of one run, zero-filled, the ramp table first. False
// (and no tables) when there is no memory for them.
bool allocateTables(RingModulatorViewController& c, int32_t length) {
    auto* ramf = new (std::nothrow) float[static_cast<size_t>(length)]();
    auto* trif = new (std::nothrow) float[static_cast<size_t>(length)]();
    if (ramf == nullptr || trif == nullptr) {
        delete[] ramf;
        delete[] trif;
        return false;
    }
    c.Ramf.store(ramf, std::memory_order_release);
    c.Trif.store(trif, std::memory_order_release);
    return true;
}

// The state a run starts from, as Play leaves it, with the settings in place
// of the panel.
bool seed(RingModulatorViewController& c, double rate, const OfflineRenderSettings& settings) {
    R.store(rate, std::memory_order_release);
    c.sampleRate = rate;
    A.store(440.0, std::memory_order_release);
    bendd.store(2.0, std::memory_order_release);
    nonl.store(settings.diode ? settings.exponent : 1.0, std::memory_order_release);
    c.TWO_PI_NORM.store(kTwoPi / rate, std::memory_order_release);
    c.logview.store(0, std::memory_order_release);
    c.depth.store(settings.depth, std::memory_order_release);
    c.phase.store(0.0, std::memory_order_release);
    c.previous_depth.store(0.0, std::memory_order_release);
    c.previous_phase_increment.store(0.0, std::memory_order_release);
    c.wave.store(settings.wave, std::memory_order_release);
    c.midif.store(0, std::memory_order_release);
    c.diode.store(settings.diode ? 1 : 0, std::memory_order_release);
    c.mult.store(1.0, std::memory_order_release);
    c.frequency.store(settings.frequency, std::memory_order_release);
    const auto length = static_cast<int32_t>(rate);
    c.cycle.store(length, std::memory_order_release);
    if (!allocateTables(c, length)) {
        return false;
    }
    c.fillTables();
    return true;
}

}  // namespace

std::string offlineRenderProblem(const OfflineRenderSettings& settings, double sampleRate,
                                 int channels) {
    if (channels < 1) {
        return "the input has no audio channels";
    }
    if (channels > kOfflineMaxChannels) {
        return "the input has more than " + std::to_string(kOfflineMaxChannels) + " channels";
    }
    if (!(sampleRate >= kOfflineMinSampleRate)) {
        return "the input's sample rate is below 1 Hz";
    }
    if (!(sampleRate <= kOfflineMaxSampleRate)) {
        return "the input's sample rate is above " + formatNumber(kOfflineMaxSampleRate) + " Hz";
    }
    if (settings.wave < WaveSelf || settings.wave > WaveRamp) {
        return "unknown carrier";
    }
    if (!(settings.frequency > 0.0 && settings.frequency <= sampleRate)) {
        return "frequency must be above 0 Hz and at most the input's sample rate (" +
               formatNumber(sampleRate) + " Hz)";
    }
    if (!(settings.depth >= 0.0 && settings.depth <= 1.0)) {
        return "depth must be between 0 and 1";
    }
    if (settings.diode &&
        !(settings.exponent >= kOfflineMinExponent && settings.exponent <= kOfflineMaxExponent)) {
        return "diode exponent must be between " + formatNumber(kOfflineMinExponent) + " and " +
               formatNumber(kOfflineMaxExponent);
    }
    if (settings.blockFrames < 1 || settings.blockFrames > kOfflineMaxBlockFrames) {
        return "block must be 1 to " + std::to_string(kOfflineMaxBlockFrames) + " frames";
    }
    return {};
}

bool openOfflineUnit(RingModulatorViewController& c, ManualAudioDevice& device,
                     const OfflineRenderSettings& settings, OfflineUnitFailure* failure) {
    const AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                                kAudioUnitManufacturer_Apple, 0, 0};
    // The provider is only consulted while the instance is created.
    AudioDeviceProvider* const previous = audioDeviceProvider();
    setAudioDeviceProvider(&device);
    AudioComponent component = AudioComponentFindNext(nullptr, &description);
    AudioComponentInstance unit = nullptr;
    OSStatus status = AudioComponentInstanceNew(component, &unit);
    setAudioDeviceProvider(previous);
    if (status != noErr) {
        return fail(failure, "Couldn't get audio unit instance", status);
    }
    c.toneUnit.store(unit, std::memory_order_release);

    auto check = [&](OSStatus result, const char* operation) {
        if (result == noErr) {
            return true;
        }
        closeOfflineUnit(c);
        return fail(failure, operation, result);
    };

    const UInt32 enable = 1;
    if (!check(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Output,
                                    0, &enable, sizeof enable),
               "Couldn't enable output")) {
        return false;
    }
    double rate = 0.0;
    UInt32 rateSize = sizeof rate;
    if (!check(AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0,
                                    &rate, &rateSize),
               "Couldn't get sample rate")) {
        return false;
    }
    if (!(rate >= kOfflineMinSampleRate && rate <= kOfflineMaxSampleRate)) {
        return check(kAudioDeviceUnsupportedFormatError, "Unusable sample rate");
    }
    if (!check(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input,
                                    1, &enable, sizeof enable),
               "Couldn't enable input")) {
        return false;
    }
    const AURenderCallbackStruct callback{&RenderRMTone, &c};
    if (!check(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback,
                                    kAudioUnitScope_Input, 0, &callback, sizeof callback),
               "Error setting callback: ")) {
        return false;
    }
    AudioStreamBasicDescription& format = c.streamFormat;
    format = monoFloatStreamFormat(rate);
    if (!check(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                    &format, sizeof format),
               "Couldn't set StreamFormat on input scope / bus 0") ||
        !check(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                    1, &format, sizeof format),
               "Couldn't set StreamFormat on output scope / bus 1")) {
        return false;
    }
    if (!seed(c, rate, settings)) {
        return check(kAudio_MemFullError, "Couldn't allocate the carrier tables");
    }
    if (!check(AudioUnitInitialize(unit), "Couldn't initialize audio unit")) {
        return false;
    }
    c.state.store(StateFadeIn, std::memory_order_release);
    return check(AudioOutputUnitStart(unit), "Couldn't start audio unit");
}

void closeOfflineUnit(RingModulatorViewController& c) {
    if (AudioComponentInstance unit = c.toneUnit.exchange(nullptr, std::memory_order_acq_rel)) {
        AudioOutputUnitStop(unit);
        AudioUnitUninitialize(unit);
        AudioComponentInstanceDispose(unit);
    }
    delete[] c.Trif.exchange(nullptr, std::memory_order_acq_rel);
    delete[] c.Ramf.exchange(nullptr, std::memory_order_acq_rel);
}

struct OfflineRenderer::Channel {
    explicit Channel(double rate) : device(rate) {
        device.driveManually();
        // The pull hands over the buffer the caller gave for this cycle.
        device.setInput([this](float* dst, UInt32 frames, uint64_t) {
            if (pending == nullptr) {
                std::memset(dst, 0, frames * sizeof(float));
            } else if (pending != dst) {
                std::memmove(dst, pending, frames * sizeof(float));
            }
        });
    }
    ~Channel() { closeOfflineUnit(controller); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    ManualAudioDevice device;  // outlives the unit the controller holds
    RingModulatorViewController controller;
    const float* pending = nullptr;
};

OfflineRenderer::OfflineRenderer() = default;

OfflineRenderer::~OfflineRenderer() {
    close();
}

bool OfflineRenderer::open(const OfflineRenderSettings& settings, double sampleRate, int channels,
                           std::string* error) {
    close();
    std::string problem = offlineRenderProblem(settings, sampleRate, channels);
    if (!problem.empty()) {
        if (error != nullptr) {
            *error = std::move(problem);
        }
        return false;
    }
    for (int i = 0; i < channels; ++i) {
        auto unit = std::make_unique<Channel>(sampleRate);
        OfflineUnitFailure failure;
        if (!openOfflineUnit(unit->controller, unit->device, settings, &failure)) {
            if (error != nullptr) {
                char code[kStatusCodeTextSize];
                formatStatusCode(failure.status, code);
                *error = std::string(failure.operation) + " (" + code + ")";
            }
            close();
            return false;
        }
        channels_.push_back(std::move(unit));
    }
    blockFrames_ = settings.blockFrames;
    return true;
}

bool OfflineRenderer::renderCycle(const float* const* in, float* const* out, uint32_t frames) {
    if (channels_.empty()) {
        return false;
    }
    for (size_t i = 0; i < channels_.size(); ++i) {
        Channel& lane = *channels_[i];
        lane.pending = in[i];
        const bool ran = lane.device.runCycle(frames, out[i]);
        lane.pending = nullptr;
        if (!ran) {
            return false;
        }
    }
    // A failed pull is recorded by the render cycle, which then plays silence.
    return !fatalErrorPending();
}

void OfflineRenderer::close() {
    channels_.clear();
    blockFrames_ = 0;
}

bool renderOffline(const OfflineRenderSettings& settings, double sampleRate,
                   std::vector<std::vector<float>>& channels, std::string* error) {
    const size_t length = channels.empty() ? 0 : channels.front().size();
    for (const auto& samples : channels) {
        if (samples.size() != length) {
            if (error != nullptr) {
                *error = "channels differ in length";
            }
            return false;
        }
    }
    OfflineRenderer renderer;
    if (!renderer.open(settings, sampleRate, static_cast<int>(channels.size()), error)) {
        return false;
    }
    std::vector<float*> cursors(channels.size());
    for (size_t first = 0; first < length; first += settings.blockFrames) {
        const size_t left = length - first;
        const auto frames =
            static_cast<uint32_t>(left < settings.blockFrames ? left : settings.blockFrames);
        for (size_t c = 0; c < channels.size(); ++c) {
            cursors[c] = channels[c].data() + first;
        }
        if (!renderer.renderCycle(cursors.data(), cursors.data(), frames)) {
            if (error != nullptr) {
                *error = "the render cycle failed";
            }
            return false;
        }
    }
    return true;
}

}  // namespace tolva
