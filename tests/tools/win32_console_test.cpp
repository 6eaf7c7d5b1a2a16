// The tool's console set-up under Windows: the console outlives the tool, so its code
// page must be what it was before.
#include "tools/win32_console.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace koru::tools {
namespace {

TEST(ConsoleUtf8OutputTest, SwitchesToUtf8AndGivesTheCodePageBack) {
  if (GetConsoleOutputCP() == 0) {
    // Run with redirected output the program may have no usable console: it gets its own.
    FreeConsole();
    const BOOL made = AllocConsole();
    ASSERT_NE(GetConsoleOutputCP(), 0u) << made << " " << GetLastError();
  }
  const UINT original = GetConsoleOutputCP();
  ASSERT_TRUE(SetConsoleOutputCP(932));
  {
    const ConsoleUtf8Output console;
    EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
  }
  EXPECT_EQ(GetConsoleOutputCP(), 932u);
  SetConsoleOutputCP(original);
}

}  // namespace
}  // namespace koru::tools
