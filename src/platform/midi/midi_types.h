#pragma once

#include <cstdint>

namespace tolva {

// References to objects of the MIDI services. 0 is never a valid reference.
using MIDIObjectRef = uint32_t;
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using ItemCount = unsigned long;
// Host time of a packet, in the backend's own clock (not used by the modulator).
using MIDITimeStamp = uint64_t;
// The status every call of the MIDI services returns; 0 is success.
using OSStatus = int32_t;

// Statuses of the MIDI services.
inline constexpr OSStatus kMIDIParamErr = -50;
inline constexpr OSStatus kMIDIInvalidClient = -10830;
inline constexpr OSStatus kMIDIInvalidPort = -10831;
inline constexpr OSStatus kMIDINoConnection = -10833;
inline constexpr OSStatus kMIDIUnknownEndpoint = -10834;
inline constexpr OSStatus kMIDIServerStartErr = -10839;
inline constexpr OSStatus kMIDINotPermitted = -10844;

}  // namespace tolva
