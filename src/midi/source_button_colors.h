#pragma once

#include "platform/ui/title_color.h"

namespace tolva {

// The source button's title: MIDI drives the running modulator's carrier.
inline constexpr RgbaColor MidiLiveColor{0.1, 0.9, 0.7, 1.0};
// MIDI is selected while the modulator is stopped: it drives the carrier at the next Play.
inline constexpr RgbaColor MidiArmedColor{0.2, 0.6, 0.55, 1.0};

}  // namespace tolva
