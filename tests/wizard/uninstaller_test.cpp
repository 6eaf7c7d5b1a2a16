#include "wizard/uninstaller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/sjis.h"
#include "platform/env_wrapper.h"
#include "platform/memory/memory_env.h"
#include "platform/memory/recorded_form_view.h"
#include "platform/memory/scripted_ui.h"
#include "settings/paths.h"
#include "wizard/combined_page_actions.h"
#include "wizard/form_type.h"
#include "wizard/shell_link.h"

namespace koru {
namespace {

using platform::kResultAbort;
using platform::kResultNone;
using platform::kResultOk;
using platform::kResultYes;
using platform::RecordedFormView;
using platform::RegistryRoot;

// ソ carries a backslash as its second byte: every path below must keep it whole.
const std::string kTitle = "ソフト";
const std::string kInstall = "C:\\Program Files\\Koru\\ソフト\\";
const std::string kShortcuts = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\ソフト";
const std::string kProfileSave = "C:\\users\\test\\AppData\\Local\\ソフト\\";

// Reports the given folders as junctions; the in-memory volume has none of its own.
class LinkedFolders : public platform::EnvWrapper {
 public:
  LinkedFolders(platform::Env& target, std::vector<std::string> links)
      : EnvWrapper(target), links_(std::move(links)) {}

  std::optional<uint32_t> GetAttributes(const std::string& path) override {
    std::optional<uint32_t> attributes = EnvWrapper::GetAttributes(path);
    if (attributes && IsLink(path)) *attributes |= kAttrReparsePoint;
    return attributes;
  }
  std::vector<platform::DirEntry> ListDirectory(const std::string& folder) override {
    std::vector<platform::DirEntry> entries = EnvWrapper::ListDirectory(folder);
    for (platform::DirEntry& entry : entries) {
      if (IsLink(AddBackslash(folder) + entry.name)) entry.attributes |= kAttrReparsePoint;
    }
    return entries;
  }

