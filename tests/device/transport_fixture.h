#pragma once

// A controller wired to the panel's models and to a manually driven device,
// as the application leaves it after start-up. The device records the stream
// formats it is given, and every cycle records the transport state it finds
// when it starts, so tests can read the sequence of states the render thread
// saw. The system log is captured.

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/app_delegate.h"
#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/manual_audio_device.h"
#include "platform/log/system_log.h"

namespace tolva::test {

// Long enough for any wait on a loaded machine; only a guard against hangs.
inline constexpr std::chrono::seconds kHangGuard{5};
// Time between the cycles of a thread-driven device.
inline constexpr std::chrono::microseconds kCyclePeriod{200};

// A device that hands every call to a ManualAudioDevice and keeps the stream
// formats set on each side of the unit.
class FormatRecordingDevice final : public AudioDeviceProvider {
  public:
    explicit FormatRecordingDevice(ManualAudioDevice& device) : device_(device) {}

    std::unique_ptr<AudioDeviceBackend> createDevice() override {
        std::unique_ptr<AudioDeviceBackend> inner = device_.createDevice();
        if (!inner) {
            return nullptr;
        }
        return std::make_unique<Backend>(*this, std::move(inner));
    }

    // The formats of the latest unit, per side, in the order they were set.
    std::vector<AudioStreamBasicDescription> outputSideFormats;  // input scope, element 0
    std::vector<AudioStreamBasicDescription> inputSideFormats;   // output scope, element 1

  private:
    class Backend final : public AudioDeviceBackend {
      public:
        Backend(FormatRecordingDevice& owner, std::unique_ptr<AudioDeviceBackend> inner)
            : owner_(owner), inner_(std::move(inner)) {}
        OSStatus open() override { return inner_->open(); }
        OSStatus enableOutput(bool enable) override { return inner_->enableOutput(enable); }
        OSStatus enableInput(bool enable) override { return inner_->enableInput(enable); }
        OSStatus sampleRate(double* rate) override { return inner_->sampleRate(rate); }
        OSStatus bufferFrameSize(UInt32* frames) override {
            return inner_->bufferFrameSize(frames);
        }
        OSStatus setRenderCallback() override { return inner_->setRenderCallback(); }
        OSStatus setStreamFormat(AudioCall side,
                                 const AudioStreamBasicDescription& format) override {
            const OSStatus status = inner_->setStreamFormat(side, format);
            if (status == noErr) {
                (side == AudioCall::SetInputStreamFormat ? owner_.outputSideFormats
                                                         : owner_.inputSideFormats)
                    .push_back(format);
            }
            return status;
        }
        OSStatus initialize() override { return inner_->initialize(); }
        OSStatus start(AudioCycleHost& host) override { return inner_->start(host); }
        OSStatus stop() override { return inner_->stop(); }
        OSStatus uninitialize() override { return inner_->uninitialize(); }
        OSStatus dispose() override { return inner_->dispose(); }
        OSStatus pullInput(UInt32 frames, AudioBufferList* io) TOLVA_NONBLOCKING override {
            return inner_->pullInput(frames, io);
        }

      private:
        FormatRecordingDevice& owner_;
        std::unique_ptr<AudioDeviceBackend> inner_;
    };

    ManualAudioDevice& device_;
};

// The transport state each cycle found when it started, oldest first.
class CycleStateRecorder {
  public:
    static constexpr size_t kCapacity = 1 << 16;

    void record(int32_t state) {
        const size_t at = count_.load(std::memory_order_relaxed);
        if (at < kCapacity) {
            states_[at].store(state, std::memory_order_relaxed);
            count_.store(at + 1, std::memory_order_release);
        }
    }
    void clear() { count_.store(0, std::memory_order_release); }
    // Every state seen, oldest first.
    std::vector<int32_t> seen() const {
        const size_t count = count_.load(std::memory_order_acquire);
        std::vector<int32_t> out;
        for (size_t i = 0; i < count; ++i) {
            out.push_back(states_[i].load(std::memory_order_relaxed));
        }
        return out;
    }
    // The states seen with repeats of the same state folded into one.
    std::vector<int32_t> runs() const {
        std::vector<int32_t> out;
        for (int32_t s : seen()) {
            if (out.empty() || out.back() != s) {
                out.push_back(s);
            }
        }
        return out;
    }

  private:
    std::array<std::atomic<int32_t>, kCapacity> states_{};
    std::atomic<size_t> count_{0};
};

class TransportFixture : public ::testing::Test {
  protected:
    explicit TransportFixture(double rate = 44100.0) : device(rate) {}

    void SetUp() override {
        resetModulatorGlobals();
        panel.connect(c);
        // The controller as the application leaves it after launching.
        AppDelegate delegate;
        delegate.setViewController(
            std::shared_ptr<RingModulatorViewController>(&c, [](RingModulatorViewController*) {}));
        delegate.applicationDidFinishLaunching();
        // The MIDI client is not under test here: as after the first Play.
        midi.store(1);
        device.setInput([this](float* dst, UInt32 frames, uint64_t) {
            states.record(c.state.load(std::memory_order_acquire));
            for (UInt32 i = 0; i < frames; ++i) {
                dst[i] = 0.25f;
            }
        });
        setAudioDeviceProvider(&formats);
        setSystemLogSink([this](std::string_view entry) {
            std::lock_guard lock(logMutex_);
            log_.emplace_back(entry);
        });
    }

    void TearDown() override {
        if (c.toneUnit.load() != nullptr) {
            stopWithCycles();
        }
        setSystemLogSink({});
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }

    // Cycles from the device's own thread, 64 frames at a time.
    void driveFromThread() {
        driveFromThread([](uint64_t) { return 64u; }, kCyclePeriod);
    }
    void driveFromThread(ManualAudioDevice::FrameCountSource frames,
                         std::chrono::microseconds period) {
        device.driveFromThread(std::move(frames), period);
        threadDriven_ = true;
    }

    // Stop; on a manually driven device, cycles run from a helper thread
    // meanwhile so that the fade-out is taken up.
    void stopWithCycles() {
        if (threadDriven_) {
            c.stop();
            return;
        }
        std::atomic<bool> done{false};
        std::thread pump([&] {
            while (!done.load()) {
                device.runCycle(64);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        c.stop();
        done.store(true);
        pump.join();
    }

    // Waits until `count` more cycles have run; false if they never come.
    bool waitForCycles(uint64_t count) {
        const uint64_t target = device.cyclesRun() + count;
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        while (device.cyclesRun() < target) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        return true;
    }

    void play() { panel.playButton.userClick(); }
    // Play, then let the fade-in finish.
    void playAndSettle() {
        play();
        ASSERT_TRUE(waitForCycles(2));
        ASSERT_EQ(c.state.load(), StateOn);
    }

    std::vector<std::string> logEntries() {
        std::lock_guard lock(logMutex_);
        return log_;
    }
    void clearLog() {
        std::lock_guard lock(logMutex_);
        log_.clear();
    }

    ManualAudioDevice device;
    FormatRecordingDevice formats{device};
    CycleStateRecorder states;
    ControlPanel panel;
    RingModulatorViewController c;

  private:
    bool threadDriven_ = false;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

}  // namespace tolva::test
