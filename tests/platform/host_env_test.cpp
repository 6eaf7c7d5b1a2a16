// What only the host Env must do: where Windows paths land on the disc, names found
// in another case, the registry file, and mutexes seen across processes.
#include "platform/host/host_env.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/simulated_system.h"
#include "platform_host_temp_folder.h"

namespace koru::platform {
namespace {

using testing::HostTempFolder;

bool NativeExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

void WriteNative(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

OpenOptions Creating() {
  OpenOptions options;
  options.access = FileAccess::kWrite;
  options.disposition = FileDisposition::kCreateAlways;
  options.write_through = true;
  return options;
}

TEST(HostEnvTest, DrivePathsLandUnderTheRootInUtf8) {
  HostTempFolder temp;
  HostEnv env(temp.path() + "/root", "tester");
  ASSERT_TRUE(env.files().MakeDirectories("C:\\Program Files\\ソフト"));
  {
    auto file = env.files().OpenFile("c:\\Program Files\\ソフト\\表示.txt", Creating());
    file->WriteExact("x", 1);
    file->Flush();
  }
  // Literals are Shift-JIS; the disc holds UTF-8.
  const std::string native =
      temp.path() + SjisToUtf8("/root/drive_c/Program Files/ソフト/表示.txt");
  EXPECT_TRUE(NativeExists(native));
  EXPECT_EQ(env.files().NativePath("C:\\program files\\ソフト\\..\\ソフト\\表示.TXT"), native);
  EXPECT_FALSE(env.files().DirectoryExists("D:\\"));
  EXPECT_EQ(env.system().TempFolder(), "C:\\users\\tester\\Temp\\");
  EXPECT_TRUE(NativeExists(temp.path() + "/root/drive_c/users/tester/Temp"));
}

TEST(HostEnvTest, NativePathsAreUsedAsGivenWithBackslashes) {
  HostTempFolder temp;
  HostEnv env(temp.path() + "/root", "tester");
  WriteNative(temp.path() + "/Native File.TXT", "native");
  const std::string windows_form = ReplaceChar(temp.path(), '/', '\\');
  EXPECT_TRUE(env.files().FileExists(windows_form + "\\native file.txt"));
  EXPECT_EQ(env.files().GetFileSize(windows_form + "\\NATIVE FILE.txt"), 6);
  const auto entries = env.files().ListDirectory(windows_form);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Native File.TXT");
  EXPECT_EQ(entries[1].name, "root");
  // The running program is named in the same form.
  EXPECT_TRUE(env.files().FileExists(env.system().ExecutablePath()));
}

TEST(HostEnvTest, ListingGivesShiftJisNamesAndNoHiddenBitForDotNames) {
  HostTempFolder temp;
  HostEnv env(temp.path() + "/root", "tester");
  ASSERT_TRUE(env.files().MakeDirectory("C:\\d"));
  WriteNative(temp.path() + "/root/drive_c/d/.hidden", "");
  WriteNative(temp.path() + "/root/drive_c/d/" + SjisToUtf8("日本語.txt"), "abc");
  const auto entries = env.files().ListDirectory("C:\\d");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, ".hidden");
  EXPECT_EQ(entries[0].attributes, static_cast<uint32_t>(kAttrArchive));
  EXPECT_EQ(entries[1].name, "日本語.txt");
  EXPECT_EQ(entries[1].size, 3);
}

TEST(HostEnvTest, CopyKeepsTheHolesOfASparseFile) {
  HostTempFolder temp;
  HostEnv env(temp.path() + "/root", "tester");
  {
    auto file = env.files().OpenFile("C:\\sparse.bin", Creating());
    file->SetPosition(3ll << 30);
    file->WriteExact("end", 3);
  }
  ASSERT_TRUE(env.files().CopyFileTo("C:\\sparse.bin", "C:\\copy.bin", true));
  struct stat st;
  ASSERT_EQ(::stat((temp.path() + "/root/drive_c/copy.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, (3ll << 30) + 3);
  EXPECT_LT(st.st_blocks * 512, 64ll << 20);
}

TEST(HostEnvTest, RegistrySavesAndLoadsWithTheRestartList) {
  HostTempFolder temp;
  const std::string file = temp.path() + "/registry.txt";
  {
    HostEnv env(temp.path() + "/root", "tester");
    env.registry()
        .OpenKey(RegistryRoot::kCurrentUser, "Software\\Maker\\ゲーム", true, true)
        ->WriteString("InstallPath", "C:\\ゲーム");
    ASSERT_TRUE(env.system().DeleteAtRestart("C:\\users\\tester\\Temp\\~kinstall.exe"));
    ASSERT_TRUE(env.SaveRegistry(file));
  }
  HostEnv env(temp.path() + "/root", "tester");
  ASSERT_TRUE(env.LoadRegistry(file));
  auto key =
      env.registry().OpenKey(RegistryRoot::kCurrentUser, "Software\\Maker\\ゲーム", false, false);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ReadValue("InstallPath")->data, "C:\\ゲーム");
  EXPECT_NE(env.registry()
                .OpenKey(RegistryRoot::kLocalMachine, kSessionManagerKey, false, false)
                ->ReadValue(kPendingRenameValue),
            std::nullopt);
  EXPECT_FALSE(env.LoadRegistry(temp.path() + "/none.txt"));
  WriteNative(temp.path() + "/bad.txt", "garbage\n");
  EXPECT_THROW(env.LoadRegistry(temp.path() + "/bad.txt"), KoruError);
  EXPECT_NE(env.registry().OpenKey(RegistryRoot::kCurrentUser, "Software\\Maker", false, false),
            nullptr);
}

TEST(HostEnvTest, KeptRegistryIsSavedWhenTheEnvEnds) {
  HostTempFolder temp;
  const std::string file = temp.path() + "/kept.txt";
  {
    HostEnv env(temp.path() + "/root", "tester");
    env.KeepRegistryIn(file);
    env.registry()
        .OpenKey(RegistryRoot::kCurrentUser, "Software\\K", true, true)
        ->WriteString("v", "1");
  }
  HostEnv env(temp.path() + "/root", "tester");
  env.KeepRegistryIn(file);
  EXPECT_NE(env.registry().OpenKey(RegistryRoot::kCurrentUser, "Software\\K", false, false),
            nullptr);
}

// The tool's Env leaves no trace for work with native paths alone, keeps a damaged registry
// file as it is, and saves the registry only when it changed.
TEST(HostEnvTest, RootMadeOnUseAndRegistryFileKeptUnlessChanged) {
  HostTempFolder temp;
  const std::string root = temp.path() + "/home/root";
  const std::string file = root + "/registry.txt";
  {
    HostEnv env(root, "tester", /*make_root_on_use=*/true);
    env.KeepRegistryIn(file);
    EXPECT_FALSE(env.files().FileExists(temp.path() + "/none"));
    env.system().ProbeMutex("");
  }
  struct stat info;
  EXPECT_NE(::stat((temp.path() + "/home").c_str(), &info), 0);
  {
    HostEnv env(root, "tester", /*make_root_on_use=*/true);
    EXPECT_TRUE(env.files().MakeDirectory("C:\\game"));
    EXPECT_TRUE(env.files().DirectoryExists("C:\\users\\tester"));
  }
  EXPECT_NE(::stat(file.c_str(), &info), 0);

  WriteNative(file, "garbage\n");
  {
    HostEnv env(root, "tester", /*make_root_on_use=*/true);
    env.KeepRegistryIn(file);
    EXPECT_THROW(env.registry(), KoruError);
  }
  std::ifstream kept(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "garbage\n");
}

// A child process holds the mutex until the parent writes to the pipe.
TEST(HostEnvTest, MutexOfAnotherProcessWithTheSameRootIsSeen) {
  HostTempFolder temp;
  const std::string root = temp.path() + "/root";
  HostEnv env(root, "tester");
  int ready[2];
  int release[2];
  ASSERT_EQ(::pipe(ready), 0);
  ASSERT_EQ(::pipe(release), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HostEnv other(root, "tester");
    bool existed = false;
    auto mutex = other.system().CreateNamedMutex("Title ゲーム", &existed);
    char byte = mutex && !existed ? 'y' : 'n';
    (void)!::write(ready[1], &byte, 1);
    (void)!::read(release[0], &byte, 1);
    ::_exit(0);
  }
  char answer = 0;
  ASSERT_EQ(::read(ready[0], &answer, 1), 1);
  EXPECT_EQ(answer, 'y');
  EXPECT_EQ(env.system().ProbeMutex("Title ゲーム"), MutexProbe::kOpened);
  EXPECT_EQ(env.system().ProbeMutex("title ゲーム"), MutexProbe::kAbsent);
  bool existed = false;
  auto mine = env.system().CreateNamedMutex("Title ゲーム", &existed);
  EXPECT_NE(mine, nullptr);
  EXPECT_TRUE(existed);
  mine.reset();
  ASSERT_EQ(::write(release[1], "x", 1), 1);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(env.system().ProbeMutex("Title ゲーム"), MutexProbe::kAbsent);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

TEST(HostEnvTest, DefaultEnvLivesUnderKoruHostRoot) {
  HostTempFolder temp;
  ASSERT_EQ(::setenv("KORU_HOST_ROOT", (temp.path() + "/default").c_str(), 1), 0);
  Env& env = DefaultEnv();
  EXPECT_EQ(&env, &DefaultEnv());
  const std::string folder = env.system().TempFolder();
  EXPECT_TRUE(env.files().DirectoryExists(folder));
  EXPECT_TRUE(NativeExists(temp.path() + "/default/drive_c/users"));
  ::unsetenv("KORU_HOST_ROOT");
}

}  // namespace
}  // namespace koru::platform
