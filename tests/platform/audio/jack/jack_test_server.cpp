#include "jack_test_server.h"

#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tolva::test {
namespace {

int process(jack_nframes_t frames, void* arg) {
    auto& self = *static_cast<ProbeClient*>(arg);
    void* buffer = jack_port_get_buffer(self.port, frames);
    auto* audio = static_cast<float*>(buffer);
    const jack_nframes_t now = jack_last_frame_time(self.client);
    if (self.role == ProbeClient::Role::Mic) {
        const auto signal = self.signal.load();
        for (jack_nframes_t i = 0; i < frames; ++i) {
            audio[i] = signal != nullptr ? signal(now + i) : 0.0f;
        }
    } else if (self.role == ProbeClient::Role::Keys) {
        jack_midi_clear_buffer(buffer);
        for (const auto& message : self.pending ? self.messages : decltype(self.messages){}) {
            jack_midi_event_write(buffer, 0, message.data(), message.size());
        }
        self.pending = false;
    } else {
        // A cycle the server skipped leaves its frames at 0. A jump of PipeWire's
        // frame clock (as the graph changes) is no gap: recording goes on.
        const auto since = static_cast<int32_t>(now - self.firstFrame);
        if (self.recorded == 0 || since < 0 || uint64_t(since) > self.recorded + 8 * frames) {
            self.firstFrame = now - static_cast<jack_nframes_t>(self.recorded);
        }
        const uint64_t at = now - self.firstFrame;
        if (const size_t gap = self.gaps.load(); at > self.recorded && gap < self.kGapSlots) {
            self.gapStart[gap] = self.recorded;
            self.gapEnd[gap] = at;
            self.gaps.store(gap + 1);
        }
        for (jack_nframes_t i = 0; i < frames && at + i < self.samples.size(); ++i) {
            self.samples[at + i] = audio[i];
        }
        self.recorded = std::min<uint64_t>(at + frames, self.samples.size());
    }
    return 0;
}

}  // namespace

ProbeClient::ProbeClient(Role r, const std::string& name, bool physical)
    : role(r), samples(r == Role::Speakers ? 48000 * 10 : 0) {
    jack_status_t status{};
    client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    const bool in = role == Role::Speakers;
    port = jack_port_register(
        client, in ? "playback_1" : "capture_1",
        role == Role::Keys ? JACK_DEFAULT_MIDI_TYPE : JACK_DEFAULT_AUDIO_TYPE,
        (in ? JackPortIsInput : JackPortIsOutput) | (physical ? JackPortIsPhysical : 0), 0);
    jack_set_process_callback(client, &process, this);
    jack_activate(client);
}

bool ProbeClient::recordMore(uint64_t frames) {
    const uint64_t target = recorded + frames;
    return waitUntil([&] { return recorded >= target; });
}

bool ProbeClient::missedBetween(uint64_t from, uint64_t to) const {
    const size_t count = gaps.load();
    for (size_t g = 0; g < count; ++g) {
        if (gapStart[g] < to && from < gapEnd[g]) {
            return true;
        }
    }
    return false;
}

std::vector<float> ProbeClient::last(uint64_t frames) const {
    const auto end = samples.begin() + static_cast<long>(recorded.load());
    return {end - static_cast<long>(frames), end};
}

JackTestServer::JackTestServer(unsigned p)
    : period(p),
      kind(std::getenv("TOLVA_TEST_SERVER") ? std::getenv("TOLVA_TEST_SERVER") : "jackd"),
      name("tolva-test-" + std::to_string(getpid()) + "-" + std::to_string(p)),
      state(std::filesystem::temp_directory_path() / name) {
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    // Clients find this server, and no other, from now on.
    setenv(pipeWire() ? "XDG_RUNTIME_DIR" : "JACK_DEFAULT_SERVER",
           pipeWire() ? (state + "/run").c_str() : name.c_str(), kind != "running");
}

JackTestServer::~JackTestServer() {
    end();
    std::error_code ignored;
    std::filesystem::remove_all(state, ignored);
}

bool JackTestServer::start() {
    end();
    if (kind != "running") {
        std::filesystem::remove(state + "/ready");
        pid = fork();
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // the server goes with the test
            execl(TOLVA_TEST_SERVER_SCRIPT, TOLVA_TEST_SERVER_SCRIPT, kind.c_str(), state.c_str(),
                  std::to_string(period).c_str(), name.c_str(), nullptr);
            _exit(127);
        }
        waitUntil([&] { return std::filesystem::exists(state + "/ready"); });
    }
    if (!waitUntil([] {
            jack_client_t* ping = jack_client_open("tolva-ping", JackNoStartServer, nullptr);
            return ping != nullptr && jack_client_close(ping) == 0;
        })) {
        return false;
    }
    mic = std::make_unique<ProbeClient>(ProbeClient::Role::Mic, "mic", !pipeWire());
    speakers = std::make_unique<ProbeClient>(ProbeClient::Role::Speakers, "speakers", !pipeWire());
    keys = std::make_unique<ProbeClient>(ProbeClient::Role::Keys, "keys", false);
    if (pipeWire()) {
        jack_connect(mic->client, mic->portName().c_str(), "Mic input:playback_FL");
        jack_connect(speakers->client, "Speakers:monitor_FL", speakers->portName().c_str());
    }
    return true;
}

bool JackTestServer::kill() {
    // jackd is ended at once, as its user would end it: one killed outright
    // would hold its entry in the machine's table of servers, and eight such
    // leave no jackd on the machine able to start.
    pid_t daemon = -1;
    return pid > 0 && (std::ifstream(state + "/daemon.pid") >> daemon) &&
           ::kill(daemon, pipeWire() ? SIGKILL : SIGTERM) == 0;
}

void JackTestServer::end() {
    for (auto* probe : {&keys, &speakers, &mic}) {
        probe->reset();  // a client of a dead server must go before one of its name comes
    }
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        if (!waitUntil([&] { return waitpid(pid, nullptr, WNOHANG) != 0; })) {
            ::kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
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
