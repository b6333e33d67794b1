// tolva-render from the outside: sound files in, sound files out, exit
// statuses and one-line complaints.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "reference_modulator.h"
#include "sample_comparison.h"
#include "support/signal_analysis.h"

namespace tolva {
namespace {

using test::sameBits;

namespace fs = std::filesystem;

struct Sound {
    int rate = 48000;
    int channels = 1;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> frames;  // interleaved

    std::vector<float> channel(int c) const {
        std::vector<float> out;
        for (size_t i = static_cast<size_t>(c); i < frames.size();
             i += static_cast<size_t>(channels)) {
            out.push_back(frames[i]);
        }
        return out;
    }
};

void writeSound(const fs::path& path, const Sound& sound) {
    SF_INFO info{};
    info.samplerate = sound.rate;
    info.channels = sound.channels;
    info.format = sound.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(nullptr, file) << sf_strerror(nullptr);
    const auto frames = static_cast<sf_count_t>(sound.frames.size()) / sound.channels;
    EXPECT_EQ(frames, sf_writef_float(file, sound.frames.data(), frames));
    sf_close(file);
}

Sound readSound(const fs::path& path) {
    Sound sound;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(nullptr, file) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr) {
        return sound;
    }
    sound.rate = info.samplerate;
    sound.channels = info.channels;
    sound.format = info.format;
    sound.frames.resize(static_cast<size_t>(info.frames * info.channels));
    EXPECT_EQ(info.frames, sf_readf_float(file, sound.frames.data(), info.frames));
    sf_close(file);
    return sound;
}

std::vector<float> signal(size_t frames, double hz, double rate, double phase = 0.0) {
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        x[i] = static_cast<float>(0.5 * std::sin(6.283185307179586 * hz * t + phase) +
                                  0.25 * std::sin(6.283185307179586 * 3.7 * hz * t));
    }
    return x;
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class TolvaRender : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tolva-render-test-XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path file(const std::string& name) const { return dir_ / name; }

    static std::string slurp(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    Outcome render(const std::vector<std::string>& args) const {
        std::string command = "'" TOLVA_RENDER_PATH "'";
        for (const std::string& arg : args) {
            command += " '" + arg + "'";
        }
        command +=
            " >'" + file("stdout.txt").string() + "' 2>'" + file("stderr.txt").string() + "'";
        Outcome run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = slurp(file("stdout.txt"));
        run.err = slurp(file("stderr.txt"));
        fs::remove(file("stdout.txt"));
        fs::remove(file("stderr.txt"));
        return run;
    }

    // Renders `sound` with `options` and checks every channel against the reference.
    void expectRendersLikeReference(const Sound& sound, const std::vector<std::string>& options,
                                    const OfflineRenderSettings& settings) {
        writeSound(file("in.wav"), sound);
        std::vector<std::string> args = options;
        args.push_back(file("in.wav").string());
        args.push_back(file("out.wav").string());
        const Outcome run = render(args);
        ASSERT_EQ(0, run.status) << run.err;
        EXPECT_EQ("", run.err);
        const Sound out = readSound(file("out.wav"));
        EXPECT_EQ(sound.rate, out.rate);
        EXPECT_EQ(sound.channels, out.channels);
        EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_FLOAT, out.format);
        const Sound in = readSound(file("in.wav"));  // as the renderer read it
        for (int c = 0; c < sound.channels; ++c) {
            EXPECT_TRUE(sameBits(test::referenceModulate(in.channel(c), sound.rate, settings),
                                 out.channel(c)))
                << "channel " << c;
        }
    }

    // Only the files the test itself made.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            const std::string name = entry.path().filename().string();
            if (name != "in.wav" && name != "bad.wav") {
                names.push_back(name);
            }
        }
        return names;
    }

    fs::path dir_;
};

Sound monoSound(size_t frames, int rate = 48000) {
    Sound s;
    s.rate = rate;
    s.frames = signal(frames, 997.0, rate);
    return s;
}

TEST_F(TolvaRender, DefaultsAreASine440HzAtFullDepthIn256FrameCycles) {
    expectRendersLikeReference(monoSound(3000), {}, OfflineRenderSettings{});
}

TEST_F(TolvaRender, EveryCarrierSoundsAsTheModulatorWould) {
    const std::pair<const char*, int32_t> carriers[] = {
        {"self", WaveSelf}, {"sine", WaveSine}, {"triangle", WaveTriangle}, {"ramp", WaveRamp}};
    for (const auto& [name, wave] : carriers) {
        SCOPED_TRACE(name);
        OfflineRenderSettings s;
        s.wave = wave;
        s.frequency = 150.25;
        s.depth = 0.75;
        expectRendersLikeReference(
            monoSound(2048), {"--carrier", name, "--frequency", "150.25", "--depth", "0.75"}, s);
    }
}

