// The fatal status check: the line on standard error, the critical alert and
// exit status 1, and a render-thread failure handed to the UI thread.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "device/check_error.h"
#include "platform/ui/alert.h"
#include "support/render_rig.h"

namespace tolva {
namespace {

using ::testing::ExitedWithCode;

// Shows the alert as one line on standard error, so that a death test sees
// the order and the content of everything the failing process showed.
class AlertToStderr final : public AlertPresenter {
  public:
    void showCriticalAlert(std::string_view title, std::string_view message,
                           std::string_view defaultButton) override {
        std::fprintf(stderr, "[%.*s|%.*s|%.*s]\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(message.size()), message.data(),
                     static_cast<int>(defaultButton.size()), defaultButton.data());
    }
};

[[noreturn]] void failWith(OSStatus status, const char* operation) {
    static AlertToStderr presenter;
    setAlertPresenter(&presenter);
    CheckError(status, operation);
    std::fprintf(stderr, "CheckError returned\n");
    std::_Exit(2);
}

// Everything the failing process writes: the line, then the alert.
std::string shown(const std::string& operation, const std::string& code) {
    return "Error: " + operation + " (" + code + ")\n" + "[Tolva: Hardware Error:|" + operation +
           " (" + code + ")\nApplication will quit|OK]\n";
}

class CheckErrorDeath : public ::testing::Test {
  protected:
    CheckErrorDeath() { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(CheckErrorDeath, FourCharacterCodeIsQuoted) {
    EXPECT_EXIT(failWith(fourCharStatus("fmt?"), "Couldn't enable input"), ExitedWithCode(1),
                ::testing::Eq(shown("Couldn't enable input", "'fmt?'")));
}

TEST_F(CheckErrorDeath, OtherStatusesAreDecimal) {
    EXPECT_EXIT(failWith(-50, "Couldn't enable output"), ExitedWithCode(1),
                ::testing::Eq(shown("Couldn't enable output", "-50")));
    EXPECT_EXIT(failWith(1, "Error initializing unit:"), ExitedWithCode(1),
                ::testing::Eq(shown("Error initializing unit:", "1")));
    EXPECT_EXIT(failWith(0x41424300, "Couldn't get sample rate"), ExitedWithCode(1),
                ::testing::Eq(shown("Couldn't get sample rate", "1094861568")));
}

TEST_F(CheckErrorDeath, CodeWithSpacesIsStillQuoted) {
    EXPECT_EXIT(failWith(fourCharStatus("a b "), "Couldn't get audio unit instance"),
                ExitedWithCode(1),
                ::testing::Eq(shown("Couldn't get audio unit instance", "'a b '")));
}

TEST_F(CheckErrorDeath, OperationTextsKeepTheirSpacesAndLineBreaks) {
    EXPECT_EXIT(failWith(-10875, "Error starting unit: "), ExitedWithCode(1),
                ::testing::Eq(shown("Error starting unit: ", "-10875")));
    EXPECT_EXIT(failWith(-1, "MIDI Client Create Error\nRelaunch Application:"), ExitedWithCode(1),
                ::testing::Eq("Error: MIDI Client Create Error\nRelaunch Application: (-1)\n"
                              "[Tolva: Hardware Error:|MIDI Client Create Error\nRelaunch "
                              "Application: (-1)\nApplication will quit|OK]\n"));
}

TEST_F(CheckErrorDeath, WithoutAWindowTheAlertGoesToStandardError) {
    EXPECT_EXIT(
        {
            setAlertPresenter(nullptr);
            CheckError(-50, "Error setting callback: ");
        },
        ExitedWithCode(1),
        ::testing::Eq("Error: Error setting callback:  (-50)\nTolva: Hardware Error:\n"
                      "Error setting callback:  (-50)\nApplication will quit\n"));
}

TEST_F(CheckErrorDeath, FailedPullPlaysSilenceAndIsReportedFromTheUiThread) {
    EXPECT_EXIT(
        {
            static AlertToStderr presenter;
            setAlertPresenter(&presenter);
            // The cycle runs on a thread of its own, as the device's would.
            std::thread([] {
                test::RenderRig rig{48000.0};
                rig.c.state.store(StateOn);
                rig.start();
                rig.device.failCall(AudioCall::Render, -50);
                std::vector<float> out(256, 1.0f);
                if (!rig.device.runCycle(256, out.data()))
                    std::_Exit(3);
                for (float y : out) {
                    if (y != 0.0f)
                        std::_Exit(4);  // the failed cycle plays silence
                }
                // A later failure does not replace the first.
                rig.device.failCall(AudioCall::Render, -1);
                rig.device.runCycle(256, out.data());
            }).join();
            if (!fatalErrorPending())
                std::_Exit(5);
            std::fprintf(stderr, "alive\n");
            reportPendingFatalError();
            std::_Exit(2);
        },
        ExitedWithCode(1),
        ::testing::Eq("alive\n" + shown("Couldn't render from device: not full duplex", "-50")));
}

TEST(CheckError, ZeroStatusReturnsSilently) {
    ::testing::internal::CaptureStderr();
    CheckError(noErr, "Couldn't enable output");
    EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
    EXPECT_FALSE(fatalErrorPending());
}

TEST(CheckError, NoPendingFailureMeansNothingToReport) {
    reportPendingFatalError();  // returns at once
    SUCCEED();
}

TEST(AlertMessage, IsOperationCodeAndQuitNotice) {
    char message[kAlertMessageSize];
    formatAlertMessage("Couldn't enable input", "'fmt?'", message);
    EXPECT_STREQ("Couldn't enable input ('fmt?')\nApplication will quit", message);
    formatAlertMessage("100% wrong %s %n", "1", message);
    EXPECT_STREQ("100% wrong %s %n (1)\nApplication will quit", message);
}

TEST(AlertMessage, LongTextIsCutToTheBuffer) {
    const std::string operation(400, 'x');
    struct {
        char message[kAlertMessageSize];
        char guard[8];
    } buffer;
    std::fill(std::begin(buffer.guard), std::end(buffer.guard), '#');
    formatAlertMessage(operation.c_str(), "-50", buffer.message);
    EXPECT_EQ(std::string(264, 'x'), std::string(buffer.message));
    EXPECT_EQ(std::string(8, '#'), std::string(buffer.guard, 8)) << "written past the buffer";
}

TEST(StatusCode, TextOfEachKindOfStatus) {
    char text[kStatusCodeTextSize];
    formatStatusCode(fourCharStatus("fmt?"), text);
    EXPECT_STREQ("'fmt?'", text);
    formatStatusCode(-50, text);
    EXPECT_STREQ("-50", text);
    formatStatusCode(static_cast<OSStatus>(0x80000000u), text);
    EXPECT_STREQ("-2147483648", text);
    formatStatusCode(static_cast<OSStatus>(0x7E7F4141), text);  // DEL is not printable
    EXPECT_STREQ("2122268993", text);
}

}  // namespace
}  // namespace tolva
