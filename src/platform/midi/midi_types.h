#pragma once

#include <cstdint>

namespace tolva {

// References to objects of the MIDI services.
using MIDIObjectRef = uint32_t;
using MIDIClientRef = MIDIObjectRef;
using MIDIPortRef = MIDIObjectRef;
using MIDIEndpointRef = MIDIObjectRef;
using ItemCount = unsigned long;

}  // namespace tolva
