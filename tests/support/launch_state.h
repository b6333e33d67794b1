#pragma once

// A controller as the application leaves it after launch, wired to a panel,
// ready for Play on whatever device provider the test installs. The MIDI
// client is taken as made, so Play opens audio only.

#include "app/control_panel.h"
#include "engine/modulator_globals.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva::test {

inline void prepareForPlay(RingModulatorViewController& c, ControlPanel& panel) {
    resetModulatorGlobals();
    c.frequency.store(440.0);
    c.mult.store(1.0);
    A.store(440.0);
    pitch.store(69.0);
    midi.store(1);
    panel.connect(c);
}

}  // namespace tolva::test
