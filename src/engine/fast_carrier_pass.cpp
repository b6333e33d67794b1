// The carrier pass four samples at a time, with AVX2, giving the plain pass's
// output bit for bit.
//
// What stays as it is: the running phase is advanced one sample after the
// other with the plain pass's very operations (a serial chain: its additions
// cannot be regrouped without changing the bits). When the increment ramp is
// all zero it is left out of the chain: x + (-0.0) is x for every x, and
// x + (+0.0) is x for every x but -0.0, which (phase + previous increment)
// can only be when both are -0.0, so a previous increment of -0.0 keeps the
// addition. The ramps, the output formulas and the peak are plain IEEE double
// and float arithmetic, which gives the same bits four lanes wide as one at a
// time (the build forbids contracting them into fused multiply-adds). Table
// indices are formed with the lookup's own operations; a phase the lookup
// would wrap or clamp in any way other than a whole period reads through the
// lookup itself.
//
// What is approximated and then proven: the sine and the diode's power come
// from short vector approximations (sineOf, log2Of, exp2Of below, each with
// its bound) instead of glibc's sin and pow (within 1 ulp). The output y is a
// monotone function of the carrier value: y = e*(m*c) + dry, or
// e*(da*m) + dry, rounds a product by a factor of fixed sign (e >= 0), adds a
// constant and rounds again, and rounding is monotone. So if glibc's value
// lies within a relative distance r of the fast value v, it lies between
// v*(1-r) and v*(1+r), and its output between the outputs of those two ends
// (of the same sign as v, so even a zero output keeps its sign). Each group
// of four computes both ends; where their float outputs have the same bits,
// glibc's value gives those bits too. Where they differ (about one sample in
// a million), or where a bound does not apply (a carrier of zero, below
// 2^-1000 or not finite, a phase beyond 16, an exponent outside [1, 64], a
// power outside [2^-1000, 2^1000]), that sample is recomputed with glibc's
// sin and pow, as the plain pass computes it.
//
// The distances, with u = 2^-52 (for a normal double v, one ulp is at most
// u*|v|):
// - Sine: sineOf is within 8u and glibc's sin within 1u of sin(x), so they
//   are within 9.1u of each other, relative to sineOf's value. r = 2^-46 = 64u.
// - Power p = exp2(t), t = a*log2|c| for the exponent a: log2Of is within
//   13u + 0.5u*|log2|c|| and the product rounds once, so t is within
//   13u*a + u*|t|; exp2 turns that into at most 9.1u*a + 0.7u*|t| (relative)
//   and exp2Of adds 6u, glibc's pow 1u. The sine's carrier is within 9.1u of
//   glibc's, which the power raises to 9.2u*a (a table's carrier is exact).
//   In all u*(7 + 18.3a + 0.7|t|). r = 2^-46*(1 + a + |t|) = 64u*(1 + a + |t|).
// Each r is at least twice the derived distance plus 2u, which also covers
// the rounding of v*(1 -+ r) itself (at most 1.01u).

#include "engine/fast_carrier_pass.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/carrier_tables.h"
#include "engine/diode_curve.h"
#include "engine/modulator_globals.h"
#include "engine/ring_modulator_view_controller.h"

#if defined(TOLVA_FAST_RENDER) && defined(__x86_64__)
#define TOLVA_HAS_FAST_PASS 1
#include <immintrin.h>

// Only the functions of this file that carry this attribute use AVX2; the
// rest of the file, and every inline function it shares with other files,
// is built for the baseline CPU.
#define TOLVA_AVX2 __attribute__((target("avx2,fma")))

#endif

