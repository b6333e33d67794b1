#pragma once

// The frequency text: the number with one decimal, right-aligned in at least
// four characters, then " Hz" ("440.0 Hz", " 7.0 Hz"). Formatted without the
// C library's printf so the render thread can build it: no allocation, no lock.

#include <cstddef>

#include "platform/realtime.h"

namespace tolva {

inline constexpr size_t kFrequencyTextSize = 48;

// [any] Writes the text of hz into text, NUL-terminated; returns its length.
// The digits are those of printf's "%4.1lf Hz", for every finite value.
size_t formatFrequencyText(double hz, char (&text)[kFrequencyTextSize]) TOLVA_NONBLOCKING;

}  // namespace tolva
