#pragma once

// MIDI services over JACK MIDI. The client is our own, apart from any JACK
// audio client, and lives from its creation to the end of the process (or of
// this object). Its one input port can be connected by hand as well; the
// JACK process callback is the MIDI thread, and it hands each cycle's events
// to the read callback as one packet list, one message per packet, without
// allocating. The sources are every JACK MIDI output port. Creating the
// client never starts a server; a server that goes away loses the client.

#include <jack/jack.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/midi/midi_services_provider.h"
#include "platform/midi/packet_list_writer.h"

namespace tolva {

class JackMidiServices final : public MidiServicesProvider {
  public:
    struct Names {
        std::string client = "Tolva MIDI";
        std::string port = "midi_in";
    };

    JackMidiServices();
    explicit JackMidiServices(Names names);
    // [UI] Closes the client; the read callback is not called afterwards.
    ~JackMidiServices() override;
    JackMidiServices(const JackMidiServices&) = delete;
    JackMidiServices& operator=(const JackMidiServices&) = delete;

    // [UI] The full name of the input port ("client:port"), empty before it exists.
    std::string inputPortName() const;

    OSStatus createClient(const char* name, MIDIClientRef* client) override;
    OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* sourceRefCon) override;
    // True once the server has shut the client down.
    bool clientLost(MIDIClientRef client) override;

  private:
    static int process(jack_nframes_t frames, void* self);
    void cycle(jack_nframes_t frames) TOLVA_NONBLOCKING;  // [MIDI]

    static constexpr MIDIClientRef kClientRef = 1;
    static constexpr MIDIPortRef kPortRef = 2;

    Names names_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    MIDIReadProc readProc_ = nullptr;
    void* refCon_ = nullptr;
    // Only one source context reaches the callback: JACK merges every
    // connection into the one port buffer.
    std::atomic<void*> sourceRefCon_{nullptr};
    std::atomic<bool> lost_{false};  // set on the server's thread
    PacketListWriter writer_;        // its memory is taken before activation

    std::vector<std::string> known_;       // every source seen; reference = index + 1
    std::vector<MIDIEndpointRef> listed_;  // the last count's sources
    std::vector<MIDIEndpointRef> connected_;
};

}  // namespace tolva
