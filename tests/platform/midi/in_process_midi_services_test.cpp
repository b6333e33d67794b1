#include "platform/midi/in_process_midi_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "platform/midi/midi_services.h"
#include "platform/midi/midi_services_provider.h"

namespace tolva {
namespace {

struct Received {
    std::atomic<int> lists{0};
    std::atomic<int> packets{0};
    std::atomic<void*> sourceRefCon{nullptr};
};

void countingReadProc(const MIDIPacketList* list, void* refCon, void* sourceRefCon) {
    auto* received = static_cast<Received*>(refCon);
    received->packets += static_cast<int>(list->numPackets);
    received->sourceRefCon.store(sourceRefCon);
    ++received->lists;
}

class InProcessMidiServicesTest : public ::testing::Test {
  protected:
    void SetUp() override { setMidiServicesProvider(&services_); }
    void TearDown() override { setMidiServicesProvider(nullptr); }

    MIDIPortRef openPort() {
        MIDIClientRef client = 0;
        EXPECT_EQ(MIDIClientCreate("test", nullptr, nullptr, &client), 0);
        MIDIPortRef port = 0;
        EXPECT_EQ(MIDIInputPortCreate(client, "in", countingReadProc, &received_, &port), 0);
        return port;
    }

    InProcessMidiServices services_;
    Received received_;
};

TEST_F(InProcessMidiServicesTest, ConnectedSourceDeliversEachListOnce) {
    services_.addSource("a");
    const MIDIPortRef port = openPort();
    ASSERT_EQ(MIDIGetNumberOfSources(), 1u);
    int context = 0;
    EXPECT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), &context), 0);
    EXPECT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), &context), 0);
    EXPECT_EQ(services_.connectionsOf(0), 1) << "connecting twice still delivers once";
    services_.send(0, {{0x90, 60, 100}, {0x80, 60, 0}});
    services_.send(0, {{0xF8}});
    ASSERT_TRUE(services_.waitUntilDelivered());
    EXPECT_EQ(received_.lists.load(), 2);
    EXPECT_EQ(received_.packets.load(), 3);
    EXPECT_EQ(received_.sourceRefCon.load(), &context);
}

TEST_F(InProcessMidiServicesTest, UnconnectedSourceDeliversNothing) {
    services_.addSource("a");
    openPort();
    services_.send(0, {{0x90, 60, 100}});
    ASSERT_TRUE(services_.waitUntilDelivered());
    EXPECT_EQ(received_.lists.load(), 0);
}

TEST_F(InProcessMidiServicesTest, BadReferencesAreRefused) {
    services_.addSource("a");
    MIDIPortRef port = 0;
    EXPECT_EQ(MIDIInputPortCreate(999, "in", countingReadProc, nullptr, &port), kMIDIInvalidClient);
    EXPECT_EQ(MIDIClientCreate("c", nullptr, nullptr, nullptr), kMIDIParamErr);
    const MIDIPortRef good = openPort();
    EXPECT_EQ(MIDIGetSource(0), 0u) << "sources are listed by counting them first";
    ASSERT_EQ(MIDIGetNumberOfSources(), 1u);
    EXPECT_EQ(MIDIGetSource(1), 0u);
    EXPECT_EQ(MIDIPortConnectSource(good, 0, nullptr), kMIDIUnknownEndpoint);
    EXPECT_EQ(MIDIPortConnectSource(0, MIDIGetSource(0), nullptr), kMIDIInvalidPort);
    EXPECT_EQ(MIDIPortConnectSource(good + 100, MIDIGetSource(0), nullptr), kMIDIInvalidPort);
}

TEST(MidiServicesWithoutProviderTest, ClientAndPortWorkWithNoSources) {
    setMidiServicesProvider(nullptr);
    MIDIClientRef client = 0;
    ASSERT_EQ(MIDIClientCreate("c", nullptr, nullptr, &client), 0);
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIInputPortCreate(client, "in", countingReadProc, nullptr, &port), 0);
    EXPECT_NE(port, 0u);
    EXPECT_EQ(MIDIGetNumberOfSources(), 0u);
    EXPECT_EQ(MIDIGetSource(0), 0u);
}

}  // namespace
}  // namespace tolva
