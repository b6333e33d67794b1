#pragma once

// MIDI services inside the process, for tests: sources that a test adds and
// feeds, each sending its packet lists from a thread of its own. Delivery to
// the ports is serialised, so the read callbacks see one list at a time, as
// on a platform MIDI thread. Client, port and connection calls can be made to
// fail with a chosen status.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/midi/midi_services_provider.h"

namespace tolva {

class InProcessMidiServices final : public MidiServicesProvider {
  public:
    // One packet of raw MIDI bytes; a list is a sequence of them.
    using Packet = std::vector<uint8_t>;

    InProcessMidiServices();
    ~InProcessMidiServices() override;
    InProcessMidiServices(const InProcessMidiServices&) = delete;
    InProcessMidiServices& operator=(const InProcessMidiServices&) = delete;

    // [test] Adds a source with its sending thread; returns its index.
    ItemCount addSource(std::string name);
    // [test] Queues one packet list on a source; its thread delivers the lists
    // in order to every port the source is connected to.
    void send(ItemCount source, std::vector<Packet> packets);
    // [test] Waits until every queued list has been delivered; false when the
    // timeout passed first.
    bool waitUntilDelivered(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // [test] Later calls of that kind fail with `status` (0 clears).
    void failClientCreate(OSStatus status);
    void failPortCreate(OSStatus status);
    void failConnect(ItemCount source, OSStatus status);
    // [test] The server goes away: every client so far is lost and its ports
    // receive nothing more; clients created afterwards work again.
    void loseServer();

    // Observations, from any thread.
    int clientsCreated() const;
    int portsCreated() const;
    int connectionsOf(ItemCount source) const;  // ports the source reaches
    uint64_t listsDelivered() const;
    // The thread that delivered the last list (the sources' own threads).
    std::thread::id lastDeliveryThread() const;

    OSStatus createClient(const char* name, MIDIClientRef* client) override;
    OSStatus createInputPort(MIDIClientRef client, const char* name, MIDIReadProc readProc,
                             void* refCon, MIDIPortRef* port) override;
    ItemCount numberOfSources() override;
    MIDIEndpointRef source(ItemCount index) override;
    OSStatus connectSource(MIDIPortRef port, MIDIEndpointRef source, void* sourceRefCon) override;
    bool clientLost(MIDIClientRef client) override;

  private:
    struct Port {
        MIDIPortRef ref;
        MIDIReadProc readProc;
        void* refCon;
    };
    struct Connection {
        size_t port;
        void* sourceRefCon;
    };
    struct Source;

    void run(Source& source);
    void deliver(Source& source, const std::vector<uint8_t>& list);

    mutable std::mutex mutex_;  // everything below but the sources' queues
    std::condition_variable idle_;
    MIDIObjectRef nextRef_ = 0;
    MIDIObjectRef lostUpTo_ = 0;  // references up to this one died with their server
    std::vector<MIDIClientRef> clients_;
    std::vector<Port> ports_;
    std::vector<std::unique_ptr<Source>> sources_;
    ItemCount listed_ = 0;
    OSStatus clientFailure_ = 0;
    OSStatus portFailure_ = 0;
    uint64_t pending_ = 0;
    uint64_t delivered_ = 0;
    std::thread::id lastDeliveryThread_;

    std::mutex deliveryMutex_;  // one list at a time reaches the callbacks
};

}  // namespace tolva
