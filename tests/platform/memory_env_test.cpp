// What only the in-memory Env offers or must keep: its controls for tests, sparse
// contents, the registry's text form.
#include "platform/memory/memory_env.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/dos_time.h"
#include "platform/memory/sparse_bytes.h"

namespace koru::platform {
namespace {

OpenOptions Writing() {
  OpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kOpenAlways;
  options.share = FileShare::kNone;
  return options;
}

TEST(SparseBytesTest, ShrinkThenGrowReadsZerosWhereBytesWere) {
  SparseBytes bytes;
  const std::string text(100, 'x');
  bytes.Write(SparseBytes::kPageSize - 50, text.data(), 100);  // across a page boundary
  EXPECT_EQ(bytes.size(), SparseBytes::kPageSize + 50);
  bytes.Resize(SparseBytes::kPageSize - 10);
  bytes.Resize(SparseBytes::kPageSize + 50);
  std::string back(100, '?');
  EXPECT_EQ(bytes.Read(SparseBytes::kPageSize - 50, back.data(), 100), 100);
  EXPECT_EQ(back, std::string(40, 'x') + std::string(60, '\0'));
  SparseBytes copy = bytes;
  bytes.Write(0, "a", 1);
  char first = '?';
  copy.Read(0, &first, 1);
  EXPECT_EQ(first, '\0');
}

TEST(MemoryFileSystemTest, ClockStampsCreatedAndWrittenFiles) {
  MemoryEnv env;
  const uint32_t created = *PackDosTime({2001, 2, 3, 4, 5, 6});
  const uint32_t written = *PackDosTime({2002, 3, 4, 5, 6, 8});
  env.files().SetClock(created);
  auto file = env.files().OpenFile("C:\\a.txt", Writing());
  EXPECT_EQ(env.files().GetFileDosTime("C:\\a.txt"), created);
  env.files().SetClock(written);
  file->WriteExact("x", 1);
  EXPECT_EQ(env.files().GetFileDosTime("C:\\a.txt"), written);
}

TEST(MemoryFileSystemTest, DrivesExistOnlyWhenAddedAndReportTheirFreeSpace) {
  MemoryEnv env;
  EXPECT_FALSE(env.files().DirectoryExists("D:\\"));
  EXPECT_FALSE(env.files().PutFile("D:\\x.dat", "x"));
  EXPECT_EQ(env.files().FreeBytes("D:\\"), std::nullopt);
  env.files().AddDrive('D', 1234);
  EXPECT_TRUE(env.files().DirectoryExists("d:\\"));
  EXPECT_EQ(env.files().FreeBytes("D:\\game\\not yet"), 1234u);
  EXPECT_TRUE(env.files().SetFreeBytes('c', 99));
  EXPECT_EQ(env.files().FreeBytes("C:\\"), 99u);
  EXPECT_TRUE(env.files().PutFile("D:\\disc\\sub\\game.dat", "data"));
  EXPECT_EQ(env.files().FileContents("d:\\DISC\\sub\\GAME.DAT"), "data");
}

TEST(MemoryFileSystemTest, RefusesWildcardsAndMovesThatCannotBe) {
  MemoryEnv env;
  EXPECT_FALSE(env.files().PutFile("C:\\a*b.txt", "x"));
  EXPECT_FALSE(env.files().MakeDirectory("C:\\what?"));
  ASSERT_TRUE(env.files().MakeDirectories("C:\\a\\b"));
  EXPECT_FALSE(env.files().MoveFileTo("C:\\a", "C:\\a\\b\\c"));
  EXPECT_FALSE(env.files().MoveFileTo("C:\\a", "C:\\"));
  env.files().AddDrive('D');
  EXPECT_FALSE(env.files().MoveFileTo("C:\\a", "D:\\a"));
  ASSERT_TRUE(env.files().PutFile("C:\\a\\b\\f.txt", "x"));
  {
    auto open = env.files().OpenFile("C:\\a\\b\\f.txt", Writing());
    EXPECT_FALSE(env.files().MoveFileTo("C:\\a", "C:\\z"));
    EXPECT_FALSE(env.files().MoveFileTo("C:\\a\\b\\f.txt", "C:\\f.txt"));
  }
  EXPECT_TRUE(env.files().MoveFileTo("C:\\a\\b\\f.txt", "D:\\f.txt"));
  EXPECT_TRUE(env.files().MoveFileTo("C:\\a", "C:\\A"));
  EXPECT_EQ(env.files().ListDirectory("C:\\").at(0).name, "A");
}

TEST(MemorySystemTest, RecordsPausesShellOpensAndRestartDeletions) {
  MemoryEnv env;
  env.system().SleepMs(500);
  env.system().SleepMs(2000);
  EXPECT_EQ(env.system().Sleeps(), (std::vector<uint32_t>{500, 2000}));
  EXPECT_EQ(env.system().TotalSleepMs(), 2500u);
  ASSERT_TRUE(env.files().PutFile("C:\\Game\\game.exe", "MZ"));
  EXPECT_EQ(env.shell().ShellOpen("C:\\Game\\game.exe", "-x", "C:\\Game", 5), 33);
  EXPECT_EQ(env.shell().ShellOpen("C:\\Game\\none.exe", "", "", 5), 2);
  ASSERT_EQ(env.shell().ShellOpens().size(), 2u);
  EXPECT_EQ(env.shell().ShellOpens()[0].parameters, "-x");
  EXPECT_EQ(env.shell().ShellOpens()[0].directory, "C:\\Game");
  EXPECT_EQ(env.shell().ShellOpens()[1].result, 2);
  EXPECT_TRUE(env.system().DeleteAtRestart("C:\\users\\test\\Temp\\~kinstall.exe"));
  EXPECT_TRUE(env.system().DeleteAtRestart("C:\\users\\test\\Temp\\~kinstall0.exe"));
  EXPECT_EQ(env.system().RestartDeletions().size(), 2u);
  EXPECT_EQ(env.system().TempFolder(), "C:\\users\\test\\Temp\\");
}

TEST(MemorySystemTest, ResourcesAreFoundByNameAndTypeIgnoringCase) {
  MemoryEnv env;
  env.system().AddResource("", "DUMMY", "BINTYPE", {'v', 'f'});
  env.system().AddResource("D:\\other.exe", "dummy", "bintype", {'x'});
  bool loaded = false;
  auto own = env.system().LoadModuleResource("", "dummy", "BinType", &loaded);
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(own->data()), own->size()), "vf");
  auto by_path =
      env.system().LoadModuleResource(env.system().ExecutablePath(), "DUMMY", "BINTYPE", &loaded);
  EXPECT_NE(by_path, nullptr);
  EXPECT_NE(env.system().LoadModuleResource("d:\\OTHER.exe", "DUMMY", "BINTYPE", &loaded), nullptr);
  EXPECT_EQ(env.system().LoadModuleResource("C:\\none.dll", "DUMMY", "BINTYPE", &loaded), nullptr);
  EXPECT_FALSE(loaded);
  ASSERT_TRUE(env.files().PutFile("C:\\plain.dll", "MZ"));
  EXPECT_EQ(env.system().LoadModuleResource("C:\\plain.dll", "DUMMY", "BINTYPE", &loaded), nullptr);
  EXPECT_TRUE(loaded);
}

