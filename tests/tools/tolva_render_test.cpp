// tolva-render from the outside: sound files in, sound files out, exit
// statuses and one-line complaints. Checksums of its output, made by the
// current renderer, pin every bit of the sound; a few exact figures of the
// modulator tie them to what a listener hears. Outputs that are not plain
// files, and interruptions, never damage anything.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/signal_analysis.h"

namespace tolva {
namespace {

namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

uint64_t checksum(const std::string& bytes) {  // FNV-1a
    uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    return hash;
}

// A test signal of the tool's own, 0.5 loud.
std::vector<float> tone(size_t frames, double rate = 48000.0, double hz = 997.0) {
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        x[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
    }
    return x;
}

void writeWav(const std::string& path, const std::vector<float>& samples, int rate = 48000,
              int channels = 1, int encoding = SF_FORMAT_FLOAT) {
    SF_INFO info{0, rate, channels, SF_FORMAT_WAV | encoding, 0, 0};
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()) / channels);
    sf_close(file);
}

std::vector<float> samplesOf(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);  // nothing read on failure
    std::vector<float> x(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, x.data(), info.frames), sf_close(file);
    return x;
}

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended the tool
    std::string out, err;
};

class TolvaRender : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tolva-render-test-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        fs::current_path(pattern);  // the tests and the tool work in it
        writeWav("in.wav", tone(3000));
    }
    void TearDown() override {
        fs::remove_all(fs::current_path());
        fs::current_path(fs::temp_directory_path());
    }
    // Starts the tool; its standard output and error go to files.
    pid_t start(std::vector<std::string> args) const {
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open("stdout", O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            dup2(open("stderr", O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            std::vector<char*> argv{const_cast<char*>(TOLVA_RENDER_PATH)};
            for (std::string& arg : args) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(TOLVA_RENDER_PATH, argv.data());
            _exit(127);
        }
        return pid;
    }
    Outcome finish(pid_t pid) const {
        int raw = 0;
        waitpid(pid, &raw, 0);
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), slurp("stdout"),
                slurp("stderr")};
    }
    Outcome render(const std::vector<std::string>& args) const { return finish(start(args)); }
    // How many other files are in the folder: temporary files left behind, say.
    size_t othersThan(std::vector<std::string> names) const {
        names.insert(names.end(), {"in.wav", "stdout", "stderr"});
        return static_cast<size_t>(
            std::count_if(fs::directory_iterator("."), {}, [&](const fs::directory_entry& e) {
                return std::count(names.begin(), names.end(), e.path().filename()) == 0;
            }));
    }
};

TEST_F(TolvaRender, RendersEachSettingToTheSameBitsAsAlways) {
    struct Golden {
        uint64_t checksum;
        std::vector<std::string> options;
        size_t frames = 3000;
        int rate = 48000, channels = 1, encoding = SF_FORMAT_FLOAT;
    } const golden[] = {
        {0x59d781295e714a69ull, {}},
        {0x429b23b0e016d9cfull, {"--carrier", "self", "--frequency", "150.25", "--depth", "0.75"}},
        {0xa2177bfad4b1fb3dull, {"--carrier", "triangle", "--diode", "2.5"}},
        {0xbfa2bf65ff8768feull, {"--carrier=ramp", "--diode=4", "--frequency", "441"}, 4410, 44100},
        {0x04ec2ba669760e89ull, {"--frequency", "48000", "--depth", "0.3"}},  // the highest carrier
        {0x48a5406f1e63f338ull, {"--block", "1"}, 700},
        {0xec55f2a8050b6c58ull, {"--block=100", "--carrier", "triangle"}, 1050, 48000, 2},
        {0xbf00b97a1e546864ull, {"--block", "1048576"}},  // the longest cycle: the whole file
        {0xacafa6e79755f07dull, {"--depth", "0.5"}, 1000, 22050, 1, SF_FORMAT_PCM_16},
    };
    for (const Golden& g : golden) {
        SCOPED_TRACE(::testing::PrintToString(g.options));
        writeWav("in.wav", tone(g.frames * static_cast<size_t>(g.channels), g.rate), g.rate,
                 g.channels, g.encoding);
        std::vector<std::string> args = g.options;
        args.insert(args.end(), {"in.wav", "out.wav"});
        const Outcome run = render(args);
        EXPECT_TRUE(run.status == 0 && run.err.empty()) << run.err;
        EXPECT_EQ(checksum(slurp("out.wav")), g.checksum);
    }
}

