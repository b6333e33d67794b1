// tolva-render: runs a sound file through the ring modulator offline, cycle by
// cycle, exactly as the live modulator would treat it as its device input
// from the first cycle after Play.

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "offline_render.h"

namespace tolva {
namespace {

constexpr int kExitBadInput = 2;
constexpr int kExitFailed = 1;

void printUsage(std::FILE* to) {
    std::fprintf(to,
                 "Usage: tolva-render [OPTIONS] INPUT OUTPUT\n"
                 "Ring-modulates INPUT and writes OUTPUT as a 32-bit float WAV file at the\n"
                 "input's sample rate and channel count. Each channel runs through its own\n"
                 "modulator, with the fade-in of the first cycle after Play.\n"
                 "\n"
                 "Options:\n"
                 "  --carrier self|sine|triangle|ramp  carrier (default sine)\n"
                 "  --frequency HZ      carrier frequency, above 0 and at most the input's\n"
                 "                      sample rate (default 440)\n"
                 "  --depth D           modulation depth, 0 to 1 (default 1)\n"
                 "  --diode EXPONENT    bend the carrier by the diode curve with this\n"
                 "                      exponent, %g to %g (default: diode off)\n"
                 "  --block N           frames per cycle, 1 to %u (default 256)\n"
                 "  --help              show this text\n"
                 "\n"
                 "INPUT is any file libsndfile reads, %g to %g Hz, 1 to %d channels.\n"
                 "Exit status: 0 on success, 2 on bad arguments or an unreadable input,\n"
                 "1 when rendering or writing the output fails. On failure OUTPUT is left\n"
                 "as it was.\n",
                 kOfflineMinExponent, kOfflineMaxExponent, kOfflineMaxBlockFrames,
                 kOfflineMinSampleRate, kOfflineMaxSampleRate, kOfflineMaxChannels);
}

struct Arguments {
    OfflineRenderSettings settings;
    std::string input;
    std::string output;
    bool help = false;
};

// A finite number filling the whole text.
bool parseNumber(const char* text, double* value) {
    if (*text == '\0') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (*end != '\0' || errno == ERANGE || !std::isfinite(parsed)) {
        return false;
    }
    *value = parsed;
    return true;
}

bool parseCarrier(std::string_view text, int32_t* wave) {
    constexpr std::pair<std::string_view, int32_t> kCarriers[] = {
        {"self", WaveSelf}, {"sine", WaveSine}, {"triangle", WaveTriangle}, {"ramp", WaveRamp}};
    for (const auto& [name, value] : kCarriers) {
        if (text == name) {
            *wave = value;
            return true;
        }
    }
    return false;
}

// Fills `args`; on a mistake returns false with `error` set.
bool parseArguments(int argc, char** argv, Arguments* args, std::string* error) {
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            operands.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            args->help = true;
            return true;
        }
        std::string name(arg);
        std::string value;
        const size_t equals = name.find('=');
        if (equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (name == "--carrier" || name == "--frequency" || name == "--depth" ||
                   name == "--diode" || name == "--block") {
            if (i + 1 >= argc) {
                *error = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        OfflineRenderSettings& s = args->settings;
        double number = 0.0;
        if (name == "--carrier") {
            if (!parseCarrier(value, &s.wave)) {
                *error = "unknown carrier '" + value + "' (self, sine, triangle or ramp)";
                return false;
            }
        } else if (name == "--frequency" || name == "--depth" || name == "--diode") {
            if (!parseNumber(value.c_str(), &number)) {
                *error = name.substr(2) + " is not a finite number: '" + value + "'";
                return false;
            }
            if (name == "--frequency") {
                s.frequency = number;
            } else if (name == "--depth") {
                s.depth = number;
            } else {
                s.diode = true;
                s.exponent = number;
            }
        } else if (name == "--block") {
            if (!parseNumber(value.c_str(), &number) || number != std::floor(number) ||
                number < 1.0 || number > kOfflineMaxBlockFrames) {
                *error = "block must be a whole number of frames from 1 to " +
                         std::to_string(kOfflineMaxBlockFrames) + ": '" + value + "'";
                return false;
            }
            s.blockFrames = static_cast<uint32_t>(number);
        } else {
            *error = "unknown option " + name;
            return false;
        }
    }
    if (operands.size() < 2) {
        *error = operands.empty() ? "missing INPUT and OUTPUT" : "missing OUTPUT";
        return false;
    }
    if (operands.size() > 2) {
        *error = "too many operands (one INPUT and one OUTPUT)";
        return false;
    }
    args->input = operands[0];
    args->output = operands[1];
    return true;
}

// The output is written to a temporary file beside it and renamed over it
// once complete; on failure the temporary file is removed.
class PendingOutput {
  public:
    ~PendingOutput() { discard(); }

    bool create(const std::string& output, const SF_INFO& format, std::string* error) {
        const size_t slash = output.rfind('/');
        const std::string dir = slash == std::string::npos ? "" : output.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? output : output.substr(slash + 1);
        std::string pattern = dir + "." + base + ".tolva-render-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            *error = "cannot create '" + output + "': " + std::strerror(errno);
            return false;
        }
        path_ = pattern;
        // mkstemp makes the file private; give it the usual mode of a new file.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, static_cast<mode_t>(0666 & ~mask));
        fd_ = fd;
        SF_INFO info = format;
        file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
        if (file_ == nullptr) {
            *error = "cannot write '" + output + "': " + sf_strerror(nullptr);
            return false;
        }
        return true;
    }

    SNDFILE* file() const { return file_; }

    bool commit(const std::string& output, std::string* error) {
        const int closed = sf_close(file_);
        file_ = nullptr;
        if (closed != 0) {
            *error = "cannot write '" + output + "': " + sf_error_number(closed);
            return false;
        }
        const int descriptor = fd_;
        fd_ = -1;
        if (close(descriptor) != 0) {
            *error = "cannot write '" + output + "': " + std::strerror(errno);
            return false;
        }
        if (std::rename(path_.c_str(), output.c_str()) != 0) {
            *error = "cannot write '" + output + "': " + std::strerror(errno);
            return false;
        }
        path_.clear();
        return true;
    }

    void discard() {
        if (file_ != nullptr) {
            sf_close(file_);
            file_ = nullptr;
        }
        if (fd_ >= 0) {
            close(fd_);
            fd_ = -1;
        }
        if (!path_.empty()) {
            std::remove(path_.c_str());
            path_.clear();
        }
    }

  private:
    std::string path_;
    int fd_ = -1;
    SNDFILE* file_ = nullptr;
};

struct InputFile {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    ~InputFile() {
        if (file != nullptr) {
            sf_close(file);
        }
    }
};

// Reads up to `frames` interleaved frames; fewer only at the end of the file.
sf_count_t readBlock(SNDFILE* file, float* interleaved, sf_count_t frames, int channels) {
    sf_count_t got = 0;
    while (got < frames) {
        const sf_count_t n = sf_readf_float(file, interleaved + got * channels, frames - got);
        if (n <= 0) {
            break;
        }
        got += n;
    }
    return got;
}

int run(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parseArguments(argc, argv, &args, &error)) {
        std::fprintf(stderr, "tolva-render: %s (try --help)\n", error.c_str());
        return kExitBadInput;
    }
    if (args.help) {
        printUsage(stdout);
        return 0;
    }

