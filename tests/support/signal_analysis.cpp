#include "support/signal_analysis.h"

#include <cmath>

namespace tolva::test {

std::vector<float> sineTone(double hz, double rate, size_t frames, double amplitude) {
    std::vector<float> out(frames);
    for (size_t i = 0; i < frames; ++i) {
        out[i] = static_cast<float>(amplitude *
                                    std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
    }
    return out;
}

double toneAmplitude(const std::vector<float>& signal, double hz, double rate) {
    const size_t count = signal.size();
    if (count < 2) {
        return 0.0;
    }
    double re = 0.0;
    double im = 0.0;
    double windowSum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) /
                                              static_cast<double>(count - 1));
        const double angle = 2.0 * M_PI * hz * static_cast<double>(i) / rate;
        re += w * signal[i] * std::cos(angle);
        im += w * signal[i] * std::sin(angle);
        windowSum += w;
    }
    return 2.0 * std::sqrt(re * re + im * im) / windowSum;
}

float peakMagnitude(const std::vector<float>& signal) {
    float peak = 0.0f;
    for (float v : signal) {
        peak = std::fmax(peak, std::fabs(v));
    }
    return peak;
}

}  // namespace tolva::test
