#include "platform/audio/system/system_audio_device.h"

#include "platform/audio/alsa/alsa_audio_device.h"
#include "platform/audio/jack/jack_audio_device.h"

namespace tolva {

SystemAudioProvider::SystemAudioProvider(std::string jackServer, std::string alsaPcm)
    : jackServer_(std::move(jackServer)), alsaPcm_(std::move(alsaPcm)) {}

std::unique_ptr<AudioDeviceBackend> SystemAudioProvider::createDevice() {
    // Opening is the question "is it there?"; the unit's own open() then
    // finds the device already open.
    auto jack = std::make_unique<JackAudioDevice>(jackServer_);
    if (jack->open() == noErr) {
        return jack;
    }
    auto alsa = std::make_unique<AlsaAudioDevice>(alsaPcm_);
    if (alsa->open() == noErr) {
        return alsa;
    }
    return nullptr;
}

void installSystemAudioDevice() {
    static SystemAudioProvider provider;
    setAudioDeviceProvider(&provider);
}

}  // namespace tolva
