// What one sample of the render cycle costs, for every carrier with the diode
// off and on, at several device cycle lengths: the cycle as the device and
// tolva-render run it (tolva/), and with the plain carrier pass forced
// (plain/); beside them the same cycle lengths through two LADSPA ring
// modulators of the swh plugin set, when they are installed. main() ends with
// a table of ns per sample, the ratios, and the share of samples the fast
// pass recomputed with the C library.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "engine/carrier_pass_choice.h"
#include "engine/fast_carrier_pass.h"
#include "offline_render.h"

namespace tolva {
namespace {

constexpr double kRate = 48000.0;
constexpr double kCarrierHz = 440.0;
constexpr uint32_t kCycleSizes[] = {16, 64, 256, 1024};

std::vector<float> benchInput(size_t frames) {
    std::vector<float> x(frames);
    for (size_t i = 0; i < frames; ++i) {
        x[i] = static_cast<float>(
            0.5 * std::sin(kCarrierHz * 2.3 * kTwoPi * static_cast<double>(i) / kRate));
    }
    return x;
}

// Time per sample, as a counter the framework finishes from the measured
// CPU time: seconds per sample, which the console shows as e.g. "6.4ns".
benchmark::Counter timePerSample(uint32_t frames) {
    return benchmark::Counter(
        static_cast<double>(frames),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- The render cycle, called as the device would call it ----

// The pass the cycle runs unless told otherwise (TOLVA_PLAIN_RENDER), as it
// was when the benchmarks started.
bool fastByDefault() {
    static const bool fast = fastCarrierPassChosen();
    return fast;
}

void renderCycleBench(benchmark::State& state, int32_t wave, bool diode, uint32_t frames,
                      bool plain) {
    chooseFastCarrierPass(fastByDefault() && !plain);
    ManualAudioDevice device(kRate);
    // The pull copies these samples into the buffer at every cycle.
    device.setInputSamples(benchInput(frames));
    RingModulatorViewController controller;
    OfflineRenderSettings settings;
    settings.wave = wave;
    settings.diode = diode;
    settings.exponent = 2.0;
    settings.depth = 1.0;
    settings.frequency = kCarrierHz;
    settings.blockFrames = frames;
    OfflineUnitFailure failure;
    if (!openOfflineUnit(controller, device, settings, &failure)) {
        state.SkipWithError(failure.operation);
        return;
    }
    // Steady sound: fully on, no depth or frequency glide.
    controller.state.store(StateOn);
    controller.previous_depth.store(1.0);
    controller.previous_phase_increment.store(kCarrierHz * controller.TWO_PI_NORM.load());

    std::vector<float> buffer(frames);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 1;
    list.mBuffers[0].mDataByteSize = frames * static_cast<UInt32>(sizeof(float));
    list.mBuffers[0].mData = buffer.data();
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp;
    const uint64_t recomputedBefore = fastCarrierPassRecomputedSamples();
    for (auto _ : state) {
        RenderRMTone(&controller, &flags, &stamp, 0, frames, &list);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    const auto samples = static_cast<double>(state.iterations()) * frames;
    state.SetItemsProcessed(static_cast<int64_t>(samples));
    state.counters["time_per_sample"] = timePerSample(frames);
    state.counters["recomputed"] =
        static_cast<double>(fastCarrierPassRecomputedSamples() - recomputedBefore) / samples;
    closeOfflineUnit(controller);
    chooseFastCarrierPass(fastByDefault());
}

// ---- LADSPA: the few declarations of the plugin interface used here ----

using LadspaData = float;
using LadspaHandle = void*;
using LadspaPortDescriptor = int;
constexpr LadspaPortDescriptor kLadspaPortInput = 0x1;
constexpr LadspaPortDescriptor kLadspaPortOutput = 0x2;
constexpr LadspaPortDescriptor kLadspaPortControl = 0x4;
constexpr LadspaPortDescriptor kLadspaPortAudio = 0x8;

struct LadspaPortRangeHint {
    int HintDescriptor;
    LadspaData LowerBound;
    LadspaData UpperBound;
};

struct LadspaDescriptor {
    unsigned long UniqueID;
    const char* Label;
    int Properties;
    const char* Name;
    const char* Maker;
    const char* Copyright;
    unsigned long PortCount;
    const LadspaPortDescriptor* PortDescriptors;
    const char* const* PortNames;
    const LadspaPortRangeHint* PortRangeHints;
    void* ImplementationData;
    LadspaHandle (*instantiate)(const LadspaDescriptor*, unsigned long sampleRate);
    void (*connect_port)(LadspaHandle, unsigned long port, LadspaData* location);
    void (*activate)(LadspaHandle);
    void (*run)(LadspaHandle, unsigned long sampleCount);
    void (*run_adding)(LadspaHandle, unsigned long sampleCount);
    void (*set_run_adding_gain)(LadspaHandle, LadspaData gain);
    void (*deactivate)(LadspaHandle);
    void (*cleanup)(LadspaHandle);
};

using LadspaDescriptorFunction = const LadspaDescriptor* (*)(unsigned long index);

// Both swh ring modulators live in one library; look in both of its names.
constexpr const char* kSwhRingmodLibraries[] = {"/usr/lib/ladspa/ringmod_1188.so",
                                                "/usr/lib/ladspa/ringmod_1189.so"};

// The plugin with this label, or null. The library stays loaded.
const LadspaDescriptor* findLadspaPlugin(const char* label) {
    for (const char* path : kSwhRingmodLibraries) {
        void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            continue;
        }
        auto descriptorOf =
            reinterpret_cast<LadspaDescriptorFunction>(dlsym(library, "ladspa_descriptor"));
        for (unsigned long i = 0; descriptorOf != nullptr; ++i) {
            const LadspaDescriptor* d = descriptorOf(i);
            if (d == nullptr) {
                break;
            }
            if (std::strcmp(d->Label, label) == 0) {
                return d;
            }
        }
        dlclose(library);
    }
    return nullptr;
}

// Control values for a ring modulation like the modulator's: full ring
// modulation by a pure sine at the carrier frequency.
LadspaData controlValue(const std::string& name) {
    if (name.find("depth") != std::string::npos) {
        return 2.0f;  // 2 = ring modulation
    }
    if (name.find("Frequency") != std::string::npos) {
        return static_cast<LadspaData>(kCarrierHz);
    }
    if (name.find("Sine") != std::string::npos) {
        return 1.0f;
    }
    return 0.0f;
}

void ladspaBench(benchmark::State& state, const char* label, uint32_t frames) {
    const LadspaDescriptor* d = findLadspaPlugin(label);
    if (d == nullptr) {
        state.SkipWithError("plugin not installed");
        return;
    }
    LadspaHandle plugin = d->instantiate(d, static_cast<unsigned long>(kRate));
    if (plugin == nullptr) {
        state.SkipWithError("plugin did not instantiate");
        return;
    }
    const std::vector<float> input = benchInput(frames);
    std::vector<float> modulator(frames);
    for (size_t i = 0; i < frames; ++i) {
        modulator[i] =
            static_cast<float>(std::sin(kCarrierHz * kTwoPi * static_cast<double>(i) / kRate));
    }
    std::vector<float> output(frames);
    std::vector<LadspaData> controls(d->PortCount);
    std::vector<float> in = input;
    int audioInputs = 0;
    for (unsigned long p = 0; p < d->PortCount; ++p) {
        const LadspaPortDescriptor port = d->PortDescriptors[p];
        if ((port & kLadspaPortControl) != 0) {
            controls[p] = (port & kLadspaPortInput) != 0 ? controlValue(d->PortNames[p]) : 0.0f;
            d->connect_port(plugin, p, &controls[p]);
        } else if ((port & kLadspaPortAudio) != 0 && (port & kLadspaPortOutput) != 0) {
            d->connect_port(plugin, p, output.data());
        } else if ((port & kLadspaPortAudio) != 0) {
            d->connect_port(plugin, p, audioInputs++ == 0 ? in.data() : modulator.data());
        }
    }
    if (d->activate != nullptr) {
        d->activate(plugin);
    }
    for (auto _ : state) {
        d->run(plugin, frames);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * frames);
    state.counters["time_per_sample"] = timePerSample(frames);
    if (d->deactivate != nullptr) {
        d->deactivate(plugin);
    }
    d->cleanup(plugin);
}

// ---- Registration and the closing table ----

struct Carrier {
    const char* name;
    int32_t wave;
};
constexpr Carrier kCarriers[] = {
    {"self", WaveSelf}, {"sine", WaveSine}, {"triangle", WaveTriangle}, {"ramp", WaveRamp}};
constexpr const char* kSwhPlugins[] = {"ringmod_2i1o", "ringmod_1i1o1l"};

std::string rowName(const char* what, const char* variant) {
    return std::string(what) + (variant[0] != '\0' ? "/" : "") + variant;
}

void registerAll() {
    for (const char* cycle : {"tolva/", "plain/"}) {
        for (const Carrier& carrier : kCarriers) {
            for (bool diode : {false, true}) {
                for (uint32_t frames : kCycleSizes) {
                    const std::string name = cycle + rowName(carrier.name, diode ? "diode" : "") +
                                             "/" + std::to_string(frames);
                    benchmark::RegisterBenchmark(name.c_str(), renderCycleBench, carrier.wave,
                                                 diode, frames, cycle[0] == 'p');
                }
            }
        }
    }
    for (const char* label : kSwhPlugins) {
        for (uint32_t frames : kCycleSizes) {
            const std::string name = std::string("swh/") + label + "/" + std::to_string(frames);
            benchmark::RegisterBenchmark(name.c_str(), ladspaBench, label, frames);
        }
    }
}

// Collects ns per sample by row ("tolva/sine", "swh/ringmod_2i1o") and size.
class TableReporter : public benchmark::ConsoleReporter {
  public:
    // Colours only on a terminal.
    TableReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) {
                continue;
            }
            const std::string name = run.benchmark_name();
            const size_t slash = name.rfind('/');
            const auto counter = run.counters.find("time_per_sample");
            if (slash == std::string::npos || counter == run.counters.end()) {
                continue;
            }
            const uint32_t frames = static_cast<uint32_t>(std::stoul(name.substr(slash + 1)));
            table[name.substr(0, slash)][frames] = counter->second.value * 1e9;
            const auto recomputed = run.counters.find("recomputed");
            if (recomputed != run.counters.end() && name.rfind("tolva/", 0) == 0) {
                recomputedShare[name.substr(0, slash)][frames] = recomputed->second.value;
            }
        }
    }

