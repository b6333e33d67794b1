#pragma once

// The audio device going away while the modulator runs: a JACK server that
// shut down or died. The window's timer asks on every tick; the modulator
// then returns to stopped through Stop's steps, and the user is told.

#include "engine/ring_modulator_view_controller.h"

namespace tolva {

inline constexpr const char* kDeviceLostTitle = "Tolva: Audio Device Lost";
inline constexpr const char* kDeviceLostMessage =
    "The audio server went away while Tolva was playing, and Tolva has stopped. "
    "Press Play once a server is running again.";

// [UI] When the running unit's device has gone away: Stop (with no fade to
// wait for), a notice to the user, and true. False, doing nothing, otherwise.
bool stopAfterDeviceLoss(RingModulatorViewController& controller);

}  // namespace tolva
