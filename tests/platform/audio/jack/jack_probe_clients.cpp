#include "jack_probe_clients.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace tolva::test {

ProbeClient::ProbeClient(Role role, std::string name, size_t capacityFrames) : role_(role) {
    if (role_ == Role::Sink) {
        samples_.assign(capacityFrames, 0.0f);
    }
    jack_status_t status{};
    client_ = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client_ == nullptr) {
        return;
    }
    port_ =
        jack_port_register(client_, role_ == Role::Source ? "out" : "in", JACK_DEFAULT_AUDIO_TYPE,
                           role_ == Role::Source ? JackPortIsOutput : JackPortIsInput, 0);
    if (port_ == nullptr || jack_set_process_callback(client_, &ProbeClient::process, this) != 0 ||
        jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        return;
    }
    active_ = true;
}

ProbeClient::~ProbeClient() {
    if (client_ != nullptr) {
        deactivate();
        jack_client_close(client_);
    }
}

std::string ProbeClient::portName() const {
    return port_ != nullptr ? jack_port_name(port_) : "";
}

bool ProbeClient::connect(const std::string& from, const std::string& to) {
    const int result = jack_connect(client_, from.c_str(), to.c_str());
    return result == 0 || result == EEXIST;
}

bool ProbeClient::disconnect(const std::string& from, const std::string& to) {
    return jack_disconnect(client_, from.c_str(), to.c_str()) == 0;
}

void ProbeClient::deactivate() {
    if (active_) {
        jack_deactivate(client_);
        active_ = false;
    }
}

int ProbeClient::process(jack_nframes_t frames, void* arg) {
    auto& self = *static_cast<ProbeClient*>(arg);
    auto* buffer = static_cast<float*>(jack_port_get_buffer(self.port_, frames));
    const jack_nframes_t now = jack_last_frame_time(self.client_);
    if (self.role_ == Role::Source) {
        const Signal signal = self.signal_.load(std::memory_order_acquire);
        for (jack_nframes_t i = 0; i < frames; ++i) {
            buffer[i] = signal != nullptr ? signal(now + i) : 0.0f;
        }
        return 0;
    }
    if (!self.started_) {
        self.started_ = true;
        self.firstFrame_ = now;
    }
    const uint64_t at = static_cast<uint32_t>(now - self.firstFrame_);
    for (jack_nframes_t i = 0; i < frames && at + i < self.samples_.size(); ++i) {
        self.samples_[at + i] = buffer[i];
    }
    self.recorded_.store(at + frames, std::memory_order_release);
    return 0;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace tolva::test
