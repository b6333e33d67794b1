// JACK MIDI on a real server: senders of our own play into the modulator's
// MIDI port, and the MIDI values follow.

#include "platform/midi/jack/jack_midi_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/modulator_globals.h"
#include "engine/ring_modulator_view_controller.h"
#include "jack_midi_sender.h"
#include "jack_test_server.h"
#include "midi/midi_read_proc.h"
#include "platform/log/system_log.h"
#include "platform/midi/system/system_midi_services.h"
#include "support/realtime_checker.h"

namespace tolva {
namespace {

using namespace std::chrono_literals;

// Waits up to a generous bound (a hang guard, not a timing requirement).
bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// One jackd for the whole test program, under a name of its own.
class JackServer : public ::testing::Environment {
  public:
    void SetUp() override {
        ASSERT_TRUE(server_.start()) << "jackd did not come up";
        ASSERT_TRUE(eventually([] { return JackMidiServices::serverAnswers(); }))
            << "jackd did not answer";
    }
    void TearDown() override { server_.terminate(); }

  private:
    test::JackTestServer server_{64};
};

const auto* const gServer = ::testing::AddGlobalTestEnvironment(new JackServer);

class JackMidiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetModulatorGlobals();
        nonl.store(1.0);
        setSystemLogSink([this](std::string_view entry) { log_.emplace_back(entry); });
    }
    void TearDown() override {
        setMidiServicesProvider(nullptr);
        setSystemLogSink({});
        resetModulatorGlobals();
    }

    std::vector<std::string> log_;
};

TEST_F(JackMidiTest, NotesControllersAndBendReachTheModulator) {
    test::JackMidiSender keys("tolva test keys");
    ASSERT_TRUE(keys.ok());
    JackMidiServices services;
    setMidiServicesProvider(&services);
    RingModulatorViewController controller;
    controller.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 1"});
    ASSERT_TRUE(keys.waitForConnections(1));

    ASSERT_TRUE(keys.send({{0x90, 60, 100}}));
    EXPECT_TRUE(eventually([] { return pitch.load() == 60.0; }));
    ASSERT_TRUE(keys.send({{0xB0, 1, 127}, {0xB0, 11, 127}}));
    EXPECT_TRUE(eventually([] { return changed.load() == 1 && changen.load() == 1; }));
    EXPECT_EQ(mmi.load(), 1.0);
    EXPECT_EQ(nonl.load(), 4.0);
    ASSERT_TRUE(keys.send({{0xE0, 0, 0}}));
    EXPECT_TRUE(eventually([] { return bend.load() == -1.0; }));

    // A chord struck within one cycle: every key counts.
    ASSERT_TRUE(keys.send({{0x90, 64, 100}, {0x90, 67, 100}, {0x90, 72, 100}}));
    EXPECT_TRUE(eventually([] { return hold.load() == 4; }));
    EXPECT_EQ(pitch.load(), 72.0);
    // jackd delivers a velocity-0 note-on as it is: a release.
    ASSERT_TRUE(keys.send({{0x90, 72, 0}, {0x80, 67, 0}}));
    EXPECT_TRUE(eventually([] { return hold.load() == 2; }));
    EXPECT_EQ(pitch.load(), 64.0);
}

TEST_F(JackMidiTest, TwoSendersPresentAtTheFirstPlayAreBothConnectedOnce) {
    test::JackMidiSender left("tolva test left");
    test::JackMidiSender right("tolva test right");
    ASSERT_TRUE(left.ok() && right.ok());
    JackMidiServices services;
    setMidiServicesProvider(&services);
    RingModulatorViewController controller;
    controller.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 2"});

    ASSERT_TRUE(left.waitForConnections(1));
    ASSERT_TRUE(right.waitForConnections(1));

    // Connecting again changes nothing: each keyboard arrives once.
    ASSERT_EQ(MIDIGetNumberOfSources(), 2u);
    EXPECT_EQ(MIDIPortConnectSource(controller.midiin, MIDIGetSource(0), nullptr), 0);
    EXPECT_EQ(MIDIPortConnectSource(controller.midiin, MIDIGetSource(1), nullptr), 0);
    const std::string input = services.inputPortName();
    jack_port_t* inPort = jack_port_by_name(left.client(), input.c_str());
    ASSERT_NE(inPort, nullptr);
    std::this_thread::sleep_for(20ms);  // let a second connection show, were there one
    EXPECT_EQ(jack_port_connected(inPort), 2);
    EXPECT_EQ(left.connections(), 1);

    ASSERT_TRUE(left.send({{0x90, 50, 100}}));
    EXPECT_TRUE(eventually([] { return hold.load() == 1; }));
    ASSERT_TRUE(right.send({{0x91, 55, 100}}));
    EXPECT_TRUE(eventually([] { return hold.load() == 2; }));
    EXPECT_EQ(pitch.load(), 55.0);
}

