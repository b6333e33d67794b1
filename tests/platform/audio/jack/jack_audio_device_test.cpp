// The JACK device as the modulator opens it: the client and its ports, the
// server's rate, the formats it takes, and what happens without a server.

#include <jack/jack.h>

#include <cstring>
#include <string>
#include <vector>

#include "jack_device_fixture.h"
#include "support/render_rig.h"

namespace tolva::test {
namespace {

std::vector<std::string> connectionsOf(jack_client_t* client, const char* port) {
    std::vector<std::string> out;
    jack_port_t* p = jack_port_by_name(client, port);
    if (p == nullptr) {
        return out;
    }
    if (const char** names = jack_port_get_all_connections(client, p)) {
        for (const char** n = names; *n != nullptr; ++n) {
            out.emplace_back(*n);
        }
        jack_free(names);
    }
    return out;
}

using JackAudioDeviceTest = JackDeviceTest;

TEST_F(JackAudioDeviceTest, PlayOpensTolvaWithItsInputOnTheFirstMicAndItsOutputOnBothSpeakers) {
    ProbeClient observer{ProbeClient::Role::Sink, "tolva-observer"};
    ASSERT_TRUE(observer.ok());
    play();
    ASSERT_TRUE(running());
    EXPECT_EQ(connectionsOf(observer.client(), "Tolva:in"),
              std::vector<std::string>{"system:capture_1"});
    EXPECT_EQ(connectionsOf(observer.client(), "Tolva:out"),
              (std::vector<std::string>{"system:playback_1", "system:playback_2"}));
    c.stop();
    EXPECT_EQ(jack_port_by_name(observer.client(), "Tolva:out"), nullptr) << "client left behind";
}

TEST_F(JackAudioDeviceTest, EveryPlayOpensAFreshClientAndEveryStopClosesIt) {
    ProbeClient observer{ProbeClient::Role::Sink, "tolva-observer"};
    for (int run = 0; run < 3; ++run) {
        play();
        ASSERT_TRUE(running());
        ASSERT_TRUE(waitForCycles(2));
        EXPECT_NE(jack_port_by_name(observer.client(), "Tolva:in"), nullptr);
        c.stop();
        EXPECT_EQ(jack_port_by_name(observer.client(), "Tolva:in"), nullptr);
    }
}

TEST_F(JackAudioDeviceTest, TheModulatorRunsAtTheServersRateAndPeriod) {
    play();
    ASSERT_TRUE(running());
    EXPECT_EQ(R.load(), 48000.0);
    EXPECT_EQ(c.streamFormat.mSampleRate, 48000.0);
    UInt32 frames = 0;
    UInt32 size = sizeof(frames);
    EXPECT_EQ(AudioUnitGetProperty(c.toneUnit.load(), kAudioDevicePropertyBufferFrameSize,
                                   kAudioUnitScope_Global, 0, &frames, &size),
              noErr);
    EXPECT_EQ(frames, 256u);
    ASSERT_TRUE(waitForCycles(4));
    EXPECT_EQ(provider.recorder->framesOf(3), 256u);
}

TEST_F(JackAudioDeviceTest, TheRenderCallbackNeitherAllocatesNorLocksNorCallsTheSystem) {
    resetRealtimeViolations();
    panel.segCtrlCarrWave.userSelect(WaveTriangle);
    play();
    ASSERT_TRUE(waitForCycles(50));
    panel.bypassButton.userClick();
    ASSERT_TRUE(waitForCycles(10));
    c.stop();
    const RealtimeViolations v = realtimeViolations();
    EXPECT_EQ(v.allocations, 0u);
    if (realtimeLocksAndCallsWatched()) {
        EXPECT_EQ(v.locks, 0u);
        EXPECT_EQ(v.systemCalls, 0u);
    }
}

// A unit opened through the calls by hand, to see each call's own status.
class JackUnitCallsTest : public JackDeviceTest {
  protected:
    void SetUp() override {
        JackDeviceTest::SetUp();
        AudioComponentDescription d;
        d.componentType = kAudioUnitType_Output;
        d.componentSubType = kAudioUnitSubType_HALOutput;
        d.componentManufacturer = kAudioUnitManufacturer_Apple;
        ASSERT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &d), &unit), noErr);
    }
    void TearDown() override {
        if (unit != nullptr) {
            AudioComponentInstanceDispose(unit);
        }
        JackDeviceTest::TearDown();
    }
    OSStatus enable(AudioUnitScope scope, AudioUnitElement element) {
        const UInt32 on = 1;
        return AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, scope, element, &on,
                                    sizeof(on));
    }
    OSStatus setFormat(AudioUnitScope scope, AudioUnitElement element, double rate) {
        const AudioStreamBasicDescription f = monoFloatStreamFormat(rate);
        return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, element, &f,
                                    sizeof(f));
    }
    AudioComponentInstance unit = nullptr;
};

TEST_F(JackUnitCallsTest, AFormatAtAnotherRateThanTheServersIsRefusedOnEitherSide) {
    ASSERT_EQ(enable(kAudioUnitScope_Output, 0), noErr);
    ASSERT_EQ(enable(kAudioUnitScope_Input, 1), noErr);
    EXPECT_EQ(setFormat(kAudioUnitScope_Input, 0, 44100.0), kAudioDeviceUnsupportedFormatError);
    EXPECT_EQ(setFormat(kAudioUnitScope_Output, 1, 44100.0), kAudioDeviceUnsupportedFormatError);
    EXPECT_EQ(setFormat(kAudioUnitScope_Input, 0, 48000.0), noErr);
    EXPECT_EQ(setFormat(kAudioUnitScope_Output, 1, 48000.0), noErr);
}

TEST_F(JackUnitCallsTest, ACallOnADeadServerSaysTheHardwareIsNotRunning) {
    ASSERT_EQ(enable(kAudioUnitScope_Output, 0), noErr);
    server.kill();
    ASSERT_TRUE(waitUntil(
        [&] { return provider.device != nullptr && provider.device->serverGone(); }, kHangGuard));
    double rate = 0.0;
    UInt32 size = sizeof(rate);
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Output, 0,
                                   &rate, &size),
              kAudioHardwareNotRunningError);
    EXPECT_EQ(enable(kAudioUnitScope_Input, 1), kAudioHardwareNotRunningError);
}

TEST(JackAudioDeviceWithoutServer, OpeningSaysNotRunningAndStartsNoServer) {
    silenceJackMessages();
    const std::string name = "tolva-absent-" + std::to_string(getpid());
    JackAudioDevice device(name);
    EXPECT_EQ(device.open(), kAudioHardwareNotRunningError);
    EXPECT_FALSE(device.isOpen());
    EXPECT_FALSE(jackServerAnswers(name));
}

}  // namespace
}  // namespace tolva::test
