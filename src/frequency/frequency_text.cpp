#include "frequency/frequency_text.h"

#include <cmath>
#include <cstdint>

namespace tolva {
namespace {

size_t put(char (&text)[kFrequencyTextSize], size_t at, const char* s) {
    while (*s != '\0' && at + 1 < kFrequencyTextSize) {
        text[at++] = *s++;
    }
    text[at] = '\0';
    return at;
}

// hz * 10 rounded to the nearest integer as printf rounds the exact binary
// value: ties (exact halves) to even, near-ties by the product's rounding error.
double tenthsOf(double hz) {
    const double t = hz * 10.0;
    const double error = std::fma(hz, 10.0, -t);  // exact: hz * 10 == t + error
    double rounded = std::nearbyint(t);
    if (std::fabs(t - std::trunc(t)) == 0.5 && error != 0.0) {
        rounded = error > 0.0 ? std::ceil(t) : std::floor(t);
    }
    return rounded;
}

}  // namespace

size_t formatFrequencyText(double hz, char (&text)[kFrequencyTextSize]) TOLVA_NONBLOCKING {
    char number[kFrequencyTextSize];
    size_t length = 0;
    if (std::isnan(hz)) {
        length = put(number, 0, std::signbit(hz) ? "-nan" : "nan");
    } else if (std::isinf(hz)) {
        length = put(number, 0, hz < 0 ? "-inf" : "inf");
    } else {
        const bool negative = std::signbit(hz);
        double tenths = tenthsOf(std::fabs(hz));
        // Digits from the right; doubles above 2^53 are whole, so the
        // remainders stay exact.
        char digits[kFrequencyTextSize];
        size_t count = 0;
        const double lastDigit = std::fmod(tenths, 10.0);
        tenths = (tenths - lastDigit) / 10.0;
        digits[count++] = static_cast<char>('0' + static_cast<int>(lastDigit));
        digits[count++] = '.';
        do {
            const double digit = std::fmod(tenths, 10.0);
            digits[count++] = static_cast<char>('0' + static_cast<int>(digit));
            tenths = (tenths - digit) / 10.0;
        } while (tenths >= 1.0 && count + 2 < kFrequencyTextSize - 4);
        if (negative) {
            digits[count++] = '-';
        }
        for (size_t i = 0; i < count; ++i) {
            number[i] = digits[count - 1 - i];
        }
        number[count] = '\0';
        length = count;
    }
    size_t at = 0;
    for (size_t pad = length; pad < 4; ++pad) {
        text[at++] = ' ';
    }
    text[at] = '\0';
    at = put(text, at, number);
    return put(text, at, " Hz");
}

}  // namespace tolva
