#pragma once

// The carrier pass four samples at a time, on x86-64 CPUs with AVX2 and FMA:
// the same output, bit for bit, as plainCarrierPass for every input.

#include <cstdint>

#include "engine/carrier_pass.h"
#include "platform/realtime.h"

namespace tolva {

// [any] Whether this build has the fast pass and this CPU can run it.
bool fastCarrierPassAvailable();

// [render] Same contract as plainCarrierPass. Call it only where
// fastCarrierPassAvailable() is true; elsewhere it runs the plain pass.
void fastCarrierPass(const CarrierPass& pass, float* samples, uint32_t first, uint32_t count,
                     double& phase, float& peak) TOLVA_NONBLOCKING;

// [any] Samples the fast pass has recomputed with the C library since the
// process started, because its own carrier could have rounded differently.
uint64_t fastCarrierPassRecomputedSamples();

}  // namespace tolva
