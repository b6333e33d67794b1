// The render cycle: pull the cycle's input, take over what MIDI left for the
// audio side, then ring-modulate the samples in place and show the peak.
//
// Everything the cycle reads from other threads it reads once, at the start:
// the state (for the envelope and for Bypass), the carrier, the diode switch,
// the depth and the frequency. The samples are worked through in chunks whose
// envelope and ramps live on the stack, so a cycle of any length needs no heap
// and no buffer of its own length.
//
// The plain carrier pass below is the reference. The cycle runs the pass that
// carrier_pass_choice.h names, which gives the same bits, faster.

#include <cmath>
#include <cstring>

#include "device/check_error.h"
#include "engine/carrier_pass.h"
#include "engine/carrier_pass_choice.h"
#include "engine/carrier_tables.h"
#include "engine/diode_curve.h"
#include "engine/render_limits.h"
#include "engine/ring_modulator_view_controller.h"

namespace tolva {
namespace {

constexpr const char* kPullFailed = "Couldn't render from device: not full duplex";

struct Ramps {
    float envelope[kRenderChunkFrames];
    float depth[kRenderChunkFrames];
    float increment[kRenderChunkFrames];
};

// Envelope, depth and increment of frames base .. base+count-1 of an N-frame cycle.
void fillRamps(Ramps& r, int32_t envelopeState, uint32_t base, uint32_t count, uint32_t frames,
               double previousDepth, double depthDelta, double incrementDelta) TOLVA_NONBLOCKING {
    const float g = kEnvelopeOnLevel;
    const auto nf = static_cast<float>(frames);
    const auto nd = static_cast<double>(nf);
    switch (envelopeState) {
        case StateFadeIn:
            for (uint32_t k = 0; k < count; ++k) {
                r.envelope[k] = (g * static_cast<float>(base + k)) / nf;
            }
            break;
        case StateOn:
            for (uint32_t k = 0; k < count; ++k) {
                r.envelope[k] = g;
            }
            break;
        case StateFadeOut:
            for (uint32_t k = 0; k < count; ++k) {
                const uint32_t remaining = frames - (base + k);
                r.envelope[k] = (g * static_cast<float>(remaining)) / nf;
            }
            break;
        default:  // StateSilent
            for (uint32_t k = 0; k < count; ++k) {
                r.envelope[k] = 0.0f;
            }
            break;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const auto i = static_cast<double>(base + k);
        r.depth[k] = static_cast<float>((i * depthDelta) / nd + previousDepth);
        r.increment[k] = static_cast<float>((i * incrementDelta) / nd);
    }
}

}  // namespace

float modulatedSample(float x, float d, float e, double c, bool diode) TOLVA_NONBLOCKING {
    const auto m = static_cast<double>(d * x);
    const double dry = static_cast<double>(x) * (1.0 - static_cast<double>(d));
    return static_cast<float>(static_cast<double>(e) * (diode ? c * m : m * c) + dry);
}

namespace {

struct Carrier {
    const float* table;
    int32_t length;
};

template <int32_t Wave>
double carrierAt(const Carrier& carrier, double phase) TOLVA_NONBLOCKING {
    if constexpr (Wave == WaveSine) {
        return std::sin(phase);
    } else {
        return carrierTableLookup(carrier.table, carrier.length, phase);
    }
}

// Modulates `count` samples in place and advances the running phase.
template <int32_t Wave, bool Diode>
void modulate(float* samples, uint32_t count, const Ramps& r, const Carrier& carrier,
              double previousIncrement, double& phase, float& peak) TOLVA_NONBLOCKING {
    for (uint32_t k = 0; k < count; ++k) {
        const float x = samples[k];
        const float d = r.depth[k];
        const float e = r.envelope[k];
        float out;
        if constexpr (Wave == WaveSelf) {
            const double oneMinusDepth = 1.0 - static_cast<double>(d);
            const auto s = static_cast<double>((d * x) * e);
            out = static_cast<float>(x > 0.0f ? (s + oneMinusDepth) * static_cast<double>(x)
                                              : (oneMinusDepth - s) * static_cast<double>(x));
        } else {
            double c = carrierAt<Wave>(carrier, phase);
            if constexpr (Diode) {
                c = da(c);
            }
            out = modulatedSample(x, d, e, c, Diode);
        }
        samples[k] = out;
        const float magnitude = std::fabs(out);
        if (magnitude > peak) {
            peak = magnitude;
        }
        phase = static_cast<double>(r.increment[k]) + (phase + previousIncrement);
        if (phase > kTwoPi) {
            phase -= kTwoPi;
        }
    }
}

// Bypassed samples stay as they are; they count for the meter and the carrier runs on.
void passThrough(const float* samples, uint32_t count, const Ramps& r, double previousIncrement,
                 double& phase, float& peak) TOLVA_NONBLOCKING {
    for (uint32_t k = 0; k < count; ++k) {
        const float magnitude = std::fabs(samples[k]);
        if (magnitude > peak) {
            peak = magnitude;
        }
        phase = static_cast<double>(r.increment[k]) + (phase + previousIncrement);
        if (phase > kTwoPi) {
            phase -= kTwoPi;
        }
    }
}

using ModulateFn = void (*)(float*, uint32_t, const Ramps&, const Carrier&, double, double&,
                            float&);

ModulateFn chooseModulation(int32_t wave, bool diodeOn) {
    switch (wave) {
        case WaveSelf:
            return &modulate<WaveSelf, false>;
        case WaveSine:
            return diodeOn ? &modulate<WaveSine, true> : &modulate<WaveSine, false>;
        case WaveTriangle:
            return diodeOn ? &modulate<WaveTriangle, true> : &modulate<WaveTriangle, false>;
        case WaveRamp:
            return diodeOn ? &modulate<WaveRamp, true> : &modulate<WaveRamp, false>;
        default:
            return nullptr;
    }
}

}  // namespace

void plainCarrierPass(const CarrierPass& pass, float* samples, uint32_t first, uint32_t count,
                      double& phase, float& peak) TOLVA_NONBLOCKING {
    const bool bypassed = pass.envelopeState < StateSilent || pass.envelopeState > StateFadeOut;
    const ModulateFn modulateChunk = bypassed ? nullptr : chooseModulation(pass.wave, pass.diode);
    const Carrier carrier{pass.table, pass.tableLength};
    Ramps ramps;
    for (uint32_t done = 0; done < count; done += kRenderChunkFrames) {
        const uint32_t remaining = count - done;
        const uint32_t chunk = remaining < kRenderChunkFrames ? remaining : kRenderChunkFrames;
        fillRamps(ramps, pass.envelopeState, first + done, chunk, pass.frames, pass.previousDepth,
                  pass.targetDepth - pass.previousDepth,
                  pass.targetIncrement - pass.previousIncrement);
        if (modulateChunk == nullptr) {
            passThrough(samples + done, chunk, ramps, pass.previousIncrement, phase, peak);
        } else {
            modulateChunk(samples + done, chunk, ramps, carrier, pass.previousIncrement, phase,
                          peak);
        }
    }
}

namespace {

// The first buffer's samples: contiguous floats, or spread `stride` bytes apart.
struct SampleView {
    unsigned char* base;
    uint32_t stride;
    uint32_t frames;  // frames that fit in the buffer

