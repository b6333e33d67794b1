#include "jack_test_server.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace tolva::test {
namespace {

std::atomic<int> gServersMade{0};
constexpr std::chrono::seconds kStartLimit{15};

void silent(const char*) {}

}  // namespace

void silenceJackMessages() {
    jack_set_error_function(&silent);
    jack_set_info_function(&silent);
}

bool jackServerAnswers(const std::string& name) {
    jack_status_t status{};
    jack_client_t* client = jack_client_open(
        "tolva-ping", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
        name.c_str());
    if (client == nullptr) {
        return false;
    }
    jack_client_close(client);
    return true;
}

JackTestServer::JackTestServer(unsigned period, unsigned rate)
    : name_("tolva-audio-" + std::to_string(getpid()) + "-" + std::to_string(gServersMade++)),
      period_(period),
      rate_(rate) {}

JackTestServer::~JackTestServer() {
    terminate();
    if (killed_) {
        // jackd keeps a machine-wide table of a few servers; a killed one
        // leaves its entry behind until a server of the same name starts and
        // ends cleanly. Without this, killed servers use the table up and no
        // jackd on the machine starts any more.
        killed_ = false;
        if (start()) {
            terminate();
        }
    }
}

bool JackTestServer::start() {
    silenceJackMessages();
    setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
    setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
    const std::string rate = std::to_string(rate_);
    const std::string period = std::to_string(period_);
    std::vector<std::string> args = {"jackd", "-n", name_, "--no-realtime", "-d", "dummy",
                                     "-r",    rate, "-p",  period};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    // The server dies with the thread that started it, so a test process
    // that crashes or exits early never leaves a jackd behind.
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, 1);
            dup2(devNull, 2);
        }
        execvp("jackd", argv.data());
        _exit(127);
    }
    pid_ = pid;
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (jackServerAnswers(name_)) {
            return true;
        }
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    terminate();
    return false;
}

void JackTestServer::reap(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, &status, WNOHANG) != 0) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void JackTestServer::terminate() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    reap(std::chrono::seconds(5));
}

void JackTestServer::kill() {
    if (pid_ <= 0) {
        return;
    }
    ::kill(pid_, SIGKILL);
    killed_ = true;
    reap(std::chrono::seconds(5));
}

}  // namespace tolva::test
