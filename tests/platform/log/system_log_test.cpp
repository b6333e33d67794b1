// System log entries reach the installed sink whole and formatted.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/log/system_log.h"

namespace tolva {
namespace {

TEST(SystemLog, SinkCapturesEachEntryFormatted) {
    std::vector<std::string> entries;
    setSystemLogSink([&](std::string_view entry) { entries.emplace_back(entry); });
    systemLog("OPEN:\n");
    systemLog("MIDI Sources: %ld", 3L);
    systemLog("Unbypass: previous state = %d\n", 2);
    systemLog("%s", std::string(5000, 'x').c_str());
    setSystemLogSink({});

    ASSERT_EQ(4u, entries.size());
    EXPECT_EQ("OPEN:\n", entries[0]);
    EXPECT_EQ("MIDI Sources: 3", entries[1]);
    EXPECT_EQ("Unbypass: previous state = 2\n", entries[2]);
    EXPECT_EQ(std::string(5000, 'x'), entries[3]);
}

TEST(SystemLog, RemovedSinkReceivesNothingMore) {
    int calls = 0;
    setSystemLogSink([&](std::string_view) { ++calls; });
    systemLog("SAVE:\n");
    setSystemLogSink({});
    systemLog("SAVE:\n");  // to syslog now
    EXPECT_EQ(1, calls);
}

}  // namespace
}  // namespace tolva