namespace tolva {
namespace {

LockFreeAtomic<uint64_t> recomputed{0};

}  // namespace

uint64_t fastCarrierPassRecomputedSamples() {
    return recomputed.load(std::memory_order_relaxed);
}

#if !defined(TOLVA_HAS_FAST_PASS)

bool fastCarrierPassAvailable() {
    return false;
}

void fastCarrierPass(const CarrierPass& pass, float* samples, uint32_t first, uint32_t count,
                     double& phase, float& peak) TOLVA_NONBLOCKING {
    plainCarrierPass(pass, samples, first, count, phase, peak);
}

#else

namespace {

constexpr double kSineDistance = 0x1p-46;
constexpr double kPowerDistance = 0x1p-46;  // times (1 + a + |t|)
constexpr double kSmallestCarrier = 0x1p-1000;
constexpr double kLargestPhase = 16.0;  // the sine's reduction: |k| <= 11
constexpr double kLargestLog = 1000.0;  // |t|: the power stays a normal double
constexpr double kLargestExponent = 64.0;
// Frame indices are converted as 32-bit signed integers.
constexpr uint32_t kLargestFrames = 1u << 30;

// What one pass needs, set up once.
struct Cycle {
    int32_t envelopeState;
    uint32_t frames;
    float nf;   // N as a float, the envelope's divisor
    double nd;  // N as a float, widened: the ramps' divisor
    bool constantEnvelope;
    float envelope;  // while constant
    bool constantDepth;
    float depth;  // while constant
    double previousDepth;
    double depthDelta;
    double previousIncrement;
    double incrementDelta;
    const float* table;
    int32_t length;
    double exponent;
};

// Samples whose phases, carriers and outputs are computed stage by stage, so
// that each stage's long computations follow one another closely.
constexpr uint32_t kBlock = 64;

TOLVA_AVX2 inline __m128i frameIndices(uint32_t first) {
    return _mm_add_epi32(_mm_set1_epi32(static_cast<int32_t>(first)), _mm_setr_epi32(0, 1, 2, 3));
}

TOLVA_AVX2 inline __m128 envelopeOf(const Cycle& cy, __m128i index) {
    if (cy.constantEnvelope) {
        return _mm_set1_ps(cy.envelope);
    }
    const __m128 g = _mm_set1_ps(kEnvelopeOnLevel);
    const __m128i steps =
        cy.envelopeState == StateFadeIn
            ? index
            : _mm_sub_epi32(_mm_set1_epi32(static_cast<int32_t>(cy.frames)), index);
    return _mm_div_ps(_mm_mul_ps(g, _mm_cvtepi32_ps(steps)), _mm_set1_ps(cy.nf));
}

// (i * delta) / N, in double.
TOLVA_AVX2 inline __m256d rampOf(__m128i index, double delta, double nd) {
    return _mm256_div_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(index), _mm256_set1_pd(delta)),
                         _mm256_set1_pd(nd));
}

TOLVA_AVX2 inline __m128 depthOf(const Cycle& cy, __m128i index) {
    if (cy.constantDepth) {
        return _mm_set1_ps(cy.depth);
    }
    return _mm256_cvtpd_ps(
        _mm256_add_pd(rampOf(index, cy.depthDelta, cy.nd), _mm256_set1_pd(cy.previousDepth)));
}

// One step of the running phase, as the plain pass takes it.
template <bool Glide>
TOLVA_AVX2 inline double step(const Cycle& cy, double phase, float increment) {
    if constexpr (Glide) {
        phase = static_cast<double>(increment) + (phase + cy.previousIncrement);
    } else {
        phase = phase + cy.previousIncrement;
    }
    if (phase > kTwoPi) {
        phase -= kTwoPi;
    }
    return phase;
}

// Advances the running phase past a group's samples, as the plain pass
// advances it, and returns the phase before each of them; a short group is
// padded with the final phase.
template <bool Glide>
TOLVA_AVX2 inline __m256d advance(const Cycle& cy, uint32_t first, uint32_t lanes, double& phase) {
    alignas(16) float increments[4] = {};
    if constexpr (Glide) {
        _mm_store_ps(increments,
                     _mm256_cvtpd_ps(rampOf(frameIndices(first), cy.incrementDelta, cy.nd)));
    }
    double before[4];
    for (uint32_t j = 0; j < 4; ++j) {
        before[j] = phase;
        if (j < lanes) {
            phase = step<Glide>(cy, phase, increments[j]);
        }
    }
    // Built in registers: a vector load of four scalar stores would wait for them.
    return _mm256_setr_pd(before[0], before[1], before[2], before[3]);
}

TOLVA_AVX2 inline __m256d magnitude(__m256d v) {
    return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v);
}

TOLVA_AVX2 inline int atLeast(__m256d v, double least) {
    return _mm256_movemask_pd(_mm256_cmp_pd(v, _mm256_set1_pd(least), _CMP_GE_OQ));
}

TOLVA_AVX2 inline int atMost(__m256d v, double most) {
    return _mm256_movemask_pd(_mm256_cmp_pd(v, _mm256_set1_pd(most), _CMP_LE_OQ));
}

// c0 + c1*x
TOLVA_AVX2 inline __m256d pair(double c0, double c1, __m256d x) {
    return _mm256_fmadd_pd(_mm256_set1_pd(c1), x, _mm256_set1_pd(c0));
}

