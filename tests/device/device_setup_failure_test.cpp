// A device call that fails during Play ends the application: the exact line
// on standard error, the alert, exit status 1 — and nothing after the failed
// call is done, nothing is started and the play button keeps its title.

#include <gtest/gtest.h>

#include <cctype>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "device/dying_play.h"

namespace tolva::test {
namespace {

struct FailingStep {
    AudioCall call;
    OSStatus status;
    const char* operation;
    const char* code;
};

void PrintTo(const FailingStep& step, std::ostream* os) {
    *os << audioCallName(step.call);
}

class EachStepOfPlayFailing : public DyingPlayTest,
                              public ::testing::WithParamInterface<FailingStep> {};

TEST_P(EachStepOfPlayFailing, EndsTheApplicationWithItsOwnTextAndStartsNothing) {
    const FailingStep& step = GetParam();
    device.failCall(step.call, step.status);
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords(step.operation, step.code, playCallsThrough(step.call)));
}

INSTANTIATE_TEST_SUITE_P(
    DeviceCalls, EachStepOfPlayFailing,
    ::testing::Values(
        FailingStep{AudioCall::InstanceNew, fourCharStatus("nope"),
                    "Couldn't get audio unit instance", "'nope'"},
        FailingStep{AudioCall::EnableOutput, -50, "Couldn't enable output", "-50"},
        FailingStep{AudioCall::GetSampleRate, fourCharStatus("what"), "Couldn't get sample rate",
                    "'what'"},
        FailingStep{AudioCall::EnableInput, 0x666D743F, "Couldn't enable input", "'fmt?'"},
        FailingStep{AudioCall::SetRenderCallback, kAudioUnitErr_CannotDoInCurrentContext,
                    "Error setting callback: ", "-10863"},
        FailingStep{AudioCall::SetInputStreamFormat, fourCharStatus("!dat"),
                    "Couldn't set StreamFormat on input scope / bus 0", "'!dat'"},
        FailingStep{AudioCall::SetOutputStreamFormat, kAudioUnitErr_FormatNotSupported,
                    "Couldn't set StreamFormat on output scope / bus 1", "-10868"},
        FailingStep{AudioCall::Initialize, kAudioUnitErr_FailedInitialization,
                    "Error initializing unit:", "-10875"},
        FailingStep{AudioCall::Start, fourCharStatus("stop"), "Error starting unit: ", "'stop'"}),
    [](const ::testing::TestParamInfo<FailingStep>& param) {
        std::string name = audioCallName(param.param.call);
        std::string out;
        for (char ch : name) {
            if (std::isalnum(static_cast<unsigned char>(ch))) {
                out += ch;
            }
        }
        return out;
    });

TEST_F(DyingPlayTest, WithNoDeviceToBeHadPlayCannotGetAnInstance) {
    setAudioDeviceProvider(nullptr);
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords("Couldn't get audio unit instance", "'!dev'", {}));
}

class UnusableRate : public DyingPlayTest, public ::testing::WithParamInterface<double> {};

TEST_P(UnusableRate, IsReportedAsAFailureToGetTheSampleRate) {
    device.setSampleRate(GetParam());
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords("Couldn't get sample rate", "-10851",
                           playCallsThrough(AudioCall::GetSampleRate)));
}

INSTANTIATE_TEST_SUITE_P(OutsideOneHertzTo1536kHz, UnusableRate,
                         ::testing::Values(0.0, 0.999, -44100.0, 1536000.5,
                                           std::numeric_limits<double>::infinity(),
                                           std::numeric_limits<double>::quiet_NaN()));

TEST_F(DyingPlayTest, ALaterPlayThatFailsReportsThatPlaysFailure) {
    play();
    stopWithCycles();
    device.clearCallLog();
    device.failCall(AudioCall::EnableInput, 0x666D743F);
    EXPECT_EXIT(
        play(), ::testing::ExitedWithCode(1),
        dyingWords("Couldn't enable input", "'fmt?'", playCallsThrough(AudioCall::EnableInput)));
}

}  // namespace
}  // namespace tolva::test
