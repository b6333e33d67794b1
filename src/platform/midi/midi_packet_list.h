#pragma once

// The packet list handed to a MIDI read callback: a count of packets, then
// the packets back to back, each a 64-bit time stamp, a 16-bit length and that
// many bytes of raw MIDI. Our backends put one complete message in each
// packet; a System Exclusive message longer than a packet can hold is split,
// and its continuation packets start with data bytes.
//
// The records are byte-packed so that a packet may start at any address; the
// next packet starts right after the last data byte of the one before it.
// Reach the data through `data` as a pointer: a packet may hold more bytes
// than the nominal array size.

#include <cstddef>
#include <cstdint>

#include "platform/midi/midi_types.h"
#include "platform/realtime.h"

namespace tolva {

inline constexpr size_t kMIDIPacketListHeaderSize = 4;  // numPackets
inline constexpr size_t kMIDIPacketHeaderSize = 10;     // timeStamp, length
inline constexpr size_t kMIDIPacketMaxLength = 65535;   // what `length` can count

#pragma pack(push, 1)
struct MIDIPacket {
    MIDITimeStamp timeStamp;
    uint16_t length;
    uint8_t data[256];
};

struct MIDIPacketList {
    uint32_t numPackets;
    MIDIPacket packet[1];
};
#pragma pack(pop)

static_assert(offsetof(MIDIPacket, data) == kMIDIPacketHeaderSize);
static_assert(offsetof(MIDIPacketList, packet) == kMIDIPacketListHeaderSize);

// [any] The packet that follows `packet` in its list.
inline const MIDIPacket* MIDIPacketNext(const MIDIPacket* packet) TOLVA_NONBLOCKING {
    return reinterpret_cast<const MIDIPacket*>(static_cast<const uint8_t*>(packet->data) +
                                               packet->length);
}
inline MIDIPacket* MIDIPacketNext(MIDIPacket* packet) TOLVA_NONBLOCKING {
    return reinterpret_cast<MIDIPacket*>(static_cast<uint8_t*>(packet->data) + packet->length);
}

// [any] Bytes taken by a list of `packets` packets holding `dataBytes` bytes in all.
constexpr size_t midiPacketListSize(size_t packets, size_t dataBytes) {
    return kMIDIPacketListHeaderSize + packets * kMIDIPacketHeaderSize + dataBytes;
}

// [any] Empties the list; returns where its first packet goes.
MIDIPacket* MIDIPacketListInit(MIDIPacketList* list) TOLVA_NONBLOCKING;

// [any] Appends one packet of `length` bytes after `current` (the packet the
// previous call returned, or the one MIDIPacketListInit returned for an empty
// list). `listSize` is the size in bytes of the memory the list lives in.
// Returns the new packet, or null, leaving the list unchanged, when it does
// not fit or `length` exceeds kMIDIPacketMaxLength. Never merges packets and
// never allocates.
MIDIPacket* MIDIPacketListAdd(MIDIPacketList* list, size_t listSize, MIDIPacket* current,
                              MIDITimeStamp time, size_t length,
                              const uint8_t* data) TOLVA_NONBLOCKING;

}  // namespace tolva
