#include "jack_midi_sender.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace tolva::test {

JackMidiSender::JackMidiSender(const std::string& name) {
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) {
        return;
    }
    for (auto& message : batch_) {
        message.reserve(16);
    }
    port_ = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (port_ == nullptr) {
        return;
    }
    jack_set_process_callback(client_, &JackMidiSender::process, this);
    if (jack_activate(client_) != 0) {
        port_ = nullptr;
    }
}

JackMidiSender::~JackMidiSender() {
    if (client_ != nullptr) {
        jack_client_close(client_);
    }
}

std::string JackMidiSender::portName() const {
    return port_ ? jack_port_name(port_) : "";
}

int JackMidiSender::connections() const {
    return port_ ? jack_port_connected(port_) : 0;
}

bool JackMidiSender::waitForConnections(int count) const {
    // A new connection joins the graph at a following cycle.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (connections() != count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool JackMidiSender::send(const std::vector<Message>& messages) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (pending_.load(std::memory_order_acquire)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    batchSize_ = std::min(messages.size(), kMaxMessages);
    for (size_t i = 0; i < batchSize_; ++i) {
        batch_[i].assign(messages[i].begin(), messages[i].end());
    }
    pending_.store(true, std::memory_order_release);
    return true;
}

int JackMidiSender::process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackMidiSender*>(arg);
    void* buffer = jack_port_get_buffer(self->port_, frames);
    jack_midi_clear_buffer(buffer);
    if (self->pending_.load(std::memory_order_acquire)) {
        for (size_t i = 0; i < self->batchSize_; ++i) {
            const auto time = static_cast<jack_nframes_t>(std::min<size_t>(i, frames - 1));
            jack_midi_event_write(buffer, time, self->batch_[i].data(), self->batch_[i].size());
        }
        self->pending_.store(false, std::memory_order_release);
    }
    return 0;
}

}  // namespace tolva::test