// sin(x) for |x| <= kLargestPhase; `proven` gets the lanes where it is
// within 8u of sin(x) (u = 2^-52). x = k*pi + r with k = round(x/pi),
// |k| <= 5, |r| <= pi/2 (a hair more where x/pi rounds across a half), and
// sin(x) = (-1)^k sin(r). pi = P1 + P2 + P3, P1 and P2 of 48 bits: k*P1, k*P2
// and x - k*P1 are exact, the next two steps round once each, and P3 is
// within 2^-149, so r is within u*|r| + 2^-144. sin(r) = r + r^3*S(r^2) to
// r^21 leaves out at most 2^-59.5 (relative). The error of r moves sin(r) by
// at most 1.6u; r^3*S is at most 0.6 of the result and within 8u, which adds
// 4.8u; the last fused multiply-add rounds once (0.5u). Near a zero of
// sin(x), |r| must stay at least 2^-90 (then r is within 2^-54 of itself):
// that also keeps sin(x) above 2^-1000, and costs nothing but phases below
// 2^-90 (the doubles next to the other multiples of pi are further away).
TOLVA_AVX2 inline __m256d sineOf(__m256d x, int& proven) {
    const __m256d k = _mm256_round_pd(_mm256_mul_pd(x, _mm256_set1_pd(0x1.45f306dc9c883p-2)),
                                      _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d r = _mm256_fnmadd_pd(
        k, _mm256_set1_pd(0x1.01b839a25204ap-95),
        _mm256_fnmadd_pd(k, _mm256_set1_pd(0x1.8469898cc5160p-47),
                         _mm256_fnmadd_pd(k, _mm256_set1_pd(0x1.921fb54442d00p+1), x)));
    const __m256d z = _mm256_mul_pd(r, r);
    const __m256d z2 = _mm256_mul_pd(z, z);
    const __m256d z4 = _mm256_mul_pd(z2, z2);
    // S = -1/3! + z/5! - ... + z^9/21!, in pairs: short chains of dependent steps.
    const __m256d s = _mm256_fmadd_pd(
        pair(-0x1.2f49b46814157p-57, 0x1.71b8ef6dcf572p-66, z), _mm256_mul_pd(z4, z4),
        _mm256_fmadd_pd(_mm256_fmadd_pd(pair(-0x1.ae7f3e733b81fp-41, 0x1.952c77030ad4ap-49, z), z2,
                                        pair(-0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33, z)),
                        z4,
                        _mm256_fmadd_pd(pair(-0x1.a01a01a01a01ap-13, 0x1.71de3a556c734p-19, z), z2,
                                        pair(-0x1.5555555555555p-3, 0x1.1111111111111p-7, z))));
    const __m256d sine = _mm256_fmadd_pd(_mm256_mul_pd(r, z), s, r);
    // (-1)^k: the lowest bit of k into the sign.
    const __m256d sign =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(k)), 63));
    proven = atMost(magnitude(x), kLargestPhase) & atLeast(magnitude(r), 0x1p-90);
    return _mm256_xor_pd(sine, sign);
}

// log2(v) within 13u + 0.5u*|log2 v| (u = 2^-52) where v > 0 is a normal
// double: v = 2^e * m with m in [sqrt(1/2), sqrt(2)), and ln(m) = 2*atanh(s),
// s = (m-1)/(m+1), |s| <= 0.1716. m-1 is exact, s is within 1u. The series
// to s^17 leaves out at most 2^-47.4 (24u) of ln(m), relative; its
// evaluation adds at most 1.6u. |ln(m)*log2(e)| <= 0.5, and the last fused
// multiply-add rounds once more (0.5u of the result). Zero, subnormals,
// infinities and NaNs give |log2| > 1000.
TOLVA_AVX2 inline __m256d log2Of(__m256d v) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256i bits = _mm256_castpd_si256(v);
    const __m256d twoTo52 = _mm256_set1_pd(0x1p52);
    // The exponent field as a double: 2^52 + field, less 2^52 + the bias.
    __m256d e = _mm256_sub_pd(_mm256_castsi256_pd(_mm256_or_si256(_mm256_srli_epi64(bits, 52),
                                                                  _mm256_castpd_si256(twoTo52))),
                              _mm256_set1_pd(0x1p52 + 1023.0));
    __m256d m = _mm256_or_pd(
        _mm256_castsi256_pd(_mm256_and_si256(bits, _mm256_set1_epi64x(0x000FFFFFFFFFFFFF))), one);
    const __m256d above = _mm256_cmp_pd(m, _mm256_set1_pd(0x1.6a09e667f3bcdp+0), _CMP_GT_OQ);
    m = _mm256_blendv_pd(m, _mm256_mul_pd(m, _mm256_set1_pd(0.5)), above);
    e = _mm256_add_pd(e, _mm256_and_pd(above, one));
    const __m256d s = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
    const __m256d s2 = _mm256_mul_pd(s, s);
    // 1/3 + z/5 + ... + z^7/17 for z = s^2, in pairs: short chains of dependent steps.
    const __m256d s4 = _mm256_mul_pd(s2, s2);
    const __m256d p =
        _mm256_fmadd_pd(_mm256_fmadd_pd(pair(0x1.1111111111111p-4, 0x1.e1e1e1e1e1e1ep-5, s2), s4,
                                        pair(0x1.745d1745d1746p-4, 0x1.3b13b13b13b14p-4, s2)),
                        _mm256_mul_pd(s4, s4),
                        _mm256_fmadd_pd(pair(0x1.2492492492492p-3, 0x1.c71c71c71c71cp-4, s2), s4,
                                        pair(0x1.5555555555555p-2, 0x1.999999999999ap-3, s2)));
    const __m256d halfLog = _mm256_fmadd_pd(s, _mm256_mul_pd(s2, p), s);  // ln(m) / 2
    return _mm256_fmadd_pd(halfLog, _mm256_set1_pd(0x1.71547652b82fep+1), e);
}

