// What a keyboard's bytes do: the held-note stack with last-note priority,
// the modulation wheel, the expression pedal, the bend, the channel filter,
// and every odd byte sequence a real MIDI stream carries.

#include <gtest/gtest.h>

#include <vector>

#include "engine/modulator_globals.h"
#include "midi/midi_read_proc.h"
#include "platform/midi/midi_packet_list.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

using Bytes = std::vector<uint8_t>;

// The packets as one list, in memory of exactly its size, through the read callback.
void receive(const std::vector<Bytes>& packets) {
    size_t bytes = 0;
    for (const Bytes& p : packets) {
        bytes += p.size();
    }
    std::vector<uint8_t> memory(midiPacketListSize(packets.size(), bytes));
    auto* list = reinterpret_cast<MIDIPacketList*>(memory.data());
    MIDIPacket* current = MIDIPacketListInit(list);
    for (const Bytes& p : packets) {
        current = MIDIPacketListAdd(list, memory.size(), current, 0, p.size(), p.data());
        ASSERT_NE(nullptr, current);
    }
    test::RealtimeSection section;
    midiReadProc(list, nullptr, nullptr);
}

Bytes sysEx(size_t dataBytes, bool start, bool end) {
    Bytes b(dataBytes, 0x11);
    if (start) {
        b.insert(b.begin(), 0xF0);
    }
    if (end) {
        b.push_back(0xF7);
    }
    return b;
}

Bytes on(uint8_t note) {
    return {0x90, note, 1};
}

std::vector<Bytes> keys(uint8_t first, uint8_t last) {
    std::vector<Bytes> packets;
    for (uint8_t k = first; k <= last; ++k) {
        packets.push_back(on(k));
    }
    return packets;
}

struct Stream {
    const char* what;
    std::vector<Bytes> packets;
    std::vector<int> held;
    double pitch = 69.0;
    double mmi = -1.0;   // -1: the wheel is untouched
    double nonl = -1.0;  // -1: the pedal is untouched
    double bend = 0.0;
    uint8_t channel = 0;  // with omni off: 0..15, or 255 for no channel; omni on otherwise
    bool omniOff = false;
};

TEST(MidiReadProc, ByteSequencesBecomeTheNotesAndValuesTheModulatorPlays) {
    // clang-format off
    const Stream streams[] = {
        {"three packets", {{0x90, 60, 100}, {0x90, 64, 90}, {0x80, 60, 0}}, {64}, 64},
        {"newest held key drives", {on(60), on(64), on(67), {0x80, 64, 0}}, {60, 67}, 67},
        {"release falls back", {on(60), on(64), {0x80, 64, 0}}, {60}, 60},
        {"last release keeps its note", {on(60), {0x80, 60, 0}}, {}, 60},
        {"velocity 0 releases", {on(60), {0x90, 60, 0}}, {}, 60},
        {"release of a key not held", {on(60), on(64), {0x80, 62, 0}}, {60, 64}, 64},
        {"release with nothing held", {{0x80, 60, 0}}, {}, 69},
        {"a key held twice", {on(60), on(64), on(60), {0x80, 60, 0}}, {64, 60}, 60},
        {"a chord in one packet", {{0x90, 60, 1, 0x90, 64, 1, 0x90, 67, 1}}, {60, 64, 67}, 67},
        {"running status", {{0x90, 0x37, 0x40, 0x35, 0x00, 0x39, 0x40}}, {0x37, 0x39}, 0x39},
        {"clock bytes anywhere", {{0xF8}, {0x90, 0xF8, 60, 0xFE, 1}, {0xF8}}, {60}, 60},
        {"sysex, then a note", {{0xF0, 1, 2, 0xF7, 0x90, 60, 1}}, {60}, 60},
        {"sysex, split", {sysEx(65534, true, false), sysEx(4466, false, true), on(60)}, {60}, 60},
        {"stray data", {{60, 100}, {}}, {}, 69},
        {"cut short", {{0x90, 60}}, {}, 69},
        {"cut short by a status", {{0x90, 60, 0xB0, 1, 127}}, {}, 69, 1.0},
        {"wheel", {{0xB0, 1, 0}}, {}, 69, 0.0},
        {"wheel centre", {{0xB0, 1, 64}}, {}, 69, 0.5039370078740157},
        {"wheel full", {{0xB0, 1, 127}}, {}, 69, 1.0},
        {"pedal", {{0xB0, 11, 0}}, {}, 69, -1, 1.0},
        {"pedal centre", {{0xB0, 11, 64}}, {}, 69, -1, 2.5118110236220472},
        {"pedal full", {{0xB0, 11, 127}}, {}, 69, -1, 4.0},
        {"other messages", {{0xB0, 7, 1}, {0xA0, 60, 1}, {0xC0, 5}, {0xD0, 1}}, {}, 69},
        {"bend centre", {{0xE0, 0, 64}}, {}, 69, -1, -1, 0.0},
        {"bend down", {{0xE0, 0, 0}}, {}, 69, -1, -1, -1.0},
        {"bend up", {{0xE0, 127, 127}}, {}, 69, -1, -1, 0.9998779296875},
        {"bend one step", {{0xE0, 1, 64}}, {}, 69, -1, -1, 0.0001220703125},
        {"17 keys", keys(40, 56),
         {41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56}, 56},
        {"channel 4", {{0x93, 60, 1}, {0x94, 64, 1}, {0xE0, 0, 0}, {0xB4, 1, 1}}, {60}, 60,
         -1, -1, 0, 3, true},
        {"no channel", {on(60), {0xBF, 1, 1}}, {}, 69, -1, -1, 0.0, 255, true},
    };
    // clang-format on
    for (const Stream& s : streams) {
        resetModulatorGlobals();
        omni.store(s.omniOff ? 0 : 1);
        channel.store(s.channel);
        nonl.store(-1.0);
        mmi.store(-1.0);
        pitch.store(69.0);
        test::resetRealtimeViolations();
        receive(s.packets);
        std::vector<int> held;
        for (int i = 0; i < hold.load(); ++i) {
            held.push_back(n[static_cast<size_t>(i)].load());
        }
        EXPECT_EQ(s.held, held) << s.what;
        EXPECT_EQ(s.pitch, pitch.load()) << s.what;
        EXPECT_EQ(s.mmi, mmi.load()) << s.what;
        EXPECT_EQ(s.mmi != -1.0, changed.load() == 1) << s.what;
        EXPECT_EQ(s.nonl, nonl.load()) << s.what;
        EXPECT_EQ(s.nonl != -1.0, changen.load() == 1) << s.what;
        EXPECT_EQ(s.bend, bend.load()) << s.what;
        EXPECT_EQ(0u, test::realtimeViolations().allocations) << s.what;
    }
    midiReadProc(nullptr, nullptr, nullptr);
    resetModulatorGlobals();
}

}  // namespace
}  // namespace tolva
