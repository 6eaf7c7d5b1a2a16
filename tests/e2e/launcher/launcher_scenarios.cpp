// The setup program from the outside: every road of its entry, the start menu's layouts and
// the background window, under Wine, as a player meets them.

#include <windows.h>

#include <algorithm>

#include "base/sjis.h"
#include "base/stream.h"
#include "e2e/launcher/launcher_support.h"
#include "imaging/mura.h"
#include "launcher/main_form.h"
#include "launcher/start_form.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "storage/vrfiles.h"

namespace koru::e2e_launcher {
namespace {

using e2e::App;
using e2e::Rect;
using e2e::Window;

Rect At(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}

// The start menu of a program started from D:\.
Window WaitForMenu(const App& app) { return app.WaitForWindow({.caption = kTitle}); }

// A screenshot once the window's controls have painted (they paint after the window
// itself appears).
void Shot(const Window& window, const std::string& name) {
  ::Sleep(500);
  e2e::Screenshot(window, name);
}

void CloseMenu(const App& app, const Window& menu) {
  menu.Click(kIdBtnExit);
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(SetupStart, StartMenuLayoutsAndTheDriveValue) {
  PutSampleDisc("D:");
  // Not offered: both runtime buttons hidden, "終了" moved up twice.
  {
    App app = App::Start("D:\\setup.exe");
    const Window menu = WaitForMenu(app);
    EXPECT_EQ(menu.ClientArea().height(), 158);
    EXPECT_EQ(menu.ClientArea().width(), 265);
    EXPECT_EQ(menu.ById(kIdBtnStart).Bounds(), At(28, 12, 213, 29));
    EXPECT_EQ(menu.ById(kIdBtnInstall).Bounds(), At(28, 64, 213, 29));
    EXPECT_EQ(menu.ById(kIdBtnExit).Bounds(), At(28, 116, 213, 29));
    EXPECT_FALSE(menu.ById(kIdBtnDirectX).Visible());
    EXPECT_FALSE(menu.ById(kIdBtnWinMedia).Visible());
    EXPECT_FALSE(menu.ById(kIdBtnStart).Enabled());
    EXPECT_TEXT_EQ(menu.ById(kIdBtnInstall).Text(), "インストール");
    Shot(menu, "menu-no-runtimes");
    CloseMenu(app, menu);
  }
  EXPECT_TEXT_EQ(
      e2e::ReadRegistryString(e2e::Hive::kCurrentUser, kGameKey, "CDDrive").value_or("?"), "D:");

  // Offered, with both setups on the disc: the design layout.
  WriteSettings("D:", R"("OfferRuntimeSetup": true)");
  e2e::MakeDirectories("D:\\directx");
  e2e::MakeDirectories("D:\\winmedia");
  e2e::WriteFileBytes("D:\\directx\\dxsetup.exe", "MZ");
  e2e::WriteFileBytes("D:\\winmedia\\mp71.exe", "MZ");
  {
    App app = App::Start("D:\\setup.exe");
    const Window menu = WaitForMenu(app);
    EXPECT_EQ(menu.ClientArea().height(), 230);
    EXPECT_EQ(menu.ById(kIdBtnDirectX).Bounds(), At(28, 100, 213, 29));
    EXPECT_EQ(menu.ById(kIdBtnWinMedia).Bounds(), At(28, 136, 213, 29));
    EXPECT_EQ(menu.ById(kIdBtnExit).Bounds(), At(28, 188, 213, 29));
    EXPECT_TEXT_EQ(menu.ById(kIdBtnWinMedia).Text(), "WindowsMediaPlayerをインストール");
    Shot(menu, "menu-both-runtimes");
    // The close box leaves like "終了": nothing starts.
    menu.Close();
    EXPECT_EQ(app.WaitForExit(), 0u);
  }

  // Only the media player's setup: DirectX hidden, the others one step up.
  ::DeleteFileW(L"D:\\directx\\dxsetup.exe");
  {
    App app = App::Start("D:\\setup.exe");
    const Window menu = WaitForMenu(app);
    EXPECT_EQ(menu.ClientArea().height(), 194);
    EXPECT_FALSE(menu.ById(kIdBtnDirectX).Visible());
    EXPECT_EQ(menu.ById(kIdBtnWinMedia).Bounds(), At(28, 100, 213, 29));
    EXPECT_EQ(menu.ById(kIdBtnExit).Bounds(), At(28, 152, 213, 29));
    Shot(menu, "menu-media-player-only");
    CloseMenu(app, menu);
  }

  // Started from a folder of the disc, not its root: no drive value.
  PutSampleDisc("D:\\setup");
  {
    App app = App::Start("D:\\setup\\setup.exe");
    CloseMenu(app, WaitForMenu(app));
  }
  EXPECT_TEXT_EQ(
      e2e::ReadRegistryString(e2e::Hive::kCurrentUser, kGameKey, "CDDrive").value_or("?"), "");
}

TEST(SetupStart, GameStartWithItsExecutableGoneShowsTheShellsCode) {
  PutSampleDisc("D:");
  e2e::MakeDirectories("C:\\Game");
  e2e::WriteFileBytes("C:\\Game\\game.exe", "MZ");
  SetGameValue("InstallPath", "C:\\Game\\");
  App app = App::Start("D:\\setup.exe");
  const Window menu = WaitForMenu(app);
  menu.ById(kIdBtnStart).WaitUntilEnabled();
  ::DeleteFileW(L"C:\\Game\\game.exe");
  menu.Click(kIdBtnStart);
  e2e::Answer({.text = "プログラムを実行できませんでした\r\nエラーコード[2]", .caption = "警告"});
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(SetupStart, InstallHandsOverToTheTemporaryCopy) {
  PutSampleDisc("D:");
  // A read-only copy left behind by an earlier run is replaced.
  const std::string temp = e2e::EnvironmentVariable("TEMP");
  const std::string copy = temp + "\\~kinstall.exe";
  e2e::WriteFileBytes(copy, "old copy");
  ::SetFileAttributesW(platform::win32::Wide(copy).c_str(), FILE_ATTRIBUTE_READONLY);

  App app = App::Start("D:\\setup.exe");
  WaitForMenu(app).Click(kIdBtnInstall);
  EXPECT_EQ(app.WaitForExit(), 0u);
  const e2e::Process copied = e2e::Process::WaitFor("~kinstall.exe");
  const Window main = copied.WaitForWindow({.caption = kMainCaption});
  EXPECT_EQ(e2e::ReadFileBytes(copy), e2e::ReadFileBytes("D:\\setup.exe"));
  const std::vector<std::string> pending = PendingDeletions();
  EXPECT_TRUE(std::any_of(pending.begin(), pending.end(), [&](const std::string& name) {
    return EqualsIgnoreCase(name, copy);
  })) << "the copy is not recorded for deletion at restart";
  const Window wizard = copied.WaitForWindow({.caption = "ようこそ"});
  ::Sleep(500);
  e2e::Screenshot("background-and-wizard");
  wizard.Close();
  e2e::Answer({.text = "インストールを中断しますか？", .button = e2e::Button::kYes});
  EXPECT_EQ(copied.WaitForExit(), 0u);
}

TEST(SetupStart, SecondStartAndRunningGameEndSilently) {
  PutSampleDisc("D:");
  App first = App::Start("D:\\setup.exe");
  const Window menu = WaitForMenu(first);
  App second = App::Start("D:\\setup.exe");
  EXPECT_EQ(second.WaitForExit(), 0u);
  CloseMenu(first, menu);

  // The installed game runs: its mutex is named after the install folder.
  SetGameValue("InstallPath", "c:\\Game\\Title");
  platform::win32::UniqueHandle game(::CreateMutexW(nullptr, FALSE, L"C:-GAME-TITLE-"));
  App third = App::Start("D:\\setup.exe");
  EXPECT_EQ(third.WaitForExit(), 0u);
  EXPECT_FALSE(Window::Find({.caption = kTitle}).has_value());
}

TEST(SetupStart, MissingSettingsAreReported) {
  e2e::CopyTree(Fixture("sample-disc"), "E:\\disc");
  ::CopyFileW(L"E:\\disc\\setup.exe", L"D:\\setup.exe", FALSE);
  App app = App::Start("D:\\setup.exe");
  e2e::Answer({.text = "インストール設定ファイルがありません", .caption = "警告"});
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(SetupStart, ArchiveOnTheCommandLineRunsTheWizard) {
  e2e::CopyTree(Fixture("sample-disc"), "E:\\disc");
  ::CopyFileW(L"E:\\disc\\game.dat", L"D:\\pack.dat", FALSE);
  ::CopyFileW(L"E:\\disc\\setup.exe", L"D:\\setup.exe", FALSE);
  App app = App::Start("D:\\setup.exe", {.arguments = "D:\\pack.dat"});
  const Window wizard = app.WaitForWindow({.caption = "ようこそ"});
  EXPECT_TRUE(Window::Find({.caption = kMainCaption}).has_value());
  wizard.Close();
  e2e::Answer({.text = "インストールを中断しますか？", .button = e2e::Button::kYes});
  EXPECT_EQ(app.WaitForExit(), 0u);
}

TEST(SetupStart, SelfContainedProgramsFindTheirArchive) {
  for (const char* program : {"setup_sfx.exe", "setup_resource.exe"}) {
    const std::string path = std::string("D:\\") + program;
    ::CopyFileW(platform::win32::Wide(Fixture(program)).c_str(),
                platform::win32::Wide(path).c_str(), FALSE);
    App app = App::Start(path);
    const Window menu = WaitForMenu(app);
    Shot(menu, program);
    CloseMenu(app, menu);
  }
}

TEST(SetupStart, DamagedBackgroundPictureEndsWithTheErrorBox) {
  e2e::CopyTree(Fixture("damaged-disc"), "D:");
  App app = App::Start("D:\\setup.exe");
  const std::string text =
      e2e::Answer({.text = "", .caption = "アプリケーション エラー", .text_contains = true});
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(app.WaitForExit(), 1u);
}

// The screen's colour at a point of a window's client area, as 0xRRGGBB.
uint32_t ScreenPixel(const Window& window, int x, int y) {
  const Rect client = window.ClientArea();
  const HDC screen = ::GetDC(nullptr);
  const COLORREF colour = ::GetPixel(screen, client.left + x, client.top + y);
  ::ReleaseDC(nullptr, screen);
  return (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
}

// The sample's background picture, decoded from the disc's archive.
TDIBSurface SamplePicture() {
  platform::Win32Env env;
  TVrFileCollection archive(env);
  archive.Open("D:\\game.dat");
  MemoryStream stream;
  LoadEntry(archive, stream, "graphics\\back.mur");
  TMuraFrameList frames(0);
  frames.LoadFromStream(stream, true, false, false);
  return std::move(frames.GetFrame(0).Surface);
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
  for (int shift : {0, 8, 16}) {
    const int delta = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (delta > tolerance || delta < -tolerance) return false;
  }
  return true;
}

TEST(SetupStart, BackgroundWindowGradientAndPictureInEachLayout) {
  PutSampleDisc("D:");
  const TDIBSurface picture = SamplePicture();
  ASSERT_EQ(picture.Width(), 640);
  ASSERT_EQ(picture.Height(), 480);
  for (int layout : {0, 1, 2}) {
    SCOPED_TRACE(layout);
    WriteSettings("D:", "\"BackImageLayout\": " + std::to_string(layout));
    App app = App::Start("D:\\setup.exe", {.arguments = "D:\\"});
    const Window main = app.WaitForWindow({.caption = kMainCaption});
    const Window wizard = app.WaitForWindow({.caption = "ようこそ"});
    // 1024 x 768 screen: the client area is the screen less 100 x 200.
    ASSERT_EQ(main.ClientArea().width(), 924);
    ASSERT_EQ(main.ClientArea().height(), 568);
    // The wizard's window shows once the background window was painted; its own buttons
    // paint a moment later.
    ::Sleep(1000);
    e2e::Screenshot("background-layout-" + std::to_string(layout));
    const Rect footer = main.ById(kIdLabelRight).Bounds();
    EXPECT_EQ(footer, At(0, 548, 924, 12));
    if (layout == 0) {
      // 4-pixel bands from blue (255) down to navy (128) by round(-127 / 129 * i).
      EXPECT_EQ(ScreenPixel(main, 5, 0), 0x0000FFu);
      EXPECT_EQ(ScreenPixel(main, 5, 4), 0x0000FEu);
      EXPECT_EQ(ScreenPixel(main, 5, 516), 0x000080u);
      EXPECT_EQ(ScreenPixel(main, 5, 530), 0x000080u);  // the fill below the bands
      // Centred, unscaled: the picture's corners at ((924 - 640) / 2, (568 - 480) / 2).
      for (const auto& [x, y] : {std::pair{8, 6}, {628, 456}, {8, 456}, {600, 20}}) {
        EXPECT_EQ(ScreenPixel(main, 142 + x, 44 + y), picture.GetPixel(x, y)) << x << "," << y;
      }
    } else if (layout == 1) {
      EXPECT_TRUE(Near(ScreenPixel(main, 2, 2), picture.GetPixel(1, 1), 24));
      EXPECT_TRUE(Near(ScreenPixel(main, 921, 2), picture.GetPixel(638, 1), 24));
    } else {
      for (const auto& [x, y] : {std::pair{5, 5}, {645, 5}, {5, 485}, {900, 500}}) {
        EXPECT_EQ(ScreenPixel(main, x, y), picture.GetPixel(x % 640, y % 480)) << x << "," << y;
      }
    }
    wizard.Close();
    e2e::Answer({.text = "インストールを中断しますか？", .button = e2e::Button::kYes});
    EXPECT_EQ(app.WaitForExit(), 0u);
  }
}

}  // namespace
}  // namespace koru::e2e_launcher