// 2^t for |t| <= 1000, within 6u: 2^t = 2^n * 2^f, n = round(t), f = t - n
// exact and |f| <= 1/2. The series of 2^f to f^12 leaves out at most 2^-51.4
// (0.8u, relative), the rounded coefficients add at most 1u, the evaluation
// (each partial sum rounds once, four deep for the leading terms) at most 3u;
// 2^n enters the exponent field exactly.
TOLVA_AVX2 inline __m256d exp2Of(__m256d t) {
    const __m256d n = _mm256_round_pd(t, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256d f = _mm256_sub_pd(t, n);
    // The sum of ln(2)^k / k! * f^k for k = 0 .. 12, in pairs, fours and eights.
    const __m256d f2 = _mm256_mul_pd(f, f);
    const __m256d f4 = _mm256_mul_pd(f2, f2);
    const __m256d k0to3 = _mm256_fmadd_pd(pair(0x1.ebfbdff82c58fp-3, 0x1.c6b08d704a0c0p-5, f), f2,
                                          pair(1.0, 0x1.62e42fefa39efp-1, f));
    const __m256d k4to7 = _mm256_fmadd_pd(pair(0x1.430912f86c787p-13, 0x1.ffcbfc588b0c7p-17, f), f2,
                                          pair(0x1.3b2ab6fba4e77p-7, 0x1.5d87fe78a6731p-10, f));
    const __m256d k8to11 =
        _mm256_fmadd_pd(pair(0x1.e4cf5158b8ecap-28, 0x1.e8cac7351bb25p-32, f), f2,
                        pair(0x1.62c0223a5c824p-20, 0x1.b5253d395e7c4p-24, f));
    const __m256d k8to12 = _mm256_fmadd_pd(_mm256_set1_pd(0x1.c3bd650fc2986p-36), f4, k8to11);
    const __m256d p =
        _mm256_fmadd_pd(k8to12, _mm256_mul_pd(f4, f4), _mm256_fmadd_pd(k4to7, f4, k0to3));
    const __m256i scale = _mm256_slli_epi64(_mm256_cvtepi32_epi64(_mm256_cvtpd_epi32(n)), 52);
    return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(p), scale));
}

// The table entries for four phases; lanes the lookup would treat otherwise
// than by truncation (or by wrapping one whole period to entry 0) read
// through the lookup itself.
TOLVA_AVX2 inline __m256d tableCarrier(const Cycle& cy, __m256d phase) TOLVA_NONBLOCKING {
    const __m256d position =
        _mm256_div_pd(_mm256_mul_pd(_mm256_set1_pd(static_cast<double>(cy.length)), phase),
                      _mm256_set1_pd(kCarrierTwoPi));
    __m128i index = _mm256_cvttpd_epi32(position);  // not a number, or too large: negative
    const __m128i length = _mm_set1_epi32(cy.length);
    const __m128i inside =
        _mm_and_si128(_mm_cmpgt_epi32(index, _mm_set1_epi32(-1)),
                      _mm_cmpgt_epi32(_mm_add_epi32(length, _mm_set1_epi32(1)), index));
    index = _mm_and_si128(_mm_andnot_si128(_mm_cmpeq_epi32(index, length), index), inside);
    // Four loads: a gather instruction is slower on some CPUs.
    alignas(16) int32_t at[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), index);
    __m256d c = _mm256_cvtps_pd(
        _mm_setr_ps(cy.table[at[0]], cy.table[at[1]], cy.table[at[2]], cy.table[at[3]]));
    const int insideLanes = _mm_movemask_ps(_mm_castsi128_ps(inside));
    if (insideLanes != 0xF) {
        alignas(32) double phases[4];
        alignas(32) double carriers[4];
        _mm256_store_pd(phases, phase);
        _mm256_store_pd(carriers, c);
        for (int j = 0; j < 4; ++j) {
            if ((insideLanes & (1 << j)) == 0) {
                carriers[j] = carrierTableLookup(cy.table, cy.length, phases[j]);
            }
        }
        c = _mm256_load_pd(carriers);
    }
    return c;
}

