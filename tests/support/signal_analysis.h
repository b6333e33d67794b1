#pragma once

// What a listener would hear: tones made and measured.

#include <cstddef>
#include <vector>

namespace tolva::test {

// amplitude * sin(2*pi*hz*i/rate) for i = 0..frames-1.
std::vector<float> sineTone(double hz, double rate, size_t frames, double amplitude = 0.5);

// Amplitude of the component at hz, measured over the whole signal with a Hann
// window (a pure sine of amplitude a measures about a).
double toneAmplitude(const std::vector<float>& signal, double hz, double rate);

float peakMagnitude(const std::vector<float>& signal);

}  // namespace tolva::test