TEST(MemorySystemTest, ProfileIsSeededAsWindowsListsIt) {
  MemoryEnv env;
  auto list = env.registry().OpenKey(
      RegistryRoot::kLocalMachine, "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
      false, false);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->SubkeyNames().size(), 1u);
  auto profile = env.registry().OpenKey(
      RegistryRoot::kLocalMachine,
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + list->SubkeyNames()[0],
      false, false);
  ASSERT_NE(profile, nullptr);
  const std::string folder = profile->ReadValue("ProfileImagePath")->data;
  EXPECT_TRUE(env.files().DirectoryExists(folder));
  auto shell =
      env.registry().OpenKey(RegistryRoot::kUsers,
                             list->SubkeyNames()[0] +
                                 "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User "
                                 "Shell Folders",
                             false, false);
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(shell->ReadValue("Local AppData")->type, RegistryValueType::kExpandString);
}

TEST(MemorySystemTest, MutexHeldElsewhereIsSeen) {
  MemoryEnv env;
  env.system().HoldMutexElsewhere("C:-GAME-TITLE-", true);
  EXPECT_EQ(env.system().ProbeMutex("C:-GAME-TITLE-"), MutexProbe::kOpened);
  bool existed = false;
  EXPECT_NE(env.system().CreateNamedMutex("C:-GAME-TITLE-", &existed), nullptr);
  EXPECT_TRUE(existed);
  env.system().HoldMutexElsewhere("C:-GAME-TITLE-", false);
  EXPECT_EQ(env.system().ProbeMutex("C:-GAME-TITLE-"), MutexProbe::kAbsent);
  auto unnamed = env.system().CreateNamedMutex("", &existed);
  EXPECT_NE(unnamed, nullptr);
  EXPECT_FALSE(existed);
  EXPECT_EQ(env.system().ProbeMutex(""), MutexProbe::kAbsent);
  env.system().HoldMutexElsewhere("C:-ADMIN-", true, /*deny_access=*/true);
  EXPECT_EQ(env.system().ProbeMutex("C:-ADMIN-"), MutexProbe::kAccessDenied);
}

