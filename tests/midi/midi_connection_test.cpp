#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control_panel.h"
#include "engine/modulator_globals.h"
#include "engine/ring_modulator_view_controller.h"
#include "platform/log/system_log.h"
#include "platform/midi/in_process_midi_services.h"
#include "platform/midi/midi_services_provider.h"

namespace tolva {
namespace {

class MidiConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        nonl.store(1.0);
        setSystemLogSink([this](std::string_view entry) { log_.emplace_back(entry); });
        setMidiServicesProvider(&services_);
    }
    void TearDown() override {
        setMidiServicesProvider(nullptr);
        setSystemLogSink({});
        resetModulatorGlobals();
    }

    // Sends one list from a source and waits until it has been delivered.
    void sendFrom(ItemCount source, std::vector<InProcessMidiServices::Packet> packets) {
        services_.send(source, std::move(packets));
        ASSERT_TRUE(services_.waitUntilDelivered());
    }

    std::vector<std::string> log_;
    InProcessMidiServices services_;
    RingModulatorViewController controller_;
};

TEST_F(MidiConnectionTest, EverySourcePresentIsConnectedAndCounted) {
    const ItemCount first = services_.addSource("keys");
    const ItemCount second = services_.addSource("pads");
    controller_.createMIDI();

    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 2"});
    EXPECT_NE(controller_.midiclient, 0u);
    EXPECT_NE(controller_.midiin, 0u);
    EXPECT_EQ(services_.connectionsOf(first), 1);
    EXPECT_EQ(services_.connectionsOf(second), 1);
    EXPECT_EQ(omni.load(), 1);

    // Both keyboards play into the same note stack.
    sendFrom(first, {{0x90, 60, 100}});
    sendFrom(second, {{0x91, 64, 100}});
    EXPECT_EQ(hold.load(), 2);
    EXPECT_EQ(pitch.load(), 64.0);
    sendFrom(first, {{0x80, 64, 0}});
    EXPECT_EQ(pitch.load(), 60.0);
}

TEST_F(MidiConnectionTest, ListsArriveOnTheSourcesThreads) {
    const ItemCount source = services_.addSource("keys");
    controller_.createMIDI();
    sendFrom(source, {{0xE0, 0, 0}});
    EXPECT_EQ(bend.load(), -1.0);
    EXPECT_NE(services_.lastDeliveryThread(), std::this_thread::get_id());
}

TEST_F(MidiConnectionTest, NoSourceIsNotAnError) {
    controller_.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 0"});
    EXPECT_EQ(services_.portsCreated(), 1);
    EXPECT_EQ(omni.load(), 1);
}

TEST_F(MidiConnectionTest, WithoutAnyServiceThereAreNoSources) {
    setMidiServicesProvider(nullptr);
    controller_.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 0"});
    EXPECT_NE(controller_.midiin, 0u);
}

TEST_F(MidiConnectionTest, AFailedConnectionLeavesTheOtherSourcesConnected) {
    const ItemCount broken = services_.addSource("broken");
    const ItemCount working = services_.addSource("keys");
    services_.failConnect(broken, kMIDINotPermitted);
    controller_.createMIDI();
    EXPECT_EQ(services_.connectionsOf(broken), 0);
    EXPECT_EQ(services_.connectionsOf(working), 1);
    sendFrom(working, {{0x90, 50, 1}});
    EXPECT_EQ(pitch.load(), 50.0);
}

TEST_F(MidiConnectionTest, SourcesAddedLaterAreNotConnected) {
    controller_.createMIDI();
    const ItemCount late = services_.addSource("late");
    sendFrom(late, {{0x90, 50, 1}});
    EXPECT_EQ(services_.connectionsOf(late), 0);
    EXPECT_EQ(hold.load(), 0);
}

TEST_F(MidiConnectionTest, CreationOverridesAChannelChosenBefore) {
    ControlPanel panel;
    panel.connect(controller_);
    const ItemCount source = services_.addSource("keys");
    ASSERT_TRUE(panel.midiPopupButton.userSelect(4));
    EXPECT_EQ(omni.load(), 0);
    controller_.createMIDI();
    EXPECT_EQ(omni.load(), 1);
    EXPECT_EQ(panel.midiPopupButton.indexOfSelectedItem(), 4);
    sendFrom(source, {{0x9A, 55, 100}});
    EXPECT_EQ(pitch.load(), 55.0);
}

using MidiConnectionDeathTest = MidiConnectionTest;

TEST_F(MidiConnectionDeathTest, FailedClientCreationEndsTheApplication) {
    services_.failClientCreate(kMIDIServerStartErr);
    EXPECT_EXIT(controller_.createMIDI(), ::testing::ExitedWithCode(1),
                "Error: MIDI Client Create Error\nRelaunch Application: \\(-10839\\)");
}

TEST_F(MidiConnectionDeathTest, FailedPortCreationEndsTheApplication) {
    services_.failPortCreate(kMIDIInvalidClient);
    EXPECT_EXIT(controller_.createMIDI(), ::testing::ExitedWithCode(1),
                "Error: MIDI Port Create Error\nRelaunch Application: \\(-10830\\)");
}

// ---- The channel pop-up ----

class MidiPopupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        panel_.connect(controller_);
    }
    void TearDown() override { resetModulatorGlobals(); }
    RingModulatorViewController controller_;
    ControlPanel panel_;
};

TEST_F(MidiPopupTest, ItemsTwoToSeventeenAreChannelsOneToSixteen) {
    ASSERT_TRUE(panel_.midiPopupButton.userSelect(3));
    EXPECT_EQ(omni.load(), 0);
    EXPECT_EQ(channel.load(), 1);
    ASSERT_TRUE(panel_.midiPopupButton.userSelect(17));
    EXPECT_EQ(channel.load(), 15);
}

TEST_F(MidiPopupTest, AllChannelsKeepsTheLastChannel) {
    ASSERT_TRUE(panel_.midiPopupButton.userSelect(5));
    ASSERT_TRUE(panel_.midiPopupButton.userSelect(0));
    EXPECT_EQ(omni.load(), 1);
    EXPECT_EQ(channel.load(), 3);
}

TEST_F(MidiPopupTest, ItemOneSelectsNoChannel) {
    // Item 1 is a separator in the panel; the handler still gives it a meaning.
    PopUpButtonModel popup({{"All"}, {"none"}, {"1"}});
    popup.selectItem(1);
    controller_.midiPopupChanged(&popup);
    EXPECT_EQ(omni.load(), 0);
    EXPECT_EQ(channel.load(), 255);
}

}  // namespace
}  // namespace tolva
