#pragma once

// The panel's controls as models: their kinds, titles, ranges and starting
// values, and the wiring of each control to its outlet and its action on the
// controller. The Qt window draws these models; tests drive them directly.

#include "engine/ring_modulator_view_controller.h"

namespace tolva {

// Ranges and starting values of the panel.
inline constexpr double kFrequencySliderMin = 55.0;
inline constexpr double kFrequencySliderMax = 1760.0;
inline constexpr double kFrequencySliderStart = 440.0;
inline constexpr double kDepthStart = 1.0;
inline constexpr double kNonlinearityMin = 1.0;
inline constexpr double kNonlinearityMax = 4.0;
inline constexpr double kTuningMin = 435.0;
inline constexpr double kTuningMax = 445.0;
inline constexpr double kTuningStep = 0.5;
inline constexpr double kTuningStart = 440.0;
inline constexpr float kLevelSteps = 6.0f;
inline constexpr int64_t kMultSegmentStart = 2;  // x1
inline constexpr int64_t kWaveSegmentStart = 1;  // sine

struct ControlPanel {
    ControlPanel();

    // [UI] Points the controller's outlets at these controls and sends each
    // control's action to its handler.
    void connect(RingModulatorViewController& controller);

    SliderModel frequencySlider{kFrequencySliderMin, kFrequencySliderMax, kFrequencySliderStart};
    SliderModel depthSlider{0.0, 1.0, kDepthStart};
    ButtonModel playButton{ButtonModel::Kind::Push, "Play"};
    TextFieldModel frequencyTextField;
    ButtonModel bypassButton{ButtonModel::Kind::OnOff, "Bypass"};
    ButtonModel muteButton{ButtonModel::Kind::OnOff, "Mute"};
    SegmentedControlModel segCtrlMult{5, kMultSegmentStart};
    SegmentedControlModel segCtrlCarrWave{4, kWaveSegmentStart};
    ButtonModel centerButton{ButtonModel::Kind::Push, "A"};
    ButtonModel linlogButton{ButtonModel::Kind::OnOff, "Lin."};
    ButtonModel sourceButton{ButtonModel::Kind::OnOff, "MIDI"};
    ButtonModel diodeButton{ButtonModel::Kind::OnOff, "Diode"};
    SliderModel nonlSlider{kNonlinearityMin, kNonlinearityMax, kNonlinearityMin};
    StepperModel tuningStepper{kTuningMin, kTuningMax, kTuningStep, kTuningStart};
    PopUpButtonModel midiPopupButton;
    LevelIndicatorModel levelIndicator{kLevelSteps};
    ButtonModel testButton{ButtonModel::Kind::Push, "Test"};
};

}  // namespace tolva
