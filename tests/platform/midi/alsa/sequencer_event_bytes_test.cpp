#include "platform/midi/alsa/sequencer_event_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolva {
namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> messagesOf(const snd_seq_event_t& event) {
    SequencerMessages out;
    translateSequencerEvent(event, out);
    std::vector<Bytes> messages;
    for (int i = 0; i < out.count; ++i) {
        messages.emplace_back(out.bytes[i], out.bytes[i] + out.length[i]);
    }
    return messages;
}

snd_seq_event_t noteEvent(snd_seq_event_type_t type, unsigned char ch, unsigned char note,
                          unsigned char velocity) {
    snd_seq_event_t event{};
    event.type = type;
    event.data.note.channel = ch;
    event.data.note.note = note;
    event.data.note.velocity = velocity;
    return event;
}

snd_seq_event_t controlEvent(snd_seq_event_type_t type, unsigned char ch, unsigned param,
                             int value) {
    snd_seq_event_t event{};
    event.type = type;
    event.data.control.channel = ch;
    event.data.control.param = param;
    event.data.control.value = value;
    return event;
}

TEST(SequencerEventBytesTest, NotesBecomeNoteMessagesOnTheirChannel) {
    EXPECT_EQ(messagesOf(noteEvent(SND_SEQ_EVENT_NOTEON, 3, 60, 100)),
              (std::vector<Bytes>{{0x93, 60, 100}}));
    EXPECT_EQ(messagesOf(noteEvent(SND_SEQ_EVENT_NOTEON, 0, 60, 0)),
              (std::vector<Bytes>{{0x90, 60, 0}}))
        << "a zero velocity stays a note-on; the interpreter takes it as a release";
    auto off = noteEvent(SND_SEQ_EVENT_NOTEOFF, 15, 61, 0);
    off.data.note.off_velocity = 64;
    EXPECT_EQ(messagesOf(off), (std::vector<Bytes>{{0x8F, 61, 64}}));
    EXPECT_EQ(messagesOf(noteEvent(SND_SEQ_EVENT_KEYPRESS, 1, 62, 30)),
              (std::vector<Bytes>{{0xA1, 62, 30}}));
}

TEST(SequencerEventBytesTest, OutOfRangeFieldsAreMaskedToMidi) {
    EXPECT_EQ(messagesOf(noteEvent(SND_SEQ_EVENT_NOTEON, 0x13, 200, 255)),
              (std::vector<Bytes>{{0x93, 200 & 0x7F, 0x7F}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_CONTROLLER, 0, 300, -1)),
              (std::vector<Bytes>{{0xB0, 300 & 0x7F, 0x7F}}));
}

TEST(SequencerEventBytesTest, ControllersProgramAndPressure) {
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_CONTROLLER, 2, 1, 127)),
              (std::vector<Bytes>{{0xB2, 1, 127}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PGMCHANGE, 4, 0, 5)),
              (std::vector<Bytes>{{0xC4, 5}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_CHANPRESS, 5, 0, 90)),
              (std::vector<Bytes>{{0xD5, 90}}));
}

TEST(SequencerEventBytesTest, PitchBendIsCentredOnTheWire) {
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PITCHBEND, 0, 0, 0)),
              (std::vector<Bytes>{{0xE0, 0, 64}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PITCHBEND, 0, 0, -8192)),
              (std::vector<Bytes>{{0xE0, 0, 0}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PITCHBEND, 0, 0, 8191)),
              (std::vector<Bytes>{{0xE0, 127, 127}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PITCHBEND, 1, 0, 1)),
              (std::vector<Bytes>{{0xE1, 1, 64}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_PITCHBEND, 0, 0, 100000)),
              (std::vector<Bytes>{{0xE0, 127, 127}}))
        << "out of range is held at the end";
}

TEST(SequencerEventBytesTest, FourteenBitControllersAndParametersBecomeSeveralMessages) {
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_CONTROL14, 0, 1, (100 << 7) | 5)),
              (std::vector<Bytes>{{0xB0, 1, 100}, {0xB0, 33, 5}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_CONTROL14, 0, 64, 127)),
              (std::vector<Bytes>{{0xB0, 64, 127}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_REGPARAM, 1, 0, (2 << 7) | 3)),
              (std::vector<Bytes>{{0xB1, 101, 0}, {0xB1, 100, 0}, {0xB1, 6, 2}, {0xB1, 38, 3}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_NONREGPARAM, 0, (1 << 7) | 2, 9)),
              (std::vector<Bytes>{{0xB0, 99, 1}, {0xB0, 98, 2}, {0xB0, 6, 0}, {0xB0, 38, 9}}));
}

TEST(SequencerEventBytesTest, SystemMessages) {
    snd_seq_event_t event{};
    event.type = SND_SEQ_EVENT_CLOCK;
    EXPECT_EQ(messagesOf(event), (std::vector<Bytes>{{0xF8}}));
    event.type = SND_SEQ_EVENT_SENSING;
    EXPECT_EQ(messagesOf(event), (std::vector<Bytes>{{0xFE}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_SONGPOS, 0, 0, (3 << 7) | 4)),
              (std::vector<Bytes>{{0xF2, 4, 3}}));
    EXPECT_EQ(messagesOf(controlEvent(SND_SEQ_EVENT_QFRAME, 0, 0, 0x25)),
              (std::vector<Bytes>{{0xF1, 0x25}}));
}

TEST(SequencerEventBytesTest, SequencerBookkeepingCarriesNoMidi) {
    snd_seq_event_t event{};
    SequencerMessages out;
    for (auto type : {SND_SEQ_EVENT_PORT_SUBSCRIBED, SND_SEQ_EVENT_CLIENT_START, SND_SEQ_EVENT_NOTE,
                      SND_SEQ_EVENT_SYSEX, SND_SEQ_EVENT_ECHO}) {
        event.type = static_cast<snd_seq_event_type_t>(type);
        EXPECT_FALSE(translateSequencerEvent(event, out)) << int(type);
        EXPECT_EQ(out.count, 0);
    }
}

TEST(SequencerEventBytesTest, SysExBytesAreHandedOverWhole) {
    uint8_t dump[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    snd_seq_event_t event{};
    event.type = SND_SEQ_EVENT_SYSEX;
    event.data.ext.len = sizeof dump;
    event.data.ext.ptr = dump;
    const SysexBytes bytes = sequencerSysexBytes(event);
    EXPECT_EQ(bytes.data, dump);
    EXPECT_EQ(bytes.size, sizeof dump);
    event.type = SND_SEQ_EVENT_NOTEON;
    EXPECT_EQ(sequencerSysexBytes(event).size, 0u);
}

}  // namespace
}  // namespace tolva
