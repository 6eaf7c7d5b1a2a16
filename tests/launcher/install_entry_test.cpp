#include "launcher/install_entry.h"

#include <gtest/gtest.h>

#include "launcher/launcher_test_support.h"
#include "platform/env_wrapper.h"
#include "platform/memory/memory_env.h"
#include "platform/memory/scripted_ui.h"

namespace koru {
namespace {

using platform::kResultCancel;
using platform::kResultOk;
using platform::MemoryEnv;
using platform::MutexProbe;
using testing::Bytes;
using testing::RecordingWindows;
using testing::WriteArchive;

constexpr const char* kTitle = "サンプルゲーム";
constexpr const char* kGameKey = "Software\\Koru\\Sample";

class InstallEntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    env_.files().AddDrive('D');
    settings_.Title = kTitle;
    settings_.ExeFile = "game.exe";
    settings_.RegistryKey = "\\Koru\\Sample";
    PutDisc("D:\\");
    SetProgram("D:\\setup.exe");
  }

  void SetProgram(const std::string& path) {
    env_.files().MakeDirectories(ExtractFolder(path));
    env_.files().PutFile(path, "MZ program");
    env_.system().SetExecutablePath(path);
  }
  static std::string ExtractFolder(const std::string& path) {
    return path.substr(0, path.rfind('\\'));
  }
  std::string SettingsBytes() {
    MemoryStream stream;
    settings_.SaveToStream(stream);
    return Bytes(stream.Bytes());
  }
  // install.dat and game.dat (holding install.dat) in folder.
  void PutDisc(const std::string& folder) {
    env_.files().MakeDirectories(folder);
    env_.files().PutFile(folder + "install.dat", SettingsBytes());
    WriteArchive(env_, folder + "game.dat", {{"install.dat", SettingsBytes()}});
  }
  void SetInstallPath(const std::string& path) {
    env_.registry()
        .OpenKey(platform::RegistryRoot::kCurrentUser, kGameKey, true, true)
        ->WriteString("InstallPath", path);
  }
  std::string RegValue(const std::string& name) {
    auto key =
        env_.registry().OpenKey(platform::RegistryRoot::kCurrentUser, kGameKey, false, false);
    if (!key) return "<no key>";
    auto value = key->ReadValue(name);
    return value ? value->data : "<none>";
  }
  int Run(std::vector<std::string> arguments = {"setup.exe"}) {
    InstallEntry entry(env_, ui_, windows_);
    return entry.Run(arguments);
  }
  const auto& Opens() { return env_.shell().ShellOpens(); }

  MemoryEnv env_;
  platform::ScriptedUserInterface ui_;
  RecordingWindows windows_;
  TKoruInstallSet settings_;
};

TEST_F(InstallEntryTest, WithoutAdministratorRightsOnlyTheRefusalIsShown) {
  env_.system().SetUserAdmin(false);
  SetInstallPath("C:\\Game");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>({"管理者権限で実行してください"}));
  EXPECT_EQ(ui_.shown()[0].caption, "警告");
  EXPECT_EQ(windows_.start_menus, 0);
  EXPECT_TRUE(Opens().empty());
}

TEST_F(InstallEntryTest, MissingSettingsAreReported) {
  env_.files().RemoveFile("D:\\install.dat");
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>({"インストール設定ファイルがありません"}));
  // A first argument naming neither a file nor a folder with install.dat: the same.
  ui_ = {};
  EXPECT_EQ(Run({"setup.exe", "E:\\nowhere"}), 0);
  EXPECT_EQ(ui_.Texts(), std::vector<std::string>({"インストール設定ファイルがありません"}));
  EXPECT_EQ(windows_.start_menus + windows_.wizards.size(), 0u);
}

TEST_F(InstallEntryTest, RunningGameOrSecondLauncherEndsSilently) {
  SetInstallPath("c:\\Game\\Title");
  env_.system().HoldMutexElsewhere("C:-GAME-TITLE-", true);
  EXPECT_EQ(Run(), 0);
  env_.system().HoldMutexElsewhere("C:-GAME-TITLE-", false);
  // A game running elevated or as another user: the mutex cannot be opened, yet exists.
  env_.system().HoldMutexElsewhere("C:-GAME-TITLE-", true, /*deny_access=*/true);
  EXPECT_EQ(Run(), 0);
  env_.system().HoldMutexElsewhere("C:-GAME-TITLE-", false);
  env_.system().HoldMutexElsewhere(kTitle, true);
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(ui_.shown().empty());
  EXPECT_EQ(windows_.start_menus, 0);
  env_.system().HoldMutexElsewhere(kTitle, false);
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(windows_.start_menus, 1);
}