    std::map<std::string, std::map<uint32_t, double>> table;
    std::map<std::string, std::map<uint32_t, double>> recomputedShare;
};

void printHeader(const char* title) {
    std::printf("\n%s\n%-26s", title, "");
    for (uint32_t n : kCycleSizes) {
        std::printf("%10u", n);
    }
    std::printf("\n");
}

void printTable(const TableReporter& reporter) {
    // The framework writes through std::cout, the table through stdio.
    std::cout << std::flush;
    const auto& t = reporter.table;
    printHeader("ns per sample of CPU time, by cycle length N");
    for (const auto& [row, values] : t) {
        std::printf("%-26s", row.c_str());
        for (uint32_t n : kCycleSizes) {
            const auto v = values.find(n);
            v == values.end() ? std::printf("%10s", "-") : std::printf("%10.2f", v->second);
        }
        std::printf("\n");
    }
    bool anySwh = false;
    for (const char* label : kSwhPlugins) {
        const auto swh = t.find(std::string("swh/") + label);
        if (swh == t.end()) {
            continue;
        }
        anySwh = true;
        const std::string title =
            std::string("ratio Tolva / swh ") + label + " (above 1: Tolva is slower)";
        printHeader(title.c_str());
        for (const char* cycle : {"tolva/", "plain/"}) {
            for (const auto& [row, values] : t) {
                if (row.rfind(cycle, 0) != 0) {
                    continue;
                }
                std::printf("%-26s", row.c_str());
                for (uint32_t n : kCycleSizes) {
                    const auto v = values.find(n);
                    const auto s = swh->second.find(n);
                    if (v == values.end() || s == swh->second.end() || !(s->second > 0.0)) {
                        std::printf("%10s", "-");
                    } else {
                        std::printf("%10.2f", v->second / s->second);
                    }
                }
                std::printf("\n");
            }
        }
    }
    if (!anySwh) {
        std::printf("\nswh ring modulators not installed (apt package swh-plugins): no ratios\n");
    }
    printHeader("share of the tolva/ rows' samples the fast pass recomputed with glibc (%)");
    for (const auto& [row, values] : reporter.recomputedShare) {
        std::printf("%-26s", row.c_str());
        for (uint32_t n : kCycleSizes) {
            const auto v = values.find(n);
            v == values.end() ? std::printf("%10s", "-") : std::printf("%10.4f", v->second * 100);
        }
        std::printf("\n");
    }
    std::printf("\ntolva/ rows: the %s carrier pass\n",
                fastCarrierPassChosen() ? "fast" : "plain (fast pass unavailable or turned off)");
}

}  // namespace
}  // namespace tolva

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    tolva::fastByDefault();
    tolva::registerAll();
    tolva::TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    tolva::printTable(reporter);
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
