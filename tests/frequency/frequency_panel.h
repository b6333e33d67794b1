#pragma once

// The panel and the controller as the user meets them after launch (440 Hz,
// x1, linear scale, panel as the source, A4 = 440 Hz, note 69), on a manually
// driven test device. Tests work the controls through their models' user
// gestures, and may put the modulator into its running state in two ways:
// run() only gives the controller a device unit (the handlers' running
// branch, no cycles), play() presses Play for real so that cycle() runs the
// render cycle on the device.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/manual_audio_device.h"

namespace tolva::test {

class FrequencyPanel {
  public:
    explicit FrequencyPanel(double rate = 48000.0) : device(rate) {
        resetModulatorGlobals();
        setAudioDeviceProvider(&device);
        panel.connect(c);
        // The launch defaults.
        c.frequency.store(440.0);
        panel.segCtrlMult.setSelectedSegment(2);
        c.mult.store(1.0);
        c.midif.store(0);
        c.logview.store(0);
        A.store(440.0);
        pitch.store(69.0);
        // The MIDI client exists already: Play opens the audio device only.
        midi.store(1);
    }

    ~FrequencyPanel() {
        if (playing_) {
            stop();
        }
        if (ownUnit_ != nullptr) {
            c.toneUnit.store(nullptr);
            AudioComponentInstanceDispose(ownUnit_);
        }
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }

    FrequencyPanel(const FrequencyPanel&) = delete;
    FrequencyPanel& operator=(const FrequencyPanel&) = delete;

    // The handlers see a running modulator; no cycle runs.
    void run() {
        AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                              kAudioUnitManufacturer_Apple, 0, 0};
        ASSERT_EQ(noErr, AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description),
                                                   &ownUnit_));
        c.toneUnit.store(ownUnit_);
    }

    // The user presses Play; cycles then run through cycle().
    void play() {
        panel.playButton.userClick();
        ASSERT_NE(nullptr, c.toneUnit.load());
        playing_ = true;
    }

    // The user presses Stop. Stop waits for the fade-out that a cycle takes
    // up, so cycles keep coming from here until it has returned.
    void stop() {
        std::thread user([this] { panel.playButton.userClick(); });
        std::vector<float> buffer(64);
        while (c.toneUnit.load() != nullptr) {
            device.runCycle(64, buffer.data());
            std::this_thread::yield();
        }
        user.join();
        playing_ = false;
    }

    // One device cycle of `frames` frames; returns what the device plays.
    std::vector<float> cycle(UInt32 frames) {
        std::vector<float> out(frames);
        EXPECT_TRUE(device.runCycle(frames, out.data()));
        return out;
    }

    // What every path must leave: the selected segment shows `mult`, which
    // stays within x1/4 .. x4, and no NaN or infinity reaches the carrier,
    // the slider or the text.
    void expectConsistent() {
        static constexpr double kOctave[] = {0.25, 0.5, 1.0, 2.0, 4.0};
        const int64_t segment = panel.segCtrlMult.selectedSegment();
        ASSERT_GE(segment, 0);
        ASSERT_LE(segment, 4);
        EXPECT_EQ(kOctave[segment], c.mult.load());
        EXPECT_TRUE(std::isfinite(c.frequency.load()));
        EXPECT_TRUE(std::isfinite(panel.frequencySlider.doubleValue()));
        const std::string text = panel.frequencyTextField.stringValue();
        EXPECT_EQ(std::string::npos, text.find("nan")) << text;
        EXPECT_EQ(std::string::npos, text.find("inf")) << text;
    }

    ManualAudioDevice device;
    RingModulatorViewController c;
    ControlPanel panel;

  private:
    AudioUnit ownUnit_ = nullptr;
    bool playing_ = false;
};

}  // namespace tolva::test
