#include "frequency/pitch_scales.h"

#include <cmath>

#include "engine/modulator_globals.h"

namespace tolva {
namespace {

bool usableRange(double min, double max) {
    return min > 0.0 && max > 0.0 && min != max;
}

}  // namespace

double Frequency(double note) TOLVA_NONBLOCKING {
    const double e = ((note - 69.0) + bend.load(std::memory_order_relaxed) *
                                          bendd.load(std::memory_order_relaxed)) /
                     12.0;
    return std::pow(2.0, e) * TuningA(A.load(std::memory_order_relaxed));
}

double TuningA(double a) TOLVA_NONBLOCKING {
    return a;
}

double Pitch(double hz) TOLVA_NONBLOCKING {
    const double a = TuningA(A.load(std::memory_order_relaxed));
    if (!(hz > 0.0) || !(a > 0.0) || std::isinf(hz) || std::isinf(a)) {
        return 69.0;
    }
    return std::log2(hz / a) * 12.0 + 69.0;
}

double logfreq(double value, double min, double max) TOLVA_NONBLOCKING {
    if (!usableRange(min, max)) {
        return value;
    }
    return std::pow(max / min, (value - min) / (max - min)) * min;
}

double logval(double freq, double min, double max) TOLVA_NONBLOCKING {
    if (!usableRange(min, max)) {
        return freq;
    }
    if (!(freq > 0.0)) {
        return min;
    }
    return std::log(freq / min) * (max - min) / std::log(max / min) + min;
}

}  // namespace tolva
