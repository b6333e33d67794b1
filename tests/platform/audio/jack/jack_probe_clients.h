#pragma once

// Clients of our own on the test server: a source that plays a signal fixed
// by the server's frame clock, and a sink that records what reaches it by the
// same clock. Connected source -> Tolva:in and Tolva:out -> sink, both run in
// the same server cycle as Tolva, so a sample the sink records at frame f
// came through Tolva in the cycle that covered f.

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolva::test {

class ProbeClient {
  public:
    enum class Role { Source, Sink };
    // [JACK process thread] The source's sample at an absolute frame.
    using Signal = float (*)(uint32_t frame);

    // Opens and activates the client on the server JACK_DEFAULT_SERVER names.
    ProbeClient(Role role, std::string name, size_t capacityFrames = 48000 * 8);
    ~ProbeClient();
    ProbeClient(const ProbeClient&) = delete;
    ProbeClient& operator=(const ProbeClient&) = delete;

    bool ok() const { return client_ != nullptr; }
    jack_client_t* client() const { return client_; }
    std::string portName() const;  // "<client>:out" for a source, "<client>:in" for a sink

    void setSignal(Signal signal) { signal_.store(signal, std::memory_order_release); }
    // Connections, made by this client.
    bool connect(const std::string& from, const std::string& to);
    bool disconnect(const std::string& from, const std::string& to);

    // Sink: frames recorded so far, counted from the first cycle it ran.
    uint64_t framesRecorded() const { return recorded_.load(std::memory_order_acquire); }
    // Stops the client's cycles; what was recorded can then be read.
    void deactivate();
    // Sink, after deactivate(): the absolute frame of the first sample, and the samples.
    uint32_t firstFrame() const { return firstFrame_; }
    const std::vector<float>& samples() const { return samples_; }

  private:
    static int process(jack_nframes_t frames, void* arg);

    Role role_;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::atomic<Signal> signal_{nullptr};
    std::vector<float> samples_;  // sink: preallocated, written by the process thread
    bool started_ = false;        // process thread only
    uint32_t firstFrame_ = 0;     // process thread, then read after deactivate()
    std::atomic<uint64_t> recorded_{0};
    bool active_ = false;
};

// Waits until `done` holds, at most `limit`; a hang guard, not a timing test.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

}  // namespace tolva::test
