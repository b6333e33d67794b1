#pragma once

// The read callback of the MIDI input port, and the held-note stack it keeps.
// Incoming note, controller and pitch-bend messages become the process-wide
// values the audio side reads: the held notes (n, hold), the note that drives
// the carrier (pitch), the bend, the depth of controller 1 (mmi, flagged by
// changed) and the diode exponent of controller 11 (nonl, flagged by changen).
//
// Everything here runs on the MIDI thread: no allocation, lock, system call
// or exception, and nothing but the process-wide values is written.

#include <cstddef>
#include <cstdint>

#include "platform/midi/midi_packet_list.h"
#include "platform/realtime.h"

namespace tolva {

// [MIDI] Interprets every packet of the list in order. Both contexts are
// ignored. The list must be well formed: numPackets packets, each within the
// list. No byte beyond a packet's length is read.
void midiReadProc(const MIDIPacketList* pktlist, void* readProcRefCon,
                  void* srcConnRefCon) TOLVA_NONBLOCKING;

// [MIDI] Interprets every complete message among `length` bytes of raw MIDI:
// channel messages with running status; real-time bytes anywhere, System
// Exclusive, system common messages, stray data bytes and a message cut short
// by the end of the bytes are skipped. Messages of channels the filter (omni,
// channel) rejects change nothing.
void interpretPacket(const uint8_t* data, size_t length) TOLVA_NONBLOCKING;

// [MIDI] The note stack, for the message interpreter and its tests.
// Pushes a struck key: it becomes the newest held note and drives the
// carrier. With 16 keys already held the oldest one is let go.
void pushNote(uint8_t note) TOLVA_NONBLOCKING;
// [MIDI] Releases a key: its oldest copy leaves the stack, and the newest
// remaining note (or, with none left, the released one) drives the carrier.
// A key that is not held changes nothing.
void releaseNote(uint8_t note) TOLVA_NONBLOCKING;

}  // namespace tolva
