#pragma once

// MIDI services over the ALSA sequencer: one client with one input port,
// subscribed to the sources connected through MIDIPortConnectSource. A reader
// thread of its own, the MIDI thread, turns the arriving events into raw MIDI,
// one message per packet, and hands them to the read callback.

#include <alsa/asoundlib.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/midi_services_provider.h"
#include "platform/midi/packet_list_writer.h"

namespace tolva {

class AlsaSequencerMidiServices final : public MidiServicesProvider {
  public:
    struct Names {
        std::string client = "Tolva";
        std::string port = "MIDI In";
    };

    AlsaSequencerMidiServices();
    explicit AlsaSequencerMidiServices(Names names);
    // [UI] Stops the reader thread and closes the sequencer.
    ~AlsaSequencerMidiServices() override;
    AlsaSequencerMidiServices(const AlsaSequencerMidiServices&) = delete;
    AlsaSequencerMidiServices& operator=(const AlsaSequencerMidiServices&) = delete;

    OSStatus createClient(const char* name, MIDIClientRef* client) override;
    OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* sourceRefCon) override;

    // [UI] Ends the reader thread; no callback follows. Also done on destruction.
    void stop();

  private:
    void read();  // [MIDI] the reader thread

    static constexpr MIDIClientRef kClientRef = 1;
    static constexpr MIDIPortRef kPortRef = 2;

    Names names_;
    snd_seq_t* seq_ = nullptr;
    int ownClient_ = -1;
    int port_ = -1;
    MIDIReadProc readProc_ = nullptr;
    void* refCon_ = nullptr;
    std::atomic<void*> sourceRefCon_{nullptr};
    PacketListWriter writer_;  // used by the reader thread only
    int stopPipe_[2] = {-1, -1};
    std::thread reader_;

    std::vector<MIDIEndpointRef> listed_;
    std::vector<MIDIEndpointRef> connected_;
};

}  // namespace tolva