TEST_F(InstallEntryTest, StartMenuRoads) {
  // Leave: nothing starts; the drive value names the disc's root.
  windows_.start_menu_answer = {kResultCancel, 0};
  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(windows_.start_menus, 1);
  EXPECT_GT(windows_.archive_entries, 0);
  EXPECT_EQ(RegValue("CDDrive"), "D:");
  EXPECT_TRUE(Opens().empty());

  // Game: the installed executable starts; missing, the shell's code 2 is shown.
  SetInstallPath("C:\\Game");
  windows_.start_menu_answer = {kResultOk, 0};
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(Opens().size(), 1u);
  EXPECT_EQ(Opens()[0].file, "C:\\Game\\game.exe");
  EXPECT_EQ(Opens()[0].show_command, 5);
  EXPECT_EQ(ui_.Texts(),
            std::vector<std::string>({"プログラムを実行できませんでした\r\nエラーコード[2]"}));

  // Install: the temporary copy starts with the quoted disc folder; the copy is not
  // marked for deletion by this process.
  windows_.start_menu_answer = {kResultOk, 1};
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(Opens().size(), 2u);
  EXPECT_EQ(Opens()[1].file, "C:\\users\\test\\Temp\\~kinstall.exe");
  EXPECT_EQ(Opens()[1].parameters, "\"D:\\\"");
  EXPECT_EQ(env_.files().FileContents(Opens()[1].file), "MZ program");
  EXPECT_TRUE(env_.system().RestartDeletions().empty());
  EXPECT_TRUE(windows_.wizards.empty());
}

TEST_F(InstallEntryTest, DriveValueOnlyForAProgramAtADriveRoot) {
  windows_.start_menu_answer = {kResultCancel, 0};
  PutDisc("D:\\setup\\");
  SetProgram("D:\\setup\\setup.exe");
  Run();
  EXPECT_EQ(RegValue("CDDrive"), "");
}

TEST_F(InstallEntryTest, ExtractFilesInstallsInPlaceWithoutRestartDeletion) {
  settings_.ExtractFiles = true;
  PutDisc("D:\\");
  windows_.start_menu_answer = {kResultOk, 1};
  Run();
  ASSERT_EQ(windows_.wizards.size(), 1u);
  EXPECT_TRUE(windows_.wizards[0].had_archive);
  EXPECT_TRUE(Opens().empty());
  EXPECT_TRUE(env_.system().RestartDeletions().empty());
}

TEST_F(InstallEntryTest, DirectRoadMarksItselfAndRunsTheWizard) {
  // The temporary copy, started with the disc folder.
  SetProgram("C:\\users\\test\\Temp\\~kinstall.exe");
  Run({"~kinstall.exe", "D:\\"});
  ASSERT_EQ(windows_.wizards.size(), 1u);
  EXPECT_TRUE(windows_.wizards[0].had_archive);
  EXPECT_EQ(windows_.wizards[0].arguments, std::vector<std::string>({"D:\\"}));
  EXPECT_EQ(env_.system().RestartDeletions(),
            std::vector<std::string>({"C:\\users\\test\\Temp\\~kinstall.exe"}));
  EXPECT_EQ(windows_.start_menus, 0);
}

TEST_F(InstallEntryTest, RemovalRoads) {
  settings_.Uninstaller = true;
  PutDisc("C:\\Game\\");
  SetProgram("C:\\Game\\install.exe");
  // First start: hands over to the temporary copy, with the mutex already released.
  class CheckingEnv : public platform::EnvWrapper {
   public:
    using EnvWrapper::EnvWrapper;
    int ShellOpen(const std::string& f, const std::string& p, const std::string& d,
                  int s) override {
      probe = system().ProbeMutex(kTitle);
      return EnvWrapper::ShellOpen(f, p, d, s);
    }
    MutexProbe probe = MutexProbe::kOpened;
  } checking(env_);
  InstallEntry entry(checking, ui_, windows_);
  EXPECT_EQ(entry.Run({"install.exe"}), 0);
  EXPECT_EQ(checking.probe, MutexProbe::kAbsent);
  ASSERT_EQ(Opens().size(), 1u);
  EXPECT_EQ(Opens()[0].parameters, "\"C:\\Game\\\"");
  EXPECT_TRUE(windows_.wizards.empty());

  // Second start, as the copy: marks itself, runs the wizard without an archive.
  SetProgram(Opens()[0].file);
  Run({"~kinstall.exe", "C:\\Game\\"});
  ASSERT_EQ(windows_.wizards.size(), 1u);
  EXPECT_FALSE(windows_.wizards[0].had_archive);
  EXPECT_EQ(env_.system().RestartDeletions(), std::vector<std::string>({Opens()[0].file}));
}