 private:
  bool IsLink(const std::string& path) const {
    for (const std::string& link : links_) {
      if (CompareIgnoreCase(ExcludeTrailingBackslash(path), ExcludeTrailingBackslash(link)) == 0) {
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> links_;
};

class UninstallerTest : public ::testing::Test {
 protected:
  // What the copy engine leaves: files (one read-only) in two levels of sub-folders,
  // game.ini written by the game, the registry value and two shortcuts.
  void SetUp() override {
    settings_.Title = kTitle;
    settings_.RegistryKey = "\\Koru\\ソフト";
    settings_.Uninstaller = true;
    settings_.InstalledFiles = {"game.exe",        "install.exe",      "install.dat",
                                "data\\scene.dat", "data\\bgm\\a.ogg", "readme.txt"};
    for (const std::string& name : settings_.InstalledFiles) Put(kInstall + name);
    env_.files().SetAttributes(kInstall + "readme.txt",
                               platform::kAttrReadOnly | platform::kAttrArchive);
    Put(kInstall + "game.ini");
    settings_.WriteRegValue(env_, kRegInstallPath, kInstall);
    for (const std::string& name : {kTitle, kTitle + "のアンインストール"}) {
      ASSERT_TRUE(CreateShortcut(env_, name, kInstall + "game.exe", "", "", kInstall,
                                 lnkCommonPrograms, kTitle, TWindowState::wsNormal, 0, 0));
    }
  }

  void Put(const std::string& path) { ASSERT_TRUE(env_.files().PutFile(path, "x")); }
  bool Exists(const std::string& path) {
    return env_.files().FileExists(path) || env_.files().DirectoryExists(path);
  }
  bool KeyExists(const std::string& path) {
    return env_.registry().OpenKey(RegistryRoot::kCurrentUser, path, false, false) != nullptr;
  }

  // The wizard on "uninst", as the temporary copy starts it.
  void Open(platform::Env& env, const std::string& install_folder = kInstall) {
    view_ = std::make_unique<RecordedFormView>(TFormType::Layout());
    form_ = std::make_unique<TFormType>(env, ui_, settings_, nullptr,
                                        std::vector<std::string>{install_folder}, pages_);
    form_->FormCreate(*view_);
    ASSERT_EQ(form_->CurrentPage(), kPageUninst);
  }
  void Open() { Open(env_); }
  // "実行".
  void Remove() { form_->OnClick(kIdBtnNext); }

  // The user answers the abort question with Yes during the given pump.
  void AbortAtPump(int pump) {
    ui_.OnPump([this, pump](int count) {
      if (count != pump) return;
      ui_.Answer(kResultYes);
      form_->OnClick(kIdBtnAbort);
    });
  }

  platform::MemoryEnv env_;
  platform::ScriptedUserInterface ui_;
  TKoruInstallSet settings_;
  NullPageActions copy_;
  Uninstaller uninstaller_;
  CombinedPageActions pages_{copy_, uninstaller_};
  std::unique_ptr<RecordedFormView> view_;
  std::unique_ptr<TFormType> form_;
};

TEST_F(UninstallerTest, Removal_TakesEverythingInstalledAndNothingAbove) {
  ASSERT_TRUE(env_.registry().OpenKey(RegistryRoot::kCurrentUser, "Software\\Other", true, true));
  Open();
  EXPECT_EQ(view_->caption(), "アンインストール");
  EXPECT_FALSE(view_->Visible(kIdCheckDelSave));
  EXPECT_EQ(view_->Text(kIdBtnNext), "実行");

  Remove();
  EXPECT_FALSE(Exists(kInstall));
  // The folder above, though empty now, was not the game's.
  EXPECT_TRUE(env_.files().DirectoryExists("C:\\Program Files\\Koru"));
  EXPECT_FALSE(Exists(kShortcuts));
  EXPECT_TRUE(env_.files().DirectoryExists(ExtractFilePath(kShortcuts)));
  EXPECT_FALSE(KeyExists("Software\\Koru"));
  EXPECT_TRUE(KeyExists("Software\\Other"));

  EXPECT_EQ(env_.system().Sleeps(), (std::vector<uint32_t>{3000, 1000}));
  EXPECT_EQ(view_->brought_to_front(), 1);
  EXPECT_EQ(view_->Text(kIdDrive), "C");
  EXPECT_EQ(view_->Text(kIdDirectory), "C:\\windows");
  EXPECT_EQ(ui_.pumps(), 3);
  EXPECT_EQ(view_->Text(kIdLabelDelTitle), "ソフト を削除しています");
  EXPECT_EQ(view_->Text(kIdLabelDel), "レジストリを削除しています...");
  EXPECT_FALSE(view_->Visible(kIdBtnNext));
  EXPECT_EQ(form_->CurrentPage(), kPageExit);
  EXPECT_EQ(view_->Text(kIdLabelExit), "アンインストールが完了しました");
  EXPECT_EQ(view_->Text(kIdBtnAbort), "閉じる(&C)");
  form_->OnClick(kIdBtnAbort);
  EXPECT_EQ(form_->ModalResult(), kResultOk);
  EXPECT_TRUE(ui_.shown().empty());
}

TEST_F(UninstallerTest, UserFile_StaysWithItsFoldersWhileAnEmptiedSubFolderGoes) {
  Put(kInstall + "data\\bgm\\mine.ogg");
  Open();
  Remove();
  EXPECT_TRUE(env_.files().FileExists(kInstall + "data\\bgm\\mine.ogg"));
  EXPECT_FALSE(Exists(kInstall + "data\\scene.dat"));
  EXPECT_FALSE(Exists(kInstall + "readme.txt"));
  EXPECT_FALSE(Exists(kInstall + "game.ini"));
  std::vector<std::string> left;
  for (const auto& entry : env_.files().ListDirectory(kInstall)) left.push_back(entry.name);
  EXPECT_EQ(left, (std::vector<std::string>{"data"}));

  // A folder the game had but that removal empties goes, though never listed.
  settings_.InstalledFiles = {"movie\\op.mpg"};
  Put(kInstall + "movie\\op.mpg");
  Open();
  Remove();
  EXPECT_FALSE(Exists(kInstall + "movie"));
  EXPECT_TRUE(Exists(kInstall + "data\\bgm\\mine.ogg"));
}

TEST_F(UninstallerTest, SaveDataInAProfileFolder_OfferedAndRemovedWithItsFolder) {
  Put(kProfileSave + kSaveDataName);
  Open();
  EXPECT_TRUE(view_->Visible(kIdCheckDelSave));
  EXPECT_FALSE(view_->Checked(kIdCheckDelSave));
  view_->SetChecked(kIdCheckDelSave, true);
  Remove();
  EXPECT_FALSE(Exists(kProfileSave));
  EXPECT_TRUE(env_.files().DirectoryExists("C:\\users\\test\\AppData\\Local"));
  EXPECT_FALSE(Exists(kInstall));
}

TEST_F(UninstallerTest, SaveDataInTheInstallFolder_StaysUnlessTheBoxIsChecked) {
  Put(kInstall + kSaveDataName);
  Put(kProfileSave + kSaveDataName);
  Open();
  EXPECT_TRUE(view_->Visible(kIdCheckDelSave));
  Remove();
  EXPECT_TRUE(env_.files().FileExists(kInstall + kSaveDataName));
  EXPECT_TRUE(env_.files().FileExists(kProfileSave + kSaveDataName));
  EXPECT_FALSE(Exists(kInstall + "game.exe"));

  // Checked, with something else in the profile's folder: both save.dat go, that folder stays.
  Put(kProfileSave + "config.txt");
  Open();
  view_->SetChecked(kIdCheckDelSave, true);
  Remove();
  EXPECT_FALSE(Exists(kInstall));
  EXPECT_FALSE(Exists(kProfileSave + kSaveDataName));
  EXPECT_TRUE(Exists(kProfileSave + "config.txt"));
}

TEST_F(UninstallerTest, NoSaveData_BoxStaysHiddenAndSaveDataIsNeverTouched) {
  Open();
  EXPECT_FALSE(view_->Visible(kIdCheckDelSave));
  // Save data that appears after the offer, with the hidden box checked, still stays.
  Put(kInstall + kSaveDataName);
  Put(kProfileSave + kSaveDataName);
  view_->SetChecked(kIdCheckDelSave, true);
  Remove();
  EXPECT_TRUE(env_.files().FileExists(kInstall + kSaveDataName));
  EXPECT_TRUE(env_.files().FileExists(kProfileSave + kSaveDataName));
}

TEST_F(UninstallerTest, EmptyRegistryKey_LeavesTheRegistryUntouched) {
  settings_.RegistryKey.clear();
  const std::string before = env_.registry().Serialize();
  Open();
  Remove();
  EXPECT_EQ(env_.registry().Serialize(), before);
  EXPECT_FALSE(Exists(kInstall));
  EXPECT_EQ(form_->CurrentPage(), kPageExit);
}

TEST_F(UninstallerTest, CraftedNames_DeleteNothingOutsideTheInstallFolder) {
  const std::vector<std::string> outside = {"C:\\Program Files\\Koru\\keep.txt", "C:\\boot.ini",
                                            "C:\\windows\\system32\\kernel32.dll", "D:\\boot.ini"};
  env_.files().AddDrive('D');
  for (const std::string& path : outside) Put(path);
  settings_.InstalledFiles = {"..\\keep.txt",
                              "../keep.txt",
                              "data\\..\\..\\keep.txt",
                              "data/../../keep.txt",
                              ". .\\keep.txt",
                              "C:\\boot.ini",
                              "C:..\\..\\..\\boot.ini",
                              "D:boot.ini",
                              "\\boot.ini",
                              "/boot.ini",
                              "\\\\.\\C:\\boot.ini",
                              "..\\..\\..\\windows\\system32\\kernel32.dll",
                              "NUL",
                              "con.txt",
                              "data\\aux",
                              "game.exe"};
  Open();
  Remove();
  for (const std::string& path : outside) EXPECT_TRUE(env_.files().FileExists(path)) << path;
  // A plain name after the crafted ones still goes.
  EXPECT_FALSE(Exists(kInstall + "game.exe"));
}

TEST_F(UninstallerTest, Links_AreNeitherFollowedNorEmptied) {
  // Junctions inside the install folder and as the profile's save folder, each leading to
  // what must survive: a file the install.dat names, an empty folder, save data.
  Put(kInstall + "link\\victim.dll");
  ASSERT_TRUE(env_.files().MakeDirectories(kInstall + "data\\link2\\empty"));
  Put(kProfileSave + kSaveDataName);
  settings_.InstalledFiles.push_back("link\\victim.dll");
  LinkedFolders env(env_, {kInstall + "link", kInstall + "data\\link2", kProfileSave});
  Open(env);
  EXPECT_FALSE(view_->Visible(kIdCheckDelSave));
  view_->SetChecked(kIdCheckDelSave, true);
  view_->SetVisible(kIdCheckDelSave, true);
  Remove();
  EXPECT_TRUE(env_.files().FileExists(kInstall + "link\\victim.dll"));
  EXPECT_TRUE(env_.files().DirectoryExists(kInstall + "data\\link2\\empty"));
  EXPECT_TRUE(env_.files().FileExists(kProfileSave + kSaveDataName));
  EXPECT_FALSE(Exists(kInstall + "data\\scene.dat"));
}

TEST_F(UninstallerTest, InstallFolderThatIsNoPlainFolder_HasNothingDeletedInIt) {
  for (const char* folder : {"", "\\", "Program Files\\Koru", "C:", "C:\\", "C:Game",
                             "C:\\Game\\..\\", "\\\\server\\", "\\\\?\\C:\\Game"}) {
    EXPECT_EQ(RemovableInstallFolder(folder), "") << folder;
  }
  EXPECT_EQ(RemovableInstallFolder("C:\\Game"), "C:\\Game\\");
  EXPECT_EQ(RemovableInstallFolder("\\\\server\\share\\ソ"), "\\\\server\\share\\ソ\\");

  // A root given as the install folder: its files and empty folders stay.
  settings_.InstalledFiles = {"boot.ini"};
  Put("C:\\boot.ini");
  ASSERT_TRUE(env_.files().MakeDirectory("C:\\empty"));
  Open(env_, "C:\\");
  Remove();
  EXPECT_TRUE(Exists("C:\\boot.ini"));
  EXPECT_TRUE(Exists("C:\\empty"));
  EXPECT_FALSE(Exists(kShortcuts));
  EXPECT_EQ(form_->CurrentPage(), kPageExit);
}

TEST_F(UninstallerTest, AbortBeforeTheShortcuts_RemovesNothing) {
  const std::string registry = env_.registry().Serialize();
  Open();
  AbortAtPump(1);
  Remove();
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  EXPECT_EQ(form_->CurrentPage(), kPageDelete);
  EXPECT_EQ(ui_.pumps(), 1);
  EXPECT_TRUE(Exists(kShortcuts));
  EXPECT_TRUE(Exists(kInstall + "game.exe"));
  EXPECT_EQ(env_.registry().Serialize(), registry);
  EXPECT_TRUE(env_.system().Sleeps().empty());
}

TEST_F(UninstallerTest, AbortBeforeTheFiles_KeepsFilesAndRegistry) {
  const std::string registry = env_.registry().Serialize();
  Open();
  AbortAtPump(2);
  Remove();
  EXPECT_EQ(form_->ModalResult(), kResultAbort);
  EXPECT_EQ(form_->CurrentPage(), kPageDelete);
  EXPECT_EQ(ui_.pumps(), 2);
  EXPECT_FALSE(Exists(kShortcuts));
  for (const std::string& name : settings_.InstalledFiles) EXPECT_TRUE(Exists(kInstall + name));
  EXPECT_TRUE(Exists(kInstall + "game.ini"));
  EXPECT_EQ(env_.registry().Serialize(), registry);
  EXPECT_EQ(env_.system().Sleeps(), (std::vector<uint32_t>{3000}));
  EXPECT_EQ(ui_.Texts(), (std::vector<std::string>{"アンインストールを中断しますか？"}));
}

}  // namespace
}  // namespace koru
