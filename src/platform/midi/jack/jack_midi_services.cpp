#include "platform/midi/jack/jack_midi_services.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>

#include "platform/jack/quiet_jack_messages.h"

namespace tolva {
namespace {

// Room for a cycle's worth of short messages, or one packet of the largest size.
constexpr size_t kListBytes = midiPacketListSize(1, kMIDIPacketMaxLength) + 16 * 1024;

}  // namespace

JackMidiServices::JackMidiServices() : JackMidiServices(Names{}) {}

JackMidiServices::JackMidiServices(Names names) : names_(std::move(names)), writer_(kListBytes) {}

JackMidiServices::~JackMidiServices() {
    if (client_ != nullptr) {
        jack_client_close(client_);
    }
}

std::string JackMidiServices::inputPortName() const {
    return port_ != nullptr ? std::string(jack_port_name(port_)) : std::string();
}

OSStatus JackMidiServices::createClient(const char*, MIDIClientRef* client) {
    if (client_ != nullptr) {
        return kMIDINotPermitted;  // one client per process
    }
    jack_status_t status{};
    {
        QuietJackMessages quiet;  // no server is an answer, given by the status
        client_ = jack_client_open(names_.client.c_str(), JackNoStartServer, &status);
    }
    if (client_ == nullptr) {
        return kMIDIServerStartErr;
    }
    // jackd calls the first, PipeWire's libjack only the second.
    jack_on_info_shutdown(
        client_,
        [](jack_status_t, const char*, void* self) {
            static_cast<JackMidiServices*>(self)->lost_.store(true, std::memory_order_release);
        },
        this);
    jack_on_shutdown(
        client_,
        [](void* self) {
            static_cast<JackMidiServices*>(self)->lost_.store(true, std::memory_order_release);
        },
        this);
    *client = kClientRef;
    return 0;
}

OSStatus JackMidiServices::createInputPort(MIDIClientRef client, const char*, MIDIReadProc readProc,
                                           void* refCon, MIDIPortRef* port) {
    if (client != kClientRef || client_ == nullptr) {
        return kMIDIInvalidClient;
    }
    if (port_ != nullptr) {
        return kMIDINotPermitted;  // one input port
    }
    port_ = jack_port_register(client_, names_.port.c_str(), JACK_DEFAULT_MIDI_TYPE,
                               JackPortIsInput, 0);
    if (port_ == nullptr) {
        return kMIDIInvalidPort;
    }
    readProc_ = readProc;
    refCon_ = refCon;
    if (jack_set_process_callback(client_, &JackMidiServices::process, this) != 0 ||
        jack_activate(client_) != 0) {
        jack_port_unregister(client_, port_);
        port_ = nullptr;
        return kMIDIServerStartErr;
    }
    *port = kPortRef;
    return 0;
}

int JackMidiServices::process(jack_nframes_t frames, void* self) {
    static_cast<JackMidiServices*>(self)->cycle(frames);
    return 0;
}

void JackMidiServices::cycle(jack_nframes_t frames) TOLVA_NONBLOCKING {
    void* buffer = jack_port_get_buffer(port_, frames);
    const uint32_t events = jack_midi_get_event_count(buffer);
    if (events == 0) {
        return;
    }
    writer_.begin(readProc_, refCon_, sourceRefCon_.load(std::memory_order_acquire));
    const jack_nframes_t cycleStart = jack_last_frame_time(client_);
    for (uint32_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) == 0) {
            writer_.add(cycleStart + event.time, event.buffer, event.size);
        }
    }
    writer_.finish();
}

bool JackMidiServices::clientLost(MIDIClientRef client) {
    return client == kClientRef && lost_.load(std::memory_order_acquire);
}

ItemCount JackMidiServices::numberOfSources() {
    listed_.clear();
    if (client_ == nullptr) {
        return 0;
    }
    const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    const std::string own = std::string(jack_get_client_name(client_)) + ":";
    for (const char** name = ports; name != nullptr && *name != nullptr; ++name) {
        const std::string portName(*name);
        if (portName.compare(0, own.size(), own) == 0) {
            continue;
        }
        auto at = std::find(known_.begin(), known_.end(), portName);
        if (at == known_.end()) {
            at = known_.insert(known_.end(), portName);
        }
        listed_.push_back(static_cast<MIDIEndpointRef>(at - known_.begin()) + 1);
    }
    if (ports != nullptr) {
        jack_free(ports);
    }
    return listed_.size();
}

MIDIEndpointRef JackMidiServices::source(ItemCount index) {
    return index < listed_.size() ? listed_[index] : 0;
}

OSStatus JackMidiServices::connectSource(MIDIPortRef port, MIDIEndpointRef source,
                                         void* sourceRefCon) {
    if (port != kPortRef || port_ == nullptr) {
        return kMIDIInvalidPort;
    }
    if (source == 0 || source > known_.size()) {
        return kMIDIUnknownEndpoint;
    }
    if (std::find(connected_.begin(), connected_.end(), source) != connected_.end()) {
        return 0;
    }
    const int result = jack_connect(client_, known_[source - 1].c_str(), jack_port_name(port_));
    if (result != 0 && result != EEXIST) {
        return kMIDINoConnection;
    }
    connected_.push_back(source);
    sourceRefCon_.store(sourceRefCon, std::memory_order_release);
    return 0;
}

}  // namespace tolva
