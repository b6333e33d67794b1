// LatestText: a text set from any thread without waiting, read whole.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/ui/latest_text.h"

namespace tolva {
namespace {

TEST(LatestText, KeepsTheLastTextSet) {
    LatestText text;
    EXPECT_EQ("", text.get());
    text.set("440.0 Hz");
    text.set("1760.0 Hz");
    EXPECT_EQ("1760.0 Hz", text.get());
}

TEST(LatestText, LongTextIsCutWithoutSplittingACharacter) {
    LatestText text;
    text.set(std::string(100, 'a'));
    EXPECT_EQ(std::string(LatestText::kCapacity, 'a'), text.get());
    // 62 ASCII bytes, then a two-byte character that would straddle the end.
    text.set(std::string(62, 'b') + "\xC3\xA9" + "tail");
    EXPECT_EQ(std::string(62, 'b'), text.get());
}

// Two writers and a reader: every read is one of the texts written, whole.
TEST(LatestText, ReaderNeverSeesATornText) {
    LatestText text;
    const std::string shapes[] = {std::string(10, 'x'), std::string(40, 'y'), std::string(63, 'z'),
                                  "440.0 Hz", std::string(25, 'w')};
    text.set(shapes[0]);
    std::atomic<bool> stop{false};
    auto writer = [&](int first) {
        int k = first;
        while (!stop.load(std::memory_order_relaxed)) {
            text.set(shapes[k++ % 5]);
        }
    };
    std::thread a(writer, 0);
    std::thread b(writer, 3);
    int torn = 0;
    for (int read = 0; read < 200000; ++read) {
        const std::string seen = text.get();
        bool whole = false;
        for (const std::string& s : shapes) {
            whole = whole || seen == s;
        }
        torn += whole ? 0 : 1;
    }
    stop.store(true);
    a.join();
    b.join();
    EXPECT_EQ(0, torn);
}

}  // namespace
}  // namespace tolva
