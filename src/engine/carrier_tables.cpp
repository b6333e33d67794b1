// The triangle and ramp carrier tables: one period of a few harmonics each,
// sampled at `cycle` points, and their lookup by phase.

#include <cmath>

#include "engine/carrier_tables.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva {
namespace {

struct Harmonic {
    double multiple;  // k times 2*pi, as the double k * 6.283185307179586
    double coefficient;
};

constexpr Harmonic kTriangle[] = {
    {6.283185307179586, 0.93208},
    {18.84955592153876, 0.103565},
    {31.41592653589793, 0.037284},
    {43.982297150257104, 0.019022},
};

constexpr Harmonic kRamp[] = {
    {6.283185307179586, 0.93208},   {12.566370614359172, 0.23302},  {18.84955592153876, 0.103565},
    {25.132741228718345, 0.05825},  {31.41592653589793, 0.037284},  {37.69911184307752, 0.02589111},
    {43.982297150257104, 0.019022}, {50.26548245743669, 0.0145639},
};

template <size_t K>
float tableEntry(int i, double rate, const Harmonic (&harmonics)[K]) {
    double sum = 0.0;
    for (const Harmonic& h : harmonics) {
        const auto argument = static_cast<float>(static_cast<double>(i) * h.multiple / rate);
        sum += static_cast<double>(std::sin(argument)) * h.coefficient;
    }
    return static_cast<float>(sum);
}

}  // namespace

void RingModulatorViewController::fillTables() {
    const double rate = R.load(std::memory_order_acquire);
    float* trif = Trif.load(std::memory_order_acquire);
    float* ramf = Ramf.load(std::memory_order_acquire);
    const int32_t length = cycle.load(std::memory_order_acquire);
    if (trif == nullptr || ramf == nullptr || !(rate >= 1.0)) {
        return;
    }
    const double limit = std::trunc(rate);
    for (int i = 0; static_cast<double>(i) < limit && i < length; ++i) {
        trif[i] = tableEntry(i, rate, kTriangle);
        ramf[i] = tableEntry(i, rate, kRamp);
    }
}

double RingModulatorViewController::tri(double phaseRadians) const TOLVA_NONBLOCKING {
    return carrierTableLookup(Trif.load(std::memory_order_relaxed),
                              cycle.load(std::memory_order_relaxed), phaseRadians);
}

double RingModulatorViewController::ram(double phaseRadians) const TOLVA_NONBLOCKING {
    return carrierTableLookup(Ramf.load(std::memory_order_relaxed),
                              cycle.load(std::memory_order_relaxed), phaseRadians);
}

RingModulatorViewController::~RingModulatorViewController() {
    delete[] Trif.exchange(nullptr);
    delete[] Ramf.exchange(nullptr);
}

}  // namespace tolva