    InputFile in;
    in.file = sf_open(args.input.c_str(), SFM_READ, &in.info);
    if (in.file == nullptr) {
        std::fprintf(stderr, "tolva-render: cannot read '%s': %s\n", args.input.c_str(),
                     sf_strerror(nullptr));
        return kExitBadInput;
    }
    const int channels = in.info.channels;
    const auto rate = static_cast<double>(in.info.samplerate);
    OfflineRenderer renderer;
    const std::string problem = offlineRenderProblem(args.settings, rate, channels);
    if (!problem.empty()) {
        std::fprintf(stderr, "tolva-render: %s\n", problem.c_str());
        return kExitBadInput;
    }
    if (!renderer.open(args.settings, rate, channels, &error)) {
        std::fprintf(stderr, "tolva-render: %s\n", error.c_str());
        return kExitFailed;
    }

    SF_INFO outInfo{};
    outInfo.samplerate = in.info.samplerate;
    outInfo.channels = channels;
    outInfo.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    PendingOutput out;
    if (!out.create(args.output, outInfo, &error)) {
        std::fprintf(stderr, "tolva-render: %s\n", error.c_str());
        return kExitFailed;
    }

    const uint32_t block = renderer.blockFrames();
    const auto width = static_cast<size_t>(channels);
    std::vector<float> interleaved(static_cast<size_t>(block) * width);
    std::vector<std::vector<float>> planes(width, std::vector<float>(block));
    std::vector<float*> cursors(width);
    for (size_t c = 0; c < width; ++c) {
        cursors[c] = planes[c].data();
    }
    for (;;) {
        const sf_count_t frames = readBlock(in.file, interleaved.data(), block, channels);
        if (frames <= 0) {
            break;
        }
        const auto count = static_cast<size_t>(frames);
        for (size_t f = 0; f < count; ++f) {
            for (size_t c = 0; c < width; ++c) {
                planes[c][f] = interleaved[f * width + c];
            }
        }
        if (!renderer.renderCycle(cursors.data(), cursors.data(), static_cast<uint32_t>(count))) {
            std::fprintf(stderr, "tolva-render: the render cycle failed\n");
            return kExitFailed;
        }
        for (size_t f = 0; f < count; ++f) {
            for (size_t c = 0; c < width; ++c) {
                interleaved[f * width + c] = planes[c][f];
            }
        }
        if (sf_writef_float(out.file(), interleaved.data(), frames) != frames) {
            std::fprintf(stderr, "tolva-render: cannot write '%s': %s\n", args.output.c_str(),
                         sf_strerror(out.file()));
            return kExitFailed;
        }
    }
    if (sf_error(in.file) != SF_ERR_NO_ERROR) {
        std::fprintf(stderr, "tolva-render: cannot read '%s': %s\n", args.input.c_str(),
                     sf_strerror(in.file));
        return kExitBadInput;
    }
    if (!out.commit(args.output, &error)) {
        std::fprintf(stderr, "tolva-render: %s\n", error.c_str());
        return kExitFailed;
    }
    return 0;
}

}  // namespace
}  // namespace tolva

int main(int argc, char** argv) {
    return tolva::run(argc, argv);
}