TEST_F(JackMidiTest, TheInputPortCanBeConnectedByHand) {
    JackMidiServices services;
    setMidiServicesProvider(&services);
    RingModulatorViewController controller;
    controller.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 0"});

    test::JackMidiSender late("tolva test late");
    ASSERT_TRUE(late.ok());
    ASSERT_EQ(
        jack_connect(late.client(), late.portName().c_str(), services.inputPortName().c_str()), 0);
    ASSERT_TRUE(late.waitForConnections(1));
    // A connection made by hand reaches the server's graph a cycle or two
    // later on a loaded machine; a key struck before then is not heard, so
    // strike it again until it is.
    bool heard = false;
    for (int attempt = 0; attempt < 50 && !heard; ++attempt) {
        ASSERT_TRUE(late.send({{0x90, 40, 100}}));
        const auto until = std::chrono::steady_clock::now() + 100ms;
        while (!heard && std::chrono::steady_clock::now() < until) {
            heard = pitch.load() == 40.0;
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_TRUE(heard);
}

// The read callback seen from the JACK process thread.
std::atomic<int> gLists{0};
std::atomic<bool> gOneThread{true};
std::atomic<std::thread::id> gThread{};

void watchedReadProc(const MIDIPacketList* list, void* context, void* source) {
    // The process thread counts as real-time from its first list on.
    static thread_local test::RealtimeSection* section = new test::RealtimeSection;
    (void)section;
    std::thread::id expected{};
    if (!gThread.compare_exchange_strong(expected, std::this_thread::get_id()) &&
        expected != std::this_thread::get_id()) {
        gOneThread = false;
    }
    midiReadProc(list, context, source);
    ++gLists;
}

TEST_F(JackMidiTest, ListsArriveOnOneThreadWithoutAllocation) {
    test::JackMidiSender keys("tolva test rt");
    ASSERT_TRUE(keys.ok());
    JackMidiServices services;
    setMidiServicesProvider(&services);
    MIDIClientRef client = 0;
    ASSERT_EQ(MIDIClientCreate("c", nullptr, nullptr, &client), 0);
    MIDIPortRef port = 0;
    ASSERT_EQ(MIDIInputPortCreate(client, "in", watchedReadProc, nullptr, &port), 0);
    ASSERT_EQ(MIDIGetNumberOfSources(), 1u);
    ASSERT_EQ(MIDIPortConnectSource(port, MIDIGetSource(0), nullptr), 0);
    omni.store(1);
    ASSERT_TRUE(keys.waitForConnections(1));

    ASSERT_TRUE(keys.send({{0x90, 60, 100}}));
    ASSERT_TRUE(eventually([] { return gLists.load() >= 1; }));
    test::resetRealtimeViolations();
    for (int i = 0; i < 50; ++i) {
        const auto note = static_cast<uint8_t>(40 + i % 40);
        ASSERT_TRUE(keys.send({{0x90, note, 100}, {0xE0, note, 64}, {0x80, note, 0}}));
    }
    // An overloaded server may skip a cycle of ours now and then; most lists arrive.
    EXPECT_TRUE(eventually([] { return gLists.load() >= 26; }));
    EXPECT_TRUE(gOneThread.load());
    EXPECT_EQ(test::realtimeViolations().allocations, 0u);
}

TEST_F(JackMidiTest, SystemChoiceIsJackWhenOnlyAServerAnswers) {
    if (access("/dev/snd/seq", R_OK) == 0) {
        GTEST_SKIP() << "this machine has an ALSA sequencer";
    }
    EXPECT_EQ(availableSystemMidiService(), SystemMidiService::Jack);
    const std::string server = std::getenv("JACK_DEFAULT_SERVER");
    setenv("JACK_DEFAULT_SERVER", "tolva-midi-test-nobody", 1);
    EXPECT_EQ(availableSystemMidiService(), SystemMidiService::None);
    // Without any service Tolva still runs: zero sources, no error.
    installSystemMidiServices();
    RingModulatorViewController controller;
    controller.createMIDI();
    EXPECT_EQ(log_, std::vector<std::string>{"MIDI Sources: 0"});
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
}

}  // namespace
}  // namespace tolva
