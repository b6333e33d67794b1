#pragma once

// A Play that fails ends the process. In a death test only standard error and
// the exit status reach the test, so the alert is shown by a presenter that
// also writes what the device has been through when the alert comes up: the
// calls made on it, whether it runs, and the play button's title.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "device/transport_fixture.h"
#include "platform/ui/alert.h"

namespace tolva::test {

// Backslashes every character that an extended regular expression treats specially.
inline std::string literal(std::string_view text) {
    std::string out;
    for (char ch : text) {
        if (std::string_view(".[]{}()\\*+?^$|").find(ch) != std::string_view::npos) {
            out += '\\';
        }
        out += ch;
    }
    return out;
}

inline std::string callList(const std::vector<AudioCall>& calls) {
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
inline std::vector<AudioCall> playCallsThrough(AudioCall last) {
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
inline std::string dyingWords(std::string_view operation, std::string_view code,
                              const std::vector<AudioCall>& calls) {
    const std::string text = std::string(operation) + " (" + std::string(code) + ")";
    return "^" + literal("Error: " + text + "\n") +
           literal("alert <Tolva: Hardware Error:> <" + text +
                   "\nApplication will quit> <OK> running=0 calls=" + callList(calls) +
                   " play=Play\n") +
           "$";
}

class DyingPlayTest : public TransportFixture {
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

}  // namespace tolva::test
