#pragma once

// The modulator's process-wide values, shared by the plain functions, the MIDI
// callback and the controller. Each is an always-lock-free atomic: the UI,
// render and MIDI threads read and write them without locks. A one-shot flag
// (changed, changen) is raised with release order after its value is stored,
// and taken with an exchange (acquire) before the value is read.

#include <array>
#include <cstdint>

#include "platform/realtime.h"

namespace tolva {

inline LockFreeAtomic<double> A{0.0};       // Hz, reference pitch of A4 (note 69)
inline LockFreeAtomic<double> R{0.0};       // Hz, sample rate of the device
inline LockFreeAtomic<double> bend{0.0};    // pitch bend, -1 .. 8191/8192
inline LockFreeAtomic<double> bendd{0.0};   // semitones of a full bend
inline LockFreeAtomic<double> pitch{0.0};   // the MIDI note that drives the carrier
inline LockFreeAtomic<double> mmi{0.0};     // depth requested by controller 1, 0..1
inline LockFreeAtomic<double> nonl{0.0};    // exponent of the diode curve, 1 = linear
inline LockFreeAtomic<uint8_t> changed{0};  // mmi holds a value not yet applied
inline LockFreeAtomic<uint8_t> changen{0};  // nonl changed; the slider is not yet refreshed
inline LockFreeAtomic<int32_t> hold{0};     // number of held notes in n

inline constexpr int kNoteStackSize = 16;
// Held notes, oldest first; entry hold-1 is the newest.
inline std::array<LockFreeAtomic<uint8_t>, kNoteStackSize> n{};

inline LockFreeAtomic<uint8_t> omni{0};     // 1: messages of every channel are taken
inline LockFreeAtomic<uint8_t> channel{0};  // the one channel taken while omni is 0
inline LockFreeAtomic<uint8_t> midi{0};     // the MIDI client and port exist

// [UI] Puts every process-wide value back to zero, as at process start.
void resetModulatorGlobals();

}  // namespace tolva
