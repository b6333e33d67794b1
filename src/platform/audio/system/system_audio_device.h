#pragma once

// The audio device the application plays through, chosen anew at every
// Play: a JACK server if one answers (jackd, or PipeWire's JACK; none is ever
// started), else the ALSA "default" PCM. When neither opens there is no
// device, and creating a unit fails with kAudioHardwareBadDeviceError.

#include <memory>
#include <string>

#include "platform/audio/audio_device_backend.h"

namespace tolva {

class SystemAudioProvider final : public AudioDeviceProvider {
  public:
    // jackServer empty: libjack's choice. jackd's libjack takes the server
    // JACK_DEFAULT_SERVER names, else "default"; PipeWire's libjack ignores
    // JACK_DEFAULT_SERVER and serves every client from the PipeWire daemon.
    explicit SystemAudioProvider(std::string jackServer = {}, std::string alsaPcm = "default");

    // [UI] An open device, JACK first; null when neither opens.
    std::unique_ptr<AudioDeviceBackend> createDevice() override;

  private:
    std::string jackServer_;
    std::string alsaPcm_;
};

// [UI] Makes the system's device the one every new unit opens.
void installSystemAudioDevice();

}  // namespace tolva
