#include "wizard/shell_link.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/memory/memory_env.h"
#include "wizard/file_operation.h"

namespace koru {
namespace {

constexpr const char* kPrograms =
    "C:\\users\\test\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
constexpr const char* kCommon = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";

class ShellLinkTest : public ::testing::Test {
 protected:
  bool Exists(const std::string& path) {
    return env_.files().FileExists(path) || env_.files().DirectoryExists(path);
  }
  platform::MemoryEnv env_;
};

TEST_F(ShellLinkTest, CreateShortcut_WritesEveryFieldBelowATwoLevelSubDir) {
  ASSERT_TRUE(CreateShortcut(env_, "サンプル", "C:\\Game\\game.exe", "-x", "説明", "C:\\Game",
                             lnkCommonPrograms, "Koru\\サンプル", TWindowState::wsMaximized,
                             kHotKeyCtrl | kHotKeyAlt | 'G', 1));
  const auto fields =
      env_.shell().LoadShellLink(std::string(kCommon) + "\\Koru\\サンプル\\サンプル.lnk");
  ASSERT_TRUE(fields.has_value());
  EXPECT_EQ(fields->target, "C:\\Game\\game.exe");
  EXPECT_EQ(fields->arguments, "-x");
  EXPECT_EQ(fields->description, "説明");
  EXPECT_EQ(fields->working_folder, "C:\\Game");
  EXPECT_EQ(fields->hot_key, 0x600 | 'G');
  EXPECT_EQ(fields->show_command, 3);
  EXPECT_EQ(fields->icon_path, "C:\\Game\\game.exe");
  EXPECT_EQ(fields->icon_index, 1);

  TShellLink link(env_);
  link.HotKey = kHotKeyShift | 0x41;
  EXPECT_EQ(link.HotKeyWord(), 0x141);
  link.WindowState = TWindowState::wsMinimized;
  EXPECT_EQ(link.ShowCommand(), 7);

  // Opening the folder goes to the shell with the folder as working folder.
  OpenShortcutFolder(env_, lnkCommonPrograms, "Koru\\サンプル");
  ASSERT_EQ(env_.shell().ShellOpens().size(), 1u);
  EXPECT_EQ(env_.shell().ShellOpens()[0].file, std::string(kCommon) + "\\Koru\\サンプル\\");
  EXPECT_EQ(env_.shell().ShellOpens()[0].directory, env_.shell().ShellOpens()[0].file);
  EXPECT_EQ(env_.shell().ShellOpens()[0].show_command, 5);
}

TEST_F(ShellLinkTest, SetFileName_FillsOnlyEmptyFieldsAndDefaultsToTheProgram) {
  TShellLink link(env_);
  link.LinkType = lnkPrograms;
  link.Name = "self";
  ASSERT_TRUE(link.CreateLink());
  EXPECT_EQ(link.FileName(), "C:\\setup\\install.exe");
  EXPECT_EQ(link.Description, "install");
  EXPECT_EQ(link.WorkDir, "C:\\setup");
  EXPECT_TRUE(env_.files().FileExists(std::string(kPrograms) + "\\self.lnk"));

  link.Description = "mine";
  link.SetFileName("C:\\setup\\install.exe");
  link.WorkDir.clear();
  link.SetFileName("C:\\readme.txt");
  EXPECT_EQ(link.Description, "mine");
  EXPECT_EQ(link.WorkDir, "C:\\");
}

TEST_F(ShellLinkTest, DeleteFolder_RemovesTheSubDirTreeButNeverTheSpecialFolder) {
  ASSERT_TRUE(CreateShortcut(env_, "a", "C:\\a.exe", "", "", "", lnkPrograms, "Koru\\Game",
                             TWindowState::wsNormal, 0, 0));
  ASSERT_TRUE(env_.files().PutFile(std::string(kPrograms) + "\\Koru\\Game\\sub\\x.txt", "x"));
  ASSERT_TRUE(env_.files().PutFile(std::string(kPrograms) + "\\other.lnk", "x"));

  DeleteShortcutFolder(env_, lnkPrograms, "");
  EXPECT_TRUE(Exists(std::string(kPrograms) + "\\Koru\\Game\\a.lnk"));
  DeleteShortcutFolder(env_, lnkPrograms, "Koru\\Game");
  EXPECT_FALSE(Exists(std::string(kPrograms) + "\\Koru\\Game"));
  EXPECT_TRUE(Exists(std::string(kPrograms) + "\\Koru"));
  EXPECT_TRUE(Exists(std::string(kPrograms) + "\\other.lnk"));
}

TEST_F(ShellLinkTest, UnsafeSubDirOrName_IsRefusedQuietly) {
  const std::string programs = kPrograms;
  ASSERT_TRUE(env_.files().PutFile(programs + "\\other.lnk", "x"));
  ASSERT_TRUE(env_.files().PutFile("C:\\users\\test\\keep.txt", "x"));
  for (const char* sub_dir :
       {"..", "..\\..", "a\\..\\..", "a/../..", ".\\", "a\\.\\b", "\\Game", "/Game", "C:\\Game",
        "C:Game", "Game\\", "a\\\\b", "a\\ . \\b", "\\\\server\\share", "Ga*me"}) {
    SCOPED_TRACE(sub_dir);
    EXPECT_FALSE(IsSafeSubDir(sub_dir));
    EXPECT_FALSE(CreateShortcut(env_, "x", "C:\\x.exe", "", "", "", lnkPrograms, sub_dir,
                                TWindowState::wsNormal, 0, 0));
    DeleteShortcutFolder(env_, lnkPrograms, sub_dir);
    OpenShortcutFolder(env_, lnkPrograms, sub_dir);
  }
  EXPECT_TRUE(env_.shell().ShellOpens().empty());
  EXPECT_TRUE(Exists(programs + "\\other.lnk"));
  EXPECT_TRUE(Exists("C:\\users\\test\\keep.txt"));
  EXPECT_FALSE(Exists("C:\\Game"));
  EXPECT_FALSE(Exists(programs + "\\x.lnk"));

  // A title's names: ソ ends in the backslash's byte without being one; '.' inside a
  // name is fine; a link name must be a single name.
  EXPECT_TRUE(IsSafeSubDir("ソフト\\Ver.2"));
  EXPECT_TRUE(IsSafeSubDir("ソ"));
  EXPECT_FALSE(IsSafeLinkName("a/b"));
  EXPECT_FALSE(CreateShortcut(env_, "..\\..\\x", "C:\\x.exe", "", "", "", lnkPrograms, "Game",
                              TWindowState::wsNormal, 0, 0));
  EXPECT_FALSE(Exists(programs + "\\Game"));
}

TEST_F(ShellLinkTest, LinkPathBeyondThePathLimit_CreatesNothing) {
  const std::string programs = kPrograms;  // 67 characters
  const std::string sub_dir = std::string(90, 'a') + "\\" + std::string(90, 'b');
  // 67 + 1 + 181 + 1 + name + 4: 260 UTF-16 units with a 6-character name, 259 with 5,
  // however many bytes the names take.
  EXPECT_FALSE(CreateShortcut(env_, "ソフトウエア", "C:\\x.exe", "", "", "", lnkPrograms, sub_dir,
                              TWindowState::wsNormal, 0, 0));
  EXPECT_FALSE(Exists(programs + "\\" + std::string(90, 'a')));
  EXPECT_TRUE(CreateShortcut(env_, "ソフトウエ", "C:\\x.exe", "", "", "", lnkPrograms, sub_dir,
                             TWindowState::wsNormal, 0, 0));
}

TEST_F(ShellLinkTest, ShellFailures_RaiseShellLinkErrors) {
  TShellLink link(env_);
  link.LinkType = lnkFonts;
  link.SubDir = "x";
  EXPECT_THROW(link.CreateLink(), EShellLinkError);
  EXPECT_THROW(link.DeleteFolder(), EShellLinkError);
  env_.shell().SetLinkObjectMissing(true);
  try {
    CreateShortcut(env_, "x", "C:\\x.exe", "", "", "", lnkPrograms, "x", TWindowState::wsNormal, 0,
                   0);
    FAIL();
  } catch (const EShellLinkError& error) {
    EXPECT_EQ(error.message(), "Error in QueryInterface");
  }
}

TEST(FileOperationTest, OptionsBecomeTheShellsFlagWord) {
  EXPECT_EQ(TFileOperation::FlagWord(TFileOpFlags{fofAllowUndo, fofFilesOnly}), 0x00C0);
  EXPECT_EQ(TFileOperation::FlagWord(TFileOpFlags{fofSilent, fofNoConfirmation, fofFilesOnly}),
            0x0094);
  EXPECT_EQ(
      TFileOperation::FlagWord(TFileOpFlags{fofWantMappingHandle, fofNoErrorUI, fofMultiDestFiles}),
      0x0401);

  platform::MemoryEnv env;
  ASSERT_TRUE(env.files().PutFile("C:\\a.txt", "a"));
  TFileOperation operation(env);
  operation.Options = TFileOpFlags{fofSimpleProgress};
  operation.Title = "コピー";
  EXPECT_FALSE(operation.Execute(platform::FileOperationCode::kCopy, {"C:\\a.txt"}, {"C:\\b.txt"}));
  EXPECT_TRUE(env.files().FileExists("C:\\b.txt"));
  ASSERT_EQ(env.shell().FileOperations().size(), 1u);
  EXPECT_EQ(env.shell().FileOperations()[0].flags, 0x0100);
  EXPECT_EQ(env.shell().FileOperations()[0].progress_title, "コピー");
}

}  // namespace
}  // namespace koru
