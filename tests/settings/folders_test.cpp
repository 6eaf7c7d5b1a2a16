#include "settings/folders.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/memory/memory_env.h"

namespace koru {
namespace {

using platform::kAttrArchive;
using platform::kAttrHidden;
using platform::kAttrNormal;
using platform::kAttrReadOnly;
using platform::kAttrSystem;
using platform::MemoryEnv;
using platform::RegistryRoot;
using platform::RegistryValueType;
using Strings = std::vector<std::string>;

class ListFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Put("C:\\g\\a.txt", kAttrArchive);
    Put("C:\\g\\B.EXE", kAttrNormal);  // a plain file: no attribute 0x01..0x20
    Put("C:\\g\\h.exe", kAttrHidden | kAttrReadOnly);
    Put("C:\\g\\sub\\c.Exe", kAttrSystem);
    Put("C:\\g\\sub\\deeper\\d.txt", kAttrArchive);
  }
  void Put(const std::string& path, uint32_t attributes) {
    ASSERT_TRUE(env_.files().PutFile(path, "x"));
    ASSERT_TRUE(env_.files().SetAttributes(path, attributes));
  }
  Strings List(const std::string& folder, uint32_t mask, bool plain, const std::string& ext,
               bool mark, bool recurse) {
    Strings list;
    ListFolder(env_, folder, mask, plain, ext, /*clear=*/false, mark, recurse, list, true);
    return list;
  }

  MemoryEnv env_;
};

TEST_F(ListFolderTest, AllFilesMaskWithPlainTakesEveryFileAndNoFolder) {
  EXPECT_EQ(List("C:\\g", kListAllFilesMask, true, "", false, false),
            (Strings{"C:\\g\\a.txt", "C:\\g\\B.EXE", "C:\\g\\h.exe"}));
  // Without plain, a file carrying none of the listed attributes is left out.
  EXPECT_EQ(List("C:\\g\\", kListAllFilesMask, false, "", false, false),
            (Strings{"C:\\g\\a.txt", "C:\\g\\h.exe"}));
}

TEST_F(ListFolderTest, ExtensionIgnoresCaseAndNeverFiltersFolders) {
  EXPECT_EQ(List("C:\\g", kListAllFilesMask, true, ".exe", false, false),
            (Strings{"C:\\g\\B.EXE", "C:\\g\\h.exe"}));
  EXPECT_EQ(List("C:\\g", kListAllFilesMask | platform::kAttrDirectory, true, ".exe", true, false),
            (Strings{"C:\\g\\B.EXE", "C:\\g\\h.exe", "C:\\g\\sub\\"}));
}

TEST_F(ListFolderTest, RecursionMarksFoldersAndKeepsEarlierEntries) {
  Strings list = {"kept"};
  ListFolder(env_, "C:\\g", kListAllFilesMask | platform::kAttrDirectory, true, "", false,
             /*mark=*/false, /*recurse=*/true, list, /*clear_list=*/false);
  EXPECT_EQ(list,
            (Strings{"kept", "C:\\g\\a.txt", "C:\\g\\B.EXE", "C:\\g\\h.exe", "C:\\g\\sub",
                     "C:\\g\\sub\\c.Exe", "C:\\g\\sub\\deeper\\", "C:\\g\\sub\\deeper\\d.txt"}));
}

TEST_F(ListFolderTest, ClearRemovesReadOnlyAndHiddenOnly) {
  Put("C:\\g\\s.bin", kAttrSystem | kAttrHidden);
  Strings list;
  ListFolder(env_, "C:\\g", kListAllFilesMask, true, "", /*clear=*/true, false, true, list, true);
  EXPECT_EQ(env_.files().GetAttributes("C:\\g\\h.exe"), kAttrNormal);
  EXPECT_EQ(env_.files().GetAttributes("C:\\g\\s.bin"), kAttrSystem);
  EXPECT_EQ(env_.files().GetAttributes("C:\\g\\a.txt"), kAttrArchive);
}

TEST_F(ListFolderTest, FolderEndingInSoIsJoinedWithABackslash) {
  Put("C:\\ソ\\x.txt", kAttrArchive);
  EXPECT_EQ(List("C:\\ソ", kListAllFilesMask, true, "", false, false), (Strings{"C:\\ソ\\x.txt"}));
  EXPECT_TRUE(List("C:\\missing", kListAllFilesMask, true, "", false, false).empty());
}

TEST(SystemFoldersTest, SpecialFolderAndSystemDrive) {
  MemoryEnv env;
  EXPECT_EQ(GetSpecialFolder(env, platform::kCsidlProgramFiles), "C:\\Program Files");
  EXPECT_THROW(GetSpecialFolder(env, 9999), KoruError);
  EXPECT_EQ(GetSystemDriveName(env), "C:");
}

