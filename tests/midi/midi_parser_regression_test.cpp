// Packet lists that have broken MIDI parsers before, each with the outcome a
// listener should get. The same cases seed the fuzzer's corpus.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "engine/modulator_globals.h"
#include "midi/midi_read_proc.h"
#include "midi/packet_list_builder.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

using test::Bytes;
using test::heldNotes;
using test::PacketList;
using Notes = std::vector<int>;

// A System Exclusive dump of `size` bytes cut into packets, as the backends
// deliver it; its data is full of bytes that look like notes.
std::vector<Bytes> sysexPackets(size_t size) {
    Bytes message(size, 0x3C);
    message.front() = 0xF0;
    message.back() = 0xF7;
    for (size_t i = 1; i + 1 < size; i += 2) {
        message[i] = 0x40;
    }
    std::vector<Bytes> packets;
    for (size_t at = 0; at < size; at += kMIDIPacketMaxLength) {
        const size_t end = std::min(size, at + kMIDIPacketMaxLength);
        packets.emplace_back(message.begin() + static_cast<std::ptrdiff_t>(at),
                             message.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return packets;
}

std::vector<Bytes> seventeenNotes() {
    std::vector<Bytes> packets;
    for (uint8_t note = 60; note < 77; ++note) {
        packets.push_back({0x90, note, 100});
    }
    return packets;
}

struct Case {
    const char* name;
    std::vector<Bytes> packets;
    uint8_t omni = 1;
    uint8_t channel = 0;
};

std::vector<Case> corpus() {
    std::vector<Case> cases;
    cases.push_back({"running status", {{0x90, 0x37, 0x40, 0x35, 0x00, 0x39, 0x40}}});
    cases.push_back({"zero-length packet", {{}, {0x90, 0x3C, 0x64}, {}}});
    cases.push_back({"controller and note in one packet", {{0xB0, 0x01, 0x40, 0x90, 0x3C, 0x64}}});
    cases.push_back({"clock between messages",
                     {{0x90, 0x3C, 0x64, 0xF8, 0x90, 0x40, 0x64}, {0xF8}, {0x80, 0x40, 0x00}}});
    auto sysex = sysexPackets(70000);
    sysex.push_back({0x90, 0x30, 0x64});
    cases.push_back({"70000-byte SysEx", sysex});
    cases.push_back({"17 held notes", seventeenNotes()});
    cases.push_back(
        {"channel 255", {{0x90, 0x3C, 0x64}, {0xB0, 0x01, 0x7F}, {0xE0, 0, 0}}, 0, 255});
    return cases;
}

void play(const Case& c) {
    test::resetMidiState();
    omni.store(c.omni);
    channel.store(c.channel);
    PacketList list(c.packets);
    midiReadProc(list.list(), nullptr, nullptr);
}

class MidiParserRegressionTest : public ::testing::Test {
  protected:
    void TearDown() override { resetModulatorGlobals(); }
    const std::vector<Case> cases_ = corpus();
};

TEST_F(MidiParserRegressionTest, RunningStatusNoteOffAndNoteOn) {
    play(cases_[0]);
    // 35 00 releases a key that is not held: nothing moves.
    EXPECT_EQ(heldNotes(), (Notes{0x37, 0x39}));
    EXPECT_EQ(pitch.load(), 0x39);
}

TEST_F(MidiParserRegressionTest, ZeroLengthPacketsAreSteppedOver) {
    play(cases_[1]);
    EXPECT_EQ(heldNotes(), (Notes{0x3C}));
}

TEST_F(MidiParserRegressionTest, ControllerAndNoteInOnePacketBothCount) {
    play(cases_[2]);
    EXPECT_EQ(mmi.load(), 64 / 127.0);
    EXPECT_EQ(changed.load(), 1);
    EXPECT_EQ(heldNotes(), (Notes{0x3C}));
}

TEST_F(MidiParserRegressionTest, ClockBetweenMessagesIsInvisible) {
    play(cases_[3]);
    EXPECT_EQ(heldNotes(), (Notes{0x3C}));
    EXPECT_EQ(pitch.load(), 0x3C);
}

TEST_F(MidiParserRegressionTest, LongSysExLeavesOnlyTheNoteAfterIt) {
    play(cases_[4]);
    EXPECT_EQ(heldNotes(), (Notes{0x30}));
}

TEST_F(MidiParserRegressionTest, SeventeenHeldNotesKeepTheNewestSixteen) {
    play(cases_[5]);
    EXPECT_EQ(hold.load(), 16);
    EXPECT_EQ(heldNotes().front(), 61);
    EXPECT_EQ(pitch.load(), 76.0);
}

TEST_F(MidiParserRegressionTest, ChannelTwoFiftyFiveTakesNothing) {
    play(cases_[6]);
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(changed.load(), 0);
    EXPECT_EQ(bend.load(), 0.0);
    EXPECT_EQ(pitch.load(), 69.0);
}

TEST_F(MidiParserRegressionTest, ReadCallbackIsRealtimeSafeOverTheCorpus) {
    std::vector<std::unique_ptr<PacketList>> lists;
    for (const Case& c : cases_) {
        lists.push_back(std::make_unique<PacketList>(c.packets));
    }
    test::resetMidiState();
    test::resetRealtimeViolations();
    {
        test::RealtimeSection section;
        for (int round = 0; round < 3; ++round) {
            for (auto& list : lists) {
                midiReadProc(list->list(), nullptr, nullptr);
            }
        }
    }
    const auto violations = test::realtimeViolations();
    EXPECT_EQ(violations.allocations, 0u);
    EXPECT_EQ(violations.locks, 0u);
    EXPECT_EQ(violations.systemCalls, 0u);
}

}  // namespace
}  // namespace tolva
