#include "platform/midi/system/system_midi_services.h"

#include "platform/midi/alsa/alsa_sequencer_midi_services.h"
#include "platform/midi/empty_midi_services.h"
#include "platform/midi/jack/jack_midi_services.h"

namespace tolva {

SystemMidiService availableSystemMidiService() {
    if (AlsaSequencerMidiServices::available()) {
        return SystemMidiService::AlsaSequencer;
    }
    if (JackMidiServices::serverAnswers()) {
        return SystemMidiService::Jack;
    }
    return SystemMidiService::None;
}

void installSystemMidiServices() {
    // The providers live to the end of the process, as their clients do.
    const SystemMidiService service = availableSystemMidiService();
    switch (service) {
        case SystemMidiService::AlsaSequencer: {
            static auto* const sequencer = new AlsaSequencerMidiServices;
            setMidiServicesProvider(sequencer);
            break;
        }
        case SystemMidiService::Jack: {
            static auto* const jack = new JackMidiServices;
            setMidiServicesProvider(jack);
            break;
        }
        case SystemMidiService::None: {
            static auto* const none = new EmptyMidiServices;
            setMidiServicesProvider(none);
            break;
        }
    }
}

}  // namespace tolva
