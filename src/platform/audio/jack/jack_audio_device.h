#pragma once

// The device unit on a JACK server (jackd2 or PipeWire's JACK), through
// libjack. Each instance is one client "Tolva" with a mono input port "in"
// and a mono output port "out". The render callback runs inside the client's
// process callback on that same cycle's input, so the unit adds no latency.
//
// The backend never starts a server. A server that goes away while the unit
// runs is noticed through the shutdown callbacks (jackd calls the one with
// the reason, PipeWire's libjack only the plain one); from then on the unit
// is not alive, no call waits on it, and the calls that must still reach it
// are bounded in time. A server that changes its rate under the running unit
// (PipeWire may) is followed: the unit's rate listeners are told.
//
// How the calls map onto the client:
//   open            jack_client_open (no server started)   InstanceNew
//   enableOutput    register "out"                          EnableOutput
//   sampleRate      the server's rate                       GetSampleRate
//   enableInput     register "in"                           EnableInput
//   setStreamFormat the format's rate must be the server's   StreamFormat
//   initialize      process, shutdown and xrun callbacks    Initialize
//   start           jack_activate, connect to the first physical ports, and
//                   only then let cycles call the render callback
//   stop            no further cycle, wait (bounded) for the one under way,
//                   then jack_deactivate; a cycle that outlives the wait
//                   leaves the client as it is (cycleOutlivedStop)
//   dispose         jack_client_close

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/audio/audio_device_backend.h"

namespace tolva {

class JackAudioDevice : public AudioDeviceBackend {
  public:
    // serverName empty: the server libjack picks (jackd's libjack reads
    // JACK_DEFAULT_SERVER, else "default"; PipeWire's takes its own).
    explicit JackAudioDevice(std::string serverName = {}, std::string clientName = "Tolva");
    ~JackAudioDevice() override;
    JackAudioDevice(const JackAudioDevice&) = delete;
    JackAudioDevice& operator=(const JackAudioDevice&) = delete;

    // Opening twice is harmless: a second open() of an open client returns noErr,
    // so that a chooser may open the device to see whether a server answers.
    OSStatus open() override;
    OSStatus enableOutput(bool enable) override;
    OSStatus enableInput(bool enable) override;
    OSStatus sampleRate(double* rate) override;
    OSStatus bufferFrameSize(UInt32* frames) override;  // the server's current period
    OSStatus setStreamFormat(AudioCall side, const AudioStreamBasicDescription& format) override;
    OSStatus initialize() override;
    OSStatus start(AudioCycleHost& host) override;
    OSStatus stop() override;
    OSStatus uninitialize() override;
    OSStatus dispose() override;
    bool alive() const override;
    bool cycleOutlivedStop() const override { return outlived_; }
    OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING override;

    // Observations, from any thread.
    bool isOpen() const;
    std::string clientName() const;  // as the server named it: "Tolva", or "Tolva-01" if taken
    uint64_t cyclesRun() const;      // process callbacks that ran the render cycle
    uint64_t xruns() const;          // xruns the server reported while the client was active

    // How long a call that must reach a possibly dead server may take, and
    // how long stop() waits for a cycle under way.
    static constexpr std::chrono::milliseconds kServerCallLimit{2000};

    struct Client;  // what the server's threads may touch

  private:
    std::string serverName_;
    std::string requestedName_;
    std::unique_ptr<Client> client_;
    bool active_ = false;
    bool outlived_ = false;  // a cycle was still running when stop() gave up

    OSStatus reachable() const;  // an open client on a server still there
    void closeClient();
};

}  // namespace tolva
