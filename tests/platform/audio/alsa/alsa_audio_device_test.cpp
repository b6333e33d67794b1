// The ALSA device: open, cycle and stop against ALSA's "null" PCM (there on
// every system, sound card or not), each call's status, and the end of the
// application when the PCM cannot be opened.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "platform/audio/alsa/alsa_audio_device.h"
#include "support/launch_state.h"

namespace tolva {
namespace {

constexpr std::chrono::seconds kHangGuard{10};

class AlsaProvider final : public AudioDeviceProvider {
  public:
    explicit AlsaProvider(std::string pcm) : pcm_(std::move(pcm)) {}
    std::unique_ptr<AudioDeviceBackend> createDevice() override {
        auto device = std::make_unique<AlsaAudioDevice>(pcm_);
        latest = device.get();
        return device;
    }
    AlsaAudioDevice* latest = nullptr;

  private:
    std::string pcm_;
};

class AlsaAudioDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::prepareForPlay(c, panel);
        setAudioDeviceProvider(&provider);
    }
    void TearDown() override {
        if (c.toneUnit.load() != nullptr) {
            c.stop();
        }
        setAudioDeviceProvider(nullptr);
        resetModulatorGlobals();
    }
    bool waitForCycles(uint64_t count) {
        const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
        while (provider.latest->cyclesRun() < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

    AlsaProvider provider{"null"};
    ControlPanel panel;
    RingModulatorViewController c;
};

TEST_F(AlsaAudioDeviceTest, PlaysOnTheNullPcmAt48000InPeriodsOf128AndStops) {
    panel.playButton.userClick();
    ASSERT_NE(c.toneUnit.load(), nullptr);
    EXPECT_EQ(R.load(), 48000.0);
    UInt32 frames = 0;
    UInt32 size = sizeof(frames);
    ASSERT_EQ(AudioUnitGetProperty(c.toneUnit.load(), kAudioDevicePropertyBufferFrameSize,
                                   kAudioUnitScope_Global, 0, &frames, &size),
              noErr);
    EXPECT_EQ(frames, 128u);
    ASSERT_TRUE(waitForCycles(100));
    EXPECT_EQ(c.state.load(), StateOn) << "the fade-in cycle ran";
    c.stop();  // the fade-out is taken up by the device thread
    EXPECT_EQ(c.toneUnit.load(), nullptr);
    EXPECT_EQ(panel.playButton.title(), "Play");
}

TEST_F(AlsaAudioDeviceTest, NoCycleRunsAfterStopReturns) {
    panel.playButton.userClick();
    ASSERT_TRUE(waitForCycles(10));
    AudioUnit unit = c.toneUnit.load();
    ASSERT_EQ(AudioOutputUnitStop(unit), noErr);
    const uint64_t cycles = provider.latest->cyclesRun();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(provider.latest->cyclesRun(), cycles);
    c.toneUnit.store(nullptr);
    AudioComponentInstanceDispose(unit);
}

TEST_F(AlsaAudioDeviceTest, PlaysAgainAfterStop) {
    for (int run = 0; run < 5; ++run) {
        panel.playButton.userClick();
        ASSERT_TRUE(waitForCycles(5)) << "run " << run;
        c.stop();
    }
}

TEST(AlsaAudioDeviceCalls, AMissingPcmFailsToOpenAsABadDevice) {
    AlsaAudioDevice device("tolva_no_such_pcm");
    EXPECT_EQ(device.open(), kAudioHardwareBadDeviceError);
    EXPECT_FALSE(device.isOpen());
}

TEST(AlsaAudioDeviceCalls, TheRateIsUnknownUntilASideIsConfiguredAndFormatsMustCarryIt) {
    AlsaAudioDevice device("null");
    ASSERT_EQ(device.open(), noErr);
    double rate = 0.0;
    EXPECT_EQ(device.sampleRate(&rate), kAudioHardwareIllegalOperationError);
    ASSERT_EQ(device.enableOutput(true), noErr);
    ASSERT_EQ(device.sampleRate(&rate), noErr);
    EXPECT_EQ(rate, 48000.0);
    ASSERT_EQ(device.enableInput(true), noErr);
    AudioStreamBasicDescription format;
    format.mSampleRate = 44100.0;
    EXPECT_EQ(device.setStreamFormat(AudioCall::SetInputStreamFormat, format),
              kAudioDeviceUnsupportedFormatError);
    format.mSampleRate = 48000.0;
    EXPECT_EQ(device.setStreamFormat(AudioCall::SetOutputStreamFormat, format), noErr);
    EXPECT_EQ(device.initialize(), noErr);
    EXPECT_EQ(device.uninitialize(), noErr);
    EXPECT_EQ(device.dispose(), noErr);
}

[[noreturn]] void playOnPcm(const char* pcm) {
    AlsaProvider provider(pcm);
    RingModulatorViewController c;
    ControlPanel panel;
    panel.connect(c);
    midi.store(1);
    setAudioDeviceProvider(&provider);
    panel.playButton.userClick();
    std::exit(0);  // not reached when the PCM does not open
}

TEST(AlsaAudioDeviceDeathTest, APcmThatCannotBeOpenedEndsPlayWithTheInstanceError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(playOnPcm("tolva_no_such_pcm"), ::testing::ExitedWithCode(1),
                "Error: Couldn't get audio unit instance \\('!dev'\\)\n");
}

TEST(AlsaAudioDeviceDeathTest, TheDefaultPcmFailingHereEndsPlayWithTheInstanceError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    AlsaAudioDevice probe("default");
    if (probe.open() == noErr) {
        GTEST_SKIP() << "this machine has an ALSA default device";
    }
    EXPECT_EXIT(playOnPcm("default"), ::testing::ExitedWithCode(1),
                "Error: Couldn't get audio unit instance \\('!dev'\\)\n");
}

}  // namespace
}  // namespace tolva
