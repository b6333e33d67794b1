// The MIDI client and its input port come with the first Play of the process,
// between opening the device and starting it, and never again.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/dying_play.h"
#include "platform/midi/in_process_midi_services.h"

namespace tolva::test {
namespace {

class FirstPlayMidiTest : public DyingPlayTest {
  protected:
    void SetUp() override {
        DyingPlayTest::SetUp();
        midi.store(0);  // as at process start
        setMidiServicesProvider(&services);
        driveFromThread();
    }
    void TearDown() override {
        DyingPlayTest::TearDown();
        setMidiServicesProvider(nullptr);
    }

    InProcessMidiServices services;
};

TEST_F(FirstPlayMidiTest, TheFirstPlayCreatesTheClientAndPortAndConnectsEverySource) {
    services.addSource("keyboard");
    services.addSource("pads");
    playAndSettle();

    EXPECT_EQ(midi.load(), 1);
    EXPECT_EQ(services.clientsCreated(), 1);
    EXPECT_EQ(services.portsCreated(), 1);
    EXPECT_EQ(services.connectionsOf(0), 1);
    EXPECT_EQ(services.connectionsOf(1), 1);
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"MIDI Sources: 2"}));
}

TEST_F(FirstPlayMidiTest, LaterPlaysKeepTheClientAndPortOfTheFirst) {
    services.addSource("keyboard");
    playAndSettle();
    play();
    const MIDIClientRef client = c.midiclient;
    const MIDIPortRef port = c.midiin;
    services.addSource("arrived later");

    for (int run = 0; run < 3; ++run) {
        playAndSettle();
        play();
    }

    EXPECT_EQ(services.clientsCreated(), 1);
    EXPECT_EQ(services.portsCreated(), 1);
    EXPECT_EQ(c.midiclient, client);
    EXPECT_EQ(c.midiin, port);
    EXPECT_EQ(services.connectionsOf(1), 0);
    EXPECT_EQ(logEntries(), (std::vector<std::string>{"MIDI Sources: 1"}));
}

TEST_F(FirstPlayMidiTest, AClientThatCannotBeCreatedEndsTheFirstPlayBeforeTheDeviceStarts) {
    services.failClientCreate(kMIDIServerStartErr);
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords("MIDI Client Create Error\nRelaunch Application:", "-10839",
                           playCallsThrough(AudioCall::SetOutputStreamFormat)));
}

TEST_F(FirstPlayMidiTest, APortThatCannotBeCreatedEndsTheFirstPlayBeforeTheDeviceStarts) {
    services.failPortCreate(kMIDINotPermitted);
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords("MIDI Port Create Error\nRelaunch Application:", "-10844",
                           playCallsThrough(AudioCall::SetOutputStreamFormat)));
}

}  // namespace
}  // namespace tolva::test
