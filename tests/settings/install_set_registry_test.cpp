#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/memory/memory_env.h"
#include "settings/install_dat_writer.h"
#include "settings/install_set.h"

namespace koru {
namespace {

using platform::MemoryEnv;
using platform::RegistryRoot;
using platform::RegistryValueType;

class InstallSetRegistryTest : public ::testing::Test {
 protected:
  InstallSetRegistryTest() { settings_.RegistryKey = "\\Maker\\Game"; }

  std::unique_ptr<platform::RegistryKey> Open(const std::string& path) {
    return env_.registry().OpenKey(RegistryRoot::kCurrentUser, path, false, false);
  }
  void Create(const std::string& path, const std::string& value_name = "") {
    auto key = env_.registry().OpenKey(RegistryRoot::kCurrentUser, path, true, true);
    ASSERT_TRUE(key);
    if (!value_name.empty()) {
      ASSERT_TRUE(key->WriteString(value_name, "v"));
    }
  }

  MemoryEnv env_;
  TKoruInstallSet settings_;
};

TEST_F(InstallSetRegistryTest, WriteCreatesTheKeyAndReadFindsIt) {
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegInstallPath, "default"), "default");
  settings_.WriteRegValue(env_, kRegInstallPath, "C:\\Game\\ソ\\");
  auto key = Open("Software\\Maker\\Game");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadValue(kRegInstallPath)->type, RegistryValueType::kString);
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegInstallPath, ""), "C:\\Game\\ソ\\");
  // Without the leading backslash the key is the same one.
  settings_.RegistryKey = "Maker\\Game";
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegInstallPath, ""), "C:\\Game\\ソ\\");
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegCdDrive, "none"), "none");
}

TEST_F(InstallSetRegistryTest, ValueOfAnotherTypeIsAnError) {
  Create("Software\\Maker\\Game");
  auto key =
      env_.registry().OpenKey(RegistryRoot::kCurrentUser, "Software\\Maker\\Game", false, true);
  // An expandable string is still a string.
  ASSERT_TRUE(key->WriteValue(kRegCdDrive, {RegistryValueType::kExpandString, "%X%"}));
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegCdDrive, ""), "%X%");
  ASSERT_TRUE(key->WriteValue(kRegInstallPath, {RegistryValueType::kOther, "\x01\x00"}));
  try {
    settings_.ReadRegValue(env_, kRegInstallPath, "");
    ADD_FAILURE() << "a binary value was read as text";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(), "'InstallPath' のデータ型が不正です");
  }
}

TEST_F(InstallSetRegistryTest, EmptyRegistryKeyTouchesNothing) {
  settings_.RegistryKey.clear();
  const std::string before = env_.registry().Serialize();
  EXPECT_EQ(settings_.ReadRegValue(env_, kRegInstallPath, "d"), "d");
  settings_.WriteRegValue(env_, kRegInstallPath, "x");
  settings_.DeleteRegistryKey(env_);
  EXPECT_EQ(env_.registry().Serialize(), before);
}

// A registry that refuses to create keys, as a user without rights would see it.
class RefusingRegistry : public platform::Registry {
 public:
  explicit RefusingRegistry(platform::Registry& inner) : inner_(inner) {}
  std::unique_ptr<platform::RegistryKey> OpenKey(RegistryRoot root, const std::string& path,
                                                 bool create, bool writable) override {
    return writable ? nullptr : inner_.OpenKey(root, path, create, writable);
  }
  bool DeleteKeyTree(RegistryRoot, const std::string&, const std::string&) override {
    return false;
  }

 private:
  platform::Registry& inner_;
};

class RefusingEnv : public platform::Env {
 public:
  platform::FileSystem& files() override { return inner_.files(); }
  platform::Registry& registry() override { return registry_; }
  platform::System& system() override { return inner_.system(); }
  platform::Shell& shell() override { return inner_.shell(); }

 private:
  MemoryEnv inner_;
  RefusingRegistry registry_{inner_.registry()};
};

TEST_F(InstallSetRegistryTest, WriteThatCannotBeDoneIsReported) {
  RefusingEnv refusing;
  try {
    settings_.WriteRegValue(refusing, kRegCdDrive, "D:");
    ADD_FAILURE() << "the refused write passed for a success";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(), "'CDDrive' の設定に失敗しました");
  }
}

