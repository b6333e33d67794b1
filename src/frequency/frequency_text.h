#pragma once

// The frequency text: the number with one decimal, right-aligned in at least
// four characters, then " Hz" ("440.0 Hz", " 7.0 Hz"). Formatted without the
// C library's printf so the render thread can build it: no allocation, no lock.

#include <cstddef>

#include "platform/realtime.h"

namespace tolva {

inline constexpr size_t kFrequencyTextSize = 48;

// [any] Writes the text of hz into text, NUL-terminated; returns its length.
// The text is printf's "%4.1lf Hz" for inf, NaN and every value below 9e14
// in magnitude (ten times it stays within a double's exact integers): far
// beyond any carrier frequency. Larger values keep the text's form and
// length bound but may differ from printf in their digits.
size_t formatFrequencyText(double hz, char (&text)[kFrequencyTextSize]) TOLVA_NONBLOCKING;

}  // namespace tolva
