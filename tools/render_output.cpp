#include "render_output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tolva {
namespace {

// The temporary file, for the signal handler: its path is in place before
// the file exists, and it is marked present only while it is.
char gTemporary[PATH_MAX + 64];
volatile sig_atomic_t gTemporaryExists = 0;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Async-signal-safe: unlink, then the same signal again with its default
// action (SA_RESETHAND restored it), which ends the process.
extern "C" void removeTemporaryAndEnd(int signal) {
    if (gTemporaryExists != 0) {
        unlink(gTemporary);
    }
    raise(signal);
}

void installCleanupHandlers() {
    static bool installed = false;
    if (installed) {
        return;
    }
    installed = true;
    for (int signal : kCleanupSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        if (previous.sa_handler == SIG_IGN) {
            continue;  // ignored by whoever started us (nohup): leave it so
        }
        struct sigaction action {};
        action.sa_handler = &removeTemporaryAndEnd;
        sigemptyset(&action.sa_mask);
        action.sa_flags = static_cast<int>(SA_RESETHAND);
        sigaction(signal, &action, nullptr);
    }
}

// The cleanup signals held back while the temporary file comes and goes.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : kCleanupSignals) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// The path with every symbolic link along its last component followed, even
// to a target that does not exist yet.
std::string followLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return path;
        }
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof target) {
            return path;
        }
        const std::string next(target, static_cast<size_t>(length));
        const size_t slash = path.rfind('/');
        path =
            next[0] == '/' || slash == std::string::npos ? next : path.substr(0, slash + 1) + next;
    }
    return path;  // a loop: opening it will say so
}

std::string failure(const char* what, const std::string& path, int error) {
    return std::string(what) + " '" + path + "': " + std::strerror(error);
}

}  // namespace

bool identifyFile(const std::string& path, int standardFd, FileIdentity* identity) {
    struct stat st {};
    if ((path == "-" ? fstat(standardFd, &st) : stat(path.c_str(), &st)) != 0) {
        return false;
    }
    *identity = {st.st_dev, st.st_ino};
    return true;
}

RenderOutput::~RenderOutput() {
    discard();
}

bool RenderOutput::open(const std::string& path, std::string* error) {
    discard();
    path_ = path;
    if (path == "-") {
        if (isatty(STDOUT_FILENO) != 0) {
            *error = "standard output is a terminal, not a place for a sound file";
            return false;
        }
        fd_ = STDOUT_FILENO;
        return true;
    }
    const std::string target = followLinks(path);
    struct stat st {};
    const bool exists = stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        *error = failure("cannot write", path, errno);
        return false;
    }
    if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
        fd_ = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) {
            *error = failure("cannot write", path, errno);
            return false;
        }
        ownsFd_ = true;
        return true;
    }
    if (exists && !S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode)
                     ? failure("cannot write", path, EISDIR)
                     : "cannot write '" + path + "': not a file, a pipe or a character device";
        return false;
    }
    const size_t slash = target.rfind('/');
    const std::string pattern = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) +
                                "." + target.substr(slash + 1) + ".tolva-render-XXXXXX";
    if (pattern.size() >= sizeof gTemporary) {
        *error = failure("cannot create", path, ENAMETOOLONG);
        return false;
    }
    installCleanupHandlers();
    {
        const SignalsHeld held;
        std::memcpy(gTemporary, pattern.c_str(), pattern.size() + 1);
        fd_ = mkostemp(gTemporary, O_CLOEXEC);
        gTemporaryExists = fd_ >= 0 ? 1 : 0;
    }
    if (fd_ < 0) {
        *error = failure("cannot create", path, errno);
        return false;
    }
    ownsFd_ = true;
    target_ = target;
    if (exists) {
        fchmod(fd_, st.st_mode & 07777);
        if (fchown(fd_, st.st_uid, st.st_gid) != 0) {
            // Only root may give a file away: the new file is then the user's own.
        }
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    return true;
}

bool RenderOutput::commit(std::string* error) {
    const bool replacing = !target_.empty();
    const int fd = fd_;
    const bool owned = ownsFd_;
    fd_ = -1;
    ownsFd_ = false;
    bool written = !replacing || fsync(fd) == 0;  // on the disk before it replaces anything
    written = (!owned || close(fd) == 0) && written;
    if (written && replacing) {
        const SignalsHeld held;
        written = std::rename(gTemporary, target_.c_str()) == 0;
        gTemporaryExists = written ? 0 : 1;
    }
    if (!written) {
        *error = failure("cannot write", path_, errno);
    }
    discard();  // a temporary file still there is a failed one
    return written;
}

void RenderOutput::discard() {
    if (ownsFd_) {
        close(fd_);
    }
    fd_ = -1;
    ownsFd_ = false;
    target_.clear();
    const SignalsHeld held;
    if (gTemporaryExists != 0) {
        unlink(gTemporary);
        gTemporaryExists = 0;
    }
}

}  // namespace tolva
