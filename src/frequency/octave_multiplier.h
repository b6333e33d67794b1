#pragma once

// The octave multiplier: five segments, x1/4 to x4. The automatic octave steps
// never leave that range, and the selected segment always shows `mult`.

#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

inline constexpr double kOctaveMultipliers[] = {0.25, 0.5, 1.0, 2.0, 4.0};
inline constexpr int64_t kOctaveSegments = 5;
inline constexpr double kLowestMult = 0.25;
inline constexpr double kHighestMult = 4.0;

// The multiplier of a segment; 0 for an index outside 0..4.
inline double multForSegment(int64_t segment) TOLVA_NONBLOCKING {
    return segment >= 0 && segment < kOctaveSegments ? kOctaveMultipliers[segment] : 0.0;
}

// The segment that shows a multiplier; -1 when none does.
inline int64_t segmentForMult(double mult) TOLVA_NONBLOCKING {
    for (int64_t s = 0; s < kOctaveSegments; ++s) {
        if (kOctaveMultipliers[s] == mult) {
            return s;
        }
    }
    return -1;
}

}  // namespace tolva