TEST_F(InstallSetRegistryTest, DeleteRemovesTheKeyTreeAndEmptiedParents) {
  Create("Software\\Other", "x");
  Create("Software\\Maker\\Game\\Sub\\Deeper", "y");
  settings_.WriteRegValue(env_, kRegInstallPath, "C:\\Game\\");
  settings_.DeleteRegistryKey(env_);
  EXPECT_FALSE(Open("Software\\Maker\\Game"));
  EXPECT_FALSE(Open("Software\\Maker"));
  EXPECT_TRUE(Open("Software\\Other"));

  // Software itself stays even when nothing else is left in it.
  TKoruInstallSet only;
  only.RegistryKey = "Only";
  env_.registry().DeleteKeyTree(RegistryRoot::kCurrentUser, "Software", "Other");
  only.WriteRegValue(env_, kRegCdDrive, "");
  only.DeleteRegistryKey(env_);
  EXPECT_FALSE(Open("Software\\Only"));
  EXPECT_TRUE(Open("Software"));
}

TEST_F(InstallSetRegistryTest, DeleteStopsAtAParentWithOtherContent) {
  settings_.RegistryKey = "\\A\\B\\C\\Game";
  settings_.WriteRegValue(env_, kRegInstallPath, "C:\\Game\\");
  Create("Software\\A\\Sibling");
  settings_.DeleteRegistryKey(env_);
  EXPECT_FALSE(Open("Software\\A\\B"));
  EXPECT_TRUE(Open("Software\\A\\Sibling"));

  Create("Software\\A\\B\\C\\Game");
  Create("Software\\A\\B", "value");
  settings_.DeleteRegistryKey(env_);
  EXPECT_FALSE(Open("Software\\A\\B\\C"));
  EXPECT_TRUE(Open("Software\\A\\B"));
}

TEST_F(InstallSetRegistryTest, TrailingBackslashNamesTheSameKey) {
  settings_.RegistryKey = "\\Maker\\Game\\";
  settings_.WriteRegValue(env_, kRegCdDrive, "D:");
  EXPECT_TRUE(Open("Software\\Maker\\Game"));
  settings_.DeleteRegistryKey(env_);
  EXPECT_FALSE(Open("Software\\Maker"));
}

TEST_F(InstallSetRegistryTest, DeleteOfMissingKeyOrBareBackslashChangesNothing) {
  Create("Software\\Keep", "x");
  const std::string before = env_.registry().Serialize();
  settings_.DeleteRegistryKey(env_);
  for (const char* key : {"\\", "\\\\"}) {
    settings_.RegistryKey = key;
    settings_.DeleteRegistryKey(env_);
  }
  EXPECT_EQ(env_.registry().Serialize(), before);
}

TEST_F(InstallSetRegistryTest, IsInstalledNeedsTheExecutableInTheRecordedFolder) {
  settings_.ExeFile = "game.exe";
  EXPECT_FALSE(settings_.IsInstalled(env_));
  settings_.WriteRegValue(env_, kRegInstallPath, "C:\\Games\\ソ");
  EXPECT_FALSE(settings_.IsInstalled(env_));
  ASSERT_TRUE(env_.files().PutFile("C:\\Games\\ソ\\game.exe", "MZ"));
  EXPECT_TRUE(settings_.IsInstalled(env_));
  ASSERT_TRUE(env_.files().RemoveFile("C:\\Games\\ソ\\game.exe"));
  EXPECT_FALSE(settings_.IsInstalled(env_));
}

TEST(InstallSetFilesTest, SaveToFileAndLoadFromFileRoundTrip) {
  MemoryEnv env;
  ASSERT_TRUE(env.files().MakeDirectories("C:\\Game"));
  const TKoruInstallSet written = testing::SampleInstallSet();
  written.SaveToFile(env, "C:\\Game\\install.dat");
  EXPECT_EQ(env.files().FileContents("C:\\Game\\install.dat")->substr(0, 5), "is108");
  TKoruInstallSet loaded;
  EXPECT_EQ(loaded.LoadFromFile(env, "C:\\Game\\install.dat"), 108);
  EXPECT_EQ(loaded, written);
  EXPECT_THROW(loaded.LoadFromFile(env, "C:\\Game\\missing.dat"), KoruError);
}

}  // namespace
}  // namespace koru