// One block: the running phase before each sample, the depth and envelope,
// and the carrier values, where low and high are the ends of the interval
// that holds glibc's value (both the exact value for a table without the
// diode); `proven` has a bit for each lane where the bound holds.
struct Block {
    alignas(32) double phase[kBlock];
    alignas(32) double low[kBlock];
    alignas(32) double high[kBlock];
    alignas(16) float depth[kBlock];
    alignas(16) float envelope[kBlock];
    alignas(16) float input[kBlock];  // kept for the samples to recompute
    int proven[kBlock / 4];
    int exact[kBlock / 4];  // the lanes whose output is proven
    bool inexact;           // some lane's is not
};

// The depth and envelope of `count` samples (whole groups).
TOLVA_AVX2 void ramps(const Cycle& cy, uint32_t first, uint32_t count, Block& b) {
    for (uint32_t k = 0; k < count; k += 4) {
        const __m128i index = frameIndices(first + k);
        _mm_store_ps(b.depth + k, depthOf(cy, index));
        _mm_store_ps(b.envelope + k, envelopeOf(cy, index));
    }
}

// The carrier of group g, from the phases before its samples.
template <int32_t Wave, bool Diode>
TOLVA_AVX2 inline void carrier(const Cycle& cy, Block& b, uint32_t g, __m256d phases) {
    if constexpr (Wave == WaveSine) {
        const __m256d c = sineOf(phases, b.proven[g]);
        if constexpr (Diode) {
            _mm256_store_pd(b.low + 4 * g, c);
        } else {
            _mm256_store_pd(b.low + 4 * g, _mm256_mul_pd(c, _mm256_set1_pd(1.0 - kSineDistance)));
            _mm256_store_pd(b.high + 4 * g, _mm256_mul_pd(c, _mm256_set1_pd(1.0 + kSineDistance)));
        }
    } else {
        _mm256_store_pd(b.low + 4 * g, tableCarrier(cy, phases));
        b.proven[g] = 0xF;
    }
}

// The diode curve of group g's carriers, da(c) = sign(c) * exp2(t) with
// t = a * log2|c| already in `high`, bracketed.
TOLVA_AVX2 inline void diode(const Cycle& cy, Block& b, uint32_t g) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d c = _mm256_load_pd(b.low + 4 * g);
    const __m256d t = _mm256_load_pd(b.high + 4 * g);
    const __m256d power = exp2Of(t);
    const __m256d distance =
        _mm256_mul_pd(_mm256_set1_pd(kPowerDistance),
                      _mm256_add_pd(_mm256_set1_pd(1.0 + cy.exponent), magnitude(t)));
    const __m256d sign = _mm256_and_pd(c, _mm256_set1_pd(-0.0));
    _mm256_store_pd(b.low + 4 * g,
                    _mm256_or_pd(_mm256_mul_pd(power, _mm256_sub_pd(one, distance)), sign));
    _mm256_store_pd(b.high + 4 * g,
                    _mm256_or_pd(_mm256_mul_pd(power, _mm256_add_pd(one, distance)), sign));
    b.proven[g] &= atLeast(magnitude(c), kSmallestCarrier) & atMost(magnitude(t), kLargestLog);
}

