#pragma once

// The one controller of the modulator: its state, its outlets to the panel's
// controls, and every handler. The class is declared here; its member
// functions are defined beside the subsystem they belong to:
//   engine/     carrier tables, render cycle, level meter
//   device/     device setup, Play/Stop, Bypass, Mute
//   frequency/  frequency controls and the MIDI frequency follow
//   midi/       MIDI connection, channel choice, frequency source switch
//   app/        depth, carrier, diode and nonlinearity controls, test button
//
// Threads: [UI] handlers run on the user-interface thread; [render] methods
// are called by the render cycle and touch controls only through their
// wait-free setters.

#include <cstdint>

#include "engine/modulator_globals.h"
#include "platform/audio/audio_unit.h"
#include "platform/midi/midi_types.h"
#include "platform/realtime.h"
#include "platform/ui/button_model.h"
#include "platform/ui/level_indicator_model.h"
#include "platform/ui/popup_button_model.h"
#include "platform/ui/segmented_control_model.h"
#include "platform/ui/slider_model.h"
#include "platform/ui/stepper_model.h"
#include "platform/ui/text_field_model.h"

namespace tolva {

// Transport and envelope states.
inline constexpr int32_t StateSilent = 0;
inline constexpr int32_t StateFadeIn = 1;
inline constexpr int32_t StateOn = 2;
inline constexpr int32_t StateFadeOut = 3;
inline constexpr int32_t StateBypass = 4;

// Carrier selectors.
inline constexpr int32_t WaveSelf = 0;
inline constexpr int32_t WaveSine = 1;
inline constexpr int32_t WaveTriangle = 2;
inline constexpr int32_t WaveRamp = 3;

inline constexpr double kTwoPi = 6.283185307179586;

class RingModulatorViewController {
  public:
    RingModulatorViewController() = default;
    ~RingModulatorViewController();
    RingModulatorViewController(const RingModulatorViewController&) = delete;
    RingModulatorViewController& operator=(const RingModulatorViewController&) = delete;

    // ---- State. Every field starts at zero. ----
    LockFreeAtomic<AudioComponentInstance> toneUnit{nullptr};  // non-null exactly while running
    MIDIClientRef midiclient = 0;                              // [UI]
    MIDIPortRef midiin = 0;                                    // [UI]
    LockFreeAtomic<double> frequency{0.0};                     // Hz, carrier frequency
    LockFreeAtomic<double> depth{0.0};                         // target depth, 0..1
    LockFreeAtomic<double> previous_depth{0.0};                // depth reached by the last cycle
    double sampleRate = 0.0;                                   // [UI] copy of R
    LockFreeAtomic<double> TWO_PI_NORM{0.0};                   // 2*pi / R
    LockFreeAtomic<int32_t> cycle{0};                          // carrier table length
    LockFreeAtomic<double> phase{0.0};                         // radians
    LockFreeAtomic<double> previous_phase_increment{0.0};      // reached by the last cycle
    LockFreeAtomic<int32_t> state{StateSilent};
    LockFreeAtomic<double> mult{0.0};      // octave multiplier
    LockFreeAtomic<float*> Ramf{nullptr};  // ramp table, `cycle` floats
    LockFreeAtomic<float*> Trif{nullptr};  // triangle table, `cycle` floats
    LockFreeAtomic<int32_t> wave{WaveSelf};
    LockFreeAtomic<int64_t> midif{0};    // 1 while MIDI notes drive the carrier
    LockFreeAtomic<int32_t> diode{0};    // 1: carrier through the diode curve
    LockFreeAtomic<uint8_t> logview{0};  // 1: logarithmic slider scale
    // Set before the unit starts, read by the render cycle: the start of the
    // device orders it before the first cycle.
    AudioStreamBasicDescription streamFormat{};
    // [render] The last cycle played modulated sound (a fade-in or on); false
    // at the start of every run.
    LockFreeAtomic<bool> modulatedLastCycle{false};

    // The states that releasing Bypass restores, and that Mute saw when it
    // was engaged (the latter is only reported). [UI]
    int32_t bypassPreviousState = StateSilent;
    int32_t mutePreviousState = StateSilent;

    // ---- Outlets: the panel's controls. Set once, before the first Play. ----
    SliderModel* frequencySlider = nullptr;
    SliderModel* depthSlider = nullptr;
    ButtonModel* playButton = nullptr;
    TextFieldModel* frequencyTextField = nullptr;
    ButtonModel* bypassButton = nullptr;
    ButtonModel* muteButton = nullptr;
    SegmentedControlModel* segCtrlMult = nullptr;
    SegmentedControlModel* segCtrlCarrWave = nullptr;
    ButtonModel* centerButton = nullptr;
    ButtonModel* linlogButton = nullptr;
    ButtonModel* sourceButton = nullptr;
    ButtonModel* diodeButton = nullptr;
    SliderModel* nonlSlider = nullptr;
    StepperModel* tuningStepper = nullptr;
    PopUpButtonModel* midiPopupButton = nullptr;
    LevelIndicatorModel* levelIndicator = nullptr;
    ButtonModel* testButton = nullptr;

