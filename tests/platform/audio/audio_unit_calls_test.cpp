// The audio-unit call set over the manually driven device: finding the unit,
// injected failures, the formats it takes, the input pull, and a stop after
// which no cycle runs.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/audio/manual_audio_device.h"
#include "support/render_rig.h"

namespace tolva {
namespace {

const AudioComponentDescription kDeviceUnit{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                            kAudioUnitManufacturer_Apple, 0, 0};

AudioUnit gUnitUnderTest = nullptr;  // the unit being set up, pulled from by the callback

// What the test's own render callback saw.
struct CallbackLog {
    std::atomic<int> cycles{0};
    std::atomic<OSStatus> lastPull{12345};
    std::atomic<UInt32> pullBus{1};
    std::atomic<bool> afterStop{false};
    std::atomic<int> cyclesAfterStop{0};
};

OSStatus recordingCallback(void* context, AudioUnitRenderActionFlags* flags,
                           const AudioTimeStamp* stamp, UInt32, UInt32 frames,
                           AudioBufferList* io) {
    auto& log = *static_cast<CallbackLog*>(context);
    if (log.afterStop.load()) {
        log.cyclesAfterStop.fetch_add(1);
    }
    log.cycles.fetch_add(1);
    log.lastPull.store(
        AudioUnitRender(gUnitUnderTest, flags, stamp, log.pullBus.load(), frames, io));
    return noErr;
}

class AudioUnitCalls : public ::testing::Test {
  protected:
    AudioUnitCalls() { setAudioDeviceProvider(&device); }
    ~AudioUnitCalls() override {
        if (gUnitUnderTest != nullptr) {
            AudioComponentInstanceDispose(gUnitUnderTest);
            gUnitUnderTest = nullptr;
        }
        setAudioDeviceProvider(nullptr);
    }

    // Every step of the device setup, Play and Stop; the first failing status.
    OSStatus setUpAndPlay(bool withCallback = true) {
        AudioComponent component = AudioComponentFindNext(nullptr, &kDeviceUnit);
        if (OSStatus s = AudioComponentInstanceNew(component, &gUnitUnderTest); s != noErr)
            return s;
        const UInt32 one = 1;
        if (OSStatus s = AudioUnitSetProperty(gUnitUnderTest, kAudioOutputUnitProperty_EnableIO,
                                              kAudioUnitScope_Output, 0, &one, sizeof one);
            s != noErr)
            return s;
        double rate = 0.0;
        UInt32 size = sizeof rate;
        if (OSStatus s = AudioUnitGetProperty(gUnitUnderTest, kAudioUnitProperty_SampleRate,
                                              kAudioUnitScope_Output, 0, &rate, &size);
            s != noErr)
            return s;
        EXPECT_EQ(44100.0, rate);
        if (OSStatus s = AudioUnitSetProperty(gUnitUnderTest, kAudioOutputUnitProperty_EnableIO,
                                              kAudioUnitScope_Input, 1, &one, sizeof one);
            s != noErr)
            return s;
        if (withCallback) {
            AURenderCallbackStruct callback{&recordingCallback, &log};
            if (OSStatus s =
                    AudioUnitSetProperty(gUnitUnderTest, kAudioUnitProperty_SetRenderCallback,
                                         kAudioUnitScope_Input, 0, &callback, sizeof callback);
                s != noErr)
                return s;
        }
        const AudioStreamBasicDescription format = monoFloatStreamFormat(rate);
        if (OSStatus s = AudioUnitSetProperty(gUnitUnderTest, kAudioUnitProperty_StreamFormat,
                                              kAudioUnitScope_Input, 0, &format, sizeof format);
            s != noErr)
            return s;
        if (OSStatus s = AudioUnitSetProperty(gUnitUnderTest, kAudioUnitProperty_StreamFormat,
                                              kAudioUnitScope_Output, 1, &format, sizeof format);
            s != noErr)
            return s;
        if (OSStatus s = AudioUnitInitialize(gUnitUnderTest); s != noErr)
            return s;
        return AudioOutputUnitStart(gUnitUnderTest);
    }