// The block's phases and carriers. The phase of the next group is advanced
// while the carrier of this one is computed: the serial chain of additions
// then runs beside the carrier's arithmetic instead of before it.
template <int32_t Wave, bool Diode, bool Glide>
TOLVA_AVX2 void carriers(const Cycle& cy, uint32_t first, uint32_t count, Block& b,
                         double& phase) TOLVA_NONBLOCKING {
    const uint32_t groups = (count + 3) / 4;
    double running = phase;
    __m256d next = advance<Glide>(cy, first, count < 4 ? count : 4, running);
    for (uint32_t g = 0; g < groups; ++g) {
        const __m256d phases = next;
        _mm256_store_pd(b.phase + 4 * g, phases);
        if (g + 1 < groups) {
            const uint32_t k = 4 * (g + 1);
            next = advance<Glide>(cy, first + k, count - k < 4 ? count - k : 4, running);
        }
        carrier<Wave, Diode>(cy, b, g, phases);
    }
    phase = running;
    if constexpr (Diode) {
        // Every logarithm, then every power: each loop's steps overlap best.
        for (uint32_t g = 0; g < groups; ++g) {
            const __m256d c = _mm256_load_pd(b.low + 4 * g);
            _mm256_store_pd(b.high + 4 * g,
                            _mm256_mul_pd(_mm256_set1_pd(cy.exponent), log2Of(magnitude(c))));
        }
        for (uint32_t g = 0; g < groups; ++g) {
            diode(cy, b, g);
        }
    }
}

// The output formulas, four lanes at a time. The depth d and envelope e of
// four samples, with e widened and 1 - d.
struct Gains {
    __m128 d, e;
    __m256d wideE, oneMinusDepth;
};

TOLVA_AVX2 inline Gains gainsOf(__m128 d, __m128 e) {
    return {d, e, _mm256_cvtps_pd(e), _mm256_sub_pd(_mm256_set1_pd(1.0), _mm256_cvtps_pd(d))};
}

struct Mix {
    __m256d e, m, dry;
};

TOLVA_AVX2 inline Mix mixOf(__m128 x, const Gains& k) {
    return {k.wideE, _mm256_cvtps_pd(_mm_mul_ps(k.d, x)),
            _mm256_mul_pd(_mm256_cvtps_pd(x), k.oneMinusDepth)};
}

// e * (m * c) + dry
TOLVA_AVX2 inline __m128 productOutput(const Mix& mix, __m256d c) {
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(mix.e, _mm256_mul_pd(mix.m, c)), mix.dry));
}

// e * (da * m) + dry
TOLVA_AVX2 inline __m128 diodeOutput(const Mix& mix, __m256d da) {
    return _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(mix.e, _mm256_mul_pd(da, mix.m)), mix.dry));
}

// The self carrier: s = (d*x)*e; (s + (1-d))*x for x > 0, else ((1-d) - s)*x.
TOLVA_AVX2 inline __m128 selfOutput(__m128 x, const Gains& k) {
    const __m256d s = _mm256_cvtps_pd(_mm_mul_ps(_mm_mul_ps(k.d, x), k.e));
    const __m256d oneMinusDepth = k.oneMinusDepth;
    const __m256d wide = _mm256_cvtps_pd(x);
    const __m256d rising = _mm256_mul_pd(_mm256_add_pd(s, oneMinusDepth), wide);
    const __m256d falling = _mm256_mul_pd(_mm256_sub_pd(oneMinusDepth, s), wide);
    const __m256d positive = _mm256_cmp_pd(wide, _mm256_setzero_pd(), _CMP_GT_OQ);
    return _mm256_cvtpd_ps(_mm256_blendv_pd(falling, rising, positive));
}

TOLVA_AVX2 inline int agreeing(__m128 low, __m128 high) {
    return _mm_movemask_ps(
        _mm_castsi128_ps(_mm_cmpeq_epi32(_mm_castps_si128(low), _mm_castps_si128(high))));
}

// The outputs of group g, in place; the inputs of lanes not proven stay in
// the block for recomputing.
template <int32_t Wave, bool Diode>
TOLVA_AVX2 inline void outputs(Block& b, uint32_t g, float* samples, const Gains& gains) {
    const uint32_t k = 4 * g;
    const __m128 x = _mm_loadu_ps(samples);
    __m128 y;
    int exact = 0xF;
    if constexpr (Wave == WaveSelf) {
        y = selfOutput(x, gains);
    } else {
        const Mix mix = mixOf(x, gains);
        const __m256d low = _mm256_load_pd(b.low + k);
        if constexpr (Diode) {
            y = diodeOutput(mix, low);
            exact = b.proven[g] & agreeing(y, diodeOutput(mix, _mm256_load_pd(b.high + k)));
        } else if constexpr (Wave == WaveSine) {
            y = productOutput(mix, low);
            exact = b.proven[g] & agreeing(y, productOutput(mix, _mm256_load_pd(b.high + k)));
        } else {
            y = productOutput(mix, low);
        }
    }
    if constexpr (Diode || Wave == WaveSine) {
        b.exact[g] = exact;
        if (exact != 0xF) {
            _mm_store_ps(b.input + k, x);
            b.inexact = true;
        }
    }
    _mm_storeu_ps(samples, y);
}

