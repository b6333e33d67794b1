#include "platform/midi/packet_list_writer.h"

#include <algorithm>

namespace tolva {

PacketListWriter::PacketListWriter(size_t bytes)
    : memory_(std::max(bytes, midiPacketListSize(1, kMIDIPacketMaxLength))),
      list_(reinterpret_cast<MIDIPacketList*>(memory_.data())) {
    current_ = MIDIPacketListInit(list_);
}

void PacketListWriter::begin(MIDIReadProc readProc, void* refCon,
                             void* sourceRefCon) TOLVA_NONBLOCKING {
    readProc_ = readProc;
    refCon_ = refCon;
    sourceRefCon_ = sourceRefCon;
    current_ = MIDIPacketListInit(list_);
}

void PacketListWriter::add(MIDITimeStamp time, const uint8_t* data, size_t length,
                           size_t chunk) TOLVA_NONBLOCKING {
    chunk = std::clamp<size_t>(chunk, 1, kMIDIPacketMaxLength);
    for (size_t at = 0; at < length; at += chunk) {
        const size_t part = std::min(chunk, length - at);
        MIDIPacket* added =
            MIDIPacketListAdd(list_, memory_.size(), current_, time, part, data + at);
        if (added == nullptr) {
            deliver();  // full: hand it over and go on in a fresh list
            added = MIDIPacketListAdd(list_, memory_.size(), current_, time, part, data + at);
        }
        if (added != nullptr) {
            current_ = added;
        }
    }
}

void PacketListWriter::finish() TOLVA_NONBLOCKING {
    if (list_->numPackets > 0) {
        deliver();
    }
}

void PacketListWriter::deliver() TOLVA_NONBLOCKING {
    if (list_->numPackets > 0 && readProc_ != nullptr) {
        readProc_(list_, refCon_, sourceRefCon_);
    }
    current_ = MIDIPacketListInit(list_);
}

}  // namespace tolva
