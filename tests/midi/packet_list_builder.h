#pragma once

// Packet lists for tests, each in memory of exactly its own size.

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "engine/modulator_globals.h"
#include "midi/midi_read_proc.h"
#include "platform/midi/midi_packet_list.h"

namespace tolva::test {

using Bytes = std::vector<uint8_t>;

class PacketList {
  public:
    PacketList(std::initializer_list<Bytes> packets) : PacketList(std::vector<Bytes>(packets)) {}
    explicit PacketList(const std::vector<Bytes>& packets) {
        size_t bytes = 0;
        for (const Bytes& packet : packets) {
            bytes += packet.size();
        }
        memory_.resize(midiPacketListSize(packets.size(), bytes));
        MIDIPacket* current = MIDIPacketListInit(list());
        for (const Bytes& packet : packets) {
            current =
                MIDIPacketListAdd(list(), memory_.size(), current, 0, packet.size(), packet.data());
        }
    }
    MIDIPacketList* list() { return reinterpret_cast<MIDIPacketList*>(memory_.data()); }
    size_t size() const { return memory_.size(); }

  private:
    std::vector<uint8_t> memory_;
};

// The MIDI values as after the first Play: all channels, linear diode curve,
// the launch note.
inline void resetMidiState() {
    resetModulatorGlobals();
    omni.store(1);
    nonl.store(1.0);
    pitch.store(69.0);
}

// Sends the packets as one list through the read callback.
inline void receive(std::initializer_list<Bytes> packets) {
    PacketList list(packets);
    midiReadProc(list.list(), nullptr, nullptr);
}

// The held notes, oldest first.
inline std::vector<int> heldNotes() {
    std::vector<int> notes;
    for (int i = 0; i < hold.load(); ++i) {
        notes.push_back(n[static_cast<size_t>(i)].load());
    }
    return notes;
}

}  // namespace tolva::test
