#include "platform/midi/in_process_midi_services.h"

#include <algorithm>

#include "platform/midi/midi_packet_list.h"

namespace tolva {

struct InProcessMidiServices::Source {
    std::string name;
    MIDIEndpointRef ref = 0;
    OSStatus connectFailure = 0;
    std::vector<Connection> connections;  // guarded by the services' mutex_

    std::mutex queueMutex;
    std::condition_variable queued;
    std::deque<std::vector<uint8_t>> lists;
    bool stopping = false;
    std::thread thread;
};

namespace {

// A packet list in memory of exactly its own size.
std::vector<uint8_t> buildList(const std::vector<InProcessMidiServices::Packet>& packets) {
    size_t bytes = 0;
    for (const auto& packet : packets) {
        bytes += packet.size();
    }
    std::vector<uint8_t> memory(midiPacketListSize(packets.size(), bytes));
    auto* list = reinterpret_cast<MIDIPacketList*>(memory.data());
    MIDIPacket* current = MIDIPacketListInit(list);
    MIDITimeStamp time = 0;
    for (const auto& packet : packets) {
        current =
            MIDIPacketListAdd(list, memory.size(), current, time++, packet.size(), packet.data());
    }
    return memory;
}

}  // namespace

InProcessMidiServices::InProcessMidiServices() = default;

InProcessMidiServices::~InProcessMidiServices() {
    for (auto& source : sources_) {
        {
            std::lock_guard lock(source->queueMutex);
            source->stopping = true;
        }
        source->queued.notify_all();
        source->thread.join();
    }
}

ItemCount InProcessMidiServices::addSource(std::string name) {
    std::lock_guard lock(mutex_);
    auto source = std::make_unique<Source>();
    source->name = std::move(name);
    source->ref = ++nextRef_;
    Source& added = *source;
    sources_.push_back(std::move(source));
    added.thread = std::thread([this, &added] { run(added); });
    return sources_.size() - 1;
}

void InProcessMidiServices::send(ItemCount index, std::vector<Packet> packets) {
    Source* source = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (index >= sources_.size()) {
            return;
        }
        source = sources_[index].get();
        ++pending_;
    }
    {
        std::lock_guard lock(source->queueMutex);
        source->lists.push_back(buildList(packets));
    }
    source->queued.notify_one();
}

bool InProcessMidiServices::waitUntilDelivered(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return pending_ == 0; });
}

void InProcessMidiServices::run(Source& source) {
    for (;;) {
        std::vector<uint8_t> list;
        {
            std::unique_lock lock(source.queueMutex);
            source.queued.wait(lock, [&] { return source.stopping || !source.lists.empty(); });
            if (source.lists.empty()) {
                return;
            }
            list = std::move(source.lists.front());
            source.lists.pop_front();
        }
        deliver(source, list);
        {
            std::lock_guard lock(mutex_);
            --pending_;
            ++delivered_;
            lastDeliveryThread_ = std::this_thread::get_id();
        }
        idle_.notify_all();
    }
}

void InProcessMidiServices::deliver(Source& source, const std::vector<uint8_t>& list) {
    std::vector<std::pair<Port, void*>> targets;
    {
        std::lock_guard lock(mutex_);
        for (const Connection& connection : source.connections) {
            targets.emplace_back(ports_[connection.port], connection.sourceRefCon);
        }
    }
    std::lock_guard delivery(deliveryMutex_);
    for (const auto& [port, sourceRefCon] : targets) {
        port.readProc(reinterpret_cast<const MIDIPacketList*>(list.data()), port.refCon,
                      sourceRefCon);
    }
}

void InProcessMidiServices::failClientCreate(OSStatus status) {
    std::lock_guard lock(mutex_);
    clientFailure_ = status;
}

void InProcessMidiServices::failPortCreate(OSStatus status) {
    std::lock_guard lock(mutex_);
    portFailure_ = status;
}

void InProcessMidiServices::failConnect(ItemCount index, OSStatus status) {
    std::lock_guard lock(mutex_);
    if (index < sources_.size()) {
        sources_[index]->connectFailure = status;
    }
}

void InProcessMidiServices::loseServer() {
    std::lock_guard lock(mutex_);
    lostUpTo_ = nextRef_;
    for (auto& source : sources_) {
        source->connections.clear();
    }
}

bool InProcessMidiServices::clientLost(MIDIClientRef client) {
    std::lock_guard lock(mutex_);
    return client <= lostUpTo_;
}

int InProcessMidiServices::clientsCreated() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(clients_.size());
}

int InProcessMidiServices::portsCreated() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(ports_.size());
}

int InProcessMidiServices::connectionsOf(ItemCount index) const {
    std::lock_guard lock(mutex_);
    return index < sources_.size() ? static_cast<int>(sources_[index]->connections.size()) : 0;
}

uint64_t InProcessMidiServices::listsDelivered() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

std::thread::id InProcessMidiServices::lastDeliveryThread() const {
    std::lock_guard lock(mutex_);
    return lastDeliveryThread_;
}

OSStatus InProcessMidiServices::createClient(const char*, MIDIClientRef* client) {
    std::lock_guard lock(mutex_);
    if (clientFailure_ != 0) {
        return clientFailure_;
    }
    *client = ++nextRef_;
    clients_.push_back(*client);
    return 0;
}

OSStatus InProcessMidiServices::createInputPort(MIDIClientRef client, const char*,
                                                MIDIReadProc readProc, void* refCon,
                                                MIDIPortRef* port) {
    std::lock_guard lock(mutex_);
    if (std::find(clients_.begin(), clients_.end(), client) == clients_.end()) {
        return kMIDIInvalidClient;
    }
    if (portFailure_ != 0) {
        return portFailure_;
    }
    *port = ++nextRef_;
    ports_.push_back(Port{*port, readProc, refCon});
    return 0;
}

ItemCount InProcessMidiServices::numberOfSources() {
    std::lock_guard lock(mutex_);
    listed_ = sources_.size();
    return listed_;
}

MIDIEndpointRef InProcessMidiServices::source(ItemCount index) {
    std::lock_guard lock(mutex_);
    return index < listed_ ? sources_[index]->ref : 0;
}

OSStatus InProcessMidiServices::connectSource(MIDIPortRef port, MIDIEndpointRef ref,
                                              void* sourceRefCon) {
    std::lock_guard lock(mutex_);
    const auto portAt =
        std::find_if(ports_.begin(), ports_.end(), [&](const Port& p) { return p.ref == port; });
    if (portAt == ports_.end()) {
        return kMIDIInvalidPort;
    }
    const auto sourceAt = std::find_if(sources_.begin(), sources_.end(),
                                       [&](const auto& s) { return s->ref == ref; });
    if (sourceAt == sources_.end()) {
        return kMIDIUnknownEndpoint;
    }
    Source& source = **sourceAt;
    if (source.connectFailure != 0) {
        return source.connectFailure;
    }
    const auto portIndex = static_cast<size_t>(portAt - ports_.begin());
    const bool already = std::any_of(source.connections.begin(), source.connections.end(),
                                     [&](const Connection& c) { return c.port == portIndex; });
    if (!already) {
        source.connections.push_back(Connection{portIndex, sourceRefCon});
    }
    return 0;
}

}  // namespace tolva
