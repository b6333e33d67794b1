#pragma once

// Builds the packet lists a backend hands to a read callback, in memory taken
// once up front: one message per packet, a message longer than a packet goes
// on in further packets, and a full list is delivered and started afresh.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/midi/midi_packet_list.h"
#include "platform/midi/midi_services.h"
#include "platform/realtime.h"

namespace tolva {

class PacketListWriter {
  public:
    // [UI] Room for `bytes` bytes of list; at least one packet of the largest size.
    explicit PacketListWriter(size_t bytes);

    // [MIDI] Starts an empty list for this callback and its contexts.
    void begin(MIDIReadProc readProc, void* refCon, void* sourceRefCon) TOLVA_NONBLOCKING;
    // [MIDI] Appends one message, in packets of at most `chunk` bytes.
    void add(MIDITimeStamp time, const uint8_t* data, size_t length,
             size_t chunk = kMIDIPacketMaxLength) TOLVA_NONBLOCKING;
    // [MIDI] Hands the list to the callback if it holds any packet.
    void finish() TOLVA_NONBLOCKING;

  private:
    void deliver() TOLVA_NONBLOCKING;

    std::vector<uint8_t> memory_;
    MIDIPacketList* list_;
    MIDIPacket* current_ = nullptr;
    MIDIReadProc readProc_ = nullptr;
    void* refCon_ = nullptr;
    void* sourceRefCon_ = nullptr;
};

}  // namespace tolva
