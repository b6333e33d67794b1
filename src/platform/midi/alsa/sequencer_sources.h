#pragma once

// Which sequencer ports are connected to our input automatically.

#include <string>

namespace tolva {

struct SequencerPortInfo {
    int client = 0;
    int port = 0;
    unsigned capability = 0;  // SND_SEQ_PORT_CAP_*
    std::string clientName;
};

// [UI] A port that sends MIDI we may subscribe to: readable and open to
// subscription, exported, not of the system client (timer and announcements),
// not our own, and not one of PipeWire's bridge clients, which hand back what
// PipeWire itself reads from the keyboards we connect directly.
bool isAutomaticSource(const SequencerPortInfo& port, int ownClient);

}  // namespace tolva
