#include "platform/midi/packet_list_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/realtime_checker.h"

namespace tolva {
namespace {

// Each delivered list as its packets' bytes.
using Lists = std::vector<std::vector<std::vector<uint8_t>>>;

void record(const MIDIPacketList* list, void* refCon, void*) {
    TOLVA_TEST_BOOKKEEPING_SCOPE;
    auto& lists = *static_cast<Lists*>(refCon);
    lists.emplace_back();
    const MIDIPacket* packet = &list->packet[0];
    for (uint32_t i = 0; i < list->numPackets; ++i) {
        if (i > 0) {
            packet = MIDIPacketNext(packet);
        }
        const auto* data = static_cast<const uint8_t*>(packet->data);
        lists.back().emplace_back(data, data + packet->length);
    }
}

TEST(PacketListWriterTest, OneMessagePerPacketOneListPerBatch) {
    Lists lists;
    PacketListWriter writer(1024);
    const uint8_t on[] = {0x90, 60, 100};
    const uint8_t bend[] = {0xE0, 0, 64};
    writer.begin(record, &lists, nullptr);
    writer.add(0, on, sizeof on);
    writer.add(1, bend, sizeof bend);
    writer.finish();
    writer.begin(record, &lists, nullptr);
    writer.finish();  // an empty batch delivers nothing
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0], (std::vector<std::vector<uint8_t>>{{0x90, 60, 100}, {0xE0, 0, 64}}));
}

TEST(PacketListWriterTest, ALongMessageGoesOnInFurtherPacketsAndListsWithoutAllocating) {
    Lists lists;
    PacketListWriter writer(0);  // room for one packet of the largest size
    std::vector<uint8_t> dump(150000, 0x11);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    // Filling and handing over lists takes no allocation, however long the message.
    size_t delivered = 0;
    test::resetRealtimeViolations();
    {
        test::RealtimeSection section;
        writer.begin([](const MIDIPacketList* list, void* count,
                        void*) { *static_cast<size_t*>(count) += list->numPackets; },
                     &delivered, nullptr);
        writer.add(0, dump.data(), dump.size());
        writer.finish();
    }
    EXPECT_EQ(test::realtimeViolations().allocations, 0u);
    EXPECT_EQ(delivered, 3u);

    writer.begin(record, &lists, nullptr);
    writer.add(0, dump.data(), dump.size(), 65535);
    writer.finish();
    size_t bytes = 0;
    size_t packets = 0;
    for (const auto& list : lists) {
        for (const auto& packet : list) {
            EXPECT_LE(packet.size(), kMIDIPacketMaxLength);
            bytes += packet.size();
            ++packets;
        }
    }
    EXPECT_EQ(bytes, dump.size());
    EXPECT_EQ(packets, 3u);
    EXPECT_EQ(lists.front().front().front(), 0xF0);
    EXPECT_EQ(lists.back().back().back(), 0xF7);
}

}  // namespace
}  // namespace tolva
