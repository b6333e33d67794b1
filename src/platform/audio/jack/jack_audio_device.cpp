#include "platform/audio/jack/jack_audio_device.h"

#include <jack/jack.h>

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/render_limits.h"
#include "platform/audio/jack/bounded_call.h"
#include "platform/jack/quiet_jack_messages.h"
#include "platform/realtime.h"

namespace tolva {

// Everything the server's threads (process, xrun, shutdown) see. If the
// server hangs in close, this is left alive on purpose: a late callback must
// never find it freed.
struct JackAudioDevice::Client {
    jack_client_t* handle = nullptr;
    jack_port_t* in = nullptr;   // set only while the client is inactive
    jack_port_t* out = nullptr;  // set only while the client is inactive
    std::string name;
    bool abandoned = false;  // a server call never came back; leave the client alone

    LockFreeAtomic<AudioCycleHost*> host{nullptr};
    LockFreeAtomic<bool> running{false};    // cycles may call the host
    LockFreeAtomic<uint32_t> ticks{0};      // process callbacks so far
    LockFreeAtomic<uint32_t> firstTick{0};  // the first that may call the host
    LockFreeAtomic<int> inCallback{0};      // process callbacks under way
    LockFreeAtomic<bool> gone{false};       // the server shut us down
    LockFreeAtomic<uint64_t> cycles{0};
    LockFreeAtomic<uint64_t> xruns{0};
    LockFreeAtomic<double> rate{0.0};  // the server's, kept up to date by its callback