// One sample as the plain pass computes it, with glibc's sin and pow.
template <int32_t Wave, bool Diode>
float plainSample(const Cycle& cy, float x, float d, float e, double phase) TOLVA_NONBLOCKING {
    double c = Wave == WaveSine ? std::sin(phase) : carrierTableLookup(cy.table, cy.length, phase);
    if constexpr (Diode) {
        c = diodeCurve(c, cy.exponent);
    }
    return modulatedSample(x, d, e, c, Diode);
}

// The samples of `groups` groups whose outputs are not proven, as the plain
// pass computes them.
template <int32_t Wave, bool Diode, bool Steady>
void recompute(const Cycle& cy, const Block& b, uint32_t groups, uint32_t count,
               float* samples) TOLVA_NONBLOCKING {
    if (!b.inexact) {
        return;
    }
    uint64_t redone = 0;
    for (uint32_t g = 0; g < groups; ++g) {
        for (uint32_t k = 4 * g; b.exact[g] != 0xF && k < 4 * g + 4 && k < count; ++k) {
            if ((b.exact[g] & (1 << (k - 4 * g))) == 0) {
                samples[k] =
                    plainSample<Wave, Diode>(cy, b.input[k], Steady ? cy.depth : b.depth[k],
                                             Steady ? cy.envelope : b.envelope[k], b.phase[k]);
                ++redone;
            }
        }
    }
    if (redone != 0) {
        recomputed.fetch_add(redone, std::memory_order_relaxed);
    }
}

// The largest magnitude among `count` samples; NaNs never count.
TOLVA_AVX2 inline __m128 peakOf(const float* samples, uint32_t count, __m128 peak) {
    const __m128 magnitudeMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    uint32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        // max_ps keeps its second operand when the first is NaN.
        peak = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(samples + k), magnitudeMask), peak);
    }
    for (; k < count; ++k) {
        peak = _mm_max_ps(_mm_and_ps(_mm_set1_ps(samples[k]), magnitudeMask), peak);
    }
    return peak;
}

// Steady: the depth and the envelope are the same for every sample.
template <int32_t Wave, bool Diode, bool Glide, bool Steady>
TOLVA_AVX2 void modulateAll(const Cycle& cycle, float* samples, uint32_t first, uint32_t count,
                            double& phase, float& peak) TOLVA_NONBLOCKING {
    const Cycle cy = cycle;  // a copy the sample stores cannot alias
    __m128 peaks = _mm_setzero_ps();
    double running = phase;
    Block b;
    Gains gains = gainsOf(_mm_set1_ps(cy.depth), _mm_set1_ps(cy.envelope));
    for (uint32_t done = 0; done < count; done += kBlock) {
        const uint32_t n = count - done < kBlock ? count - done : kBlock;
        const uint32_t whole = n & ~3u;
        const uint32_t groups = (n + 3) / 4;
        float* const block = samples + done;
        b.inexact = false;
        if constexpr (!Steady) {
            ramps(cy, first + done, 4 * groups, b);
        }
        // Where the phase chain dominates (self, a table without the diode)
        // each group goes from phase to output in one go; elsewhere every
        // group's carrier comes first, then (for the diode) every logarithm
        // and power, then the outputs, so that each stage's steps follow one
        // another closely.
        constexpr bool kFused = Wave != WaveSine && !Diode;
        if constexpr (!kFused) {
            carriers<Wave, Diode, Glide>(cy, first + done, n, b, running);
        }
        for (uint32_t k = 0; k < whole; k += 4) {
            if constexpr (kFused) {
                const __m256d phases = advance<Glide>(cy, first + done + k, 4, running);
                if constexpr (Wave != WaveSelf) {
                    _mm256_store_pd(b.phase + k, phases);
                    carrier<Wave, Diode>(cy, b, k / 4, phases);
                }
            }
            if constexpr (!Steady) {
                gains = gainsOf(_mm_load_ps(b.depth + k), _mm_load_ps(b.envelope + k));
            }
            outputs<Wave, Diode>(b, k / 4, block + k, gains);
        }
        if (whole < n) {
            // The last one to three samples, padded with silence that is not written back.
            const uint32_t lanes = n - whole;
            if constexpr (kFused) {
                const __m256d phases = advance<Glide>(cy, first + done + whole, lanes, running);
                if constexpr (Wave != WaveSelf) {
                    _mm256_store_pd(b.phase + whole, phases);
                    carrier<Wave, Diode>(cy, b, whole / 4, phases);
                }
            }
            if constexpr (!Steady) {
                gains = gainsOf(_mm_load_ps(b.depth + whole), _mm_load_ps(b.envelope + whole));
            }
            alignas(16) float tail[4] = {};
            std::memcpy(tail, block + whole, lanes * sizeof(float));
            outputs<Wave, Diode>(b, whole / 4, tail, gains);
            std::memcpy(block + whole, tail, lanes * sizeof(float));
        }
        if constexpr (Diode || Wave == WaveSine) {
            recompute<Wave, Diode, Steady>(cy, b, groups, n, block);
        }
        peaks = peakOf(block, n, peaks);
    }
    phase = running;
    peaks = _mm_max_ps(peaks, _mm_movehl_ps(peaks, peaks));
    peaks = _mm_max_ss(peaks, _mm_shuffle_ps(peaks, peaks, 1));
    const float largest = _mm_cvtss_f32(peaks);
    if (largest > peak) {
        peak = largest;
    }
}

