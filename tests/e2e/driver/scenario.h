#pragma once

// What scenarios (GoogleTest cases) add to the driver: assertions on Shift-JIS texts that
// print both sides in UTF-8. The scenario programs' main (scenario_main.cpp) also prints
// the window dump and takes a screenshot after the first failed expectation of a case.

#include <gtest/gtest.h>

#include <string_view>

#include "e2e/driver/e2e.h"

namespace e2e {

// Predicate-formatter for EXPECT_TEXT_EQ.
::testing::AssertionResult SameText(const char* actual_expression, const char* expected_expression,
                                    std::string_view actual, std::string_view expected);

}  // namespace e2e

// EXPECT_TEXT_EQ(control.Text(), "次へ"): Shift-JIS texts, equal byte for byte.
#define EXPECT_TEXT_EQ(actual, expected) EXPECT_PRED_FORMAT2(::e2e::SameText, actual, expected)
#define ASSERT_TEXT_EQ(actual, expected) ASSERT_PRED_FORMAT2(::e2e::SameText, actual, expected)
