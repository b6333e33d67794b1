// The application as it launches, its File menu and the test button's entry.
// (Each control reaching its handler is the window tests'.)

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

}  // namespace
}  // namespace tolva
