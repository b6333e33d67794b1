#pragma once

// The audio device the application plays through: a JACK server if one
// answers (none is ever started), else the ALSA "default" PCM. When neither
// opens there is no device, and creating a unit fails with
// kAudioHardwareBadDeviceError.

#include <memory>
#include <string>

#include "platform/audio/audio_device_backend.h"

namespace tolva {

class SystemAudioProvider final : public AudioDeviceProvider {
  public:
    // jackServer empty: libjack's choice (JACK_DEFAULT_SERVER, else "default").
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