TEST(MemoryRegistryTest, TextFormKeepsEveryKindOfValue) {
  MemoryRegistry registry;
  auto key =
      registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\メーカー\\ゲーム表示", true, true);
  ASSERT_NE(key, nullptr);
  key->WriteString("InstallPath", "C:\\ゲーム\\ソフト");
  key->WriteString("odd \"name\" 100%", "line1\nline2=\"x\"");
  key->WriteValue("Local", {RegistryValueType::kExpandString, "%USERPROFILE%\\AppData"});
  key->WriteValue("Bytes", {RegistryValueType::kOther, std::string("\x00\xFF\x10", 3)});
  key->WriteString("", "default");
  registry.OpenKey(RegistryRoot::kUsers, ".Default\\Empty", true, true);
  const std::string text = registry.Serialize();

  MemoryRegistry copy;
  copy.Deserialize(text);
  EXPECT_EQ(copy.Serialize(), text);
  auto read =
      copy.OpenKey(RegistryRoot::kCurrentUser, "software\\メーカー\\ゲーム表示", false, false);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->ValueNames(),
            (std::vector<std::string>{"InstallPath", "odd \"name\" 100%", "Local", "Bytes", ""}));
  EXPECT_EQ(read->ReadValue("odd \"name\" 100%")->data, "line1\nline2=\"x\"");
  EXPECT_EQ(read->ReadValue("Bytes")->data, std::string("\x00\xFF\x10", 3));
  EXPECT_NE(copy.OpenKey(RegistryRoot::kUsers, ".DEFAULT\\empty", false, false), nullptr);
}

TEST(MemoryRegistryTest, DamagedTextIsRefusedAndChangesNothing) {
  MemoryRegistry registry;
  registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\Kept", true, true)->WriteString("a", "b");
  for (const char* text :
       {"\"a\"=sz:b\n", "[HKEY_NOWHERE\\x]\n", "[HKEY_USERS\\x]\n\"a\"=dword:1\n",
        "[HKEY_USERS\\x]\n\"a\"=hex:1\n", "[HKEY_USERS\\x]\n\"a\"=sz:%4\n", "[HKEY_USERS\\x\n",
        "[HKEY_USERS\\x]\n\"=sz:b\n"}) {
    EXPECT_THROW(registry.Deserialize(text), KoruError) << text;
  }
  EXPECT_NE(registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\Kept", false, false), nullptr);
}

TEST(MemoryRegistryTest, KeyOfDeletedTreeRefusesWrites) {
  MemoryRegistry registry;
  auto key = registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\A\\B", true, true);
  ASSERT_NE(key, nullptr);
  ASSERT_TRUE(registry.DeleteKeyTree(RegistryRoot::kCurrentUser, "Software", "A"));
  EXPECT_FALSE(key->WriteString("x", "y"));
  EXPECT_EQ(registry.OpenKey(RegistryRoot::kCurrentUser, "Software\\A\\B", false, false), nullptr);
  EXPECT_FALSE(registry.DeleteKeyTree(RegistryRoot::kCurrentUser, "Software", ""));
}

}  // namespace
}  // namespace koru::platform
