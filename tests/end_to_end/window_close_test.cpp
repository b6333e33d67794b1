// Closing the window ends the application: while it plays, the process ends
// at once with the run loop's status 0, and the server is left without its
// clients. The application runs as the executable does, in a process of its
// own (this binary with the session argument); this test is its observer.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "close_while_playing_session.h"
#include "end_to_end_fixture.h"
#include "jack_ports_of.h"
#include "jack_probe_clients.h"

extern char** environ;

namespace tolva::test {
namespace {

// The application process, started with pipes on its report and command
// descriptors. One that is still there when the test ends is killed.
class SessionProcess {
  public:
    SessionProcess() {
        int report[2] = {-1, -1};
        int command[2] = {-1, -1};
        if (pipe2(report, O_CLOEXEC) != 0 || pipe2(command, O_CLOEXEC) != 0) {
            return;
        }
        reportFd_ = report[0];
        commandFd_ = command[1];
        std::vector<char> self(4096, '\0');
        if (readlink("/proc/self/exe", self.data(), self.size() - 1) <= 0) {
            return;
        }
        std::string argument = kCloseWhilePlayingSessionArgument;
        char* argv[] = {self.data(), argument.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, report[1], kSessionReportFd);
        posix_spawn_file_actions_adddup2(&actions, command[0], kSessionCommandFd);
        if (posix_spawn(&pid_, self.data(), &actions, nullptr, argv, environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(report[1]);
        close(command[0]);
    }
    ~SessionProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(reportFd_);
        close(commandFd_);
    }
    SessionProcess(const SessionProcess&) = delete;
    SessionProcess& operator=(const SessionProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // The next line the session reports; empty when it ends or the guard runs out.
    std::string readLine(std::chrono::milliseconds guard) {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + guard;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd ready{reportFd_, POLLIN, 0};
            if (poll(&ready, 1, 100) <= 0) {
                continue;
            }
            char c = 0;
            if (read(reportFd_, &c, 1) != 1) {
                return {};
            }
            if (c == '\n') {
                return line;
            }
            line.push_back(c);
        }
        return {};
    }

    bool send(const std::string& line) {
        return write(commandFd_, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    }

    // The wait status once the process has ended, or nothing within the guard.
    std::optional<int> waitForExit(std::chrono::milliseconds guard) {
        int status = 0;
        const bool ended =
            waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, guard);
        if (!ended) {
            return std::nullopt;
        }
        pid_ = -1;
        return status;
    }

  private:
    pid_t pid_ = -1;
    int reportFd_ = -1;
    int commandFd_ = -1;
};

using WindowCloseTest = EndToEndTest;

TEST_F(WindowCloseTest, ClosingTheWindowWhilePlayingEndsTheProcessWithStatusZero) {
    ProbeClient observer(ProbeClient::Role::Sink, "tolva-e2e-observer", 48000);
    ASSERT_TRUE(observer.ok());

    SessionProcess session;
    ASSERT_TRUE(session.started());
    ASSERT_EQ(session.readLine(kEndToEndHangGuard), "playing")
        << "the application did not report playing";
    EXPECT_EQ(portsOfClient(observer.client(), "Tolva"), (std::vector<std::string>{"in", "out"}));
    // It is really playing: cycles reach a listener on its output.
    ASSERT_TRUE(observer.connect("Tolva:out", observer.portName()));
    const uint64_t heard = observer.framesRecorded();
    EXPECT_TRUE(
        waitUntil([&] { return observer.framesRecorded() > heard + 4096; }, kEndToEndHangGuard));

    ASSERT_TRUE(session.send("close\n"));
    const std::optional<int> status = session.waitForExit(kEndToEndHangGuard);
    ASSERT_TRUE(status.has_value()) << "closing the window did not end the application";
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 0);

    // The server takes the clients of the ended process away and runs on.
    EXPECT_TRUE(waitUntil(
        [&] {
            return portsOfClient(observer.client(), "Tolva").empty() &&
                   portsOfClient(observer.client(), "Tolva MIDI").empty();
        },
        kEndToEndHangGuard));
    EXPECT_TRUE(jackServerAnswers(server.name()));
}

}  // namespace
}  // namespace tolva::test
