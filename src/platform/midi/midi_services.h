#pragma once

// The MIDI-services call set: a client, input ports with a read callback,
// enumeration and connection of sources. The service behind the calls is the
// installed MidiServicesProvider (the ALSA sequencer, JACK MIDI, in-process
// test sources); without one the calls work with zero sources.
//
// Threads: every call is [UI]. A port's read callback runs on the service's
// MIDI thread, one packet list at a time.

#include "platform/midi/midi_packet_list.h"
#include "platform/midi/midi_types.h"

namespace tolva {

// [MIDI] Receives every packet list that arrives at a port: the port's context
// and the context given when the source was connected.
using MIDIReadProc = void (*)(const MIDIPacketList* pktlist, void* readProcRefCon,
                              void* srcConnRefCon);
// Notifications of changes to the MIDI setup. Accepted for completeness;
// no service here sends any.
struct MIDINotification;
using MIDINotifyProc = void (*)(const MIDINotification* message, void* refCon);

// [UI] Creates a client of the MIDI services; stores its reference in *outClient.
OSStatus MIDIClientCreate(const char* name, MIDINotifyProc notifyProc, void* notifyRefCon,
                          MIDIClientRef* outClient);
// [UI] Creates an input port of `client` whose read callback is `readProc`.
OSStatus MIDIInputPortCreate(MIDIClientRef client, const char* portName, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* outPort);
// [UI] The number of sources present now.
ItemCount MIDIGetNumberOfSources();
// [UI] The source at `sourceIndex0` of the last count; 0 when out of range.
MIDIEndpointRef MIDIGetSource(ItemCount sourceIndex0);
// [UI] Routes a source's messages to `port`; each source reaches a port once.
OSStatus MIDIPortConnectSource(MIDIPortRef port, MIDIEndpointRef source, void* connRefCon);
// [UI] True once the server behind the client has gone away: its ports
// receive nothing more, and a client created now may reach a new server.
bool MIDIClientLost(MIDIClientRef client);

}  // namespace tolva
