#include "platform/midi/alsa/sequencer_sources.h"

#include <alsa/asoundlib.h>

namespace tolva {

bool isAutomaticSource(const SequencerPortInfo& port, int ownClient) {
    constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
    if ((port.capability & kReadable) != kReadable ||
        (port.capability & SND_SEQ_PORT_CAP_NO_EXPORT) != 0) {
        return false;
    }
    if (port.client == SND_SEQ_CLIENT_SYSTEM || port.client == ownClient) {
        return false;
    }
    return port.clientName.rfind("PipeWire", 0) != 0;
}

}  // namespace tolva
