// The panel's control models and what they carry between threads: values set
// from code stay quiet, each user gesture sends its action once, after the
// value is set, and moves the revision the window redraws by; a text read
// whole while other threads write it; and the system log's entries.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "app/control_panel.h"
#include "platform/log/system_log.h"
#include "platform/ui/latest_text.h"

namespace tolva {
namespace {

TEST(PanelModels, GesturesSendTheirActionOnceAndCodeSendsNone) {
    ControlPanel p;
    std::vector<std::string> sent;
    p.frequencySlider.setAction(
        [&](SliderModel& s) { sent.push_back(std::to_string(s.doubleValue())); });
    p.bypassButton.setAction(
        [&](ButtonModel& b) { sent.push_back("bypass " + std::to_string(b.state())); });
    p.segCtrlCarrWave.setAction(
        [&](SegmentedControlModel& s) { sent.push_back(std::to_string(s.selectedSegment())); });
    p.midiPopupButton.setAction(
        [&](PopUpButtonModel& m) { sent.push_back(std::to_string(m.indexOfSelectedItem())); });
    p.tuningStepper.setAction(
        [&](StepperModel& s) { sent.push_back(std::to_string(s.doubleValue())); });
    const uint64_t revision = p.frequencySlider.revision();

    p.frequencySlider.setDoubleValue(100.0);
    p.frequencySlider.setDoubleValue(std::nan(""));  // ignored
    p.bypassButton.setState(1);
    p.segCtrlCarrWave.setSelectedSegment(3);
    p.segCtrlCarrWave.setSelectedSegment(4);  // no such segment
    p.midiPopupButton.selectItem(5);
    p.tuningStepper.setDoubleValue(444.0);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(100.0, p.frequencySlider.doubleValue());
    EXPECT_EQ(3, p.segCtrlCarrWave.selectedSegment());
    EXPECT_GT(p.frequencySlider.revision(), revision);

    p.frequencySlider.userMove(9999.0);  // clamped to the range
    p.bypassButton.userClick();
    p.segCtrlCarrWave.userSelect(0);
    p.segCtrlCarrWave.userSelect(-1);
    EXPECT_FALSE(p.midiPopupButton.userSelect(1));  // the separator
    p.midiPopupButton.userSelect(2);
    p.tuningStepper.userStep(+1);
    p.tuningStepper.userStep(+1);
    p.tuningStepper.userStep(+1);  // 445 at most
    EXPECT_EQ((std::vector<std::string>{"1760.000000", "bypass 0", "0", "2", "444.500000",
                                        "445.000000", "445.000000"}),
              sent);
}

TEST(PanelModels, ATextIsReadWholeWhileOtherThreadsWriteIt) {
    LatestText text;
    text.set(std::string(62, 'b') + "\xC3\xA9" + "tail");  // never cut inside a character
    EXPECT_EQ(std::string(62, 'b'), text.get());
    const std::string shapes[] = {std::string(10, 'x'), std::string(63, 'z'), "440.0 Hz"};
    text.set(shapes[0]);
    std::atomic<bool> stop{false};
    auto writer = [&](int k) {
        while (!stop.load()) {
            text.set(shapes[k++ % 3]);
        }
    };
    std::thread a(writer, 0), b(writer, 1);
    int torn = 0;
    for (int read = 0; read < 100000; ++read) {
        const std::string seen = text.get();
        torn += seen != shapes[0] && seen != shapes[1] && seen != shapes[2];
    }
    stop.store(true);
    a.join();
    b.join();
    EXPECT_EQ(0, torn);
}

TEST(SystemLog, EntriesReachTheSinkFormattedAndWhole) {
    std::vector<std::string> entries;
    setSystemLogSink([&](std::string_view e) { entries.emplace_back(e); });
    systemLog("MIDI Sources: %ld", 2L);
    systemLog("Unmute: previous state = %d\n", 4);
    setSystemLogSink({});
    EXPECT_EQ((std::vector<std::string>{"MIDI Sources: 2", "Unmute: previous state = 4\n"}),
              entries);
}

}  // namespace
}  // namespace tolva
