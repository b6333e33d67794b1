#pragma once

// Sample-for-sample comparison of two signals by bit pattern, so that -0.0
// and 0.0 differ; a failure names the first sample that differs.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tolva::test {

inline ::testing::AssertionResult sameBits(const std::vector<float>& expected,
                                           const std::vector<float>& actual) {
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure()
               << "length " << actual.size() << ", expected " << expected.size();
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (std::memcmp(&expected[i], &actual[i], sizeof(float)) != 0) {
            return ::testing::AssertionFailure()
                   << "sample " << i << " is " << actual[i] << ", expected " << expected[i];
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tolva::test