    ManualAudioDevice device{44100.0};
    CallbackLog log;
};

TEST_F(AudioUnitCalls, DeviceUnitIsFoundOnlyWhileAProviderIsInstalled) {
    EXPECT_NE(nullptr, AudioComponentFindNext(nullptr, &kDeviceUnit));
    const AudioComponentDescription anyOutput{kAudioUnitType_Output, 0, 0, 0, 0};
    EXPECT_NE(nullptr, AudioComponentFindNext(nullptr, &anyOutput));
    const AudioComponentDescription other{fourCharCode("aumu"), 0, 0, 0, 0};
    EXPECT_EQ(nullptr, AudioComponentFindNext(nullptr, &other));
    AudioComponent found = AudioComponentFindNext(nullptr, &kDeviceUnit);
    EXPECT_EQ(nullptr, AudioComponentFindNext(found, &kDeviceUnit));  // there is only one

    setAudioDeviceProvider(nullptr);
    EXPECT_EQ(nullptr, AudioComponentFindNext(nullptr, &kDeviceUnit));
    AudioComponentInstance instance = nullptr;
    EXPECT_NE(noErr, AudioComponentInstanceNew(found, &instance));
    EXPECT_EQ(nullptr, instance);
}

TEST_F(AudioUnitCalls, EachSetupCallReturnsItsInjectedStatus) {
    const AudioCall setupCalls[] = {AudioCall::InstanceNew,
                                    AudioCall::EnableOutput,
                                    AudioCall::GetSampleRate,
                                    AudioCall::EnableInput,
                                    AudioCall::SetRenderCallback,
                                    AudioCall::SetInputStreamFormat,
                                    AudioCall::SetOutputStreamFormat,
                                    AudioCall::Initialize,
                                    AudioCall::Start};
    OSStatus status = -2000;
    for (AudioCall call : setupCalls) {
        device.clearFailures();
        device.failCall(call, --status);
        EXPECT_EQ(status, setUpAndPlay()) << audioCallName(call);
        EXPECT_EQ(call, device.callLog().back()) << audioCallName(call);
        EXPECT_FALSE(device.running());
        if (gUnitUnderTest != nullptr) {
            AudioComponentInstanceDispose(gUnitUnderTest);
            gUnitUnderTest = nullptr;
        }
        device.clearCallLog();
    }
    EXPECT_EQ(0, device.instancesAlive());
}

TEST_F(AudioUnitCalls, TeardownCallsReturnTheirInjectedStatus) {
    ASSERT_EQ(noErr, setUpAndPlay());
    device.failCall(AudioCall::Stop, -1);
    device.failCall(AudioCall::Uninitialize, -2);
    device.failCall(AudioCall::Dispose, -3);
    EXPECT_EQ(-1, AudioOutputUnitStop(gUnitUnderTest));
    EXPECT_EQ(-2, AudioUnitUninitialize(gUnitUnderTest));
    EXPECT_EQ(-3, AudioComponentInstanceDispose(gUnitUnderTest));
    gUnitUnderTest = nullptr;
    EXPECT_EQ(0, device.instancesAlive());
}

TEST_F(AudioUnitCalls, InputPullReturnsItsInjectedStatusAndNeedsBusOne) {
    ASSERT_EQ(noErr, setUpAndPlay());
    ASSERT_TRUE(device.runCycle(64));
    EXPECT_EQ(noErr, log.lastPull.load());
    device.failCall(AudioCall::Render, fourCharStatus("!dat"));
    ASSERT_TRUE(device.runCycle(64));
    EXPECT_EQ(fourCharStatus("!dat"), log.lastPull.load());
    device.clearFailures();
    log.pullBus.store(0);
    ASSERT_TRUE(device.runCycle(64));
    EXPECT_EQ(kAudioUnitErr_InvalidElement, log.lastPull.load());
}

TEST_F(AudioUnitCalls, OnlyMonoFloatIsAccepted) {
    AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &kDeviceUnit), &gUnitUnderTest);
    auto refused = [](AudioStreamBasicDescription f) {
        return AudioUnitSetProperty(gUnitUnderTest, kAudioUnitProperty_StreamFormat,
                                    kAudioUnitScope_Input, 0, &f, sizeof f);
    };
    AudioStreamBasicDescription stereo = monoFloatStreamFormat(44100.0);
    stereo.mChannelsPerFrame = 2;
    stereo.mBytesPerFrame = stereo.mBytesPerPacket = 8;
    AudioStreamBasicDescription integer = monoFloatStreamFormat(44100.0);
    integer.mFormatFlags = kAudioFormatFlagIsPacked;
    AudioStreamBasicDescription shorts = monoFloatStreamFormat(44100.0);
    shorts.mBitsPerChannel = 16;
    shorts.mBytesPerFrame = shorts.mBytesPerPacket = 2;
    EXPECT_EQ(kAudioUnitErr_FormatNotSupported, refused(stereo));
    EXPECT_EQ(kAudioUnitErr_FormatNotSupported, refused(integer));
    EXPECT_EQ(kAudioUnitErr_FormatNotSupported, refused(shorts));
    EXPECT_EQ(noErr, refused(monoFloatStreamFormat(44100.0)));
}

TEST_F(AudioUnitCalls, StartWithoutACallbackFails) {
    EXPECT_EQ(kAudioUnitErr_NoConnection, setUpAndPlay(/*withCallback=*/false));
    EXPECT_FALSE(device.running());
}

TEST_F(AudioUnitCalls, NoCycleRunsAfterStopReturns) {
    device.driveFromThread(32, std::chrono::microseconds(0));
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(noErr, setUpAndPlay());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (log.cycles.load() < 3 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::yield();
        }
        ASSERT_GE(log.cycles.load(), 3);
        ASSERT_EQ(noErr, AudioOutputUnitStop(gUnitUnderTest));
        log.afterStop.store(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(0, log.cyclesAfterStop.load());
        EXPECT_EQ(0u, device.cyclesAfterStop());
        AudioComponentInstanceDispose(gUnitUnderTest);
        gUnitUnderTest = nullptr;
        log.afterStop.store(false);
        log.cycles.store(0);
    }
}

}  // namespace
}  // namespace tolva
