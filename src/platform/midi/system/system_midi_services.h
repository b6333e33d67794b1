#pragma once

// The MIDI service of this machine. Every keyboard must reach the port once,
// and PipeWire shows the same keyboard both as a sequencer port and as a JACK
// MIDI port, so exactly one service is used: the ALSA sequencer when it opens,
// else JACK MIDI when a server answers, else none (no sources).

namespace tolva {

enum class SystemMidiService { AlsaSequencer, Jack, None };

// [UI] Which service this machine offers now.
SystemMidiService availableSystemMidiService();

// [UI] Installs the provider of that service for the MIDI-services calls.
// Call once at start-up, before the first Play.
void installSystemMidiServices();

}  // namespace tolva
