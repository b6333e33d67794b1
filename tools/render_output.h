#pragma once

// Where tolva-render writes, without ever damaging what is there.
//
// A regular file, a file not there yet, or the target of a symbolic link is
// written to a hidden temporary file beside it (beside the target, for a
// link) and renamed over it only once complete: until then, and after any
// failure, it stays as it was. A replaced file keeps its mode (and, where
// the process may, its owner); a new one gets the usual mode under the umask.
// Ctrl-C, SIGTERM or SIGHUP while the temporary file exists remove it, then
// end the process by that signal.
//
// Standard output ("-"), a pipe (FIFO) or a character device is written
// straight: nothing is ever renamed over anything but a regular file.
//
// One output at a time per process (the signal handler knows one file).

#include <sys/types.h>

#include <string>

namespace tolva {

// What a path names, through any links; for "-", what the standard stream
// `standardFd` is. False when there is nothing there.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};
bool identifyFile(const std::string& path, int standardFd, FileIdentity* identity);

class RenderOutput {
  public:
    RenderOutput() = default;
    ~RenderOutput();  // an output not committed is discarded
    RenderOutput(const RenderOutput&) = delete;
    RenderOutput& operator=(const RenderOutput&) = delete;

    // Opens `path` ("-": standard output). False, with `error` set, when it
    // cannot be written; nothing is left behind then.
    bool open(const std::string& path, std::string* error);
    int fd() const { return fd_; }
    // Makes what was written final. False, with `error` set, on failure;
    // the old file is then untouched and the temporary file gone.
    bool commit(std::string* error);

  private:
    void discard();

    std::string path_;    // as the user gave it, for messages
    std::string target_;  // the regular file to replace or make; empty when written straight
    int fd_ = -1;
    bool ownsFd_ = false;
};

}  // namespace tolva
