#include "platform/midi/alsa/sequencer_event_bytes.h"

namespace tolva {
namespace {

uint8_t data7(int value) TOLVA_NONBLOCKING {
    return static_cast<uint8_t>(value & 0x7F);
}

uint8_t channelStatus(uint8_t kind, unsigned channel) TOLVA_NONBLOCKING {
    return static_cast<uint8_t>(kind | (channel & 0x0F));
}

void add(SequencerMessages& out, uint8_t status) TOLVA_NONBLOCKING {
    out.bytes[out.count][0] = status;
    out.length[out.count] = 1;
    ++out.count;
}

void add(SequencerMessages& out, uint8_t status, uint8_t d1) TOLVA_NONBLOCKING {
    out.bytes[out.count][0] = status;
    out.bytes[out.count][1] = d1;
    out.length[out.count] = 2;
    ++out.count;
}

void add(SequencerMessages& out, uint8_t status, uint8_t d1, uint8_t d2) TOLVA_NONBLOCKING {
    out.bytes[out.count][0] = status;
    out.bytes[out.count][1] = d1;
    out.bytes[out.count][2] = d2;
    out.length[out.count] = 3;
    ++out.count;
}

}  // namespace

bool translateSequencerEvent(const snd_seq_event_t& event,
                             SequencerMessages& out) TOLVA_NONBLOCKING {
    out.count = 0;
    const snd_seq_ev_note_t& note = event.data.note;
    const snd_seq_ev_ctrl_t& control = event.data.control;
    switch (event.type) {
        case SND_SEQ_EVENT_NOTEON:
            add(out, channelStatus(0x90, note.channel), data7(note.note), data7(note.velocity));
            break;
        case SND_SEQ_EVENT_NOTEOFF:
            add(out, channelStatus(0x80, note.channel), data7(note.note), data7(note.off_velocity));
            break;
        case SND_SEQ_EVENT_KEYPRESS:
            add(out, channelStatus(0xA0, note.channel), data7(note.note), data7(note.velocity));
            break;
        case SND_SEQ_EVENT_CONTROLLER:
            add(out, channelStatus(0xB0, control.channel), data7(static_cast<int>(control.param)),
                data7(control.value));
            break;
        case SND_SEQ_EVENT_PGMCHANGE:
            add(out, channelStatus(0xC0, control.channel), data7(control.value));
            break;
        case SND_SEQ_EVENT_CHANPRESS:
            add(out, channelStatus(0xD0, control.channel), data7(control.value));
            break;
        case SND_SEQ_EVENT_PITCHBEND: {
            // -8192..8191 around the centre; the wire carries 0..16383.
            int value = control.value + 8192;
            value = value < 0 ? 0 : (value > 16383 ? 16383 : value);
            add(out, channelStatus(0xE0, control.channel), data7(value), data7(value >> 7));
            break;
        }
        case SND_SEQ_EVENT_CONTROL14: {
            const uint8_t status = channelStatus(0xB0, control.channel);
            const auto param = static_cast<int>(control.param & 0x7F);
            if (param < 32) {
                add(out, status, data7(param), data7(control.value >> 7));
                add(out, status, data7(param + 32), data7(control.value));
            } else {
                add(out, status, data7(param), data7(control.value));
            }
            break;
        }
        case SND_SEQ_EVENT_NONREGPARAM:
        case SND_SEQ_EVENT_REGPARAM: {
            const uint8_t status = channelStatus(0xB0, control.channel);
            const bool registered = event.type == SND_SEQ_EVENT_REGPARAM;
            const auto param = static_cast<int>(control.param);
            add(out, status, registered ? 101 : 99, data7(param >> 7));
            add(out, status, registered ? 100 : 98, data7(param));
            add(out, status, 6, data7(control.value >> 7));
            add(out, status, 38, data7(control.value));
            break;
        }
        case SND_SEQ_EVENT_SONGPOS:
            add(out, 0xF2, data7(control.value), data7(control.value >> 7));
            break;
        case SND_SEQ_EVENT_SONGSEL:
            add(out, 0xF3, data7(control.value));
            break;
        case SND_SEQ_EVENT_QFRAME:
            add(out, 0xF1, data7(control.value));
            break;
        case SND_SEQ_EVENT_TUNE_REQUEST:
            add(out, 0xF6);
            break;
        case SND_SEQ_EVENT_CLOCK:
            add(out, 0xF8);
            break;
        case SND_SEQ_EVENT_START:
            add(out, 0xFA);
            break;
        case SND_SEQ_EVENT_CONTINUE:
            add(out, 0xFB);
            break;
        case SND_SEQ_EVENT_STOP:
            add(out, 0xFC);
            break;
        case SND_SEQ_EVENT_SENSING:
            add(out, 0xFE);
            break;
        case SND_SEQ_EVENT_RESET:
            add(out, 0xFF);
            break;
        default:
            break;
    }
    return out.count > 0;
}

SysexBytes sequencerSysexBytes(const snd_seq_event_t& event) TOLVA_NONBLOCKING {
    if (event.type != SND_SEQ_EVENT_SYSEX || event.data.ext.ptr == nullptr) {
        return {};
    }
    return {static_cast<const uint8_t*>(event.data.ext.ptr), event.data.ext.len};
}

}  // namespace tolva
