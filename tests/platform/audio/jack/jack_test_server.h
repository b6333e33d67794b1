#pragma once

// The JACK server a test plays through, with a fake sound card of the test's
// own: a microphone that plays a signal, speakers that record what reaches
// them, and a MIDI keyboard, all by the server's frame clock. Microphone,
// Tolva and speakers run in one server cycle, so a sample recorded at frame f
// came through Tolva in the cycle that covered f.
// The server, by TOLVA_TEST_SERVER: "jackd" (or unset), a jackd of the test's
// own whose card is the probes (their ports flagged physical); "pipewire", a
// private PipeWire whose card the probes feed and listen to (the test runs
// under pw-jack), each started from test-server, dying with the test and
// ended by its PID; "running", a PipeWire with that card already up (its
// XDG_RUNTIME_DIR set), used as it is and never ended.

#include <jack/jack.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tolva::test {

// One probe client with one port. Not copied.
struct ProbeClient {
    enum class Role { Mic, Speakers, Keys };
    ProbeClient(Role role, const std::string& name, bool physical);
    ~ProbeClient() { jack_client_close(client); }
    std::string portName() const { return jack_port_name(port); }  // "client:port"
    // Speakers: waits (bounded) until `frames` more frames are recorded.
    bool recordMore(uint64_t frames);
    // Speakers: the last `frames` frames recorded; after stop(), every frame
    // from the absolute frame firstFrame on, up to recorded.
    std::vector<float> last(uint64_t frames) const;
    const std::vector<float>& stop() { return jack_deactivate(client), samples; }

    const Role role;
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    std::atomic<float (*)(uint32_t frame)> signal{nullptr};  // Mic: the sample at a frame
    std::vector<std::vector<uint8_t>> messages;              // Keys: sent in one cycle
    std::atomic<bool> pending{false};                        // ... once this is raised
    std::vector<float> samples;                              // Speakers
    uint32_t firstFrame = 0;
    std::atomic<uint64_t> recorded{0};
    // Speakers: whether a cycle never reached them (the server skipped it, or
    // they ran late) anywhere in recorded frames from .. to-1.
    bool missedBetween(uint64_t from, uint64_t to) const;
    static constexpr size_t kGapSlots = 1024;
    std::array<uint64_t, kGapSlots> gapStart{}, gapEnd{};  // written before `gaps`
    std::atomic<size_t> gaps{0};
};

struct JackTestServer {
    explicit JackTestServer(unsigned period = 256);
    ~JackTestServer();
    // Starts the server (again after kill) with a fresh card; false if no
    // client can connect.
    bool start();
    // The server goes away at once (PipeWire's daemon is killed, jackd told to
    // end); false for a running one.
    bool kill();
    bool pipeWire() const { return kind != "jackd"; }
    void end();

    const unsigned period;
    const std::string kind, name, state;
    pid_t pid = -1;
    std::unique_ptr<ProbeClient> mic, speakers, keys;
};

// Waits until `done` holds: a hang guard, not a timing test.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(20));

}  // namespace tolva::test
