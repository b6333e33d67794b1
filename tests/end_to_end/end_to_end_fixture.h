#pragma once

// A test of the whole application: a JACK server of the test's own, named in
// JACK_DEFAULT_SERVER before any client opens, and an X display for the
// window. Without a display the test is skipped.

#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <cstdlib>

#include "jack_test_server.h"
#include "x_display.h"

namespace tolva::test {

// Generous: only guards against hangs on a loaded machine.
inline constexpr std::chrono::milliseconds kEndToEndHangGuard{30000};

class EndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!xDisplayOpens()) {
            const char* display = std::getenv("DISPLAY");
            GTEST_SKIP() << "no X display could be opened (DISPLAY="
                         << (display != nullptr ? display : "unset")
                         << "); run the tests under scripts/with-display";
        }
        ASSERT_TRUE(server.start()) << "jackd did not come up";
    }

    static int hangGuardMs() { return static_cast<int>(kEndToEndHangGuard.count()); }

    JackTestServer server;
};

}  // namespace tolva::test