TEST_F(TolvaRender, ExactFiguresOfTheModulatedSound) {
    // One-frame cycles: the first is the dry input fading in; then a sine at
    // a quarter of the rate steps by pi/2 at full depth, 1/sqrt 2 loud.
    writeWav("in.wav", std::vector<float>(6, 0.5f));
    ASSERT_EQ(render({"--block", "1", "--frequency", "12000", "in.wav", "a.wav"}).status, 0);
    const std::vector<float> a = samplesOf("a.wav");
    for (auto [i, figure] : {std::pair{0, 0.5f}, {1, 0.0f}, {2, 0.35355338f}, {4, -0.35355338f}}) {
        EXPECT_EQ(a.at(static_cast<size_t>(i)), figure) << i;
    }
    // Depth 0 is the dry input; samples that are not numbers stay so, and
    // are counted.
    std::vector<float> x = tone(1000);
    x[10] = NAN, x[20] = INFINITY, x[30] = -INFINITY;
    writeWav("in.wav", x);
    const Outcome dry = render({"--depth", "0", "in.wav", "b.wav"});
    EXPECT_EQ(dry.err.rfind("tolva-render: 3 input samples were not finite", 0), 0u) << dry.err;
    const std::vector<float> y = samplesOf("b.wav");
    ASSERT_EQ(y.size(), x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        EXPECT_TRUE(std::isfinite(x[i]) ? y[i] == x[i] : !std::isfinite(y[i])) << i;
    }
    // A 1 kHz tone on a 300 Hz carrier moves to 700 and 1300 Hz, half each.
    writeWav("in.wav", tone(48000, 48000.0, 1000.0));
    ASSERT_EQ(render({"--frequency", "300", "in.wav", "c.wav"}).status, 0);
    const std::vector<float> moved = samplesOf("c.wav");
    EXPECT_NEAR(test::toneAmplitude(moved, 700.0, 48000.0), 0.177, 0.02);
    EXPECT_NEAR(test::toneAmplitude(moved, 1300.0, 48000.0), 0.177, 0.02);
    EXPECT_LT(test::toneAmplitude(moved, 1000.0, 48000.0), 0.002);
}

TEST_F(TolvaRender, StandardOutputAndPipesGetTheSameFileWrittenStraight) {
    ASSERT_EQ(render({"in.wav", "out.wav"}).status, 0);
    const std::string expected = slurp("out.wav");
    EXPECT_EQ(render({"in.wav", "-"}).out, expected);
    // A FIFO stands in for a device. The test holds both its ends, so the
    // tool finds a reader, and the file fits in the pipe.
    ASSERT_EQ(mkfifo("pipe", 0600), 0);
    const int pipe = open("pipe", O_RDWR | O_NONBLOCK);
    EXPECT_EQ(render({"in.wav", "pipe"}).status, 0);
    std::string got(expected.size() + 1, '\0');
    got.resize(static_cast<size_t>(std::max(read(pipe, got.data(), got.size()), ssize_t{0})));
    close(pipe);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(fs::status("pipe").type(), fs::file_type::fifo);
}