    void setFrequencySlider(SliderModel* c) { frequencySlider = c; }
    void setDepthSlider(SliderModel* c) { depthSlider = c; }
    void setPlayButton(ButtonModel* c) { playButton = c; }
    void setFrequencyTextField(TextFieldModel* c) { frequencyTextField = c; }
    void setBypassButton(ButtonModel* c) { bypassButton = c; }
    void setMuteButton(ButtonModel* c) { muteButton = c; }
    void setSegCtrlMult(SegmentedControlModel* c) { segCtrlMult = c; }
    void setSegCtrlCarrWave(SegmentedControlModel* c) { segCtrlCarrWave = c; }
    void setCenterButton(ButtonModel* c) { centerButton = c; }
    void setLinlogButton(ButtonModel* c) { linlogButton = c; }
    void setSourceButton(ButtonModel* c) { sourceButton = c; }
    void setDiodeButton(ButtonModel* c) { diodeButton = c; }
    void setNonlSlider(SliderModel* c) { nonlSlider = c; }
    void setTuningStepper(StepperModel* c) { tuningStepper = c; }
    void setMidiPopupButton(PopUpButtonModel* c) { midiPopupButton = c; }
    void setLevelIndicator(LevelIndicatorModel* c) { levelIndicator = c; }
    void setTestButton(ButtonModel* c) { testButton = c; }

    // ---- engine/ ----
    // [UI] Fills Trif and Ramf (cycle entries each) for the current R.
    void fillTables();
    // [render] The table entry for a phase in radians; the index is kept inside the table.
    double tri(double phase) const TOLVA_NONBLOCKING;
    double ram(double phase) const TOLVA_NONBLOCKING;
    // [render, UI] Shows a cycle's peak on the level meter, 0..6.
    void updateLevel(float peak) TOLVA_NONBLOCKING;

    // ---- device/ ----
    // [UI] Opens and configures a new device unit and seeds the state from the panel.
    void createToneUnit();
    // [UI] Play when stopped, Stop when running.
    void togglePlay(ButtonModel* sender);
    // [UI] Stop if running.
    void stop();
    // [UI]
    void toggleBypass(ButtonModel* sender);
    // [UI]
    void toggleMute(ButtonModel* sender);
    // [UI] Waits until the render thread has taken up a fade-out: true when it
    // did, false when the device stopped calling back (the wait is bounded).
    bool waitForFadeOut();

    // ---- frequency/ ----
    // [UI]
    void sliderChanged(SliderModel* sender);
    void tuningStepperClicked(StepperModel* sender);
    void segCtrlMultClicked(SegmentedControlModel* sender);
    void linlogButtonClicked(ButtonModel* sender);
    void centerButtonClicked(ButtonModel* sender);
    void updateFrequencyControls();
    void updateFrequency();
    // [render] Retunes the carrier to the held note and bend, and shows it.
    void midiFreqChanged() TOLVA_NONBLOCKING;

    // ---- midi/ ----
    // [UI] Creates the MIDI client and port and connects every source.
    void createMIDI();
    // [UI]
    void midiPopupChanged(PopUpButtonModel* sender);
    // [UI]
    void sourceButtonClicked(ButtonModel* sender);

    // ---- app/ ----
    // [UI]
    void depthChanged(SliderModel* sender);
    void segCtrlWaveClicked(SegmentedControlModel* sender);
    void updateWave();
    void diodeButtonClicked(ButtonModel* sender);
    void nonlChanged(SliderModel* sender);
    void testButtonClicked(ButtonModel* sender);
    // [render] Show the values MIDI controllers 1 and 11 have set.
    void midiDepthChanged() TOLVA_NONBLOCKING;
    void midiNonlChanged() TOLVA_NONBLOCKING;
};

// [render] The render callback of the device unit; the context is the controller.
OSStatus RenderRMTone(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                      const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber, UInt32 inNumberFrames,
                      AudioBufferList* ioData) TOLVA_NONBLOCKING;

// [render] The diode curve: x^nonl, odd-symmetric.
double da(double x) TOLVA_NONBLOCKING;

// The on-level of the envelope: the float nearest 1/sqrt(2).
inline constexpr float kEnvelopeOnLevel = 0.70710677f;

}  // namespace tolva
