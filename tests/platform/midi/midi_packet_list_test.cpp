// The packet lists MIDI read callbacks receive, as a MIDI thread's writer
// fills them in memory taken up front: a message longer than the largest
// packet goes on in further packets and lists, whole and without allocating.

#include "platform/midi/midi_packet_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/midi/packet_list_writer.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

// What the read callback saw, gathered without allocating: packets, bytes,
// the largest packet, and the last byte.
size_t gSeen[4] = {};

void see(const MIDIPacketList* list, void*, void*) {
    const MIDIPacket* packet = list->packet;
    for (uint32_t i = 0; i < list->numPackets; ++i, packet = MIDIPacketNext(packet)) {
        const size_t length = uint16_t{packet->length};
        gSeen[0] += 1;
        gSeen[1] += length;
        gSeen[2] = std::max(gSeen[2], length);
        gSeen[3] = static_cast<const uint8_t*>(packet->data)[length - 1];
    }
}

TEST(PacketListWriterTest, ALongMessageGoesOnInFurtherPacketsAndListsWithoutAllocating) {
    PacketListWriter writer(0);  // room for one packet of the largest size
    std::vector<uint8_t> dump(150000, 0x11);
    dump.back() = 0xF7;
    test::resetRealtimeViolations();
    {
        test::RealtimeSection section;
        writer.begin(&see, nullptr, nullptr);
        writer.add(0, dump.data(), dump.size());
        writer.finish();
    }
    EXPECT_EQ(test::realtimeViolations().allocations, 0u);
    EXPECT_EQ(std::vector<size_t>(gSeen, gSeen + 4),
              (std::vector<size_t>{3, dump.size(), kMIDIPacketMaxLength, 0xF7}));
}

}  // namespace
}  // namespace tolva