    float* contiguous() const {
        return stride == sizeof(float) ? reinterpret_cast<float*>(base) : nullptr;
    }
    void gather(float* out, uint32_t first, uint32_t count) const TOLVA_NONBLOCKING {
        for (uint32_t k = 0; k < count; ++k) {
            std::memcpy(&out[k], base + (first + k) * stride, sizeof(float));
        }
    }
    void scatter(const float* in, uint32_t first, uint32_t count) const TOLVA_NONBLOCKING {
        for (uint32_t k = 0; k < count; ++k) {
            std::memcpy(base + (first + k) * stride, &in[k], sizeof(float));
        }
    }
};

SampleView viewOf(const AudioBufferList* io, uint32_t stride, uint32_t frames) {
    if (io == nullptr || io->mNumberBuffers == 0 || io->mBuffers[0].mData == nullptr) {
        return {nullptr, sizeof(float), 0};
    }
    if (stride < sizeof(float)) {
        stride = sizeof(float);  // an unset format would fold every sample onto the first
    }
    const uint32_t fit = io->mBuffers[0].mDataByteSize / stride;
    return {static_cast<unsigned char*>(io->mBuffers[0].mData), stride,
            frames < fit ? frames : fit};
}

void silence(const SampleView& view) TOLVA_NONBLOCKING {
    const float zero = 0.0f;
    for (uint32_t i = 0; i < view.frames; ++i) {
        std::memcpy(view.base + i * view.stride, &zero, sizeof(float));
    }
}

}  // namespace

double da(double x) TOLVA_NONBLOCKING {
    return diodeCurve(x, nonl.load(std::memory_order_relaxed));
}

void RingModulatorViewController::updateLevel(float peak) TOLVA_NONBLOCKING {
    const auto p = static_cast<double>(peak);
    float level = 0.0f;
    if (p > 0.5) {
        level = 6.0f;
    } else if (p > 0.2) {
        level = 5.0f;
    } else if (p > 0.08) {
        level = 4.0f;
    } else if (p > 0.03) {
        level = 3.0f;
    } else if (p > 0.007) {
        level = 2.0f;
    } else if (p > 0.002) {
        level = 1.0f;
    }
    if (levelIndicator != nullptr) {
        levelIndicator->setFloatValue(level);
    }
}

OSStatus RenderRMTone(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                      const AudioTimeStamp* inTimeStamp, UInt32 /*inBusNumber*/,
                      UInt32 inNumberFrames, AudioBufferList* ioData) TOLVA_NONBLOCKING {
    RenderThreadScope renderThread;
    auto& c = *static_cast<RingModulatorViewController*>(inRefCon);
    const uint32_t frames = inNumberFrames;
    const SampleView view = viewOf(ioData, c.streamFormat.mBytesPerFrame, frames);

    // A cycle that outlived Stop (one the device held up past its bound) finds
    // its unit already let go: it plays silence, and that is no failure.
    AudioUnit unit = c.toneUnit.load(std::memory_order_acquire);
    if (unit == nullptr) {
        silence(view);
        return noErr;
    }
    // Pull this cycle's input into the buffer the device will play.
    const OSStatus pulled = AudioUnitRender(unit, ioActionFlags, inTimeStamp, 1, frames, ioData);
    if (pulled != noErr) {
        // The failure is reported from the UI thread; this cycle plays silence.
        CheckError(pulled, kPullFailed);
        silence(view);
        return noErr;
    }

    // What MIDI has left for the audio side.
    if (c.midif.load(std::memory_order_acquire) == 1) {
        c.midiFreqChanged();
        if (changed.exchange(0, std::memory_order_acquire) != 0) {
            c.depth.store(mmi.load(std::memory_order_relaxed), std::memory_order_relaxed);
            c.midiDepthChanged();
        }
        if (changen.exchange(0, std::memory_order_acquire) != 0) {
            c.midiNonlChanged();
        }
    }

    // The envelope's state; a finished fade hands its end state back. The
    // compare-and-swap keeps a state another thread stored meanwhile.
    int32_t envelopeState = c.state.load(std::memory_order_acquire);
    if (envelopeState == StateFadeIn) {
        int32_t expected = StateFadeIn;
        c.state.compare_exchange_strong(expected, StateOn, std::memory_order_acq_rel);
    } else if (envelopeState == StateFadeOut) {
        int32_t expected = StateFadeOut;
        c.state.compare_exchange_strong(expected, StateSilent, std::memory_order_acq_rel);
    }
    const bool bypassed = envelopeState < StateSilent || envelopeState > StateFadeOut;
    // A fade-out fades what was heard: after a cycle with no modulated sound
    // (muted, bypassed, or the first of a run) it stays silent, so Stop or Mute
    // never releases a burst of modulated sound. The dry part plays as ever.
    if (envelopeState == StateFadeOut && !c.modulatedLastCycle.load(std::memory_order_relaxed)) {
        envelopeState = StateSilent;
    }
    c.modulatedLastCycle.store(envelopeState == StateFadeIn || envelopeState == StateOn,
                               std::memory_order_relaxed);

    const double targetDepth = c.depth.load(std::memory_order_relaxed);
    const double targetIncrement =
        c.frequency.load(std::memory_order_relaxed) * c.TWO_PI_NORM.load(std::memory_order_relaxed);
    const int32_t wave = c.wave.load(std::memory_order_relaxed);
    const CarrierPass pass{envelopeState,
                           frames,
                           wave,
                           c.diode.load(std::memory_order_relaxed) != 0,
                           c.previous_depth.load(std::memory_order_relaxed),
                           targetDepth,
                           c.previous_phase_increment.load(std::memory_order_relaxed),
                           targetIncrement,
                           wave == WaveRamp ? c.Ramf.load(std::memory_order_acquire)
                                            : c.Trif.load(std::memory_order_acquire),
                           c.cycle.load(std::memory_order_acquire)};
    // Bypassed samples only count for the meter and move the phase on.
    const CarrierPassFn carrierPass = bypassed ? &plainCarrierPass : chosenCarrierPass();

    double phase = c.phase.load(std::memory_order_relaxed);
    float peak = 0.0f;
    float* const contiguous = view.contiguous();
    if (contiguous != nullptr) {
        carrierPass(pass, contiguous, 0, view.frames, phase, peak);
    }
    float gathered[kRenderChunkFrames];
    for (uint32_t base = 0; contiguous == nullptr && base < view.frames;
         base += kRenderChunkFrames) {
        const uint32_t remaining = view.frames - base;
        const uint32_t count = remaining < kRenderChunkFrames ? remaining : kRenderChunkFrames;
        view.gather(gathered, base, count);
        carrierPass(pass, gathered, base, count, phase, peak);
        view.scatter(gathered, base, count);
    }
    c.phase.store(phase, std::memory_order_relaxed);
    c.previous_phase_increment.store(targetIncrement, std::memory_order_relaxed);
    c.previous_depth.store(targetDepth, std::memory_order_relaxed);
    c.updateLevel(peak);
    return noErr;
}

}  // namespace tolva
