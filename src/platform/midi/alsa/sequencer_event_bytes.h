#pragma once

// Sequencer events back into raw MIDI bytes, one complete message at a time.

#include <alsa/asoundlib.h>

#include <cstddef>
#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

// The short messages of one event: most events are one message; a 14-bit
// controller is two, a (non-)registered parameter four.
struct SequencerMessages {
    static constexpr int kMaxMessages = 4;
    int count = 0;
    uint8_t bytes[kMaxMessages][3] = {};
    uint8_t length[kMaxMessages] = {};
};

// [MIDI] The short messages of `event`; false (count 0) for an event that
// carries no short MIDI message: System Exclusive (see sequencerSysexBytes),
// and the sequencer's own events (subscriptions, timers, notes with duration).
bool translateSequencerEvent(const snd_seq_event_t& event,
                             SequencerMessages& out) TOLVA_NONBLOCKING;

// [MIDI] The raw bytes of a System Exclusive event, which live outside the
// event; null with size 0 for any other event.
struct SysexBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
};
SysexBytes sequencerSysexBytes(const snd_seq_event_t& event) TOLVA_NONBLOCKING;

}  // namespace tolva
