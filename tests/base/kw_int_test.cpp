#include "base/kw_int.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

int32_t Convert(const char* text, int32_t fallback = 12345) {
  int32_t value = fallback;
  return KwStrToInt(text, &value) ? value : fallback;
}

TEST(KwStrToIntTest, DecimalWithSignAndLeadingBlanks) {
  EXPECT_EQ(Convert("42"), 42);
  EXPECT_EQ(Convert("  42"), 42);
  EXPECT_EQ(Convert("\t-7"), -7);
  EXPECT_EQ(Convert("+0"), 0);
  EXPECT_EQ(Convert("007"), 7);
  EXPECT_EQ(Convert("2147483647"), INT32_MAX);
  EXPECT_EQ(Convert("-2147483648"), INT32_MIN);
}

TEST(KwStrToIntTest, HexPrefixesFillAllBits) {
  EXPECT_EQ(Convert("$10"), 16);
  EXPECT_EQ(Convert("x10"), 16);
  EXPECT_EQ(Convert("X10"), 16);
  EXPECT_EQ(Convert("0x10"), 16);
  EXPECT_EQ(Convert("0XaB"), 0xAB);
  EXPECT_EQ(Convert("$FFFFFFFF"), -1);
  EXPECT_EQ(Convert("$80000000"), INT32_MIN);
  EXPECT_EQ(Convert(" $00000001"), 1);
}

TEST(KwStrToIntTest, MalformedTextDoesNotConvert) {
  for (const char* bad :
       {"", " ", "4 2", "42 ", "-$10", "+x10", "$", "0x", "$123456789", "2147483648", "-2147483649",
        "99999999999999999999", "1e3", "- 1", "$G", "--1", "12a"}) {
    int32_t value = 77;
    EXPECT_FALSE(KwStrToInt(bad, &value)) << bad;
    EXPECT_EQ(value, 77) << bad;
  }
}

TEST(KwStrToIntTest, OrThrowCarriesTheText) {
  EXPECT_EQ(KwStrToIntOrThrow("103"), 103);
  try {
    KwStrToIntOrThrow("1a3");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), KwIntegerErrorMessage("1a3"));
  }
}

}  // namespace
}  // namespace koru
