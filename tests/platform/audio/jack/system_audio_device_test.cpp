// The device the application chooses: JACK when a server answers, else ALSA,
// else none, which ends the application with the device-instance error.

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/control_panel.h"
#include "engine/ring_modulator_view_controller.h"
#include "jack_test_server.h"
#include "platform/audio/alsa/alsa_audio_device.h"
#include "platform/audio/jack/jack_audio_device.h"
#include "platform/audio/system/system_audio_device.h"

namespace tolva::test {
namespace {

std::string absentServer() {
    return "tolva-absent-" + std::to_string(getpid());
}

TEST(SystemAudioDevice, TakesJackWhenAServerAnswers) {
    JackTestServer server;
    ASSERT_TRUE(server.start());
    SystemAudioProvider provider;  // finds the server through JACK_DEFAULT_SERVER
    std::unique_ptr<AudioDeviceBackend> device = provider.createDevice();
    auto* jack = dynamic_cast<JackAudioDevice*>(device.get());
    ASSERT_NE(jack, nullptr);
    EXPECT_TRUE(jack->isOpen());
    EXPECT_EQ(jack->open(), noErr) << "the unit's own open finds it open";
    EXPECT_EQ(jack->clientName(), "Tolva");
}

TEST(SystemAudioDevice, TakesAlsaWhenNoServerAnswers) {
    silenceJackMessages();
    SystemAudioProvider provider(absentServer(), "null");
    std::unique_ptr<AudioDeviceBackend> device = provider.createDevice();
    auto* alsa = dynamic_cast<AlsaAudioDevice*>(device.get());
    ASSERT_NE(alsa, nullptr);
    EXPECT_TRUE(alsa->isOpen());
}

TEST(SystemAudioDevice, HasNoDeviceWhenNeitherOpens) {
    silenceJackMessages();
    SystemAudioProvider provider(absentServer(), "tolva_no_such_pcm");
    EXPECT_EQ(provider.createDevice(), nullptr);
}

// Play as the application does it, on the device installSystemAudioDevice()
// or `provider` gives.
[[noreturn]] void playOn(AudioDeviceProvider* provider) {
    RingModulatorViewController c;
    ControlPanel panel;
    panel.connect(c);
    midi.store(1);
    if (provider != nullptr) {
        setAudioDeviceProvider(provider);
    } else {
        installSystemAudioDevice();
    }
    panel.playButton.userClick();
    std::exit(0);  // not reached when no device opens
}

TEST(SystemAudioDeviceDeathTest, WithNeitherJackNorAlsaPlayEndsWithTheInstanceError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SystemAudioProvider provider(absentServer(), "tolva_no_such_pcm");
    EXPECT_EXIT(playOn(&provider), ::testing::ExitedWithCode(1),
                "Error: Couldn't get audio unit instance \\('!dev'\\)\n");
}

TEST(SystemAudioDeviceDeathTest, TheInstalledDeviceEndsWithTheInstanceErrorHere) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    silenceJackMessages();
    AlsaAudioDevice probe("default");
    if (probe.open() == noErr) {
        GTEST_SKIP() << "this machine has an ALSA default device";
    }
    setenv("JACK_DEFAULT_SERVER", absentServer().c_str(), 1);
    EXPECT_EXIT(playOn(nullptr), ::testing::ExitedWithCode(1),
                "Error: Couldn't get audio unit instance \\('!dev'\\)\n");
}

}  // namespace
}  // namespace tolva::test
