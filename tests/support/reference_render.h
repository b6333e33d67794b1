#pragma once

// The render cycle's arithmetic written out plainly, one sample at a time
// with whole-cycle scratch arrays, to check the real cycle against bit for
// bit. It reads nothing shared: every setting comes in a snapshot.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace tolva::test {

struct ReferenceSettings {
    int32_t state = 0;
    int32_t wave = 1;
    int32_t diode = 0;
    double nonl = 1.0;
    double depth = 0.0;
    double previousDepth = 0.0;
    double frequency = 0.0;
    double twoPiNorm = 0.0;
    double previousIncrement = 0.0;
    double phase = 0.0;
    const float* trif = nullptr;
    const float* ramf = nullptr;
    int32_t cycle = 0;
};

struct ReferenceResult {
    std::vector<float> out;
    int32_t state = 0;
    double phase = 0.0;
    double previousIncrement = 0.0;
    double previousDepth = 0.0;
    float peak = 0.0f;
};

inline double referenceDiode(double x, double exponent) {
    if (x > 0) {
        return std::pow(x, exponent);
    }
    return -1.0 * std::pow(std::fabs(x), exponent);
}

inline double referenceLookup(const float* table, int32_t cycle, double phase) {
    auto index = static_cast<int32_t>(static_cast<double>(cycle) * phase / 6.283185307179586);
    if (index >= cycle) {
        index %= cycle;
    }
    return static_cast<double>(table[index]);
}

// The meter reading for a cycle's peak.
inline float referenceMeter(float peak) {
    const auto p = static_cast<double>(peak);
    const double thresholds[] = {0.5, 0.2, 0.08, 0.03, 0.007, 0.002};
    for (int k = 0; k < 6; ++k) {
        if (p > thresholds[k]) {
            return static_cast<float>(6 - k);
        }
    }
    return 0.0f;
}

inline ReferenceResult referenceRender(const ReferenceSettings& s, const std::vector<float>& in) {
    const uint32_t n = static_cast<uint32_t>(in.size());
    const uint32_t gBits = 0x3F3504F3u;
    float g;
    std::memcpy(&g, &gBits, sizeof g);
    const float nf = static_cast<float>(n);
    const double twoPi = 6.283185307179586;

    // An envelope that is never filled must never be read: NaN would show it.
    std::vector<float> envelope(n, std::numeric_limits<float>::quiet_NaN());
    std::vector<float> depthRamp(n);
    std::vector<float> incrementRamp(n);

    ReferenceResult r;
    r.state = s.state;
    switch (s.state) {
        case 0:
            for (uint32_t i = 0; i < n; ++i)
                envelope[i] = 0.0f;
            break;
        case 1:
            for (uint32_t i = 0; i < n; ++i)
                envelope[i] = (g * static_cast<float>(i)) / nf;
            r.state = 2;
            break;
        case 2:
            for (uint32_t i = 0; i < n; ++i)
                envelope[i] = g;
            break;
        case 3:
            for (uint32_t i = 0; i < n; ++i)
                envelope[i] = (g * static_cast<float>(n - i)) / nf;
            r.state = 0;
            break;
        default:
            break;
    }
    const bool bypass = s.state < 0 || s.state > 3;

    const double targetDepth = s.depth;
    const double depthDelta = targetDepth - s.previousDepth;
    for (uint32_t i = 0; i < n; ++i) {
        depthRamp[i] = static_cast<float>(
            (static_cast<double>(i) * depthDelta) / static_cast<double>(nf) + s.previousDepth);
    }
    const double targetIncrement = s.frequency * s.twoPiNorm;
    const double incrementDelta = targetIncrement - s.previousIncrement;
    for (uint32_t i = 0; i < n; ++i) {
        incrementRamp[i] =
            static_cast<float>((static_cast<double>(i) * incrementDelta) / static_cast<double>(nf));
    }

    double phase = s.phase;
    float peak = 0.0f;
    r.out.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        float x = in[i];
        double c = 0.0;
        if (s.wave == 2) {
            c = referenceLookup(s.trif, s.cycle, phase);
        } else if (s.wave == 3) {
            c = referenceLookup(s.ramf, s.cycle, phase);
        }
        if (!bypass) {
            const float d = depthRamp[i];
            const float e = envelope[i];
            double y;
            if (s.wave == 0) {
                const auto sq = static_cast<double>((d * x) * e);
                if (x > 0) {
                    y = (sq + (1.0 - static_cast<double>(d))) * static_cast<double>(x);
                } else {
                    y = ((1.0 - static_cast<double>(d)) - sq) * static_cast<double>(x);
                }
            } else {
                if (s.wave == 1) {
                    c = std::sin(phase);
                }
                const auto m = static_cast<double>(d * x);
                const double dry = static_cast<double>(x) * (1.0 - static_cast<double>(d));
                if (s.diode != 0) {
                    y = static_cast<double>(e) * (referenceDiode(c, s.nonl) * m) + dry;
                } else {
                    y = static_cast<double>(e) * (m * c) + dry;
                }
            }
            x = static_cast<float>(y);
        }
        r.out[i] = x;
        if (std::fabs(x) > peak) {
            peak = std::fabs(x);
        }
        phase = static_cast<double>(incrementRamp[i]) + (phase + s.previousIncrement);
        if (phase > twoPi) {
            phase -= twoPi;
        }
    }
    r.phase = phase;
    r.previousIncrement = targetIncrement;
    r.previousDepth = targetDepth;
    r.peak = peak;
    return r;
}

}  // namespace tolva::test
