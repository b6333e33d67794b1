// Play and Stop, Bypass and Mute. Play and un-mute fade the modulated sound in
// over one device cycle; Stop and Mute ask the render thread for a one-cycle
// fade-out and wait until it has taken it up; Bypass switches at once.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "device/check_error.h"
#include "engine/ring_modulator_view_controller.h"
#include "midi/source_button_colors.h"
#include "platform/log/system_log.h"
#include "platform/midi/midi_services.h"

namespace tolva {
namespace {

// Frames assumed per cycle when the device does not say.
constexpr UInt32 kAssumedCycleFrames = 1024;
constexpr std::chrono::milliseconds kFadeOutGrace{100};
constexpr int kFadeOutCycles = 4;
// However slow the device's cycles, a dead device holds the panel up no longer.
constexpr double kLongestCyclesWaitSeconds = 1.0;

bool isOn(const ButtonModel* button) {
    return button != nullptr && button->state() == 1;
}

// A render cycle outlived the device's stop and may still run: the unit and
// the tables it renders with are kept for good rather than freed under it.
void keepForStalledCycle(AudioUnit unit, float* trif, float* ramf) {
    struct Kept {
        AudioUnit unit;
        float* trif;
        float* ramf;
    };
    static auto* const kept = new std::vector<Kept>;  // never freed, never destroyed
    kept->push_back({unit, trif, ramf});
    std::fprintf(stderr, "Tolva: a render cycle did not finish; its device and tables are kept\n");
    systemLog("Render cycle still running at Stop; device and tables kept\n");
}

void colourTitle(ButtonModel* button, RgbaColor color) {
    if (button != nullptr) {
        button->setAttributedTitle(button->attributedTitle().withForeground(color));
    }
}

}  // namespace

bool RingModulatorViewController::waitForFadeOut() {
    // A few device cycles plus a grace period; a device that has stopped
    // calling back never takes the fade-out up.
    UInt32 frames = kAssumedCycleFrames;
    UInt32 size = sizeof(frames);
    AudioUnit unit = toneUnit.load(std::memory_order_acquire);
    if (unit == nullptr ||
        AudioUnitGetProperty(unit, kAudioDevicePropertyBufferFrameSize, kAudioUnitScope_Global, 0,
                             &frames, &size) != noErr ||
        frames == 0) {
        frames = kAssumedCycleFrames;
    }
    const double rate = R.load() >= 1.0 ? R.load() : 44100.0;
    const double cyclesSeconds =
        std::min(kFadeOutCycles * frames / rate, kLongestCyclesWaitSeconds);
    const auto bound =
        kFadeOutGrace + std::chrono::microseconds(static_cast<int64_t>(1e6 * cyclesSeconds));
    const auto deadline = std::chrono::steady_clock::now() + bound;
    if (AudioUnitUInt32Property(unit, kAudioDevicePropertyDeviceIsAlive, 1) == 0) {
        return false;  // its server has gone: no cycle will come
    }
    while (state.load(std::memory_order_acquire) != StateSilent) {
        reportPendingFatalError();  // a failed pull stops the cycles for good
        if (std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "Tolva: the audio device stopped calling back\n");
            systemLog("Audio device stopped calling back; fade-out skipped\n");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

void RingModulatorViewController::togglePlay(ButtonModel* sender) {
    if (toneUnit.load(std::memory_order_acquire) == nullptr) {
        createToneUnit();
        // Once per process, and again when the MIDI server has gone away.
        if (midi.load() == 0 || MIDIClientLost(midiclient)) {
            createMIDI();
            midi.store(1);
        }
        AudioUnit unit = toneUnit.load(std::memory_order_acquire);
        CheckError(AudioUnitInitialize(unit), "Error initializing unit:");
        // Start as the buttons show: muted stays silent, bypassed passes the
        // input; releasing either then gives the running modulated sound.
        const bool bypassed = isOn(bypassButton);
        if (isOn(muteButton)) {
            mutePreviousState = bypassed ? StateBypass : StateOn;
            if (bypassed) {
                bypassPreviousState = StateOn;
            }
            state.store(StateSilent, std::memory_order_release);
        } else if (bypassed) {
            bypassPreviousState = StateOn;
            state.store(StateBypass, std::memory_order_release);
        } else {
            state.store(StateFadeIn, std::memory_order_release);
        }
        CheckError(AudioOutputUnitStart(unit), "Error starting unit: ");
        sender->setTitle("Stop");
        if (midif.load() != 0) {
            colourTitle(sourceButton, MidiLiveColor);
        }
        return;
    }

    AudioUnit unit = toneUnit.load(std::memory_order_acquire);
    state.store(StateFadeOut, std::memory_order_release);
    waitForFadeOut();
    AudioOutputUnitStop(unit);
    updateLevel(0.0f);
    const bool cycleStillRunning =
        AudioUnitUInt32Property(unit, kAudioOutputUnitProperty_IsRunning, 0) != 0;
    if (!cycleStillRunning) {
        AudioUnitUninitialize(unit);
        AudioComponentInstanceDispose(unit);
    }
    if (midif.load() != 0) {
        colourTitle(sourceButton, MidiArmedColor);
    }
    toneUnit.store(nullptr, std::memory_order_release);
    if (cycleStillRunning) {
        keepForStalledCycle(unit, Trif.exchange(nullptr), Ramf.exchange(nullptr));
    } else {
        delete[] Trif.exchange(nullptr);
        delete[] Ramf.exchange(nullptr);
    }
    sender->setTitle("Play");
}

void RingModulatorViewController::stop() {
    if (toneUnit.load(std::memory_order_acquire) != nullptr && playButton != nullptr) {
        togglePlay(playButton);
    }
}

void RingModulatorViewController::toggleBypass(ButtonModel* sender) {
    if (sender->state() == 1) {
        if (isOn(muteButton)) {
            bypassPreviousState = StateOn;
            state.store(StateSilent, std::memory_order_release);
        } else {
            bypassPreviousState = state.load(std::memory_order_acquire);
            state.store(StateBypass, std::memory_order_release);
        }
        colourTitle(sender, RgbaColor::systemRed());
        return;
    }
    systemLog("Unbypass: previous state = %d\n", bypassPreviousState);
    state.store(isOn(muteButton) ? StateSilent : bypassPreviousState, std::memory_order_release);
    sender->setTitle("Bypass");
}

void RingModulatorViewController::toggleMute(ButtonModel* sender) {
    const bool running = toneUnit.load(std::memory_order_acquire) != nullptr;
    if (sender->state() == 1) {
        if (running) {
            mutePreviousState = state.load(std::memory_order_acquire);
            state.store(StateFadeOut, std::memory_order_release);
        }
        colourTitle(sender, RgbaColor::systemRed());
        if (running) {
            waitForFadeOut();
        }
        return;
    }
    if (running) {
        systemLog("Unmute: previous state = %d\n", mutePreviousState);
        state.store(isOn(bypassButton) ? StateBypass : StateFadeIn, std::memory_order_release);
    }
    sender->setTitle("Mute");
}

}  // namespace tolva
