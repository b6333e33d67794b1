// A machine with no JACK server and no ALSA default device, as this one: the
// first Play's MIDI creation finds no service and no source, without an
// error; Play itself ends the application with the device-instance error and
// says what to do.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "app/control_panel.h"
#include "platform/audio/alsa/alsa_audio_device.h"
#include "platform/audio/system/system_audio_device.h"
#include "platform/midi/midi_services.h"
#include "platform/midi/system/system_midi_services.h"

namespace tolva {
namespace {

class NoServersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (AlsaAudioDevice("default").open() == noErr || access("/dev/snd/seq", R_OK) == 0) {
            GTEST_SKIP() << "this machine has an ALSA device or sequencer";
        }
        setenv("JACK_DEFAULT_SERVER", ("tolva-absent-" + std::to_string(getpid())).c_str(), 1);
        panel.connect(c);
    }
    RingModulatorViewController c;
    ControlPanel panel;
};

TEST_F(NoServersTest, MidiCreationFindsNoSourceAndNoError) {
    installSystemMidiServices();
    c.createMIDI();
    EXPECT_EQ(MIDIGetNumberOfSources(), 0u);
}

TEST_F(NoServersTest, PlayEndsWithTheInstanceErrorAndAdvice) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    installSystemAudioDevice();
    EXPECT_EXIT(panel.playButton.userClick(), ::testing::ExitedWithCode(1),
                "^Error: Couldn't get audio unit instance \\('!dev'\\)\n"
                "Start a JACK server \\(jackd, or PipeWire's JACK\\) or check ALSA's default "
                "device, then launch Tolva again.\n");
}

}  // namespace
}  // namespace tolva
