#pragma once

// A JACK server of our own for one test process: jackd with the dummy driver,
// no real-time scheduling, a unique name. JACK_DEFAULT_SERVER points at it, so
// clients opened without a server name reach it, as the application's would.

#include <sys/types.h>

#include <chrono>
#include <string>

namespace tolva::test {

class JackTestServer {
  public:
    explicit JackTestServer(unsigned period = 256, unsigned rate = 48000);
    ~JackTestServer();
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    // Starts jackd and waits (bounded) until it answers. False if it never does.
    bool start();
    // SIGTERM, then a bounded wait for the process; SIGKILL if it lingers.
    void terminate();
    // A server that dies at once, as a crash would. The destructor tidies up
    // after it by starting and ending a server of the same name.
    void kill();

    const std::string& name() const { return name_; }
    bool running() const { return pid_ > 0; }
    unsigned period() const { return period_; }
    unsigned rate() const { return rate_; }

  private:
    std::string name_;
    unsigned period_;
    unsigned rate_;
    pid_t pid_ = -1;
    bool killed_ = false;  // its entry in jackd's table of servers is left behind

    void reap(std::chrono::milliseconds limit);
};

// True when a client can be opened on the named server now.
bool jackServerAnswers(const std::string& name);

// libjack's own messages ("Cannot connect to server ...") off for the process.
void silenceJackMessages();

}  // namespace tolva::test