using Modulation = void (*)(const Cycle&, float*, uint32_t, uint32_t, double&,
                            float&) TOLVA_NONBLOCKING;

template <int32_t Wave, bool Diode, bool Glide>
Modulation modulationFor(bool steady) {
    return steady ? &modulateAll<Wave, Diode, Glide, true>
                  : &modulateAll<Wave, Diode, Glide, false>;
}

template <int32_t Wave, bool Diode>
Modulation modulationFor(bool glide, bool steady) {
    return glide ? modulationFor<Wave, Diode, true>(steady)
                 : modulationFor<Wave, Diode, false>(steady);
}

Modulation modulationFor(int32_t wave, bool diode, bool glide, bool steady) {
    switch (wave) {
        case WaveSelf:
            return modulationFor<WaveSelf, false>(glide, steady);
        case WaveSine:
            return diode ? modulationFor<WaveSine, true>(glide, steady)
                         : modulationFor<WaveSine, false>(glide, steady);
        case WaveTriangle:
        case WaveRamp:
            return diode ? modulationFor<WaveTriangle, true>(glide, steady)
                         : modulationFor<WaveTriangle, false>(glide, steady);
        default:
            return nullptr;
    }
}

bool isNegativeZero(double v) {
    return v == 0.0 && std::signbit(v);
}

}  // namespace

bool fastCarrierPassAvailable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}

void fastCarrierPass(const CarrierPass& pass, float* samples, uint32_t first, uint32_t count,
                     double& phase, float& peak) TOLVA_NONBLOCKING {
    const int32_t state = pass.envelopeState;
    const bool table = pass.wave == WaveTriangle || pass.wave == WaveRamp;
    const bool diode = pass.diode && pass.wave != WaveSelf;
    const double exponent = diode ? nonl.load(std::memory_order_relaxed) : 1.0;
    const double incrementDelta = pass.targetIncrement - pass.previousIncrement;
    // Only an all-zero increment ramp whose addition changes nothing is left out.
    const bool glide = !(incrementDelta == 0.0) ||
                       (!std::signbit(incrementDelta) && isNegativeZero(pass.previousIncrement));
    const double depthDelta = pass.targetDepth - pass.previousDepth;
    // (i * 0) / N + previous is the same sum for every i.
    const bool constantDepth = depthDelta == 0.0;
    const bool constantEnvelope = state == StateOn || state == StateSilent;
    const Modulation modulation =
        modulationFor(pass.wave, diode, glide, constantDepth && constantEnvelope);
    if (modulation == nullptr || state < StateSilent || state > StateFadeOut ||
        pass.frames > kLargestFrames || first > kLargestFrames - count ||
        (table && (pass.table == nullptr || pass.tableLength <= 0)) ||
        (diode && !(exponent >= 1.0 && exponent <= kLargestExponent))) {
        plainCarrierPass(pass, samples, first, count, phase, peak);
        return;
    }
    const auto nf = static_cast<float>(pass.frames);
    const Cycle cy{state,
                   pass.frames,
                   nf,
                   static_cast<double>(nf),
                   constantEnvelope,
                   state == StateOn ? kEnvelopeOnLevel : 0.0f,
                   constantDepth,
                   static_cast<float>(depthDelta + pass.previousDepth),
                   pass.previousDepth,
                   depthDelta,
                   pass.previousIncrement,
                   incrementDelta,
                   pass.table,
                   pass.tableLength,
                   exponent};
    modulation(cy, samples, first, count, phase, peak);
}

#endif

}  // namespace tolva
