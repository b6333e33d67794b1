#pragma once

// The modulator run offline: one controller per channel, each with its own
// unit on a manually driven device, fed from buffers instead of a sound card.
// Every cycle goes through the same render callback and input pull as a live
// device cycle, as if the buffers were the device input from the first cycle
// after Play.
//
// The modulator keeps some of its values process-wide (the sample rate, the
// tuning reference, the diode exponent), so only one renderer may be open at
// a time. Everything here runs on one thread, which plays both the UI and the
// render thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/manual_audio_device.h"

namespace tolva {

// Limits of what the renderer accepts. Frames per cycle stay well inside the
// range where a float counts frames exactly (the envelope counts in floats);
// the rate and channel bounds keep the per-channel carrier tables (two tables
// of one second each) to a sensible size.
inline constexpr uint32_t kOfflineMaxBlockFrames = 1048576;
inline constexpr double kOfflineMinSampleRate = 1.0;
inline constexpr double kOfflineMaxSampleRate = 768000.0;
inline constexpr int kOfflineMaxChannels = 64;
// The diode exponent spans the same range as the panel's slider and MIDI.
inline constexpr double kOfflineMinExponent = 1.0;
inline constexpr double kOfflineMaxExponent = 4.0;

struct OfflineRenderSettings {
    int32_t wave = WaveSine;     // WaveSelf, WaveSine, WaveTriangle or WaveRamp
    double frequency = 440.0;    // Hz; above 0 and at most the sample rate
    double depth = 1.0;          // 0 .. 1
    bool diode = false;          // carrier through the diode curve
    double exponent = 1.0;       // the curve's exponent while diode is on
    uint32_t blockFrames = 256;  // frames per cycle
};

// Why the settings cannot be rendered at this sample rate with this many
// channels, as a short phrase; empty when they can.
std::string offlineRenderProblem(const OfflineRenderSettings& settings, double sampleRate,
                                 int channels);

// A unit that failed to open: the step and its status.
struct OfflineUnitFailure {
    const char* operation = nullptr;
    OSStatus status = noErr;
};

// [UI] Opens a unit on `device` for `controller`, the same calls and formats as
// the live device setup, seeds the controller as Play would with `settings`
// in place of the panel (state StateFadeIn, phase and carried-over ramps 0),
// and starts the unit. The device's sample rate is the rate used. On failure
// everything opened is released again and false is returned.
bool openOfflineUnit(RingModulatorViewController& controller, ManualAudioDevice& device,
                     const OfflineRenderSettings& settings, OfflineUnitFailure* failure);

// [UI] Stops and disposes of the controller's unit and frees its tables.
void closeOfflineUnit(RingModulatorViewController& controller);

class OfflineRenderer {
  public:
    OfflineRenderer();
    ~OfflineRenderer();
    OfflineRenderer(const OfflineRenderer&) = delete;
    OfflineRenderer& operator=(const OfflineRenderer&) = delete;

    // Opens one unit per channel at `sampleRate`. False, with `error` set,
    // when the settings are refused or a unit cannot be opened.
    bool open(const OfflineRenderSettings& settings, double sampleRate, int channels,
              std::string* error);
    // One device cycle of `frames` frames on every channel: in[c] is the
    // input of channel c, out[c] receives its output (it may be in[c]).
    // False when a unit is not running or its input pull failed.
    bool renderCycle(const float* const* in, float* const* out, uint32_t frames);
    void close();

    int channels() const { return static_cast<int>(channels_.size()); }
    uint32_t blockFrames() const { return blockFrames_; }

  private:
    struct Channel;
    std::vector<std::unique_ptr<Channel>> channels_;
    uint32_t blockFrames_ = 0;
};

// Renders whole channel buffers in place, in cycles of settings.blockFrames
// frames, the last one shorter when the length is not a multiple of it. All
// channels must have the same length.
bool renderOffline(const OfflineRenderSettings& settings, double sampleRate,
                   std::vector<std::vector<float>>& channels, std::string* error);

}  // namespace tolva
