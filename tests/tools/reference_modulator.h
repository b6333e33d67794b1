#pragma once

// The modulator's sound written out plainly, one sample after another over a
// whole signal, as the offline renderer should produce it: cycles of the
// block length, the first one fading in, depth and frequency gliding up from
// 0 within it. Independent of the engine: it builds its own carrier tables.

#include <vector>

#include "offline_render.h"

namespace tolva::test {

std::vector<float> referenceModulate(const std::vector<float>& input, double rate,
                                     const OfflineRenderSettings& settings);

}  // namespace tolva::test
