#include "platform/midi/empty_midi_services.h"

namespace tolva {

OSStatus EmptyMidiServices::createClient(const char*, MIDIClientRef* client) {
    *client = ++lastRef_;
    return 0;
}

OSStatus EmptyMidiServices::createInputPort(MIDIClientRef client, const char*,
                                            MIDIReadProc readProc, void*, MIDIPortRef* port) {
    if (client == 0 || client > lastRef_.load()) {
        return kMIDIInvalidClient;
    }
    if (readProc == nullptr) {
        return kMIDIParamErr;
    }
    *port = ++lastRef_;
    return 0;
}

OSStatus EmptyMidiServices::connectSource(MIDIPortRef, MIDIEndpointRef, void*) {
    return kMIDIUnknownEndpoint;
}

}  // namespace tolva
