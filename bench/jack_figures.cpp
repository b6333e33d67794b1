// Figures of the JACK device, printed, never judged, each on a JACK server of
// the tool's own (jackd with the dummy driver and no real-time scheduling, or
// PipeWire under pw-jack with TOLVA_TEST_SERVER=pipewire) and its fake card.
//   tolva_jack_figures rates [seconds]         at periods 64, 256 and 1024:
//       callbacks over the stretch against rate / period, the server's xruns
//       per minute, the process's CPU; and how long Stop takes at 256
//   tolva_jack_figures first-samples [plays] [period]
//       what a listener hears at the start of each Play, with a steady 0.5 at
//       the microphone: the largest of the first 8 samples at the speakers. A
//       fade-in heard from its start stays below 0.5 x 0.707 x 8 / period; a
//       lost one is a step. The depth starts where the slider is (after a
//       launch it would glide up from 0 over the first cycle, and the dry
//       input, which is never faded, would start at once), so that every Play
//       shows the fade-in alone.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/control_panel.h"
#include "jack_test_server.h"
#include "platform/audio/jack/jack_audio_device.h"

using namespace tolva;
using namespace tolva::test;
using Clock = std::chrono::steady_clock;

namespace {

struct Provider final : AudioDeviceProvider {
    std::unique_ptr<AudioDeviceBackend> createDevice() override {
        auto device = std::make_unique<JackAudioDevice>();
        latest = device.get();
        return device;
    }
    JackAudioDevice* latest = nullptr;
};

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void rates(ControlPanel& panel, Provider& provider, int stretch) {
    for (unsigned period : {64u, 256u, 1024u}) {
        JackTestServer server(period);
        if (!server.start()) {
            std::fprintf(stderr, "no JACK server\n");
            return;
        }
        server.mic->signal = [](uint32_t frame) {
            return static_cast<float>(frame % 100) / 200.0f;
        };
        panel.playButton.userClick();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const uint64_t cycles = provider.latest->cyclesRun();
        const uint64_t xruns = provider.latest->xruns();
        const double cpu = cpuSeconds();
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(stretch));
        const double s = seconds(start);
        const double expected = s * 48000.0 / period;
        const auto ran = static_cast<double>(provider.latest->cyclesRun() - cycles);
        std::printf(
            "period %4u: %.0f callbacks in %.1f s, %.0f expected (%+.3f%%); %.1f xruns per "
            "minute; process CPU %.2f%% of one core\n",
            period, ran, s, expected, 100.0 * (ran - expected) / expected,
            static_cast<double>(provider.latest->xruns() - xruns) * 60.0 / s,
            100.0 * (cpuSeconds() - cpu) / s);
        panel.playButton.userClick();
        if (period != 256) {
            continue;
        }
        std::vector<double> ms;
        for (int run = 0; run < 20; ++run) {
            panel.playButton.userClick();
            server.speakers->recordMore(3 * period);
            const auto stop = Clock::now();
            panel.playButton.userClick();
            ms.push_back(1000.0 * seconds(stop));
        }
        std::sort(ms.begin(), ms.end());
        std::printf("Stop at period 256 over %zu runs: median %.2f ms, longest %.2f ms\n",
                    ms.size(), ms[ms.size() / 2], ms.back());
    }
}

void firstSamples(ControlPanel& panel, RingModulatorViewController& controller, int plays,
                  unsigned period) {
    JackTestServer server(period);
    if (!server.start()) {
        std::fprintf(stderr, "no JACK server\n");
        return;
    }
    server.mic->signal = [](uint32_t) { return 0.5f; };
    controller.previous_depth.store(panel.depthSlider.doubleValue());
    const double fadeInReach = 0.5 * kEnvelopeOnLevel * 8.0 / period;
    int steps = 0;
    float largest = 0.0f;
    for (int run = 0; run < plays; ++run) {
        const uint64_t before = server.speakers->recorded;
        panel.playButton.userClick();
        server.speakers->recordMore(4800);
        panel.playButton.userClick();
        const std::vector<float> heard = server.speakers->last(server.speakers->recorded - before);
        size_t first = 0;
        while (first < heard.size() && heard[first] == 0.0f) {
            ++first;
        }
        float step = 0.0f;
        for (size_t i = first; i < first + 8 && i < heard.size(); ++i) {
            step = std::max(step, std::fabs(heard[i]));
        }
        steps += step > fadeInReach ? 1 : 0;
        largest = std::max(largest, step);
        std::printf("play %2d: first samples reach %.4f\n", run + 1, static_cast<double>(step));
    }
    std::printf("period %u: %d of %d Plays began with a step (above %.4f); largest %.4f\n", period,
                steps, plays, fadeInReach, static_cast<double>(largest));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string figure = argc > 1 ? argv[1] : "rates";
    RingModulatorViewController controller;
    ControlPanel panel;
    panel.connect(controller);
    controller.mult.store(1.0);  // 440 Hz on the panel's slider
    midi.store(1);               // no MIDI
    Provider provider;
    setAudioDeviceProvider(&provider);
    if (figure == "first-samples") {
        firstSamples(panel, controller, argc > 2 ? std::atoi(argv[2]) : 20,
                     static_cast<unsigned>(argc > 3 ? std::atoi(argv[3]) : 64));
    } else {
        rates(panel, provider, argc > 2 ? std::atoi(argv[2]) : 20);
    }
    return 0;
}
