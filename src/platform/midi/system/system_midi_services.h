#pragma once

// The MIDI service of this machine, chosen when a client is created (at the
// first Play), never at launch: the ALSA sequencer when it opens, else JACK
// MIDI when a server answers, else none (no sources). Every keyboard must
// reach the port once, and PipeWire shows the same keyboard both as a
// sequencer port and as a JACK MIDI port, so exactly one service is used.
// When the server behind it goes away, the next client created chooses again.

#include <memory>
#include <vector>

#include "platform/midi/midi_services_provider.h"

namespace tolva {

class SystemMidiServices final : public MidiServicesProvider {
  public:
    // Opens nothing.
    SystemMidiServices() = default;

    // [UI] A client of the chosen service; the choice is made on the first
    // call, and again once the chosen service's client has been lost.
    OSStatus createClient(const char* name, MIDIClientRef* client) override;
    OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* sourceRefCon) override;
    bool clientLost(MIDIClientRef client) override;

  private:
    MidiServicesProvider& current();

    MidiServicesProvider* chosen_ = nullptr;
    MIDIClientRef client_ = 0;  // the chosen service's client
    // Every service chosen so far lives to the end of the process: a lost
    // one's threads may still be winding down.
    std::vector<std::unique_ptr<MidiServicesProvider>> services_;
};

// [UI] Installs the system's MIDI services for the MIDI-services calls. Call
// once at start-up; nothing is opened until the first Play creates a client.
void installSystemMidiServices();

}  // namespace tolva
