// What only the Win32 Env has: handle owners, the error mapping, and the folders the
// shell gives the program.
#include "platform/win32/win32_env.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::platform {
namespace {

TEST(Win32HandlesTest, InvalidHandleValueAndNullAreBothEmpty) {
  win32::UniqueHandle invalid(INVALID_HANDLE_VALUE);
  win32::UniqueHandle null(nullptr);
  EXPECT_FALSE(invalid);
  EXPECT_FALSE(null);
  win32::UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  win32::UniqueHandle moved = std::move(event);
  EXPECT_FALSE(event);
  EXPECT_TRUE(moved);
  EXPECT_EQ(::WaitForSingleObject(moved.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST(Win32TextTest, ConvertsFromCodePage932WhateverTheSystemCodePage) {
  // 表 and ソ end in 0x5C; an A function under code page 1252 would split them.
  EXPECT_EQ(win32::Wide("表示ソ\\x"), L"\u8868\u793A\u30BD\\x");
  EXPECT_EQ(win32::Narrow(L"\u8868\u793A\u30BD\\x"), "表示ソ\\x");
  const KoruError error = win32::Win32Error(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(error.message().empty());
  EXPECT_EQ(win32::Win32Error(ERROR_FILE_NOT_FOUND, "固定").message(), "固定");
}

TEST(Win32SystemTest, ShellFoldersHaveTheirPrefixForms) {
  Win32Env env;
  // Program Files is "C:\Program Files" for a program of the system's own width and
  // "C:\Program Files (x86)" for a 32-bit one on a 64-bit system: ask the system which.
  wchar_t program_files[MAX_PATH] = {};
  ASSERT_GT(::GetEnvironmentVariableW(L"ProgramFiles", program_files, MAX_PATH), 0u);
  EXPECT_TRUE(EqualsIgnoreCase(env.system().SpecialFolder(kCsidlProgramFiles),
                               win32::Narrow(program_files)));
  const std::string common = env.system().SpecialFolder(kCsidlCommonPrograms);
  const std::string suffix = "\\Start Menu\\Programs";
  ASSERT_GT(common.size(), suffix.size());
  EXPECT_TRUE(EqualsIgnoreCase(common.substr(common.size() - suffix.size()), suffix));
  EXPECT_TRUE(env.files().DirectoryExists(env.system().SpecialFolder(kCsidlLocalAppData)));
  EXPECT_TRUE(env.files().FileExists(env.system().ExecutablePath()));
  EXPECT_EQ(&DefaultEnv(), &DefaultEnv());
}

TEST(Win32SystemTest, FoldersCodePage932CannotHoldComeInTheirShortForm) {
  Win32Env env;
  // A temporary folder below a user name with "é", as Windows hands it over.
  const std::wstring base = win32::Wide(env.system().TempFolder()) + L"caf\u00E9 user";
  ASSERT_TRUE(::CreateDirectoryW(base.c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  wchar_t old_tmp[MAX_PATH] = {};
  const DWORD had_tmp = ::GetEnvironmentVariableW(L"TMP", old_tmp, MAX_PATH);
  ::SetEnvironmentVariableW(L"TMP", base.c_str());
  const std::string temp = env.system().TempFolder();
  ::SetEnvironmentVariableW(L"TMP", had_tmp > 0 ? old_tmp : nullptr);
  EXPECT_EQ(temp.find('?'), std::string::npos) << temp;
  EXPECT_TRUE(env.files().DirectoryExists(temp));
  // A name that fits is kept as it is.
  EXPECT_EQ(win32::NarrowPath(L"C:\\\u8868\u793A"), "C:\\表示");
  ::RemoveDirectoryW(base.c_str());
}

}  // namespace
}  // namespace koru::platform
