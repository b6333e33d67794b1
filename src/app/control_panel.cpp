#include "app/control_panel.h"

#include <string>
#include <vector>

namespace tolva {
namespace {

std::vector<PopUpButtonModel::Item> channelItems() {
    std::vector<PopUpButtonModel::Item> items;
    items.push_back({"All channels", false});
    items.push_back({"", true});
    for (int ch = 1; ch <= 16; ++ch) {
        items.push_back({"Channel " + std::to_string(ch), false});
    }
    return items;
}

}  // namespace

ControlPanel::ControlPanel() : midiPopupButton(channelItems()) {
    frequencyTextField.setStringValue("440.0 Hz");
}

void ControlPanel::connect(RingModulatorViewController& c) {
    c.setFrequencySlider(&frequencySlider);
    c.setDepthSlider(&depthSlider);
    c.setPlayButton(&playButton);
    c.setFrequencyTextField(&frequencyTextField);
    c.setBypassButton(&bypassButton);
    c.setMuteButton(&muteButton);
    c.setSegCtrlMult(&segCtrlMult);
    c.setSegCtrlCarrWave(&segCtrlCarrWave);
    c.setCenterButton(&centerButton);
    c.setLinlogButton(&linlogButton);
    c.setSourceButton(&sourceButton);
    c.setDiodeButton(&diodeButton);
    c.setNonlSlider(&nonlSlider);
    c.setTuningStepper(&tuningStepper);
    c.setMidiPopupButton(&midiPopupButton);
    c.setLevelIndicator(&levelIndicator);
    c.setTestButton(&testButton);

    RingModulatorViewController* self = &c;
    frequencySlider.setAction([self](SliderModel& s) { self->sliderChanged(&s); });
    depthSlider.setAction([self](SliderModel& s) { self->depthChanged(&s); });
    playButton.setAction([self](ButtonModel& b) { self->togglePlay(&b); });
    bypassButton.setAction([self](ButtonModel& b) { self->toggleBypass(&b); });
    muteButton.setAction([self](ButtonModel& b) { self->toggleMute(&b); });
    segCtrlMult.setAction([self](SegmentedControlModel& s) { self->segCtrlMultClicked(&s); });
    segCtrlCarrWave.setAction([self](SegmentedControlModel& s) { self->segCtrlWaveClicked(&s); });
    centerButton.setAction([self](ButtonModel& b) { self->centerButtonClicked(&b); });
    linlogButton.setAction([self](ButtonModel& b) { self->linlogButtonClicked(&b); });
    sourceButton.setAction([self](ButtonModel& b) { self->sourceButtonClicked(&b); });
    diodeButton.setAction([self](ButtonModel& b) { self->diodeButtonClicked(&b); });
    nonlSlider.setAction([self](SliderModel& s) { self->nonlChanged(&s); });
    tuningStepper.setAction([self](StepperModel& s) { self->tuningStepperClicked(&s); });
    midiPopupButton.setAction([self](PopUpButtonModel& p) { self->midiPopupChanged(&p); });
    testButton.setAction([self](ButtonModel& b) { self->testButtonClicked(&b); });
}

}  // namespace tolva
