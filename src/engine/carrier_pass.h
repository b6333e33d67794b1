#pragma once

// The carrier pass of one render cycle: everything it takes from the cycle,
// read once at the cycle's start, and the plain pass that defines its sound.

#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

struct CarrierPass {
    int32_t
        envelopeState;  // StateSilent .. StateFadeOut; any other state passes the samples through
    uint32_t frames;    // N, the cycle's length: the ramps' divisor
    int32_t wave;       // WaveSelf .. WaveRamp; any other value passes the samples through
    bool diode;         // carrier through the diode curve (not for WaveSelf)
    double previousDepth;
    double targetDepth;
    double previousIncrement;  // radians per sample
    double targetIncrement;
    const float* table;  // the carrier table `wave` names (triangle or ramp)
    int32_t tableLength;
};

// [render] Modulates `count` samples in place, frames first .. first+count-1
// of the cycle, advancing the running phase and the peak of the outputs.
// Works through any count in chunks of its own stack scratch.
using CarrierPassFn = void (*)(const CarrierPass& pass, float* samples, uint32_t first,
                               uint32_t count, double& phase, float& peak) TOLVA_NONBLOCKING;

// [render] One modulated sample: the input x at depth d and envelope e
// against the carrier value c (already through the diode curve when `diode`).
// The plain pass computes every sample with it; a faster pass computes with
// it whatever sample it cannot prove.
float modulatedSample(float x, float d, float e, double c, bool diode) TOLVA_NONBLOCKING;

// [render] The pass as the formulas give it, one sample after the other:
// the reference every faster pass must match bit for bit.
void plainCarrierPass(const CarrierPass& pass, float* samples, uint32_t first, uint32_t count,
                      double& phase, float& peak) TOLVA_NONBLOCKING;

}  // namespace tolva
