#include "midi/midi_read_proc.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "engine/modulator_globals.h"
#include "midi/packet_list_builder.h"

namespace tolva {
namespace {

using test::heldNotes;
using test::receive;
using Notes = std::vector<int>;

class MidiReadProcTest : public ::testing::Test {
  protected:
    void SetUp() override { test::resetMidiState(); }
    void TearDown() override { resetModulatorGlobals(); }
};

// ---- Notes and the held-note stack ----

TEST_F(MidiReadProcTest, NewestHeldKeyDrivesTheCarrier) {
    receive({{0x90, 60, 100}, {0x90, 64, 90}, {0x80, 60, 0}});
    EXPECT_EQ(heldNotes(), (Notes{64}));
    EXPECT_EQ(pitch.load(), 64.0);
}

TEST_F(MidiReadProcTest, ReleasingKeysFallsBackToTheNewestStillHeld) {
    receive({{0x90, 60, 100}, {0x90, 64, 100}, {0x90, 67, 100}});
    receive({{0x80, 64, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60, 67}));
    EXPECT_EQ(pitch.load(), 67.0);
    receive({{0x80, 67, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
    EXPECT_EQ(pitch.load(), 60.0);
    receive({{0x80, 60, 0}});
    EXPECT_EQ(heldNotes(), Notes{});
    EXPECT_EQ(pitch.load(), 60.0) << "the last released note keeps sounding";
}

TEST_F(MidiReadProcTest, NoteOnWithVelocityZeroIsARelease) {
    receive({{0x90, 60, 100}, {0x90, 64, 100}, {0x90, 64, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
    EXPECT_EQ(pitch.load(), 60.0);
}

TEST_F(MidiReadProcTest, ReleaseWithNothingHeldChangesNothing) {
    receive({{0x80, 60, 0}, {0x90, 61, 0}});
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(pitch.load(), 69.0);
}

TEST_F(MidiReadProcTest, ReleaseOfAKeyNotHeldLeavesTheHeldKeysSounding) {
    // A key held before the port opened, or one already let go, sends a
    // note-off we cannot match: the keys still down keep their place.
    receive({{0x90, 60, 100}, {0x90, 64, 100}});
    receive({{0x80, 62, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60, 64}));
    EXPECT_EQ(pitch.load(), 64.0);
    receive({{0x80, 64, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
    EXPECT_EQ(pitch.load(), 60.0);
}

TEST_F(MidiReadProcTest, SeventeenthKeyLetsTheOldestGo) {
    for (uint8_t note = 40; note < 56; ++note) {
        receive({{0x90, note, 100}});
    }
    ASSERT_EQ(hold.load(), 16);
    receive({{0x90, 80, 100}});
    EXPECT_EQ(hold.load(), 16);
    EXPECT_EQ(pitch.load(), 80.0) << "the newest key sounds";
    EXPECT_EQ(heldNotes().front(), 41);
    EXPECT_EQ(heldNotes().back(), 80);
    // The dropped key's release matches nothing held.
    receive({{0x80, 40, 0}});
    EXPECT_EQ(hold.load(), 16);
    EXPECT_EQ(pitch.load(), 80.0);
}

TEST_F(MidiReadProcTest, ManyKeysNeverGrowTheStackBeyondSixteen) {
    for (int i = 0; i < 300; ++i) {
        receive({{0x90, static_cast<uint8_t>(i % 128), 1}});
        ASSERT_LE(hold.load(), 16);
    }
    EXPECT_EQ(pitch.load(), 299 % 128);
}

TEST_F(MidiReadProcTest, AKeyHeldTwiceIsReleasedOneCopyAtATime) {
    // The same key from two keyboards.
    receive({{0x90, 60, 100}, {0x90, 60, 100}});
    receive({{0x80, 60, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
    receive({{0x90, 60, 100}, {0x90, 64, 100}, {0x90, 60, 100}});
    EXPECT_EQ(heldNotes(), (Notes{60, 60, 64, 60}));
    receive({{0x80, 60, 0}});
    EXPECT_EQ(heldNotes(), (Notes{60, 64, 60}));
    EXPECT_EQ(pitch.load(), 60.0) << "60 is still down and the newest key";
}

TEST_F(MidiReadProcTest, HighBitsOfDataAreNeverTakenAsNotes) {
    receive({{0x90, 0xBC, 100}});  // a status byte where the key should be
    EXPECT_EQ(hold.load(), 0);
}

// ---- Controllers and bend ----

TEST_F(MidiReadProcTest, ModulationWheelSetsTheDepthThenRaisesItsFlag) {
    const std::pair<uint8_t, double> cases[] = {{0, 0.0}, {64, 0.5039370078740157}, {127, 1.0}};
    for (const auto& [value, depth] : cases) {
        changed.store(0);
        receive({{0xB0, 1, value}});
        EXPECT_EQ(mmi.load(), depth);
        EXPECT_EQ(changed.load(), 1);
    }
}

TEST_F(MidiReadProcTest, ExpressionSetsTheDiodeExponentThenRaisesItsFlag) {
    const std::pair<uint8_t, double> cases[] = {{0, 1.0}, {64, 2.5118110236220472}, {127, 4.0}};
    for (const auto& [value, exponent] : cases) {
        changen.store(0);
        receive({{0xB0, 11, value}});
        EXPECT_EQ(nonl.load(), exponent);
        EXPECT_EQ(changen.load(), 1);
    }
}

TEST_F(MidiReadProcTest, OtherControllersAreIgnored) {
    receive({{0xB0, 7, 100}, {0xB0, 64, 127}, {0xB0, 2, 127}});
    EXPECT_EQ(changed.load(), 0);
    EXPECT_EQ(changen.load(), 0);
    EXPECT_EQ(mmi.load(), 0.0);
    EXPECT_EQ(nonl.load(), 1.0);
}

TEST_F(MidiReadProcTest, PitchBendCoversMinusOneToJustBelowOne) {
    const struct {
        uint8_t lsb, msb;
        double bend;
    } cases[] = {{0, 64, 0.0}, {0, 0, -1.0}, {127, 127, 0.9998779296875}, {1, 64, 0.0001220703125}};
    for (const auto& c : cases) {
        receive({{0xE0, c.lsb, c.msb}});
        EXPECT_EQ(bend.load(), c.bend) << int(c.lsb) << "," << int(c.msb);
    }
}

TEST_F(MidiReadProcTest, PressureAndProgramChangeChangeNothing) {
    receive({{0xA0, 60, 100}, {0xC0, 5}, {0xD0, 90}});
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(pitch.load(), 69.0);
    EXPECT_EQ(bend.load(), 0.0);
}

// ---- Channel filter ----

TEST_F(MidiReadProcTest, OneChannelFilterTakesOnlyItsChannel) {
    omni.store(0);
    channel.store(3);
    receive({{0x93, 60, 100}});
    EXPECT_EQ(pitch.load(), 60.0);
    receive({{0x94, 62, 100}, {0xE0, 0, 0}, {0xB2, 1, 127}});
    EXPECT_EQ(pitch.load(), 60.0);
    EXPECT_EQ(bend.load(), 0.0);
    EXPECT_EQ(changed.load(), 0);
    receive({{0xE3, 0, 0}});
    EXPECT_EQ(bend.load(), -1.0);
}

TEST_F(MidiReadProcTest, NoChannelSelectedTakesNothing) {
    omni.store(0);
    channel.store(255);
    for (uint8_t ch = 0; ch < 16; ++ch) {
        receive({{static_cast<uint8_t>(0x90 | ch), 60, 100},
                 {static_cast<uint8_t>(0xB0 | ch), 1, 100},
                 {static_cast<uint8_t>(0xE0 | ch), 0, 0}});
    }
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(changed.load(), 0);
    EXPECT_EQ(bend.load(), 0.0);
}

TEST_F(MidiReadProcTest, AllChannelsTakesEveryChannel) {
    for (uint8_t ch = 0; ch < 16; ++ch) {
        receive({{static_cast<uint8_t>(0x90 | ch), static_cast<uint8_t>(40 + ch), 100}});
    }
    EXPECT_EQ(hold.load(), 16);
}

// ---- Packets holding more than one message ----

TEST_F(MidiReadProcTest, EveryMessageOfAChordPacketIsTaken) {
    receive({{0x90, 60, 100, 0x90, 64, 100, 0x90, 67, 100}});
    EXPECT_EQ(heldNotes(), (Notes{60, 64, 67}));
    EXPECT_EQ(pitch.load(), 67.0);
}

TEST_F(MidiReadProcTest, RunningStatusRepeatsTheKind) {
    receive({{0x90, 60, 100, 64, 100, 60, 0}});
    EXPECT_EQ(heldNotes(), (Notes{64}));
}

TEST_F(MidiReadProcTest, DataBytesWithoutAStatusAreSkipped) {
    receive({{0x40, 0x40, 0x40}});
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(pitch.load(), 69.0);
}

TEST_F(MidiReadProcTest, AMessageCutShortIsIgnored) {
    receive({{0x90, 60}, {0xE0, 5}, {0xB0, 1}, {0x90}});
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(bend.load(), 0.0);
    EXPECT_EQ(changed.load(), 0);
}

TEST_F(MidiReadProcTest, ANewStatusCutsShortTheMessageBeforeIt) {
    receive({{0x90, 60, 0xB0, 1, 127}});
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(mmi.load(), 1.0);
}

TEST_F(MidiReadProcTest, RealTimeBytesInsideAMessageAreSkipped) {
    receive({{0x90, 0xF8, 60, 0xFE, 100}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
}

TEST_F(MidiReadProcTest, SystemExclusiveDataIsNotTakenAsNotes) {
    receive({{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, {0x90, 0x3C}, {0x40, 0x3C, 0x40}});
    EXPECT_EQ(hold.load(), 0);
    // System common messages end running status too.
    receive({{0x90, 60, 100, 0xF2, 0x10, 0x20, 0x40, 0x40}});
    EXPECT_EQ(heldNotes(), (Notes{60}));
}

TEST_F(MidiReadProcTest, NullAndEmptyListsChangeNothing) {
    midiReadProc(nullptr, nullptr, nullptr);
    receive({});
    receive({{}});
    interpretPacket(nullptr, 5);
    EXPECT_EQ(hold.load(), 0);
    EXPECT_EQ(pitch.load(), 69.0);
}

}  // namespace
}  // namespace tolva
