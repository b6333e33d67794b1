#include "midi/midi_read_proc.h"

#include "engine/modulator_globals.h"

namespace tolva {
namespace {

constexpr uint8_t kNoteOff = 0x80;
constexpr uint8_t kNoteOn = 0x90;
constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr uint8_t kChannelPressure = 0xD0;
constexpr uint8_t kPitchBend = 0xE0;
constexpr uint8_t kSystem = 0xF0;
constexpr uint8_t kFirstRealTime = 0xF8;

constexpr uint8_t kModulationWheel = 1;
constexpr uint8_t kExpression = 11;

// Data bytes that follow a channel status.
int dataBytesOf(uint8_t status) TOLVA_NONBLOCKING {
    const auto kind = static_cast<uint8_t>(status & 0xF0);
    return kind == kProgramChange || kind == kChannelPressure ? 1 : 2;
}

bool channelAccepted(uint8_t status) TOLVA_NONBLOCKING {
    if (omni.load(std::memory_order_acquire) != 0) {
        return true;
    }
    return (status & 0x0F) == channel.load(std::memory_order_acquire);
}

void interpretMessage(uint8_t status, uint8_t d1, uint8_t d2) TOLVA_NONBLOCKING {
    if (!channelAccepted(status)) {
        return;
    }
    switch (status & 0xF0) {
        case kNoteOn:
            if (d2 > 0) {
                pushNote(d1);
            } else {
                releaseNote(d1);
            }
            break;
        case kNoteOff:
            releaseNote(d1);
            break;
        case kControlChange:
            if (d1 == kModulationWheel) {
                mmi.store(d2 / 127.0, std::memory_order_release);
                changed.store(1, std::memory_order_release);
            } else if (d1 == kExpression) {
                nonl.store(d2 * 3.0 / 127.0 + 1.0, std::memory_order_release);
                changen.store(1, std::memory_order_release);
            }
            break;
        case kPitchBend: {
            // Only the finished quotient is ever stored: the render thread
            // may read the bend at any moment.
            const double value = (d1 + 128.0 * d2 - 8192.0) / 8192.0;
            bend.store(value, std::memory_order_release);
            break;
        }
        default:
            break;  // polyphonic and channel pressure, program change
    }
}

}  // namespace

void pushNote(uint8_t note) TOLVA_NONBLOCKING {
    int32_t held = hold.load(std::memory_order_relaxed);
    if (held < 0 || held > kNoteStackSize) {
        held = 0;  // never the case; keeps every write inside the stack
    }
    if (held == kNoteStackSize) {
        // A 17th key: the oldest one makes room, so the newest key sounds.
        for (int j = 1; j < kNoteStackSize; ++j) {
            n[static_cast<size_t>(j - 1)].store(
                n[static_cast<size_t>(j)].load(std::memory_order_relaxed),
                std::memory_order_relaxed);
        }
        held = kNoteStackSize - 1;
    }
    n[static_cast<size_t>(held)].store(note, std::memory_order_relaxed);
    pitch.store(note, std::memory_order_release);
    hold.store(held + 1, std::memory_order_release);
}

void releaseNote(uint8_t note) TOLVA_NONBLOCKING {
    const int32_t held = hold.load(std::memory_order_relaxed);
    if (held <= 0 || held > kNoteStackSize) {
        return;
    }
    int found = -1;
    for (int i = 0; i < held; ++i) {
        if (n[static_cast<size_t>(i)].load(std::memory_order_relaxed) == note) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        return;  // a key we never saw go down (or already let go): nothing moves
    }
    for (int j = found + 1; j < held; ++j) {
        n[static_cast<size_t>(j - 1)].store(
            n[static_cast<size_t>(j)].load(std::memory_order_relaxed), std::memory_order_relaxed);
    }
    const int32_t remaining = held - 1;
    const uint8_t sounding =
        remaining > 0 ? n[static_cast<size_t>(remaining - 1)].load(std::memory_order_relaxed)
                      : note;
    pitch.store(sounding, std::memory_order_release);
    hold.store(remaining, std::memory_order_release);
}

void interpretPacket(const uint8_t* data, size_t length) TOLVA_NONBLOCKING {
    if (data == nullptr) {
        return;
    }
    uint8_t status = 0;  // running channel status; 0 while none holds
    uint8_t values[2] = {0, 0};
    int have = 0;
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = data[i];
        if (byte >= kFirstRealTime) {
            continue;  // clock and friends may stand anywhere, even inside a message
        }
        if (byte >= kSystem) {
            status = 0;  // System Exclusive or system common: skip up to the next status
            have = 0;
            continue;
        }
        if (byte & 0x80) {
            status = byte;  // a new status cuts short any message in progress
            have = 0;
            continue;
        }
        if (status == 0) {
            continue;  // a data byte with no status to belong to
        }
        values[have++] = byte;
        if (have == dataBytesOf(status)) {
            interpretMessage(status, values[0], have == 2 ? values[1] : 0);
            have = 0;  // running status: the next data bytes repeat the kind
        }
    }
}

void midiReadProc(const MIDIPacketList* pktlist, void*, void*) TOLVA_NONBLOCKING {
    if (pktlist == nullptr) {
        return;
    }
    const uint32_t count = pktlist->numPackets;
    const MIDIPacket* packet = &pktlist->packet[0];
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            packet = MIDIPacketNext(packet);
        }
        interpretPacket(static_cast<const uint8_t*>(packet->data), packet->length);
    }
}

}  // namespace tolva
