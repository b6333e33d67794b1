#include "platform/midi/midi_packet_list.h"

#include <cstring>

namespace tolva {

MIDIPacket* MIDIPacketListInit(MIDIPacketList* list) TOLVA_NONBLOCKING {
    list->numPackets = 0;
    return reinterpret_cast<MIDIPacket*>(reinterpret_cast<uint8_t*>(list) +
                                         kMIDIPacketListHeaderSize);
}

MIDIPacket* MIDIPacketListAdd(MIDIPacketList* list, size_t listSize, MIDIPacket* current,
                              MIDITimeStamp time, size_t length,
                              const uint8_t* data) TOLVA_NONBLOCKING {
    if (list == nullptr || current == nullptr || length > kMIDIPacketMaxLength ||
        (length > 0 && data == nullptr)) {
        return nullptr;
    }
    auto* const base = reinterpret_cast<uint8_t*>(list);
    MIDIPacket* const next = list->numPackets == 0 ? current : MIDIPacketNext(current);
    auto* const start = reinterpret_cast<uint8_t*>(next);
    if (start < base + kMIDIPacketListHeaderSize) {
        return nullptr;
    }
    const auto offset = static_cast<size_t>(start - base);
    if (offset > listSize || listSize - offset < kMIDIPacketHeaderSize + length) {
        return nullptr;
    }
    next->timeStamp = time;
    next->length = static_cast<uint16_t>(length);
    if (length > 0) {
        std::memcpy(static_cast<uint8_t*>(next->data), data, length);
    }
    ++list->numPackets;
    return next;
}

}  // namespace tolva
