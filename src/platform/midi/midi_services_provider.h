#pragma once

// The service behind the MIDI-services calls. A provider is installed once at
// start-up and lives to the end of the process, as its clients and ports do;
// it opens nothing until a client is created.

#include "platform/midi/midi_services.h"

namespace tolva {

class MidiServicesProvider {
  public:
    virtual ~MidiServicesProvider() = default;

    // [UI] Opens a client; a non-zero reference in *client on success.
    virtual OSStatus createClient(const char* name, MIDIClientRef* client) = 0;
    // [UI] Creates an input port of `client`. From then on every packet list
    // from a connected source reaches readProc(list, refCon, sourceRefCon) on
    // the provider's MIDI thread, one list at a time.
    virtual OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                                     void* refCon, MIDIPortRef* port) = 0;
    // [UI] Takes a fresh list of the sources present now and returns its length.
    virtual ItemCount numberOfSources() = 0;
    // [UI] A source of the last list; 0 when out of range.
    virtual MIDIEndpointRef source(ItemCount index) = 0;
    // [UI] Connects a source to a port; connecting it again changes nothing.
    virtual OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                   void* sourceRefCon) = 0;
    // [UI] Whether the server behind `client` has gone away.
    virtual bool clientLost(MIDIClientRef client) {
        (void)client;
        return false;
    }
};

// [UI] Installs the provider the calls use; null leaves a service with no
// sources. The provider must outlive every client it created.
void setMidiServicesProvider(MidiServicesProvider* provider);
// [UI] The installed provider, or the one with no sources.
MidiServicesProvider& midiServicesProvider();

}  // namespace tolva
