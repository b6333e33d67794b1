#pragma once

#include <cmath>

#include "platform/realtime.h"

namespace tolva {

// The diode curve for one exponent: x^exponent, odd-symmetric, -0.0 at 0.
inline double diodeCurve(double x, double exponent) TOLVA_NONBLOCKING {
    if (x > 0) {
        return std::pow(x, exponent);
    }
    return -1.0 * std::pow(std::fabs(x), exponent);
}

}  // namespace tolva
