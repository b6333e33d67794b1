// The fatal status check: the text of a status, the alert's message, and a
// Play, a first MIDI connection or a render cycle that fails ending the
// application with its own line, its alert and exit status 1, nothing started.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "device/check_error.h"
#include "support/played_modulator.h"

namespace tolva {
namespace {

using test::fatalText;
using test::PlayedModulator;

TEST(AlertMessage, IsTheOperationAndCodeThenTheQuitNoticeCutToItsBuffer) {
    char message[kAlertMessageSize];
    formatAlertMessage("Error starting unit: ", "'what'", message);
    EXPECT_STREQ("Error starting unit:  ('what')\nApplication will quit", message);
    const std::string longText(400, 'x');
    formatAlertMessage(longText.c_str(), "-1", message);
    EXPECT_EQ(kAlertMessageSize - 1, std::strlen(message));
}

constexpr const char* kNoDeviceAdvice =
    "Start a JACK server (jackd, or PipeWire's JACK) or check ALSA's default device, then launch "
    "Tolva again.";

// Each step's own text; the status's text is its four characters between
// apostrophes when they are printable, its decimal value otherwise.
struct DyingPlay {
    AudioCall failing;
    const char* operation;
    OSStatus status;
    const char* code;
};

TEST(DyingPlay, EachFailingStepEndsTheApplicationWithItsOwnTextAndStartsNothing) {
    // clang-format off
    const DyingPlay steps[] = {
        {AudioCall::InstanceNew, "Couldn't get audio unit instance", fourCharStatus("!ins"),
         "'!ins'"},
        {AudioCall::EnableOutput, "Couldn't enable output", fourCharStatus("a b "), "'a b '"},
        {AudioCall::GetSampleRate, "Couldn't get sample rate", -50, "-50"},
        {AudioCall::EnableInput, "Couldn't enable input", fourCharStatus("fmt?"), "'fmt?'"},
        {AudioCall::SetRenderCallback, "Error setting callback: ", 1, "1"},
        {AudioCall::SetInputStreamFormat, "Couldn't set StreamFormat on input scope / bus 0",
         0x41424300, "1094861568"},
        {AudioCall::SetOutputStreamFormat, "Couldn't set StreamFormat on output scope / bus 1",
         static_cast<OSStatus>(0x81424344), "-2126363836"},  // a byte above 0x7E
        {AudioCall::Initialize, "Error initializing unit:", fourCharStatus("what"), "'what'"},
        {AudioCall::Start, "Error starting unit: ", -10875, "-10875"},
    };
    // clang-format on
    for (const DyingPlay& step : steps) {
        PlayedModulator m;
        m.device.failCall(step.failing, step.status);
        const bool instance = step.failing == AudioCall::InstanceNew;
        EXPECT_FATAL(m.play(),
                     fatalText(step.operation, step.code, false, instance ? kNoDeviceAdvice : ""))
            << step.operation;
    }
}

TEST(DyingPlay, NoDeviceUnusableRatesAndAFailedFirstMidiConnection) {
    {
        PlayedModulator m;
        setAudioDeviceProvider(nullptr);
        EXPECT_FATAL(m.play(), fatalText("Couldn't get audio unit instance", "'!dev'", false,
                                         kNoDeviceAdvice));
    }
    for (double rate : {0.0, 0.5, 1536000.5, std::numeric_limits<double>::quiet_NaN()}) {
        PlayedModulator m{rate};
        EXPECT_FATAL(m.play(), fatalText("Couldn't get sample rate", "-10851")) << rate;
    }
    {
        PlayedModulator m;
        m.midi.failClientCreate(-50);
        EXPECT_FATAL(m.play(), fatalText("MIDI Client Create Error\nRelaunch Application:", "-50"));
    }
    {
        PlayedModulator m;
        m.midi.failPortCreate(fourCharStatus("port"));
        EXPECT_FATAL(m.play(),
                     fatalText("MIDI Port Create Error\nRelaunch Application:", "'port'"));
    }
    {  // with no window up, the alert goes to standard error
        PlayedModulator m;
        setAlertPresenter(nullptr);
        m.device.failCall(AudioCall::Start, 1);
        EXPECT_FATAL(m.play(),
                     "Error: Error starting unit:  (1)\nTolva: Hardware Error:\n"
                     "Error starting unit:  (1)\nApplication will quit\n");
    }
}

// A failed pull plays silence and leaves the process alive; the UI thread
// reports the first failure, and the application ends.
void failTwoPullsThenReport(PlayedModulator& m) {
    m.play();
    m.device.failCall(AudioCall::Render, -50);
    const std::vector<float> out = m.render(std::vector<float>(64, 0.5f));
    if (out != std::vector<float>(64, 0.0f) || !fatalErrorPending()) {
        std::_Exit(3);
    }
    m.device.failCall(AudioCall::Render, fourCharStatus("what"));
    m.render(std::vector<float>(64, 0.5f));
    reportPendingFatalError();
}

TEST(DyingCycle, AFailedPullIsReportedFromTheUiThread) {
    PlayedModulator m;
    EXPECT_FATAL(failTwoPullsThenReport(m),
                 fatalText("Couldn't render from device: not full duplex", "-50", true));
}

TEST(DyingCycle, ACycleThatOutlivedStopPlaysSilenceAndReportsNothing) {
    PlayedModulator m;
    m.play();
    AudioUnit unit = m.c.toneUnit.exchange(nullptr);
    EXPECT_EQ(std::vector<float>(64, 0.0f), m.render(std::vector<float>(64, 0.5f)));
    EXPECT_FALSE(fatalErrorPending());
    m.c.toneUnit.store(unit);
}

}  // namespace
}  // namespace tolva
