#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// EXPECT_FLOAT_EQ (within 4 ULPs) element by element over two lists.
inline ::testing::AssertionResult FloatsEq(const std::vector<float> &got,
                                           const std::vector<float> &want) {
    using F = ::testing::internal::FloatingPoint<float>;
    if (got.size() == want.size() &&
        std::equal(got.begin(), got.end(), want.begin(),
                   [](float a, float b) { return F(a).AlmostEquals(F(b)); })) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << ::testing::PrintToString(got) << " != " << ::testing::PrintToString(want);
}
