// The MIDI connection made at the first Play, the channel menu, and the source
// button that hands the carrier between the panel and the notes without a jump.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::PlayedModulator;

TEST(MidiConnection, TheFirstPlayConnectsEverySourcePresentOnce) {
    PlayedModulator m;
    const ItemCount keys = m.midi.addSource("keys");
    const ItemCount pads = m.midi.addSource("pads");
    const ItemCount refused = m.midi.addSource("refuses");
    m.midi.failConnect(refused, -50);
    m.play();
    const ItemCount late = m.midi.addSource("late");
    m.stop();
    m.play();
    EXPECT_EQ(std::vector<std::string>{"MIDI Sources: 3"}, m.log());
    EXPECT_EQ(1, m.midi.clientsCreated());
    EXPECT_EQ(1, m.midi.portsCreated());
    EXPECT_EQ(1, m.midi.connectionsOf(keys));
    EXPECT_EQ(0, m.midi.connectionsOf(refused));
    EXPECT_EQ(0, m.midi.connectionsOf(late));
    // Both keyboards play into one note stack, from the services' own threads.
    m.midi.send(keys, {{0x90, 60, 100}});
    ASSERT_TRUE(m.midi.waitUntilDelivered());
    m.midi.send(pads, {{0x91, 64, 100}});
    ASSERT_TRUE(m.midi.waitUntilDelivered());
    EXPECT_EQ(2, hold.load());
    EXPECT_EQ(64.0, pitch.load());
    EXPECT_NE(std::this_thread::get_id(), m.midi.lastDeliveryThread());
}

TEST(MidiConnection, TheChannelMenuChoosesAllChannelsOrOne) {
    PlayedModulator m;
    const struct {
        int64_t item;
        uint8_t omni, channel;
    } choices[] = {{3, 0, 1}, {17, 0, 15}, {5, 0, 3}, {0, 1, 3}, {2, 0, 0}};
    for (const auto& k : choices) {
        m.panel.midiPopupButton.userSelect(k.item);
        EXPECT_EQ(k.omni, omni.load()) << k.item;
        EXPECT_EQ(k.channel, channel.load()) << k.item;
    }
    EXPECT_FALSE(m.panel.midiPopupButton.userSelect(1));  // the separator
    EXPECT_EQ(0, channel.load());
}

TEST(SourceSwitch, RunningTheCarrierContinuesFromWhereThePanelLeftIt) {
    PlayedModulator m;
    m.play();
    m.panel.frequencySlider.userMove(300.0);
    pitch.store(81.0);
    bend.store(0.5);
    m.panel.sourceButton.userClick();
    EXPECT_NEAR(62.3695077, pitch.load(), 1e-7);
    EXPECT_EQ("MIDI", m.panel.sourceButton.title());
    bend.store(0.0);
    m.render(std::vector<float>(64, 0.0f));
    EXPECT_NEAR(300.0, m.c.frequency.load(), 1e-9);
    EXPECT_EQ("300.0 Hz", m.panel.frequencyTextField.stringValue());
    pitch.store(72.0);
    m.render(std::vector<float>(64, 0.0f));
    m.panel.sourceButton.userClick();  // back to the panel: the last note's frequency stays
    m.render(std::vector<float>(64, 0.0f));
    EXPECT_DOUBLE_EQ(523.2511306011972, m.c.frequency.load());
}

// The switch publishes the note before MIDI takes over: no cycle in between
// may tune the carrier to the note MIDI left behind while the panel drove it.
TEST(SourceSwitch, NoCycleEverHearsAStaleNoteWhileTheDeviceRenders) {
    PlayedModulator m;
    std::atomic<bool> stale{false};
    m.device.setInput([&](float* dst, UInt32 frames, uint64_t) {
        stale.store(stale.load() || m.c.frequency.load() > 800.0);
        std::fill(dst, dst + frames, 0.0f);
    });
    m.driveFromThread(1, std::chrono::microseconds(0));
    m.play();
    m.panel.frequencySlider.userMove(300.0);
    for (int k = 0; k < 20000 && !stale.load(); ++k) {
        pitch.store(81.0);  // as a keyboard left it
        m.panel.sourceButton.userClick();
        m.panel.sourceButton.userClick();
        m.waitForCycles(1);
        m.c.frequency.store(300.0);
    }
    EXPECT_FALSE(stale.load());
}

}  // namespace
}  // namespace tolva