// The memory environment lists one profile: C:\users\test, whose local application data
// folder is %USERPROFILE%\AppData\Local.
class ResolveUserFoldersTest : public ::testing::Test {
 protected:
  static constexpr const char* kProfileList =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  static constexpr const char* kShellFolders =
      "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

  void AddProfile(const std::string& sid, const std::string& image_path) {
    auto key = env_.registry().OpenKey(RegistryRoot::kLocalMachine,
                                       std::string(kProfileList) + "\\" + sid, true, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(
        key->WriteValue("ProfileImagePath", {RegistryValueType::kExpandString, image_path}));
  }
  void SetLocalAppData(const std::string& user, const std::string& value) {
    auto key = env_.registry().OpenKey(RegistryRoot::kUsers, user + kShellFolders, true, true);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->WriteValue("Local AppData", {RegistryValueType::kExpandString, value}));
  }
  void MakeFolder(const std::string& path) { ASSERT_TRUE(env_.files().MakeDirectories(path)); }

  MemoryEnv env_;
  Strings list_;
};

TEST_F(ResolveUserFoldersTest, ColonAndQuestionMarkBecomeUnderscores) {
  MakeFolder("C:\\users\\test\\AppData\\Local\\Game_ 2_");
  list_ = {"earlier"};
  EXPECT_EQ(ResolveUserFolders(env_, "Game: 2?", list_), 2);
  EXPECT_EQ(list_, (Strings{"earlier", "C:\\users\\test\\AppData\\Local\\Game_ 2_\\"}));
}

TEST_F(ResolveUserFoldersTest, EveryUnsafeCharacterIsReplacedButDoubleByteCharactersStay) {
  MakeFolder("C:\\users\\test\\AppData\\Local\\ソ___________");
  EXPECT_EQ(ResolveUserFolders(env_, "ソ\\/:,;*?\"<>|", list_), 1);
}

TEST_F(ResolveUserFoldersTest, SystemDriveIsExpandedAndDefaultShellFoldersServeAsFallback) {
  AddProfile("S-2", "%SystemDrive%\\users\\second\\");
  MakeFolder("C:\\users\\second");
  SetLocalAppData(".Default", "%USERPROFILE%\\Local Settings");
  MakeFolder("C:\\users\\second\\Local Settings\\Game");
  MakeFolder("C:\\users\\test\\AppData\\Local\\Game");
  EXPECT_EQ(ResolveUserFolders(env_, "Game", list_), 2);
  // In the order the registry lists the users: S-1-5-... before S-2.
  EXPECT_EQ(list_, (Strings{"C:\\users\\test\\AppData\\Local\\Game\\",
                            "C:\\users\\second\\Local Settings\\Game\\"}));
}

TEST_F(ResolveUserFoldersTest, OtherVariablesAreNotExpanded) {
  AddProfile("S-2", "%HOMEDRIVE%\\users\\second");
  MakeFolder("C:\\users\\second\\AppData\\Local\\Game");
  SetLocalAppData("S-2", "%USERPROFILE%\\AppData\\Local");
  // The first profile's shell folder is not below %USERPROFILE%: nothing either.
  SetLocalAppData("S-1-5-21-0-0-0-1000", "%LOCALAPPDATA%");
  MakeFolder("C:\\users\\test\\AppData\\Local\\Game");
  EXPECT_EQ(ResolveUserFolders(env_, "Game", list_), 0);
}

TEST_F(ResolveUserFoldersTest, NothingWithoutProfileListOrName) {
  list_ = {"earlier"};
  EXPECT_EQ(ResolveUserFolders(env_, "", list_), 0);
  ASSERT_TRUE(env_.registry().DeleteKeyTree(RegistryRoot::kLocalMachine,
                                            "Software\\Microsoft\\Windows NT\\CurrentVersion",
                                            "ProfileList"));
  MakeFolder("C:\\users\\test\\AppData\\Local\\Game");
  EXPECT_EQ(ResolveUserFolders(env_, "Game", list_), 0);
  EXPECT_EQ(list_, Strings{"earlier"});
}

TEST_F(ResolveUserFoldersTest, NameOfDotsNeverNamesTheFolderAbove) {
  MakeFolder("C:\\users\\test\\AppData\\Local");
  for (const char* name : {".", "..", ". ."}) {
    EXPECT_EQ(ResolveUserFolders(env_, name, list_), 0) << name;
  }
  EXPECT_TRUE(list_.empty());
}

}  // namespace
}  // namespace koru
