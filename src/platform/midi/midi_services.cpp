#include "platform/midi/midi_services.h"

#include <atomic>

#include "platform/midi/empty_midi_services.h"
#include "platform/midi/midi_services_provider.h"

namespace tolva {
namespace {

std::atomic<MidiServicesProvider*> gProvider{nullptr};

MidiServicesProvider& noSources() {
    // Never destroyed: ports may be used up to the very end of the process.
    static auto* const provider = new EmptyMidiServices;
    return *provider;
}

}  // namespace

void setMidiServicesProvider(MidiServicesProvider* provider) {
    gProvider.store(provider, std::memory_order_release);
}

MidiServicesProvider& midiServicesProvider() {
    MidiServicesProvider* const provider = gProvider.load(std::memory_order_acquire);
    return provider != nullptr ? *provider : noSources();
}

OSStatus MIDIClientCreate(const char* name, MIDINotifyProc, void*, MIDIClientRef* outClient) {
    if (outClient == nullptr) {
        return kMIDIParamErr;
    }
    return midiServicesProvider().createClient(name != nullptr ? name : "", outClient);
}

OSStatus MIDIInputPortCreate(MIDIClientRef client, const char* portName, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* outPort) {
    if (outPort == nullptr || readProc == nullptr) {
        return kMIDIParamErr;
    }
    if (client == 0) {
        return kMIDIInvalidClient;
    }
    return midiServicesProvider().createInputPort(client, portName != nullptr ? portName : "",
                                                  readProc, refCon, outPort);
}

ItemCount MIDIGetNumberOfSources() {
    return midiServicesProvider().numberOfSources();
}

MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0) {
    return midiServicesProvider().source(sourceIndex0);
}

OSStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon) {
    if (port == 0) {
        return kMIDIInvalidPort;
    }
    if (source == 0) {
        return kMIDIUnknownEndpoint;
    }
    return midiServicesProvider().connectSource(port, source, connRefCon);
}

bool MIDIClientLost(MIDIClientRef client) {
    return client != 0 && midiServicesProvider().clientLost(client);
}

}  // namespace tolva
