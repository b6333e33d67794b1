#pragma once

// The modulator as the application runs it: a controller launched as main
// launches it (the panel wired to its outlets and actions, the delegate's
// launch defaults), on a test device and in-process MIDI services, played
// through the panel's own Play. Every cycle records the transport state it
// finds; the system log is captured; an alert is written to standard error as
// one line, with what the device and the play button show at that moment, so
// that a death test sees everything a failing process showed.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_delegate.h"
#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/manual_audio_device.h"
#include "platform/log/system_log.h"
#include "platform/midi/in_process_midi_services.h"
#include "platform/ui/alert.h"

namespace tolva::test {

inline uint32_t floatBits(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
inline uint64_t doubleBits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}
// Floats compared by bit pattern: -0.0 differs from 0.0.
#define EXPECT_FLOAT_BITS(expected, actual) \
    EXPECT_EQ(::tolva::test::floatBits(expected), ::tolva::test::floatBits(actual))
#define ASSERT_FLOAT_BITS(expected, actual) \
    ASSERT_EQ(::tolva::test::floatBits(expected), ::tolva::test::floatBits(actual))

// The transport state each cycle found when it started, oldest first.
class CycleStates {
  public:
    void record(int32_t state) {
        const size_t at = count_.load(std::memory_order_relaxed);
        if (at < states_.size()) {
            states_[at].store(state, std::memory_order_relaxed);
            count_.store(at + 1, std::memory_order_release);
        }
    }
    // The states seen, repeats of one state folded into one.
    std::vector<int32_t> runs() const {
        std::vector<int32_t> out;
        for (size_t i = 0; i < count_.load(std::memory_order_acquire); ++i) {
            const int32_t s = states_[i].load(std::memory_order_relaxed);
            if (out.empty() || out.back() != s) {
                out.push_back(s);
            }
        }
        return out;
    }

  private:
    std::array<std::atomic<int32_t>, 1 << 16> states_{};
    std::atomic<size_t> count_{0};
};

class PlayedModulator : AlertPresenter {
  public:
    explicit PlayedModulator(double rate = 48000.0) : device(rate) {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        resetModulatorGlobals();
        panel.connect(c);
        delegate.setViewController(controller);
        delegate.applicationDidFinishLaunching();
        device.setInput([this](float* dst, UInt32 frames, uint64_t) {
            states.record(c.state.load(std::memory_order_acquire));
            if (keepBuffer) {
                return;
            }
            for (UInt32 i = 0; i < frames; ++i) {
                dst[i] = cycleInput_.empty() ? 0.25f : cycleInput_[i % cycleInput_.size()];
            }
        });
        setAudioDeviceProvider(&device);
        setMidiServicesProvider(&midi);
        setAlertPresenter(this);
        setSystemLogSink([this](std::string_view entry) {
            std::lock_guard lock(logMutex_);
            log_.emplace_back(entry);
        });
    }

    ~PlayedModulator() override {
        if (running()) {
            stop();
        }
        setSystemLogSink({});
        setAlertPresenter(nullptr);
        setMidiServicesProvider(nullptr);
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }
    PlayedModulator(const PlayedModulator&) = delete;
    PlayedModulator& operator=(const PlayedModulator&) = delete;

    bool running() const { return c.toneUnit.load() != nullptr; }

    // Cycles from the device's own thread: `frames` at a time, back to back
    // (`period` zero) or `period` apart. Call before play().
    void driveFromThread(UInt32 frames = 64,
                         std::chrono::microseconds period = std::chrono::microseconds(200)) {
        device.driveFromThread(frames, period);
    }

    void play() { panel.playButton.userClick(); }
    // Stop; on a device driven by the test, cycles run meanwhile from a helper
    // thread so that the fade-out is taken up.
    void stop() {
        withCycles([this] { panel.playButton.userClick(); });
    }
    template <typename Action>
    void withCycles(Action action) {
        if (device.threadDriven()) {
            action();
            return;
        }
        std::atomic<bool> done{false};
        std::thread pump([&] {
            while (!done.load()) {
                device.runCycle(64);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        action();
        done.store(true);
        pump.join();
    }
    // Waits for `count` cycles that begin after this call (hang guard only).
    void waitForCycles(uint64_t count) {
        const uint64_t target = device.cyclesRun() + count + (device.threadDriven() ? 1 : 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (device.cyclesRun() < target && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GE(device.cyclesRun(), target) << "the device stopped calling back";
    }

    // The depth, the frequency and the carrier at rest: no glide in the next cycle.
    void settle(double depth, double hz) {
        c.depth.store(depth);
        c.previous_depth.store(depth);
        c.frequency.store(hz);
        c.previous_phase_increment.store(hz * c.TWO_PI_NORM.load());
    }
    // One device cycle whose input is `input`; returns what the device plays.
    std::vector<float> render(const std::vector<float>& input) {
        cycleInput_ = input.empty() ? std::vector<float>{0.0f} : input;
        std::vector<float> out(input.size() + 1);
        EXPECT_TRUE(device.runCycle(static_cast<UInt32>(input.size()), out.data()));
        cycleInput_.clear();
        out.pop_back();
        return out;
    }
    // The render callback on a buffer of the caller's, as a device with its
    // own buffer shape would call it; the pull leaves the buffer as it is.
    void renderInPlace(float* samples, UInt32 frames, UInt32 byteSize) {
        keepBuffer = true;
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = {1, byteSize, samples};
        AudioUnitRenderActionFlags flags = 0;
        AudioTimeStamp stamp;
        EXPECT_EQ(noErr, RenderRMTone(&c, &flags, &stamp, 0, frames, &list));
        keepBuffer = false;
    }

    std::vector<std::string> log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    ManualAudioDevice device;
    InProcessMidiServices midi;
    ControlPanel panel;
    std::shared_ptr<RingModulatorViewController> controller =
        std::make_shared<RingModulatorViewController>();
    RingModulatorViewController& c = *controller;
    AppDelegate delegate;
    CycleStates states;
    std::atomic<bool> keepBuffer{false};

  private:
    void showCriticalAlert(std::string_view title, std::string_view message,
                           std::string_view button) override {
        std::fprintf(stderr, "[%.*s|%.*s|%.*s] running=%d play=%s\n",
                     static_cast<int>(title.size()), title.data(), static_cast<int>(message.size()),
                     message.data(), static_cast<int>(button.size()), button.data(),
                     device.running() ? 1 : 0, panel.playButton.title().c_str());
    }

    std::vector<float> cycleInput_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

// What a process that ends through the fatal check writes on standard error:
// the line (and the advice, if any), then the alert, and whether the device ran
// when the alert came up.
inline std::string fatalText(const std::string& operation, const std::string& code,
                             bool running = false, const std::string& advice = "") {
    const std::string text = operation + " (" + code + ")";
    const std::string more = advice.empty() ? "" : "\n" + advice;
    return "Error: " + text + more + "\n[Tolva: Hardware Error:|" + text +
           "\nApplication will quit" + more + "|OK]" +
           (running ? " running=1 play=Stop\n" : " running=0 play=Play\n");
}
#define EXPECT_FATAL(statement, text) \
    EXPECT_EXIT(statement, ::testing::ExitedWithCode(1), ::testing::Eq(text))

}  // namespace tolva::test