TEST_F(TolvaRender, DevNullStaysADevice) {
    // The real one as a user, who could not replace it anyway; as root, only
    // inside a private mount namespace, on a /dev of its own.
    if (geteuid() != 0) {
        EXPECT_EQ(render({"in.wav", "/dev/null"}).status, 0);
        return;
    }
    const std::string privateDev =
        "unshare -m sh -c 'mount -t tmpfs tmpfs /dev && mknod -m 666 /dev/null c 1 3 && ";
    if (std::system((privateDev + "true' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no private mount namespace here (unshare -m): /dev/null not tried";
    }
    const std::string run = "\"$0\" in.wav /dev/null && test -c /dev/null' " TOLVA_RENDER_PATH;
    EXPECT_EQ(std::system((privateDev + run).c_str()), 0);
}

TEST_F(TolvaRender, ALinkedOutputIsReplacedAtItsTargetKeepingItsMode) {
    std::ofstream("target.wav") << "old";
    fs::permissions("target.wav", fs::perms(0600));
    fs::create_symlink("target.wav", "link.wav");
    fs::create_symlink("new.wav", "dangling.wav");
    for (const char* link : {"link.wav", "dangling.wav"}) {
        EXPECT_EQ(render({"in.wav", link}).status, 0) << link;
        EXPECT_TRUE(fs::is_symlink(link)) << link;
    }
    EXPECT_EQ(samplesOf("target.wav").size() + samplesOf("new.wav").size(), 6000u);
    EXPECT_EQ(fs::status("target.wav").permissions(), fs::perms(0600));
    EXPECT_EQ(othersThan({"target.wav", "link.wav", "dangling.wav", "new.wav"}), 0u);
}

TEST_F(TolvaRender, AnInterruptedRenderLeavesTheOutputAsItWasAndNoTemporaryFile) {
    writeWav("long.wav", std::vector<float>(480000));
    std::ofstream("out.wav") << "old";
    ASSERT_EQ(mkfifo("live.wav", 0600), 0);
    for (int signal : {SIGTERM, SIGINT}) {
        const pid_t pid = start({"live.wav", "out.wav"});
        std::ofstream in("live.wav", std::ios::binary);  // a live input: ten seconds promised
        in << slurp("long.wav").substr(0, 20000) << std::flush;
        for (int i = 0; i < 1000 && othersThan({"out.wav", "long.wav", "live.wav"}) == 0; ++i) {
            usleep(10000);  // a hang guard: rendering has begun once the temporary file is there
        }
        EXPECT_EQ(othersThan({"out.wav", "long.wav", "live.wav"}), 1u);
        kill(pid, signal);
        EXPECT_EQ(finish(pid).status, 128 + signal);
        EXPECT_EQ(othersThan({"out.wav", "long.wav", "live.wav"}), 0u);
        EXPECT_EQ(slurp("out.wav"), "old");
    }
}

// Every refusal: its status, one line on standard error, the files as they were.
TEST_F(TolvaRender, RefusesWhatItCannotDoAndLeavesTheFilesAlone) {
    const std::tuple<std::vector<std::string>, int, const char*> refusals[] = {
        {{"--carrier", "square", "in.wav", "out.wav"}, 2, "unknown carrier 'square'"},
        {{"--block", "1048577", "in.wav", "out.wav"}, 2, "block must be a whole number"},
        {{"--depth", "nan", "in.wav", "out.wav"}, 2, "depth is not a finite number"},
        {{"--frequency", "48001", "in.wav", "out.wav"}, 2, "at most the input's sample rate"},
        {{"--diode", "0.99", "in.wav", "out.wav"}, 2, "diode exponent must be between 1 and 4"},
        {{"missing.wav", "out.wav"}, 2, "cannot read"},
        {{"in.wav", "in.wav"}, 2, "INPUT and OUTPUT are the same file"},
        {{"in.wav", "hardlink.wav"}, 2, "INPUT and OUTPUT are the same file"},
        {{"in.wav", "folder"}, 1, "cannot write"},
        {{"in.wav", "no/folder/out.wav"}, 1, "cannot create"},
    };
    std::ofstream("out.wav") << "old";
    fs::create_hard_link("in.wav", "hardlink.wav");
    fs::create_directory("folder");
    const std::string input = slurp("in.wav");
    for (const auto& [args, status, complaint] : refusals) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome run = render(args);
        EXPECT_EQ(run.status, status);
        EXPECT_TRUE(run.err.rfind("tolva-render: ", 0) == 0 &&
                    run.err.find(complaint) != run.err.npos &&
                    std::count(run.err.begin(), run.err.end(), '\n') == 1)
            << run.err;
        EXPECT_EQ(slurp("out.wav"), "old");
        EXPECT_EQ(slurp("in.wav"), input);
        EXPECT_EQ(othersThan({"out.wav", "hardlink.wav", "folder"}), 0u);
    }
}

}  // namespace
}  // namespace tolva
