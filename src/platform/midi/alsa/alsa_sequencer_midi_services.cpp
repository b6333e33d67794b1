#include "platform/midi/alsa/alsa_sequencer_midi_services.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/midi/alsa/sequencer_event_bytes.h"
#include "platform/midi/alsa/sequencer_sources.h"

#include "platform/alsa/quiet_alsa_messages.h"

namespace tolva {
namespace {

// System Exclusive data goes out in packets of at most this many bytes.
constexpr size_t kSysexChunk = 1024;
constexpr size_t kListBytes = 16 * 1024;

MIDIEndpointRef endpointOf(int client, int port) {
    return static_cast<MIDIEndpointRef>((client << 8) | (port & 0xFF));
}

}  // namespace

AlsaSequencerMidiServices::AlsaSequencerMidiServices() : AlsaSequencerMidiServices(Names{}) {}

AlsaSequencerMidiServices::AlsaSequencerMidiServices(Names names)
    : names_(std::move(names)), writer_(kListBytes) {}

AlsaSequencerMidiServices::~AlsaSequencerMidiServices() {
    stop();
    if (seq_ != nullptr) {
        snd_seq_close(seq_);
    }
}

OSStatus AlsaSequencerMidiServices::createClient(const char*, MIDIClientRef* client) {
    if (seq_ != nullptr) {
        return kMIDINotPermitted;  // one client per process
    }
    QuietAlsaMessages quiet;  // no sequencer is an answer, given by the status
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
        seq_ = nullptr;
        return kMIDIServerStartErr;
    }
    snd_seq_set_client_name(seq_, names_.client.c_str());
    ownClient_ = snd_seq_client_id(seq_);
    *client = kClientRef;
    return 0;
}

OSStatus AlsaSequencerMidiServices::createInputPort(MIDIClientRef client, const char*,
                                                    MIDIReadProc readProc, void* refCon,
                                                    MIDIPortRef* port) {
    if (client != kClientRef || seq_ == nullptr) {
        return kMIDIInvalidClient;
    }
    if (port_ >= 0) {
        return kMIDINotPermitted;  // one input port
    }
    port_ = snd_seq_create_simple_port(
        seq_, names_.port.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port_ < 0) {
        port_ = -1;
        return kMIDIInvalidPort;
    }
    if (pipe2(stopPipe_, O_CLOEXEC) != 0) {
        snd_seq_delete_simple_port(seq_, port_);
        port_ = -1;
        return kMIDIInvalidPort;
    }
    readProc_ = readProc;
    refCon_ = refCon;
    reader_ = std::thread([this] { read(); });
    *port = kPortRef;
    return 0;
}

void AlsaSequencerMidiServices::stop() {
    if (!reader_.joinable()) {
        return;
    }
    const char byte = 0;
    while (write(stopPipe_[1], &byte, 1) < 0 && errno == EINTR) {
    }
    reader_.join();
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    stopPipe_[0] = stopPipe_[1] = -1;
}

void AlsaSequencerMidiServices::read() {
    const int seqFds = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(std::max(seqFds, 0)) + 1);
    fds[0] = {stopPipe_[0], POLLIN, 0};
    snd_seq_poll_descriptors(seq_, fds.data() + 1, static_cast<unsigned>(seqFds), POLLIN);

    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        writer_.begin(readProc_, refCon_, sourceRefCon_.load(std::memory_order_acquire));
        // Everything that has arrived goes out in one list.
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq_, &event);
            if (result == -ENOSPC) {
                continue;  // the input queue overran; what follows still counts
            }
            if (result < 0 || event == nullptr) {
                break;
            }
            SequencerMessages messages;
            if (translateSequencerEvent(*event, messages)) {
                for (int i = 0; i < messages.count; ++i) {
                    writer_.add(0, messages.bytes[i], messages.length[i]);
                }
            } else {
                const SysexBytes sysex = sequencerSysexBytes(*event);
                writer_.add(0, sysex.data, sysex.size, kSysexChunk);
            }
        }
        writer_.finish();
    }
}

ItemCount AlsaSequencerMidiServices::numberOfSources() {
    listed_.clear();
    if (seq_ == nullptr) {
        return 0;
    }
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_malloc(&clientInfo);
    snd_seq_port_info_malloc(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq_, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq_, portInfo) >= 0) {
            SequencerPortInfo info;
            info.client = client;
            info.port = snd_seq_port_info_get_port(portInfo);
            info.capability = snd_seq_port_info_get_capability(portInfo);
            info.clientName = snd_seq_client_info_get_name(clientInfo);
            if (isAutomaticSource(info, ownClient_)) {
                listed_.push_back(endpointOf(info.client, info.port));
            }
        }
    }
    snd_seq_port_info_free(portInfo);
    snd_seq_client_info_free(clientInfo);
    return listed_.size();
}

MIDIEndpointRef AlsaSequencerMidiServices::source(ItemCount index) {
    return index < listed_.size() ? listed_[index] : 0;
}

OSStatus AlsaSequencerMidiServices::connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                                  void* sourceRefCon) {
    if (port != kPortRef || port_ < 0) {
        return kMIDIInvalidPort;
    }
    if (source == 0) {
        return kMIDIUnknownEndpoint;
    }
    if (std::find(connected_.begin(), connected_.end(), source) != connected_.end()) {
        return 0;
    }
    const int result = snd_seq_connect_from(seq_, port_, static_cast<int>(source >> 8),
                                            static_cast<int>(source & 0xFF));
    if (result < 0 && result != -EBUSY) {
        return kMIDINoConnection;
    }
    connected_.push_back(source);
    sourceRefCon_.store(sourceRefCon, std::memory_order_release);
    return 0;
}

}  // namespace tolva
