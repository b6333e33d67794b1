#include "platform/midi/system/system_midi_services.h"

#include "platform/midi/alsa/alsa_sequencer_midi_services.h"
#include "platform/midi/empty_midi_services.h"
#include "platform/midi/jack/jack_midi_services.h"

namespace tolva {

OSStatus SystemMidiServices::createClient(const char* name, MIDIClientRef* client) {
    if (chosen_ != nullptr && !chosen_->clientLost(client_)) {
        return chosen_->createClient(name, client);
    }
    std::unique_ptr<MidiServicesProvider> candidates[] = {
        std::make_unique<AlsaSequencerMidiServices>(), std::make_unique<JackMidiServices>(),
        std::make_unique<EmptyMidiServices>()};
    for (auto& service : candidates) {
        if (service->createClient(name, client) == 0) {
            chosen_ = service.get();
            client_ = *client;
            services_.push_back(std::move(service));
            return 0;
        }
    }
    return kMIDIServerStartErr;  // not reached: the empty service always makes one
}

MidiServicesProvider& SystemMidiServices::current() {
    static EmptyMidiServices none;
    return chosen_ != nullptr ? *chosen_ : none;
}

OSStatus SystemMidiServices::createInputPort(MIDIClientRef client, const char* name,
                                             MIDIReadProc readProc, void* refCon,
                                             MIDIPortRef* port) {
    return current().createInputPort(client, name, readProc, refCon, port);
}

ItemCount SystemMidiServices::numberOfSources() {
    return current().numberOfSources();
}

MIDIEndpointRef SystemMidiServices::source(ItemCount index) {
    return current().source(index);
}

OSStatus SystemMidiServices::connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                           void* sourceRefCon) {
    return current().connectSource(port, source, sourceRefCon);
}

bool SystemMidiServices::clientLost(MIDIClientRef client) {
    return chosen_ != nullptr && client == client_ && chosen_->clientLost(client);
}

void installSystemMidiServices() {
    // Lives to the end of the process, as its clients do.
    static auto* const services = new SystemMidiServices;
    setMidiServicesProvider(services);
}

}  // namespace tolva
