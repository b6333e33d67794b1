#pragma once

// Which carrier pass the render cycle runs: the fast one where this CPU and
// this build have it, the plain one otherwise. Both give the same bits; the
// plain one can be forced for comparison, at start-up with the environment
// variable TOLVA_PLAIN_RENDER=1 or at run time from the UI thread.

#include "engine/carrier_pass.h"
#include "platform/realtime.h"

namespace tolva {

// The environment variable that, set to anything but "" or "0" when the
// process starts, makes the render cycle run the plain pass.
inline constexpr const char* kPlainRenderVariable = "TOLVA_PLAIN_RENDER";

// [render] The pass for this cycle.
CarrierPassFn chosenCarrierPass() TOLVA_NONBLOCKING;

// [UI] Whether the render cycle runs the fast pass.
bool fastCarrierPassChosen();

// [UI] Chooses the fast pass (where it is available) or the plain one, from
// the next cycle on. Returns whether the fast pass is now chosen.
bool chooseFastCarrierPass(bool fast);

}  // namespace tolva
