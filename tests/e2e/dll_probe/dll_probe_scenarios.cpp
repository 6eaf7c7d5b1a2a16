// The setup program runs elevated, often from a download folder: a DLL planted beside it
// must never be loaded. The probe is named after the rich edit's DLL, which the wizard
// loads for its welcome page; the control shows that an unprotected program does load it.

#include <windows.h>

#include "base/sjis.h"
#include "e2e/launcher/launcher_support.h"
#include "platform/win32/win32_text.h"

namespace koru::e2e_launcher {
namespace {

void Plant(const std::string& folder) {
  ASSERT_TRUE(::CopyFileW(platform::win32::Wide(e2e::HostPath(KORU_PROBE_DLL)).c_str(),
                          platform::win32::Wide(folder + "\\msftedit.dll").c_str(), FALSE));
}

TEST(SetupSecurity, DllPlantedBesideTheProgramIsNotLoaded) {
  // As Windows does for a DLL that is not a known system one, Wine is told to prefer a
  // file it finds over its own copy, so that only the search order decides.
  ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES",
                            L"msftedit=n,b;mscoree,mshtml=;winemenubuilder.exe,winebrowser.exe=d");
  PutSampleDisc("D:");
  Plant("D:");
  {
    e2e::App app = e2e::App::Start("D:\\setup.exe", {.arguments = "D:\\"});
    const e2e::Window wizard = app.WaitForWindow({.caption = "ようこそ"});
    EXPECT_TRUE(EqualsIgnoreCase(wizard.ById(1210).ClassName(), "RichEdit50W"));
    wizard.Close();
    e2e::Answer({.text = "インストールを中断しますか？", .button = e2e::Button::kYes});
    EXPECT_EQ(app.WaitForExit(), 0u);
  }
  EXPECT_FALSE(e2e::FileExists("D:\\probe-loaded.txt"));

  // The control: the same probe beside a program that does not protect itself is loaded.
  e2e::MakeDirectories("E:\\control");
  Plant("E:\\control");
  ASSERT_TRUE(::CopyFileW(platform::win32::Wide(e2e::HostPath(KORU_UNPROTECTED_LOADER)).c_str(),
                          L"E:\\control\\loader.exe", FALSE));
  e2e::App control = e2e::App::Start("E:\\control\\loader.exe");
  EXPECT_EQ(control.WaitForExit(), 0u);
  EXPECT_TRUE(e2e::FileExists("E:\\control\\probe-loaded.txt"));
}

}  // namespace
}  // namespace koru::e2e_launcher
