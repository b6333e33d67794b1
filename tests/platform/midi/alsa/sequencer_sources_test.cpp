#include "platform/midi/alsa/sequencer_sources.h"

#include <alsa/asoundlib.h>
#include <gtest/gtest.h>

#include "platform/midi/alsa/alsa_sequencer_midi_services.h"

namespace tolva {
namespace {

constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr int kOwnClient = 130;

TEST(SequencerSourcesTest, AKeyboardPortIsASource) {
    EXPECT_TRUE(
        isAutomaticSource({24, 0, kReadable | SND_SEQ_PORT_CAP_WRITE, "USB Keys"}, kOwnClient));
    EXPECT_TRUE(isAutomaticSource({14, 0, kReadable, "Midi Through"}, kOwnClient));
}

TEST(SequencerSourcesTest, PortsThatCannotFeedUsAreLeftOut) {
    EXPECT_FALSE(isAutomaticSource({24, 0, SND_SEQ_PORT_CAP_READ, "no subscription"}, kOwnClient));
    EXPECT_FALSE(isAutomaticSource(
        {24, 1, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE, "synth input"}, kOwnClient));
    EXPECT_FALSE(
        isAutomaticSource({24, 2, kReadable | SND_SEQ_PORT_CAP_NO_EXPORT, "private"}, kOwnClient));
}

TEST(SequencerSourcesTest, SystemOurOwnAndPipeWireBridgesAreLeftOut) {
    EXPECT_FALSE(isAutomaticSource({SND_SEQ_CLIENT_SYSTEM, 1, kReadable, "System"}, kOwnClient));
    EXPECT_FALSE(isAutomaticSource({kOwnClient, 0, kReadable, "Tolva"}, kOwnClient));
    EXPECT_FALSE(isAutomaticSource({128, 0, kReadable, "PipeWire-System"}, kOwnClient));
    EXPECT_FALSE(isAutomaticSource({129, 0, kReadable, "PipeWire-RT-Event"}, kOwnClient));
}

TEST(AlsaSequencerMidiServicesTest, WithoutASequencerTheClientCannotBeCreated) {
    if (AlsaSequencerMidiServices::available()) {
        GTEST_SKIP() << "this machine has a sequencer";
    }
    AlsaSequencerMidiServices services;
    MIDIClientRef client = 0;
    EXPECT_EQ(services.createClient("c", &client), kMIDIServerStartErr);
    EXPECT_EQ(services.numberOfSources(), 0u);
    MIDIPortRef port = 0;
    EXPECT_EQ(services.createInputPort(
                  1, "in", [](const MIDIPacketList*, void*, void*) {}, nullptr, &port),
              kMIDIInvalidClient);
}

}  // namespace
}  // namespace tolva
