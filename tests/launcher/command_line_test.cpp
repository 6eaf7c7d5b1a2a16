#include "launcher/command_line.h"

#include <gtest/gtest.h>

#include "launcher/mutex_names.h"

namespace koru {
namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, BlanksTabsAndQuotesSeparateAsTheRuntimeDoes) {
  EXPECT_EQ(SplitCommandLine("setup.exe"), Args({"setup.exe"}));
  EXPECT_EQ(SplitCommandLine("  setup.exe \t x\ty  "), Args({"setup.exe", "x", "y"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\setup.exe\" \"D:\\\""),
            Args({"C:\\Program Files\\setup.exe", "D:\\"}));
  // Quotes may stand inside an argument; they are dropped and hold the blank.
  EXPECT_EQ(SplitCommandLine("a D:\\\"my game\"\\x"), Args({"a", "D:\\my game\\x"}));
  // Pairs of quotes at the start of an argument are skipped, so empty ones do not count.
  EXPECT_EQ(SplitCommandLine("a \"\" b \"\"\"\"c"), Args({"a", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("a \""), Args({"a"}));
  EXPECT_EQ(SplitCommandLine(""), Args());
}

TEST(SplitCommandLineTest, SelfCopyParameterComesBackUnchanged) {
  // The folder's ソ ends in the byte 0x5C; the closing backslash stays before the quote.
  const std::string folder = "D:\\ソフト\\表示\\";
  EXPECT_EQ(SplitCommandLine("C:\\Temp\\~kinstall.exe \"" + folder + "\""),
            Args({"C:\\Temp\\~kinstall.exe", folder}));
  EXPECT_EQ(SplitCommandLine("x \"D:\\ゲーム 体験版\\\""), Args({"x", "D:\\ゲーム 体験版\\"}));
}

TEST(RunningGameMutexNameTest, UpperCasesAsciiOnlyAndReplacesBackslashes) {
  EXPECT_EQ(RunningGameMutexName("c:\\Game\\Title"), "C:-GAME-TITLE-");
  EXPECT_EQ(RunningGameMutexName("c:\\Game\\Title\\"), "C:-GAME-TITLE-");
  // ソ's second byte 0x5C is no backslash; ａ (full width) is not upper-cased.
  EXPECT_EQ(RunningGameMutexName("d:\\ソフトａ\\x"), "D:-ソフトａ-X-");
  EXPECT_EQ(RunningGameMutexName("d:\\ソ"), "D:-ソ-");
}

}  // namespace
}  // namespace koru