    // Render thread only: this cycle's input, for the pull.
    const float* cycleInput = nullptr;
    UInt32 cycleFrames = 0;
    std::vector<float> scratch;  // the cycle's output while "out" is not registered
};

namespace {

// [render] One server cycle: the render callback on this cycle's input, or
// silence until the unit's connections are made and once it has been stopped.
int processCycle(jack_nframes_t frames, void* arg) TOLVA_NONBLOCKING {
    auto& c = *static_cast<JackAudioDevice::Client*>(arg);
    c.inCallback.fetch_add(1, std::memory_order_seq_cst);
    const uint32_t tick = c.ticks.fetch_add(1, std::memory_order_seq_cst) + 1;
    float* out =
        c.out != nullptr ? static_cast<float*>(jack_port_get_buffer(c.out, frames)) : nullptr;
    const auto sinceFirst =
        static_cast<int32_t>(tick - c.firstTick.load(std::memory_order_seq_cst));
    AudioCycleHost* host = c.running.load(std::memory_order_seq_cst) && sinceFirst >= 0
                               ? c.host.load(std::memory_order_acquire)
                               : nullptr;
    if (host == nullptr) {
        if (out != nullptr && frames > 0) {
            std::memset(out, 0, frames * sizeof(float));
        }
    } else {
        c.cycleInput = c.in != nullptr
                           ? static_cast<const float*>(jack_port_get_buffer(c.in, frames))
                           : nullptr;
        c.cycleFrames = frames;
        if (out == nullptr && frames <= c.scratch.size()) {
            out = c.scratch.data();
        }
        if (out != nullptr) {
            host->renderCycle(frames, out);
            c.cycles.fetch_add(1, std::memory_order_relaxed);
        }
        c.cycleInput = nullptr;
    }
    c.inCallback.fetch_sub(1, std::memory_order_seq_cst);
    return 0;
}

int countXrun(void* arg) {
    static_cast<JackAudioDevice::Client*>(arg)->xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// jackd calls the first, PipeWire's libjack only the second.
void serverShutDown(jack_status_t, const char*, void* arg) {
    static_cast<JackAudioDevice::Client*>(arg)->gone.store(true, std::memory_order_release);
}
void serverShutDownPlain(void* arg) {
    serverShutDown(JackFailure, nullptr, arg);
}

// A server that allows several rates (PipeWire) may change it under a running client.
int rateChanged(jack_nframes_t rate, void* arg) {
    auto& c = *static_cast<JackAudioDevice::Client*>(arg);
    c.rate.store(static_cast<double>(rate), std::memory_order_release);
    if (AudioCycleHost* host = c.host.load(std::memory_order_acquire)) {
        host->sampleRateChanged();
    }
    return 0;
}

// PipeWire lists the monitors of its sinks among the capture ports; taking one
// as the input would feed the output back into itself.
bool isMonitor(const char* port) {
    return std::strstr(port, ":monitor_") != nullptr;
}

void connectToPhysicalPorts(jack_client_t* client, jack_port_t* in, jack_port_t* out) {
    if (in != nullptr) {
        if (const char** capture = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                  JackPortIsPhysical | JackPortIsOutput)) {
            for (const char** p = capture; *p != nullptr; ++p) {
                if (!isMonitor(*p)) {
                    jack_connect(client, *p, jack_port_name(in));
                    break;
                }
            }
            jack_free(capture);
        }
    }
    if (out != nullptr) {
        // The mono output goes to both speakers.
        if (const char** playback = jack_get_ports(client, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                   JackPortIsPhysical | JackPortIsInput)) {
            for (int i = 0; i < 2 && playback[i] != nullptr; ++i) {
                jack_connect(client, jack_port_name(out), playback[i]);
            }
            jack_free(playback);
        }
    }
}

}  // namespace

OSStatus JackAudioDevice::reachable() const {
    if (!client_) {
        return kAudioHardwareBadDeviceError;
    }
    if (client_->gone.load(std::memory_order_acquire)) {
        return kAudioHardwareNotRunningError;
    }
    return noErr;
}

JackAudioDevice::JackAudioDevice(std::string serverName, std::string clientName)
    : serverName_(std::move(serverName)), requestedName_(std::move(clientName)) {}

JackAudioDevice::~JackAudioDevice() {
    if (active_) {
        stop();
    }
    closeClient();
}

OSStatus JackAudioDevice::open() {
    if (client_) {
        return noErr;
    }
    auto c = std::make_unique<Client>();
    jack_status_t status{};
    {
        QuietJackMessages quiet;
        if (serverName_.empty()) {
            c->handle = jack_client_open(requestedName_.c_str(), JackNoStartServer, &status);
        } else {
            c->handle =
                jack_client_open(requestedName_.c_str(),
                                 static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                 &status, serverName_.c_str());
        }
    }
    if (c->handle == nullptr) {
        return (status & JackServerFailed) != 0 ? kAudioHardwareNotRunningError
                                                : kAudioHardwareBadDeviceError;
    }
    c->name = jack_get_client_name(c->handle);
    c->rate.store(static_cast<double>(jack_get_sample_rate(c->handle)));
    jack_on_info_shutdown(c->handle, &serverShutDown, c.get());
    jack_on_shutdown(c->handle, &serverShutDownPlain, c.get());
    client_ = std::move(c);
    return noErr;
}

namespace {

// Registers or unregisters one port of an inactive client.
OSStatus setPort(jack_client_t* client, jack_port_t*& port, const char* name, unsigned long flags,
                 bool enable) {
    if (enable && port == nullptr) {
        port = jack_port_register(client, name, JACK_DEFAULT_AUDIO_TYPE, flags, 0);
        return port != nullptr ? noErr : kAudioHardwareBadDeviceError;
    }
    if (!enable && port != nullptr) {
        const int failed = jack_port_unregister(client, port);
        port = nullptr;
        return failed == 0 ? noErr : kAudioHardwareBadDeviceError;
    }
    return noErr;
}

}  // namespace

OSStatus JackAudioDevice::enableOutput(bool enable) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    if (active_) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    return setPort(client_->handle, client_->out, "out", JackPortIsOutput, enable);
}

OSStatus JackAudioDevice::enableInput(bool enable) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    if (active_) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    return setPort(client_->handle, client_->in, "in", JackPortIsInput, enable);
}

OSStatus JackAudioDevice::sampleRate(double* rate) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    const double serverRate = client_->rate.load(std::memory_order_acquire);
    if (serverRate == 0.0) {
        return kAudioHardwareUnspecifiedError;
    }
    *rate = serverRate;
    return noErr;
}

OSStatus JackAudioDevice::bufferFrameSize(UInt32* frames) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    *frames = jack_get_buffer_size(client_->handle);
    return noErr;
}

OSStatus JackAudioDevice::setStreamFormat(AudioCall, const AudioStreamBasicDescription& format) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    // The server does not resample: the format must carry its rate.
    return format.mSampleRate == client_->rate.load() ? noErr : kAudioDeviceUnsupportedFormatError;
}

OSStatus JackAudioDevice::initialize() {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    if (active_) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    if (client_->out == nullptr && client_->scratch.empty()) {
        client_->scratch.assign(kMaxDeviceFrames, 0.0f);
    }
    if (jack_set_process_callback(client_->handle, &processCycle, client_.get()) != 0 ||
        jack_set_xrun_callback(client_->handle, &countXrun, client_.get()) != 0 ||
        jack_set_sample_rate_callback(client_->handle, &rateChanged, client_.get()) != 0) {
        return kAudioUnitErr_FailedInitialization;
    }
    return noErr;
}