TEST_F(InstallEntryTest, SelfCopyClearsReadOnlyCopiesAndSkipsLockedOnes) {
  settings_.Uninstaller = true;
  PutDisc("C:\\Game\\");
  SetProgram("C:\\Game\\install.exe");
  const std::string temp = "C:\\users\\test\\Temp\\";
  env_.files().MakeDirectories(temp);
  env_.files().PutFile(temp + "~kinstall.exe", "old");
  env_.files().SetAttributes(temp + "~kinstall.exe", platform::kAttrReadOnly);
  Run({"install.exe"});
  EXPECT_EQ(env_.files().FileContents(temp + "~kinstall.exe"), "MZ program");

  // A copy still running holds its file: the next name is taken.
  auto locked = env_.files().OpenFile(temp + "~kinstall.exe", {});
  Run({"install.exe"});
  EXPECT_EQ(Opens().back().file, temp + "~kinstall0.exe");

  // Every name taken: the message, and nothing starts.
  std::vector<std::unique_ptr<platform::File>> holders;
  for (int i = 0; i < 99; ++i) {
    const std::string name = temp + "~kinstall" + std::to_string(i) + ".exe";
    env_.files().PutFile(name, "busy");
    holders.push_back(env_.files().OpenFile(name, {}));
  }
  const size_t opens = Opens().size();
  Run({"install.exe"});
  EXPECT_EQ(Opens().size(), opens);
  EXPECT_EQ(ui_.Texts().back(), "ファイルをコピーできません");
}

TEST_F(InstallEntryTest, ArchivesOnTheCommandLineInTheTrailerOrInTheResource) {
  windows_.start_menu_answer = {kResultCancel, 0};
  // A file argument is the archive and holds install.dat: the direct road.
  env_.files().MoveFileTo("D:\\game.dat", "D:\\pack.dat");
  env_.files().RemoveFile("D:\\install.dat");
  Run({"setup.exe", "D:\\pack.dat"});
  ASSERT_EQ(windows_.wizards.size(), 1u);

  // The archive appended to the program: the start menu, whatever the argument-less disc.
  WriteArchive(env_, "D:\\tail.dat", {{"install.dat", SettingsBytes()}});
  std::string program = "MZ program" + *env_.files().FileContents("D:\\tail.dat");
  const uint32_t start = 10;
  for (int i = 0; i < 4; ++i) program += static_cast<char>(start >> (8 * i));
  program += "kr";
  env_.files().PutFile("D:\\setup.exe", program);
  Run();
  EXPECT_EQ(windows_.start_menus, 1);

  // A resource that is no archive is ignored and the trailer still serves; a real one wins.
  env_.system().AddResource("", "DUMMY", "BINTYPE", {'x', 'y'});
  Run();
  EXPECT_EQ(windows_.start_menus, 2);
  settings_.Title = "リソース";
  MemoryStream resource;
  {
    WriteArchive(env_, "D:\\res.dat", {{"install.dat", SettingsBytes()}});
    const std::string bytes = *env_.files().FileContents("D:\\res.dat");
    env_.system().AddResource("", "DUMMY", "BINTYPE",
                              std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  env_.system().HoldMutexElsewhere("リソース", true);
  Run();  // the resource's title is taken: ends silently, no menu
  EXPECT_EQ(windows_.start_menus, 2);
}

TEST_F(InstallEntryTest, DamagedArchiveFailsOutOfTheEntry) {
  env_.files().PutFile("D:\\game.dat", "vf damaged");
  EXPECT_THROW(Run(), KoruError);
}

}  // namespace
}  // namespace koru