TEST_F(TolvaRender, TheDiodeBendsTheCarrierByItsExponent) {
    for (const char* carrier : {"sine", "triangle", "ramp"}) {
        SCOPED_TRACE(carrier);
        OfflineRenderSettings s;
        s.wave = std::string(carrier) == "sine"       ? WaveSine
                 : std::string(carrier) == "triangle" ? WaveTriangle
                                                      : WaveRamp;
        s.diode = true;
        s.exponent = 2.5;
        expectRendersLikeReference(monoSound(1500), {"--carrier", carrier, "--diode", "2.5"}, s);
    }
}

TEST_F(TolvaRender, OneFrameCyclesAndAShortLastCycle) {
    OfflineRenderSettings s;
    s.blockFrames = 1;
    expectRendersLikeReference(monoSound(700), {"--block", "1"}, s);
    s.blockFrames = 100;
    expectRendersLikeReference(monoSound(1050), {"--block=100"}, s);
    s.blockFrames = 5000;
    expectRendersLikeReference(monoSound(1050), {"--block", "5000"}, s);
}

TEST_F(TolvaRender, StereoChannelsAreModulatedIndependently) {
    Sound sound;
    sound.channels = 2;
    const std::vector<float> left = signal(1300, 440.0, 48000.0);
    const std::vector<float> right = signal(1300, 1700.0, 48000.0, 1.0);
    for (size_t i = 0; i < left.size(); ++i) {
        sound.frames.push_back(left[i]);
        sound.frames.push_back(right[i]);
    }
    OfflineRenderSettings s;
    s.wave = WaveTriangle;
    expectRendersLikeReference(sound, {"--carrier", "triangle"}, s);
}

TEST_F(TolvaRender, A44100HzFileKeepsItsRateAndItsCarrierTables) {
    OfflineRenderSettings s;
    s.wave = WaveRamp;
    s.frequency = 441.0;
    expectRendersLikeReference(monoSound(4410, 44100), {"--carrier", "ramp", "--frequency", "441"},
                               s);
}

TEST_F(TolvaRender, IntegerInputIsReadAsFloatAndWrittenAsFloat) {
    Sound sound = monoSound(1000, 22050);
    sound.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    expectRendersLikeReference(sound, {}, OfflineRenderSettings{});
}

TEST_F(TolvaRender, AnEmptyFileGivesAnEmptyFile) {
    Sound sound;
    sound.channels = 2;
    expectRendersLikeReference(sound, {}, OfflineRenderSettings{});
}

TEST_F(TolvaRender, ASineCarrierMovesAToneToTheSumAndDifferenceFrequencies) {
    Sound sound;
    sound.frames = test::sineTone(1000.0, 48000.0, 48000);
    writeSound(file("in.wav"), sound);
    const Outcome run = render({"--carrier", "sine", "--frequency", "300", "--depth", "1",
                                file("in.wav").string(), file("out.wav").string()});
    ASSERT_EQ(0, run.status) << run.err;
    const std::vector<float> out = readSound(file("out.wav")).frames;
    // 0.5 * (1/sqrt 2) split evenly between the two side bands.
    EXPECT_NEAR(0.177, test::toneAmplitude(out, 700.0, 48000.0), 0.02);
    EXPECT_NEAR(0.177, test::toneAmplitude(out, 1300.0, 48000.0), 0.02);
    EXPECT_LT(test::toneAmplitude(out, 1000.0, 48000.0), 0.002);
}

TEST_F(TolvaRender, HelpExplainsTheOptionsAndSucceeds) {
    const Outcome run = render({"--help"});
    EXPECT_EQ(0, run.status);
    EXPECT_EQ("", run.err);
    EXPECT_NE(std::string::npos, run.out.find("Usage: tolva-render"));
    for (const char* option : {"--carrier", "--frequency", "--depth", "--diode", "--block"}) {
        EXPECT_NE(std::string::npos, run.out.find(option)) << option;
    }
}

// Every refusal: status 2, one line on standard error, no output file.
class TolvaRenderRefuses : public TolvaRender {
  protected:
    void expectRefused(std::vector<std::string> args, const std::string& complaint) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Outcome run = render(args);
        EXPECT_EQ(2, run.status);
        EXPECT_EQ(0u, run.err.rfind("tolva-render: ", 0)) << run.err;
        EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
        EXPECT_NE(std::string::npos, run.err.find(complaint)) << run.err;
        EXPECT_EQ("", run.out);
        EXPECT_EQ(std::vector<std::string>{}, leftovers());
    }
    std::string in() { return file("in.wav").string(); }
    std::string out() { return file("out.wav").string(); }
};

