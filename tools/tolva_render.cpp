// tolva-render: runs a sound file through the ring modulator offline, cycle by
// cycle, exactly as the live modulator would treat it as its device input
// from the first cycle after Play.

#include <sndfile.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "float_wav_writer.h"
#include "offline_render.h"
#include "render_output.h"

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
                 "OUTPUT '-' is standard output; a pipe or a character device is written\n"
                 "straight, and a file is replaced only once the new one is complete.\n"
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
                 "Exit status: 0 on success, 2 on bad arguments, an unreadable input or\n"
                 "INPUT and OUTPUT being the same file, 1 when rendering or writing the\n"
                 "output fails. On failure, or when interrupted, an OUTPUT file is left\n"
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

    FileIdentity input;
    FileIdentity output;
    if (identifyFile(args.input, STDIN_FILENO, &input) &&
        identifyFile(args.output, STDOUT_FILENO, &output) && input.device == output.device &&
        input.inode == output.inode) {
        std::fprintf(stderr, "tolva-render: INPUT and OUTPUT are the same file ('%s', '%s')\n",
                     args.input.c_str(), args.output.c_str());
        return kExitBadInput;
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

    RenderOutput out;
    if (!out.open(args.output, &error)) {
        std::fprintf(stderr, "tolva-render: %s\n", error.c_str());
        return kExitFailed;
    }
    // A frame count libsndfile does not know (a pipe) is left open in the header.
    const int64_t frames = in.info.frames < SF_COUNT_MAX ? in.info.frames : -1;
    FloatWavWriter wav(out.fd(), channels, in.info.samplerate, frames);
    if (!wav.begin(&error)) {
        std::fprintf(stderr, "tolva-render: cannot write '%s': %s\n", args.output.c_str(),
                     error.c_str());
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
    uint64_t nonFinite = 0;  // NaN and infinities, rendered as they are
    for (;;) {
        const sf_count_t got = readBlock(in.file, interleaved.data(), block, channels);
        if (got <= 0) {
            break;
        }
        const auto count = static_cast<size_t>(got);
        for (size_t f = 0; f < count; ++f) {
            for (size_t c = 0; c < width; ++c) {
                planes[c][f] = interleaved[f * width + c];
                nonFinite += std::isfinite(planes[c][f]) ? 0 : 1;
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
        if (!wav.write(interleaved.data(), count, &error)) {
            std::fprintf(stderr, "tolva-render: cannot write '%s': %s\n", args.output.c_str(),
                         error.c_str());
            return kExitFailed;
        }
    }
    if (sf_error(in.file) != SF_ERR_NO_ERROR) {
        std::fprintf(stderr, "tolva-render: cannot read '%s': %s\n", args.input.c_str(),
                     sf_strerror(in.file));
        return kExitBadInput;
    }
    if (!wav.finish(&error)) {
        std::fprintf(stderr, "tolva-render: cannot write '%s': %s\n", args.output.c_str(),
                     error.c_str());
        return kExitFailed;
    }
    if (!out.commit(&error)) {
        std::fprintf(stderr, "tolva-render: %s\n", error.c_str());
        return kExitFailed;
    }
    if (nonFinite > 0) {
        std::fprintf(stderr,
                     "tolva-render: %llu input samples were not finite numbers (NaN or "
                     "infinite); they went through the modulator as they were\n",
                     static_cast<unsigned long long>(nonFinite));
    }
    return 0;
}

}  // namespace
}  // namespace tolva

int main(int argc, char** argv) {
    return tolva::run(argc, argv);
}