OSStatus JackAudioDevice::start(AudioCycleHost& host) {
    if (const OSStatus status = reachable(); status != noErr) {
        return status;
    }
    if (active_) {
        return noErr;
    }
    client_->host.store(&host, std::memory_order_release);
    if (jack_activate(client_->handle) != 0) {
        client_->host.store(nullptr, std::memory_order_release);
        return client_->gone.load(std::memory_order_acquire) ? kAudioHardwareNotRunningError
                                                             : kAudioHardwareUnspecifiedError;
    }
    active_ = true;
    // Missing physical ports are not an error: the user connects the ports.
    connectToPhysicalPorts(client_->handle, client_->in, client_->out);
    // Only now does the render callback run: its first cycle, the fade-in,
    // is one the speakers hear. The server's graph changes at a cycle's start,
    // and the callback counted next may belong to a cycle that started before
    // the connections; the one after it cannot. PipeWire may take some
    // milliseconds more to bring a new link into its graph, so the first cycle
    // is also 10 ms on. Until then the ports play silence.
    const jack_nframes_t period =
        std::max<jack_nframes_t>(jack_get_buffer_size(client_->handle), 1);
    const auto settle = static_cast<uint32_t>(client_->rate.load() / 100.0 / period) + 1;
    client_->firstTick.store(client_->ticks.load(std::memory_order_seq_cst) + std::max(settle, 2u),
                             std::memory_order_seq_cst);
    client_->running.store(true, std::memory_order_seq_cst);
    return noErr;
}

OSStatus JackAudioDevice::stop() {
    if (!client_ || !active_) {
        return noErr;
    }
    Client& c = *client_;
    // No cycle calls the host from here on; wait out the one under way.
    c.running.store(false, std::memory_order_seq_cst);
    active_ = false;
    const auto deadline = std::chrono::steady_clock::now() + kServerCallLimit;
    while (c.inCallback.load(std::memory_order_seq_cst) != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            // A cycle stalled inside the render callback. It may still use
            // the host and everything the host renders with: the client is
            // left as it is, and the caller must free nothing.
            outlived_ = true;
            c.abandoned = true;
            return kAudioHardwareUnspecifiedError;
        }
        std::this_thread::yield();
    }
    OSStatus status = noErr;
    if (c.gone.load(std::memory_order_acquire)) {
        status = kAudioHardwareNotRunningError;
    } else if (!c.abandoned) {
        jack_client_t* handle = c.handle;
        if (!runBounded([handle] { jack_deactivate(handle); }, kServerCallLimit)) {
            c.abandoned = true;
            status = kAudioHardwareNotRunningError;
        }
    }
    c.host.store(nullptr, std::memory_order_release);
    return status;
}

OSStatus JackAudioDevice::uninitialize() {
    return noErr;
}

OSStatus JackAudioDevice::dispose() {
    if (active_) {
        stop();
    }
    closeClient();
    return noErr;
}

void JackAudioDevice::closeClient() {
    if (!client_) {
        return;
    }
    if (client_->abandoned) {
        (void)client_.release();  // the server holds it; a late callback may still come
        return;
    }
    jack_client_t* handle = client_->handle;
    if (runBounded([handle] { jack_client_close(handle); }, kServerCallLimit)) {
        client_.reset();
    } else {
        (void)client_.release();
    }
}

OSStatus JackAudioDevice::pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING {
    if (frames == 0) {
        return noErr;
    }
    auto* dst = static_cast<float*>(io->mBuffers[0].mData);
    const Client& c = *client_;
    const float* src = c.cycleInput;  // null: no "in" port, the input is silence
    const UInt32 available = src == nullptr ? 0 : (frames < c.cycleFrames ? frames : c.cycleFrames);
    if (available > 0 && src != dst) {
        std::memmove(dst, src, available * sizeof(float));
    }
    if (available < frames) {
        std::memset(dst + available, 0, (frames - available) * sizeof(float));
    }
    return noErr;
}

bool JackAudioDevice::isOpen() const {
    return client_ != nullptr;
}

std::string JackAudioDevice::clientName() const {
    return client_ ? client_->name : std::string();
}

uint64_t JackAudioDevice::cyclesRun() const {
    return client_ ? client_->cycles.load(std::memory_order_relaxed) : 0;
}

uint64_t JackAudioDevice::xruns() const {
    return client_ ? client_->xruns.load(std::memory_order_relaxed) : 0;
}

bool JackAudioDevice::alive() const {
    return client_ && !client_->gone.load(std::memory_order_acquire);
}

}  // namespace tolva