TEST_F(TolvaRenderRefuses, BadOptionValues) {
    writeSound(file("in.wav"), monoSound(100));
    expectRefused({"--carrier", "square", in(), out()}, "unknown carrier 'square'");
    expectRefused({"--block", "0", in(), out()}, "block");
    expectRefused({"--block", "-4", in(), out()}, "block");
    expectRefused({"--block", "2.5", in(), out()}, "block");
    expectRefused({"--block", "1048577", in(), out()}, "block");
    expectRefused({"--frequency", "abc", in(), out()}, "frequency is not a finite number");
    expectRefused({"--frequency", "440Hz", in(), out()}, "frequency is not a finite number");
    expectRefused({"--frequency", "", in(), out()}, "frequency is not a finite number");
    expectRefused({"--depth", "nan", in(), out()}, "depth is not a finite number");
    expectRefused({"--depth", "inf", in(), out()}, "depth is not a finite number");
    expectRefused({"--diode", "1e999", in(), out()}, "diode is not a finite number");
    expectRefused({"--frequency", "0", in(), out()}, "frequency must be above 0 Hz");
    expectRefused({"--frequency", "-440", in(), out()}, "frequency must be above 0 Hz");
    expectRefused({"--frequency", "48001", in(), out()}, "at most the input's sample rate");
    expectRefused({"--depth", "1.5", in(), out()}, "depth must be between 0 and 1");
    expectRefused({"--depth", "-0.1", in(), out()}, "depth must be between 0 and 1");
    expectRefused({"--diode", "0.5", in(), out()}, "diode exponent must be between 1 and 4");
    expectRefused({"--diode", "5", in(), out()}, "diode exponent must be between 1 and 4");
}

TEST_F(TolvaRenderRefuses, MissingOrExtraOperandsAndUnknownOptions) {
    writeSound(file("in.wav"), monoSound(100));
    expectRefused({}, "missing INPUT and OUTPUT");
    expectRefused({in()}, "missing OUTPUT");
    expectRefused({in(), out(), out()}, "too many operands");
    expectRefused({"--depth"}, "option --depth needs a value");
    expectRefused({in(), out(), "--block"}, "option --block needs a value");
    expectRefused({"--loud", in(), out()}, "unknown option --loud");
}

TEST_F(TolvaRenderRefuses, MissingAndUnreadableInput) {
    expectRefused({file("nothing.wav").string(), out()}, "cannot read");
    std::ofstream(file("bad.wav")) << "RIFF, but not really a sound file";
    expectRefused({file("bad.wav").string(), out()}, "cannot read");
}

TEST_F(TolvaRenderRefuses, AFileWithoutARate) {
    // A float WAV header claiming 0 Hz, with a few samples.
    std::string wav = "RIFF----WAVEfmt ";
    auto u32 = [&wav](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&wav](uint16_t v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>(v >> 8);
    };
    u32(16), u16(3), u16(1), u32(0), u32(0), u16(4), u16(32);
    wav += "data";
    u32(16);
    wav += std::string(16, '\0');
    const uint32_t riff = static_cast<uint32_t>(wav.size() - 8);
    for (int i = 0; i < 4; ++i)
        wav[4 + static_cast<size_t>(i)] = static_cast<char>(riff >> (8 * i));
    std::ofstream(file("bad.wav"), std::ios::binary) << wav;
    const Outcome run = render({file("bad.wav").string(), out()});
    EXPECT_EQ(2, run.status);
    EXPECT_EQ(0u, run.err.rfind("tolva-render: ", 0)) << run.err;
    EXPECT_EQ(std::vector<std::string>{}, leftovers());
}

TEST_F(TolvaRenderRefuses, AnExistingOutputIsLeftAsItWas) {
    writeSound(file("in.wav"), monoSound(100));
    std::ofstream(file("keep.wav")) << "precious";
    const Outcome run = render({"--depth", "7", in(), file("keep.wav").string()});
    EXPECT_EQ(2, run.status);
    EXPECT_EQ("precious", slurp(file("keep.wav")));
}

TEST_F(TolvaRender, AnOutputThatCannotBeWrittenFailsWithoutLeftovers) {
    writeSound(file("in.wav"), monoSound(100));
    fs::create_directory(file("taken"));
    const Outcome run = render({file("in.wav").string(), file("taken").string()});
    EXPECT_EQ(1, run.status);
    EXPECT_EQ(0u, run.err.rfind("tolva-render: cannot write", 0)) << run.err;
    EXPECT_EQ(std::vector<std::string>{"taken"}, leftovers());
    const Outcome missingDir =
        render({file("in.wav").string(), file("no/such/dir/out.wav").string()});
    EXPECT_EQ(1, missingDir.status);
    EXPECT_EQ(0u, missingDir.err.rfind("tolva-render: cannot create", 0)) << missingDir.err;
}

TEST_F(TolvaRender, OperandsAfterADoubleDashMayStartWithADash) {
    writeSound(file("-in.wav"), monoSound(300));
    const Outcome run = render({"--", file("-in.wav").string(), file("-out.wav").string()});
    ASSERT_EQ(0, run.status) << run.err;
    EXPECT_EQ(300u, readSound(file("-out.wav")).frames.size());
}

}  // namespace
}  // namespace tolva
