// Figures of the JACK device, measured and printed, never judged: xruns per
// minute at three period sizes, how long Stop takes, and the process's CPU
// while the modulator runs. Run by hand:
//   tolva_audio_jack_tests --gtest_also_run_disabled_tests --gtest_filter='JackFigures.*'

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "jack_device_fixture.h"
#include "support/launch_state.h"

namespace tolva::test {
namespace {

// The modulator playing sine at full depth on a server of the given period.
struct Rig {
    explicit Rig(unsigned period) : server(period) {}
    bool start() {
        if (!server.start()) {
            return false;
        }
        prepareForPlay(c, panel);
        setAudioDeviceProvider(&provider);
        return true;
    }
    ~Rig() {
        if (c.toneUnit.load() != nullptr) {
            c.stop();
        }
        setAudioDeviceProvider(nullptr);
    }
    JackTestServer server;
    RecordingJackProvider provider;
    ControlPanel panel;
    RingModulatorViewController c;
};

double processCpuSeconds() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && (fields >> field); ++i) {
        if (i == 14) {
            utime = std::stoull(field);
        } else if (i == 15) {
            stime = std::stoull(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

TEST(JackFigures, DISABLED_XrunsPerMinuteAtThreePeriods) {
    for (unsigned period : {64u, 256u, 1024u}) {
        Rig rig(period);
        ASSERT_TRUE(rig.start());
        rig.panel.playButton.userClick();
        ASSERT_NE(rig.provider.device, nullptr);
        const uint64_t x0 = rig.provider.device->xruns();
        const uint64_t c0 = rig.provider.device->cyclesRun();
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(20));
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const uint64_t xruns = rig.provider.device->xruns() - x0;
        const uint64_t cycles = rig.provider.device->cyclesRun() - c0;
        std::printf(
            "period %4u: %llu xruns in %.1f s = %.1f per minute; callbacks %llu, expected %.0f\n",
            period, static_cast<unsigned long long>(xruns), s,
            static_cast<double>(xruns) * 60.0 / s, static_cast<unsigned long long>(cycles),
            s * 48000.0 / period);
    }
}

TEST(JackFigures, DISABLED_StopDuration) {
    Rig rig(256);
    ASSERT_TRUE(rig.start());
    std::vector<double> ms;
    for (int i = 0; i < 50; ++i) {
        rig.panel.playButton.userClick();
        ASSERT_TRUE(waitUntil([&] { return rig.provider.recorder->cycles() >= 3; }, kHangGuard));
        const auto t0 = std::chrono::steady_clock::now();
        rig.c.stop();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("Stop over %zu runs: median %.2f ms, max %.2f ms\n", ms.size(), ms[ms.size() / 2],
                ms.back());
}

TEST(JackFigures, DISABLED_ProcessCpuWhileRunning) {
    Rig rig(256);
    ASSERT_TRUE(rig.start());
    rig.panel.playButton.userClick();
    ASSERT_TRUE(waitUntil([&] { return rig.provider.recorder->cycles() >= 10; }, kHangGuard));
    const double cpu0 = processCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const double cpu = processCpuSeconds() - cpu0;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("process CPU at -p 256: %.3f s over %.3f s = %.2f%% of one core\n", cpu, wall,
                100.0 * cpu / wall);
}

}  // namespace
}  // namespace tolva::test
