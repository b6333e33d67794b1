// Fuzzes the MIDI read callback over arbitrary packets.
//
// Input: byte 0 bit 0 is omni, byte 1 the channel; then packets, each a
// 16-bit little-endian length and that many bytes (fewer at the end).
//
// Every input is interpreted twice from the same start: packet by packet,
// each packet in a heap block of exactly its length so that a read past it is
// caught, and as one packet list in a block of exactly the list's size. Both
// must end in the same state, and every value must stay in its range.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/modulator_globals.h"
#include "midi/midi_read_proc.h"
#include "platform/midi/midi_packet_list.h"

namespace {

using namespace tolva;

struct Packet {
    const uint8_t* data;
    size_t length;
};

struct State {
    int32_t hold;
    uint8_t notes[kNoteStackSize];
    double pitch, bend, mmi, nonl;
    uint8_t changed, changen;

    bool operator==(const State& o) const {
        return hold == o.hold && std::memcmp(notes, o.notes, sizeof notes) == 0 &&
               pitch == o.pitch && bend == o.bend && mmi == o.mmi && nonl == o.nonl &&
               changed == o.changed && changen == o.changen;
    }
};

void start(uint8_t omniFlag, uint8_t channelValue) {
    resetModulatorGlobals();
    omni.store(omniFlag);
    channel.store(channelValue);
    nonl.store(1.0);
    pitch.store(69.0);
}

State capture() {
    State s{};
    s.hold = hold.load();
    for (int i = 0; i < kNoteStackSize; ++i) {
        s.notes[i] = n[static_cast<size_t>(i)].load();
    }
    s.pitch = pitch.load();
    s.bend = bend.load();
    s.mmi = mmi.load();
    s.nonl = nonl.load();
    s.changed = changed.load();
    s.changen = changen.load();
    return s;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void checkInvariants(const State& s) {
    if (s.hold < 0 || s.hold > kNoteStackSize)
        fail("hold outside 0..16");
    if (!(s.pitch >= 0.0 && s.pitch <= 127.0))
        fail("pitch outside 0..127");
    if (!(s.bend >= -1.0 && s.bend < 1.0))
        fail("bend outside [-1, 1)");
    if (!(s.nonl >= 1.0 && s.nonl <= 4.0))
        fail("nonl outside [1, 4]");
    if (!(s.mmi >= 0.0 && s.mmi <= 1.0))
        fail("mmi outside [0, 1]");
    for (int i = 0; i < s.hold; ++i) {
        if (s.notes[i] > 127)
            fail("held note above 127");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    const uint8_t omniFlag = data[0] & 1;
    const uint8_t channelValue = data[1];
    std::vector<Packet> packets;
    size_t total = 0;
    for (size_t at = 2; at + 2 <= size;) {
        size_t length = static_cast<size_t>(data[at]) | (static_cast<size_t>(data[at + 1]) << 8);
        at += 2;
        if (length > size - at) {
            length = size - at;
        }
        packets.push_back({data + at, length});
        total += length;
        at += length;
    }

    // Packet by packet, each in a block of its own size.
    start(omniFlag, channelValue);
    for (const Packet& packet : packets) {
        auto* copy = static_cast<uint8_t*>(std::malloc(packet.length == 0 ? 1 : packet.length));
        if (packet.length > 0) {
            std::memcpy(copy, packet.data, packet.length);
        }
        interpretPacket(copy, packet.length);
        std::free(copy);
        checkInvariants(capture());
    }
    const State byPacket = capture();

    // The whole list, in a block of exactly its size.
    start(omniFlag, channelValue);
    const size_t listSize = midiPacketListSize(packets.size(), total);
    auto* memory = static_cast<uint8_t*>(std::malloc(listSize));
    auto* list = reinterpret_cast<MIDIPacketList*>(memory);
    MIDIPacket* current = MIDIPacketListInit(list);
    for (const Packet& packet : packets) {
        current = MIDIPacketListAdd(list, listSize, current, 0, packet.length, packet.data);
        if (current == nullptr)
            fail("the list did not take a packet");
    }
    midiReadProc(list, nullptr, nullptr);
    std::free(memory);
    const State byList = capture();
    checkInvariants(byList);
    if (!(byList == byPacket))
        fail("the list and its packets disagree");
    return 0;
}
