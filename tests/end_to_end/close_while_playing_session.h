#pragma once

// The application run as the tolva executable runs it, in a process of its
// own, with a scripted user inside its run loop. Closing the window ends the
// process (nothing is torn down first), so that close can only be watched
// from another process.

namespace tolva::test {

// The argument that makes the test binary run the session instead of tests.
inline constexpr char kCloseWhilePlayingSessionArgument[] = "--close-while-playing-session";

// The descriptors the session talks on: it writes "playing\n" to the report
// descriptor once Space has started the modulator, then reads a line (or end
// of file) from the command descriptor before it closes the window.
inline constexpr int kSessionReportFd = 3;
inline constexpr int kSessionCommandFd = 4;

// Exit status of a session in which Space did not start the modulator.
inline constexpr int kSessionNeverPlayed = 3;

// Runs main()'s start-up and run loop. The user presses Space, reports, waits
// for the command and closes the window; the process ends with the run loop's
// result, as the executable does.
[[noreturn]] void runCloseWhilePlayingSession(int argc, char** argv);

}  // namespace tolva::test
