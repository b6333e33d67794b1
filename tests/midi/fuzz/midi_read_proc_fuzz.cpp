// Fuzzes the MIDI read callback over arbitrary packets.
//
// Input: byte 0 bit 0 is omni, byte 1 the channel; then packets, each a
// 16-bit little-endian length and that many bytes (fewer at the end). The
// packets go through the callback as one list in a heap block of exactly the
// list's size, so that AddressSanitizer catches a read past any packet; every
// value must stay in its range afterwards.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/modulator_globals.h"
#include "midi/midi_read_proc.h"
#include "platform/midi/midi_packet_list.h"

using namespace tolva;

namespace {

void require(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) {
        return 0;
    }
    std::vector<std::pair<const uint8_t*, size_t>> packets;
    size_t total = 0;
    for (size_t at = 2; at + 2 <= size;) {
        size_t length = static_cast<size_t>(data[at]) | (static_cast<size_t>(data[at + 1]) << 8);
        at += 2;
        length = length < size - at ? length : size - at;
        packets.emplace_back(data + at, length);
        total += length;
        at += length;
    }
    resetModulatorGlobals();
    omni.store(data[0] & 1);
    channel.store(data[1]);
    nonl.store(1.0);
    pitch.store(69.0);
    const size_t listSize = midiPacketListSize(packets.size(), total);
    auto* list = static_cast<MIDIPacketList*>(std::malloc(listSize));
    MIDIPacket* current = MIDIPacketListInit(list);
    for (const auto& [bytes, length] : packets) {
        current = MIDIPacketListAdd(list, listSize, current, 0, length, bytes);
        require(current != nullptr, "the list takes every packet");
    }
    midiReadProc(list, nullptr, nullptr);
    std::free(list);
    require(hold.load() >= 0 && hold.load() <= kNoteStackSize, "hold within 0..16");
    for (int i = 0; i < hold.load(); ++i) {
        require(n[static_cast<size_t>(i)].load() <= 127, "held notes are notes");
    }
    require(pitch.load() >= 0.0 && pitch.load() <= 127.0, "pitch within 0..127");
    require(bend.load() >= -1.0 && bend.load() < 1.0, "bend within [-1, 1)");
    require(nonl.load() >= 1.0 && nonl.load() <= 4.0, "nonl within [1, 4]");
    require(mmi.load() >= 0.0 && mmi.load() <= 1.0, "mmi within [0, 1]");
    return 0;
}
