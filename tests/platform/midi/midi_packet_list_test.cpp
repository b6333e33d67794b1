#include "platform/midi/midi_packet_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tolva {
namespace {

TEST(MidiPacketListTest, PacketsFollowEachOtherBackToBack) {
    std::vector<uint8_t> memory(midiPacketListSize(3, 3 + 0 + 2));
    auto* list = reinterpret_cast<MIDIPacketList*>(memory.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    const uint8_t noteOn[] = {0x90, 60, 100};
    const uint8_t bendMsb[] = {0x00, 0x40};
    packet = MIDIPacketListAdd(list, memory.size(), packet, 11, sizeof noteOn, noteOn);
    ASSERT_NE(packet, nullptr);
    const MIDIPacket* first = packet;
    packet = MIDIPacketListAdd(list, memory.size(), packet, 12, 0, nullptr);
    ASSERT_NE(packet, nullptr);
    packet = MIDIPacketListAdd(list, memory.size(), packet, 13, sizeof bendMsb, bendMsb);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(uint32_t{list->numPackets}, 3u);

    // Packed fields are read by value: a reference to one would be misaligned.
    EXPECT_EQ(MIDITimeStamp{first->timeStamp}, 11u);
    ASSERT_EQ(uint16_t{first->length}, 3);
    EXPECT_EQ(std::memcmp(static_cast<const uint8_t*>(first->data), noteOn, 3), 0);
    const MIDIPacket* second = MIDIPacketNext(first);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(second) - reinterpret_cast<const uint8_t*>(first),
              static_cast<std::ptrdiff_t>(kMIDIPacketHeaderSize + 3));
    EXPECT_EQ(uint16_t{second->length}, 0);
    const MIDIPacket* third = MIDIPacketNext(second);
    EXPECT_EQ(MIDITimeStamp{third->timeStamp}, 13u);
    EXPECT_EQ(static_cast<const uint8_t*>(third->data)[1], 0x40);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(MIDIPacketNext(third)),
              memory.data() + memory.size())
        << "the list fills its memory exactly";
}

TEST(MidiPacketListTest, APacketThatDoesNotFitIsRefusedAndTheListKept) {
    std::vector<uint8_t> memory(midiPacketListSize(1, 3) + 2);
    auto* list = reinterpret_cast<MIDIPacketList*>(memory.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    const uint8_t noteOn[] = {0x90, 60, 100};
    packet = MIDIPacketListAdd(list, memory.size(), packet, 0, 3, noteOn);
    ASSERT_NE(packet, nullptr);
    EXPECT_EQ(MIDIPacketListAdd(list, memory.size(), packet, 0, 3, noteOn), nullptr);
    EXPECT_EQ(uint32_t{list->numPackets}, 1u);
    EXPECT_EQ(MIDIPacketListAdd(list, memory.size(), packet, 0, 0, nullptr), nullptr)
        << "not even an empty packet's header fits";
}

TEST(MidiPacketListTest, APacketHoldsAtMostSixtyFiveThousandFiveHundredThirtyFiveBytes) {
    std::vector<uint8_t> data(kMIDIPacketMaxLength + 1, 0x11);
    std::vector<uint8_t> memory(midiPacketListSize(1, data.size()));
    auto* list = reinterpret_cast<MIDIPacketList*>(memory.data());
    MIDIPacket* packet = MIDIPacketListInit(list);
    EXPECT_EQ(MIDIPacketListAdd(list, memory.size(), packet, 0, data.size(), data.data()), nullptr);
    const MIDIPacket* added =
        MIDIPacketListAdd(list, memory.size(), packet, 0, kMIDIPacketMaxLength, data.data());
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(uint16_t{added->length}, kMIDIPacketMaxLength);
}

TEST(MidiPacketListTest, ListMemoryTooSmallForItsHeaderTakesNothing) {
    uint8_t memory[kMIDIPacketListHeaderSize + kMIDIPacketHeaderSize] = {};
    auto* list = reinterpret_cast<MIDIPacketList*>(memory);
    MIDIPacket* packet = MIDIPacketListInit(list);
    const uint8_t clock = 0xF8;
    EXPECT_EQ(MIDIPacketListAdd(list, sizeof memory, packet, 0, 1, &clock), nullptr);
    EXPECT_NE(MIDIPacketListAdd(list, sizeof memory, packet, 0, 0, nullptr), nullptr);
}

}  // namespace
}  // namespace tolva
