// The application as it launches, its File menu, the test button's entry, and
// the controls that shape the modulation, from the panel and from MIDI.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::PlayedModulator;

TEST(Launch, SetsTheDefaultsOpensNothingAndLogsWhatTheMenusAndTestButtonAsk) {
    PlayedModulator m;
    EXPECT_EQ(440.0, m.c.frequency.load());
    EXPECT_EQ(2, m.panel.segCtrlMult.selectedSegment());
    EXPECT_EQ(1.0, m.c.mult.load());
    EXPECT_EQ(440.0, A.load());
    EXPECT_EQ(69.0, pitch.load());
    EXPECT_TRUE(m.device.callLog().empty());
    EXPECT_EQ(0, m.midi.clientsCreated());
    m.panel.testButton.userClick();
    m.delegate.openDocument();
    m.delegate.saveDocument();
    m.panel.segCtrlMult.userSelect(4);
    m.panel.linlogButton.userClick();
    m.panel.sourceButton.userClick();
    m.panel.testButton.userClick();
    const std::vector<std::string> expected = {
        "\nA = 440.0\nPitch =  69\nfrequency =  440.00\nmidif = 0\nlogview = 0\nmult = 1.00\n\n",
        "OPEN:\n", "SAVE:\n",
        "\nA = 440.0\nPitch =  69\nfrequency = 1760.00\nmidif = 1\nlogview = 1\nmult = 4.00\n\n"};
    EXPECT_EQ(expected, m.log());
}

TEST(ModulationControls, EachControlSetsWhatTheCycleReads) {
    PlayedModulator m;
    for (bool running : {false, true}) {
        if (running) {
            m.play();
        }
        m.panel.depthSlider.userMove(0.25);
        EXPECT_EQ(0.25, m.c.depth.load());
        m.panel.nonlSlider.userMove(3.0);
        EXPECT_EQ(3.0, nonl.load());
        for (int64_t segment : {3, 0, 2, 1}) {
            m.panel.segCtrlCarrWave.userSelect(segment);
            EXPECT_EQ(segment, m.c.wave.load());
        }
        m.panel.diodeButton.userClick();
        EXPECT_EQ(m.panel.diodeButton.state(), m.c.diode.load());
        m.panel.diodeButton.userClick();
        EXPECT_EQ(m.panel.diodeButton.state(), m.c.diode.load());
    }
}

}  // namespace
}  // namespace tolva
