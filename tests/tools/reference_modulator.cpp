#include "reference_modulator.h"

#include <algorithm>
#include <cmath>

namespace tolva::test {
namespace {

constexpr double kTau = 6.283185307179586;

// One period of harmonics k with coefficients a[k-1] at `length` points.
std::vector<float> harmonicTable(double rate, const std::vector<double>& a, int step) {
    std::vector<float> table(static_cast<size_t>(rate));
    for (size_t i = 0; i < table.size(); ++i) {
        double sum = 0.0;
        for (size_t k = 1; k <= a.size(); k += static_cast<size_t>(step)) {
            const double multiple = static_cast<double>(k) * kTau;
            const float arg = static_cast<float>(static_cast<double>(i) * multiple / rate);
            sum += static_cast<double>(sinf(arg)) * a[k - 1];
        }
        table[i] = static_cast<float>(sum);
    }
    return table;
}

double lookup(const std::vector<float>& table, double phase) {
    const auto n = static_cast<int32_t>(table.size());
    auto index = static_cast<int32_t>(static_cast<double>(n) * phase / kTau);
    return static_cast<double>(table[static_cast<size_t>(index >= n ? index - n : index)]);
}

}  // namespace

std::vector<float> referenceModulate(const std::vector<float>& input, double rate,
                                     const OfflineRenderSettings& s) {
    const std::vector<double> coefficients{0.93208,  0.23302,    0.103565, 0.05825,
                                           0.037284, 0.02589111, 0.019022, 0.0145639};
    const std::vector<float> tri = harmonicTable(rate, coefficients, 2);
    const std::vector<float> ramp = harmonicTable(rate, coefficients, 1);
    const float g = 0.70710677f;
    const double target = s.frequency * (kTau / rate);
    double phase = 0.0, previousIncrement = 0.0, previousDepth = 0.0;

    std::vector<float> out(input.size());
    for (size_t start = 0; start < input.size(); start += s.blockFrames) {
        const size_t frames = std::min<size_t>(s.blockFrames, input.size() - start);
        const auto nf = static_cast<float>(frames);
        for (size_t i = 0; i < frames; ++i) {
            const float x = input[start + i];
            const float e = start == 0 ? (g * static_cast<float>(i)) / nf : g;
            const auto di = static_cast<double>(i);
            const auto d = static_cast<float>(di * (s.depth - previousDepth) / nf + previousDepth);
            const auto inc = static_cast<float>(di * (target - previousIncrement) / nf);
            const double dry = 1.0 - static_cast<double>(d);
            double y;
            if (s.wave == WaveSelf) {
                const double sq = static_cast<double>((d * x) * e);
                y = x > 0 ? (sq + dry) * static_cast<double>(x)
                          : (dry - sq) * static_cast<double>(x);
            } else {
                double c = s.wave == WaveSine       ? std::sin(phase)
                           : s.wave == WaveTriangle ? lookup(tri, phase)
                                                    : lookup(ramp, phase);
                if (s.diode) {
                    c = (c > 0 ? 1.0 : -1.0) * std::pow(std::fabs(c), s.exponent);
                }
                y = static_cast<double>(e) * (c * static_cast<double>(d * x)) +
                    static_cast<double>(x) * dry;
            }
            out[start + i] = static_cast<float>(y);
            phase = static_cast<double>(inc) + (phase + previousIncrement);
            if (phase > kTau) {
                phase -= kTau;
            }
        }
        previousIncrement = target;
        previousDepth = s.depth;
    }
    return out;
}

}  // namespace tolva::test
