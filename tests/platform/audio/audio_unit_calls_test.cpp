// The audio-unit layer over the test device: the input pull takes the input
// bus, once input is enabled, and no other bus.

#include <gtest/gtest.h>

#include "platform/audio/manual_audio_device.h"

namespace tolva {
namespace {

TEST(AudioUnitCalls, TheInputPullTakesTheInputBusOnly) {
    ManualAudioDevice device;
    setAudioDeviceProvider(&device);
    const AudioComponentDescription description{kAudioUnitType_Output, kAudioUnitSubType_HALOutput,
                                                kAudioUnitManufacturer_Apple, 0, 0};
    AudioUnit unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &description), &unit), 0);
    float samples[64];
    AudioBufferList list{1, {{1, sizeof samples, samples}}};
    EXPECT_EQ(AudioUnitRender(unit, nullptr, nullptr, 1, 64, &list), kAudioUnitErr_NoConnection);
    const UInt32 on = 1;
    AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, 1, &on,
                         sizeof on);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, nullptr, 0, 64, &list), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, nullptr, 1, 64, &list), noErr);
    AudioComponentInstanceDispose(unit);
    setAudioDeviceProvider(nullptr);
}

}  // namespace
}  // namespace tolva
