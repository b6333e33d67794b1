#pragma once

#include <cmath>
#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

inline constexpr double kCarrierTwoPi = 6.283185307179586;

// The entry of a carrier table of `length` floats for a phase in radians,
// without interpolation. The index is the phase's place in the period,
// truncated. A phase of 2*pi or more, and one just below 2*pi whose place
// rounds up to a whole period, wraps into the period (entry 0 is the value at
// 2*pi); a negative or NaN phase reads entry 0: no phase reads outside the
// table. An empty or missing table reads as silence.
inline double carrierTableLookup(const float* table, int32_t length,
                                 double phase) TOLVA_NONBLOCKING {
    if (table == nullptr || length <= 0) {
        return 0.0;
    }
    const double size = static_cast<double>(length);
    double position = size * phase / kCarrierTwoPi;
    if (!(position >= 0.0)) {
        return static_cast<double>(table[0]);
    }
    if (position >= size) {
        position -= size * std::floor(position / size);
        if (!(position < size && position >= 0.0)) {
            position = 0.0;
        }
    }
    int32_t index = static_cast<int32_t>(position);
    if (index >= length) {
        index = length - 1;
    }
    return static_cast<double>(table[index]);
}

}  // namespace tolva
