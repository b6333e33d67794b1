// The source button hands the carrier frequency between the panel and MIDI
// notes without a jump, and shows the choice by the colour of its title.

#include "engine/ring_modulator_view_controller.h"
#include "frequency/pitch_scales.h"
#include "midi/source_button_colors.h"

namespace tolva {

void RingModulatorViewController::sourceButtonClicked(ButtonModel* sender) {
    if (toneUnit.load() != nullptr) {
        if (midif.load() == 1) {
            midif.store(0, std::memory_order_release);
            sender->setTitle("MIDI");
        } else {
            // The note that sounds now, stored before MIDI takes over, so no
            // cycle runs in MIDI mode with an older note.
            pitch.store(Pitch(frequency.load()), std::memory_order_relaxed);
            midif.store(1, std::memory_order_release);
            sender->setAttributedTitle(sender->attributedTitle().withForeground(MidiLiveColor));
        }
        return;
    }
    midif.store(midif.load() == 0 ? 1 : 0, std::memory_order_release);
    if (sender->state() == 1) {
        sender->setAttributedTitle(sender->attributedTitle().withForeground(MidiArmedColor));
    } else {
        sender->setTitle("MIDI");
    }
}

}  // namespace tolva
