// Installing, updating, starting and removing the sample game with the real program under
// Wine, every road a player or a game maker's package takes.

#include <windows.h>

#include "base/sjis.h"
#include "e2e/install/install_support.h"
#include "launcher/start_form.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_text.h"
#include "storage/vrfiles.h"
#include "wizard/form_type.h"

namespace koru::e2e_launcher {
namespace {

using e2e::App;
using e2e::Process;
using e2e::Window;

// The road of a disc: the start menu, "インストール", the temporary copy.
Process StartInstallFromMenu(const std::string& program = "D:\\setup.exe") {
  App app = App::Start(program);
  const Window menu = app.WaitForWindow({.caption = kTitle});
  ::Sleep(300);
  e2e::Screenshot(menu, "menu");
  menu.Click(kIdBtnInstall);
  EXPECT_EQ(app.WaitForExit(), 0u);
  return Process::WaitFor("~kinstall.exe");
}

// The archive in folder verifies and has the sample disc's entries.
void ExpectArchiveLike(const std::string& folder, const std::string& disc) {
  platform::Win32Env env;
  TVrFileCollection installed(env);
  installed.Open(folder + "game.dat");
  EXPECT_TRUE(installed.VerifyChecksums());
  TVrFileCollection source(env);
  source.Open(disc + "\\game.dat");
  for (int i = 0; i < source.Count(); ++i) {
    const std::string& name = source.Entry(i).Name();
    if (name.empty() || name[0] == '\\' || name[0] == '/') continue;
    EXPECT_GE(installed.IndexOf(name), 0) << SjisToUtf8(name);
  }
}

void InstallSample() {
  PutSampleDisc("D:");
  const Process setup = StartInstallFromMenu();
  WalkToCopy(setup, "ようこそ");
  FinishWizard(setup, "install");
}

TEST(SetupInstall, SingleDiscFromTheMenuThenTheGameStartsAndTheRemovalTakesEverything) {
  InstallSample();
  const std::string folder = SampleInstallFolder();
  const TKoruInstallSet settings = InstalledSettings(folder);
  EXPECT_TRUE(settings.Uninstaller);
  ExpectInstalledFilesExist(folder, settings);
  for (const char* name : {"game.exe", "readme.txt", "install.exe", "install.dat", "game.dat"}) {
    EXPECT_GE(settings.IndexOfInstalledFile(name), 0) << name;
  }
  EXPECT_EQ(e2e::ReadFileBytes(folder + "game.exe"), e2e::ReadFileBytes("D:\\game.exe"));
  ExpectArchiveLike(folder, "D:");
  EXPECT_TEXT_EQ(
      e2e::ReadRegistryString(e2e::Hive::kCurrentUser, kGameKey, "InstallPath").value_or(""),
      folder);
  ExpectShortcuts(folder, /*with_readme=*/true);
  EXPECT_TRUE(PendingDeletion(TemporaryCopy()));

  // From the disc again: "ゲームスタート" starts the installed game.
  {
    App app = App::Start("D:\\setup.exe");
    const Window menu = app.WaitForWindow({.caption = kTitle});
    menu.ById(kIdBtnStart).WaitUntilEnabled();
    menu.Click(kIdBtnStart);
    EXPECT_EQ(app.WaitForExit(), 0u);
    const Process game = Process::WaitFor("game.exe");
    const Window window = game.WaitForWindow({.caption = kTitle});
    ::Sleep(300);
    e2e::Screenshot(window, "game");
    // While the game runs, a setup ends silently.
    App again = App::Start("D:\\setup.exe");
    EXPECT_EQ(again.WaitForExit(), 0u);
    window.Close();
    EXPECT_EQ(game.WaitForExit(), 0u);
  }

  // Removal as a player does it: the uninstall shortcut's target, without an argument.
  e2e::WriteFileBytes(folder + "user-notes.txt", "mine");
  {
    App app = App::Start(folder + "install.exe");
    EXPECT_EQ(app.WaitForExit(), 0u);
    const Process copy = Process::WaitFor("~kinstall.exe");
    const Window wizard = copy.WaitForWindow({.caption = "アンインストール"});
    EXPECT_FALSE(wizard.ById(kIdCheckDelSave).Visible());
    ::Sleep(300);
    e2e::Screenshot(wizard, "uninst");
    wizard.Click(kIdBtnNext);
    FinishWizard(copy, "removal");
  }
  for (const std::string& name : settings.InstalledFiles) {
    EXPECT_FALSE(e2e::FileExists(folder + name)) << SjisToUtf8(name);
  }
  // The file the user added stays, and with it its folder.
  EXPECT_TRUE(e2e::FileExists(folder + "user-notes.txt"));
  EXPECT_FALSE(e2e::DirectoryExists(ShortcutFolder()));
  EXPECT_FALSE(e2e::RegistryKeyExists(e2e::Hive::kCurrentUser, kGameKey));
  EXPECT_FALSE(e2e::RegistryKeyExists(e2e::Hive::kCurrentUser, "Software\\KoruSample"));
}

TEST(SetupInstall, RemovalWithSaveDataInTheProfile) {
  InstallSample();
  const std::string folder = SampleInstallFolder();
  const std::string saves = e2e::SpecialFolder(28) + "\\" + kTitle;
  e2e::MakeDirectories(saves);
  e2e::WriteFileBytes(saves + "\\save.dat", "progress");
  e2e::WriteFileBytes(folder + "save.dat", "progress");
  e2e::WriteFileBytes(folder + "game.ini", "[game]");
  App app = App::Start(folder + "install.exe");
  EXPECT_EQ(app.WaitForExit(), 0u);
  const Process copy = Process::WaitFor("~kinstall.exe");
  const Window wizard = copy.WaitForWindow({.caption = "アンインストール"});
  wizard.ById(kIdCheckDelSave).Click();
  ::Sleep(300);
  e2e::Screenshot(wizard, "uninst-with-saves");
  wizard.Click(kIdBtnNext);
  FinishWizard(copy, "removal");
  EXPECT_FALSE(e2e::DirectoryExists(saves));
  EXPECT_FALSE(e2e::DirectoryExists(folder));
  EXPECT_TRUE(PendingDeletion(TemporaryCopy()));
}

TEST(SetupInstall, TwoDiscsAskForTheSecond) {
  e2e::CopyTree(Fixture("two-discs\\disc1"), "D:");
  const Process setup = StartInstallFromMenu();
  WalkToCopy(setup, "ようこそ");
  const std::string prompt = "ディスク2を入れてからOKをクリックしてください";
  // A wrong disc is asked for again.
  const Window box = e2e::WaitForDialog("情報", setup.Id(), 60000);
  EXPECT_TEXT_EQ(e2e::MessageBoxText(box), prompt);
  e2e::Answer({.text = prompt, .button = e2e::Button::kOk});
  e2e::WaitForDialog("情報", setup.Id(), 30000);
  // The second disc goes in.
  for (const std::string& name : e2e::ListFolder("D:\\")) {
    ::DeleteFileW(platform::win32::Wide("D:\\" + name).c_str());
  }
  e2e::CopyTree(Fixture("two-discs\\disc2"), "D:");
  e2e::Answer({.text = prompt, .button = e2e::Button::kOk});
  FinishWizard(setup, "two-discs");
  const std::string folder = SampleInstallFolder();
  const TKoruInstallSet settings = InstalledSettings(folder);
  ExpectInstalledFilesExist(folder, settings);
  // What the first disc brought is recorded too.
  for (const char* name : {"game.exe", "readme.txt", "install.exe", "game.dat"}) {
    EXPECT_GE(settings.IndexOfInstalledFile(name), 0) << name;
  }
  platform::Win32Env env;
  TVrFileCollection installed(env);
  installed.Open(folder + "game.dat");
  EXPECT_TRUE(installed.VerifyChecksums());
  EXPECT_GE(installed.IndexOf("sound\\bgm01.ogg"), 0);
  EXPECT_GE(installed.IndexOf("シナリオ\\第一章.txt"), 0);
}

TEST(SetupInstall, SelfContainedProgramsInstall) {
  for (const char* program : {"setup_sfx.exe", "setup_resource.exe"}) {
    SCOPED_TRACE(program);
    const std::string path = std::string("E:\\") + program;
    ::CopyFileW(platform::win32::Wide(Fixture(program)).c_str(),
                platform::win32::Wide(path).c_str(), FALSE);
    const Process setup = StartInstallFromMenu(path);
    WalkToCopy(setup, "ようこそ");
    FinishWizard(setup, program);
    const std::string folder = SampleInstallFolder();
    ExpectArchiveLike(folder, Fixture("sample-disc"));
    EXPECT_TRUE(InstalledSettings(folder).Uninstaller);
  }
}

TEST(SetupInstall, ExtractFilesUnpacksInPlace) {
  e2e::CopyTree(Fixture("extract-disc"), "D:");
  App app = App::Start("D:\\setup.exe");
  app.WaitForWindow({.caption = kTitle}).Click(kIdBtnInstall);
  // No temporary copy: the wizard runs in this process.
  WalkToCopy(app, "ようこそ");
  FinishWizard(app, "extract");
  const std::string folder = SampleInstallFolder();
  EXPECT_EQ(e2e::ReadFileBytes(folder + "game.exe"), e2e::ReadFileBytes("D:\\game.exe"));
  EXPECT_EQ(e2e::ReadFileBytes(folder + "install.exe"), e2e::ReadFileBytes("D:\\setup.exe"));
  const TKoruInstallSet settings = InstalledSettings(folder);
  EXPECT_GE(settings.IndexOfInstalledFile("game.exe"), 0);
}

TEST(SetupInstall, WindowsFolderRecordsNothing) {
  e2e::CopyTree(Fixture("windows-disc"), "D:");
  // InstallType 2 skips the start menu: the wizard runs at once.
  App app = App::Start("D:\\setup.exe");
  WalkToCopy(app, "ようこそ");
  FinishWizard(app, "windows");
  char windows[MAX_PATH] = {};
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string folder = std::string(windows) + "\\";
  EXPECT_TRUE(e2e::FileExists(folder + "game.exe"));
  EXPECT_FALSE(e2e::FileExists(folder + "install.dat"));
  EXPECT_FALSE(e2e::RegistryKeyExists(e2e::Hive::kCurrentUser, kGameKey));
  EXPECT_FALSE(e2e::DirectoryExists(ShortcutFolder()));
}

TEST(SetupInstall, UpdatesAnInstalledGameAndAnExecutableWithItsArchive) {
  InstallSample();
  const std::string folder = SampleInstallFolder();
  const size_t installed_files = InstalledSettings(folder).InstalledFiles.size();
  e2e::CopyTree(Fixture("update"), "E:\\update");
  {
    App app = App::Start("E:\\update\\update.exe");
    WalkToCopy(app, "ようこそ");
    FinishWizard(app, "update");
  }
  platform::Win32Env env;
  {
    TVrFileCollection archive(env);
    archive.Open(folder + "game.dat");
    EXPECT_TRUE(archive.VerifyChecksums());
    MemoryStream config;
    LoadEntry(archive, config, "data\\config.ini");
    EXPECT_NE(std::string(config.Bytes().begin(), config.Bytes().end()).find("width=1024"),
              std::string::npos);
    EXPECT_GE(archive.IndexOf("data\\patch.txt"), 0);
  }
  const TKoruInstallSet settings = InstalledSettings(folder);
  EXPECT_TRUE(settings.Uninstaller);
  EXPECT_GE(settings.InstalledFiles.size(), installed_files);
  EXPECT_GE(settings.IndexOfInstalledFile("game.ext"), 0);

  // A game that is only an executable carrying its archive: rebuilt and put back.
  e2e::MakeDirectories("C:\\ExeGame");
  ::CopyFileW(platform::win32::Wide(Fixture("exe-game\\game.exe")).c_str(),
              L"C:\\ExeGame\\game.exe", FALSE);
  {
    App app = App::Start("E:\\update\\update.exe");
    WalkToCopy(app, "ようこそ", "C:\\ExeGame");
    FinishWizard(app, "exe-update");
  }
  TVrFileCollection rebuilt(env);
  rebuilt.Open("C:\\ExeGame\\game.exe");
  EXPECT_TRUE(rebuilt.VerifyChecksums());
  EXPECT_GE(rebuilt.IndexOf("data\\patch.txt"), 0);
  EXPECT_GE(rebuilt.IndexOf("graphics\\back.mur"), 0);
  EXPECT_FALSE(e2e::FileExists("C:\\ExeGame\\install.dat"));
}

}  // namespace
}  // namespace koru::e2e_launcher
