// A device call that fails during Play ends the application: the exact line
// on standard error, the alert, exit status 1 — and nothing after the failed
// call is done, nothing is started and the play button keeps its title. The
// alert is shown by a presenter of this test that also writes what the device
// has been through, so that the dying process can tell the test about it.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "device/transport_fixture.h"
#include "platform/ui/alert.h"

namespace tolva::test {
namespace {

// Backslashes every character that an extended regular expression treats specially.
std::string literal(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (std::string_view(".[]{}()\\*+?^$|").find(ch) != std::string_view::npos) {
            out += '\\';
        }
        out += ch;
    }
    return out;
}

std::string callList(const std::vector<AudioCall>& calls) {
    std::string out;
    for (AudioCall call : calls) {
        if (!out.empty()) {
            out += ',';
        }
        out += audioCallName(call);
    }
    return out;
}

// The calls of a Play, in order, up to and including `last`.
std::vector<AudioCall> playCallsThrough(AudioCall last) {
    std::vector<AudioCall> calls;
    for (int i = 0; i <= static_cast<int>(last); ++i) {
        calls.push_back(static_cast<AudioCall>(i));
    }
    return calls;
}

class WitnessPresenter final : public AlertPresenter {
  public:
    WitnessPresenter(const ManualAudioDevice& device, const ControlPanel& panel)
        : device_(device), panel_(panel) {}
    void showCriticalAlert(std::string_view title, std::string_view message,
                           std::string_view button) override {
        std::fprintf(stderr, "alert <%.*s> <%.*s> <%.*s> running=%d calls=%s play=%s\n",
                     static_cast<int>(title.size()), title.data(), static_cast<int>(message.size()),
                     message.data(), static_cast<int>(button.size()), button.data(),
                     device_.running() ? 1 : 0, callList(device_.callLog()).c_str(),
                     panel_.playButton.title().c_str());
    }

  private:
    const ManualAudioDevice& device_;
    const ControlPanel& panel_;
};

// What a dying Play writes on standard error, from its first character to its last.
std::string dyingWords(std::string_view operation, std::string_view code,
                       const std::vector<AudioCall>& calls) {
    const std::string text = std::string(operation) + " (" + std::string(code) + ")";
    return "^" + literal("Error: " + text + "\n") +
           literal("alert <Tolva: Hardware Error:> <" + text +
                   "\nApplication will quit> <OK> running=0 calls=" + callList(calls) +
                   " play=Play\n") +
           "$";
}

class DeviceSetupFailureTest : public TransportFixture {
  protected:
    void SetUp() override {
        TransportFixture::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setAlertPresenter(&presenter);
    }
    void TearDown() override {
        setAlertPresenter(nullptr);
        TransportFixture::TearDown();
    }

    WitnessPresenter presenter{device, panel};
};

struct FailingStep {
    AudioCall call;
    OSStatus status;
    const char* operation;
    const char* code;
};

void PrintTo(const FailingStep& step, std::ostream* os) {
    *os << audioCallName(step.call);
}

class EachStepOfPlayFailing : public DeviceSetupFailureTest,
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

TEST_F(DeviceSetupFailureTest, WithNoDeviceToBeHadPlayCannotGetAnInstance) {
    setAudioDeviceProvider(nullptr);
    EXPECT_EXIT(play(), ::testing::ExitedWithCode(1),
                dyingWords("Couldn't get audio unit instance", "'!dev'", {}));
}

class UnusableRate : public DeviceSetupFailureTest, public ::testing::WithParamInterface<double> {};

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

TEST_F(DeviceSetupFailureTest, ALaterPlayThatFailsReportsThatPlaysFailure) {
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
