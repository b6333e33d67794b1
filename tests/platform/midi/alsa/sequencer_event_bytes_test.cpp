// Sequencer events as the modulator's MIDI callback receives them, raw bytes
// one complete message per packet; and which ports are connected on their own.

#include "platform/midi/alsa/sequencer_event_bytes.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/midi/alsa/sequencer_sources.h"

namespace tolva {
namespace {

snd_seq_event_t event(snd_seq_event_type_t type, unsigned char ch, unsigned param, int value) {
    snd_seq_event_t e{};
    e.type = type;
    e.data.control = {ch, {}, param, value};
    if (type <= SND_SEQ_EVENT_KEYPRESS) {
        e.data.note = {ch, static_cast<unsigned char>(param), static_cast<unsigned char>(value), 0,
                       0};
    }
    return e;
}

TEST(SequencerEventBytesTest, EachEventBecomesItsMidiMessages) {
    const struct {
        snd_seq_event_t event;
        std::vector<std::vector<uint8_t>> bytes;
    } cases[] = {
        {event(SND_SEQ_EVENT_NOTEON, 3, 60, 100), {{0x93, 60, 100}}},
        {event(SND_SEQ_EVENT_CONTROLLER, 2, 1, 127), {{0xB2, 1, 127}}},
        {event(SND_SEQ_EVENT_PITCHBEND, 1, 0, -8192), {{0xE1, 0, 0}}},
        {event(SND_SEQ_EVENT_CONTROL14, 0, 1, (100 << 7) | 5), {{0xB0, 1, 100}, {0xB0, 33, 5}}},
        {event(SND_SEQ_EVENT_REGPARAM, 1, 0, (2 << 7) | 3),
         {{0xB1, 101, 0}, {0xB1, 100, 0}, {0xB1, 6, 2}, {0xB1, 38, 3}}},
        {event(SND_SEQ_EVENT_SYSEX, 0, 0, 0), {}},  // its bytes are handed over whole
    };
    for (const auto& c : cases) {
        SequencerMessages out;
        EXPECT_EQ(translateSequencerEvent(c.event, out), !c.bytes.empty()) << int(c.event.type);
        std::vector<std::vector<uint8_t>> bytes;
        for (int i = 0; i < out.count; ++i) {
            bytes.emplace_back(out.bytes[i], out.bytes[i] + out.length[i]);
        }
        EXPECT_EQ(bytes, c.bytes) << "event type " << int(c.event.type);
    }
}

TEST(SequencerSourcesTest, KeyboardsAreConnectedAndNothingElse) {
    constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    EXPECT_TRUE(isAutomaticSource({24, 0, kReadable | SND_SEQ_PORT_CAP_WRITE, "USB Keys"}, 130));
    EXPECT_FALSE(
        isAutomaticSource({24, 2, kReadable | SND_SEQ_PORT_CAP_NO_EXPORT, "private"}, 130));
    EXPECT_FALSE(isAutomaticSource({SND_SEQ_CLIENT_SYSTEM, 1, kReadable, "System"}, 130));
    EXPECT_FALSE(isAutomaticSource({130, 0, kReadable, "Tolva"}, 130));
    EXPECT_FALSE(isAutomaticSource({128, 0, kReadable, "PipeWire-System"}, 130));
}

}  // namespace
}  // namespace tolva
