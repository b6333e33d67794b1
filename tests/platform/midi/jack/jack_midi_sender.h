#pragma once

// A small JACK client with one MIDI output port, for tests: each batch of
// messages handed to send() goes out in one process cycle.

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tolva::test {

class JackMidiSender {
  public:
    using Message = std::vector<uint8_t>;

    // Opens the client `name` with the output port "out"; check ok().
    explicit JackMidiSender(const std::string& name);
    ~JackMidiSender();
    JackMidiSender(const JackMidiSender&) = delete;
    JackMidiSender& operator=(const JackMidiSender&) = delete;

    bool ok() const { return port_ != nullptr; }
    std::string portName() const;
    jack_client_t* client() const { return client_; }
    // The ports the output reaches, as the running graph has it.
    int connections() const;
    // Waits until the output reaches `count` ports; false after a generous bound.
    bool waitForConnections(int count) const;

    // Queues the messages for the next cycle, once the previous batch is out;
    // false when that takes longer than a second.
    bool send(const std::vector<Message>& messages);

  private:
    static int process(jack_nframes_t frames, void* self);

    static constexpr size_t kMaxMessages = 32;
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
    std::array<Message, kMaxMessages> batch_{};
    size_t batchSize_ = 0;
    std::atomic<bool> pending_{false};
};

}  // namespace tolva::test
