#pragma once

// The MIDI service of a machine with neither the ALSA sequencer nor a JACK
// server: clients and ports are created and work, and there are no sources.

#include <atomic>

#include "platform/midi/midi_services_provider.h"

namespace tolva {

class EmptyMidiServices final : public MidiServicesProvider {
  public:
    OSStatus createClient(const char* name, MIDIClientRef* client) override;
    OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* port) override;
    ItemCount numberOfSources() override { return 0; }
    MIDIEndpointRef source(ItemCount) override { return 0; }
    OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* sourceRefCon) override;

  private:
    std::atomic<MIDIObjectRef> lastRef_{0};
};

}  // namespace tolva
