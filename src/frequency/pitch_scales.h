#pragma once

// Pitch and slider-scale arithmetic: notes to Hz and back (12 equal semitones,
// note 69 at A), and the logarithmic scale of the frequency slider.
// Plain functions, callable from any thread; they allocate nothing.

#include "platform/realtime.h"

namespace tolva {

// Hz of a fractional MIDI note, with the current pitch bend (bend * bendd semitones).
double Frequency(double note) TOLVA_NONBLOCKING;
// The reference pitch: a itself.
double TuningA(double a) TOLVA_NONBLOCKING;
// The fractional note of a frequency, ignoring the bend. A frequency or an A
// that is not above zero has no note; the result is then 69 (A itself).
double Pitch(double hz) TOLVA_NONBLOCKING;
// The frequency a slider value stands for on the logarithmic scale between
// min and max. Without a usable range (min or max not above zero, or
// min == max) the scale is linear: the value itself.
double logfreq(double value, double min, double max) TOLVA_NONBLOCKING;
// The slider value that shows freq on the logarithmic scale. Without a usable
// range it is freq itself; a frequency not above zero sits at min.
double logval(double freq, double min, double max) TOLVA_NONBLOCKING;

}  // namespace tolva
