#include "settings/file_routines.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/memory/memory_env.h"

namespace koru {
namespace {

using platform::MemoryEnv;

class CopyFileIfChangedTest : public ::testing::Test {
 protected:
  static constexpr uint32_t kTime = platform::MemoryFileSystem::kDefaultClock;

  void Put(const std::string& path, const std::string& bytes, uint32_t time = kTime) {
    ASSERT_TRUE(env_.files().PutFile(path, bytes));
    ASSERT_TRUE(env_.files().SetFileDosTime(path, time));
  }
  std::string Target() { return env_.files().FileContents("C:\\t\\a.dat").value_or("<none>"); }

  MemoryEnv env_;
};

TEST_F(CopyFileIfChangedTest, SameTimeAndSizeSkipsTheCopy) {
  Put("C:\\s\\a.dat", "new!");
  Put("C:\\t\\a.dat", "old!");
  EXPECT_TRUE(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", true));
  EXPECT_EQ(Target(), "old!");
  EXPECT_TRUE(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", false));
  EXPECT_EQ(Target(), "new!");
}

TEST_F(CopyFileIfChangedTest, CopiesWhenOnlySizeOrOnlyTimeDiffers) {
  Put("C:\\s\\a.dat", "new!");
  Put("C:\\t\\a.dat", "old");
  EXPECT_TRUE(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", true));
  EXPECT_EQ(Target(), "new!");

  Put("C:\\t\\a.dat", "old!", kTime + 1);
  EXPECT_TRUE(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", true));
  EXPECT_EQ(Target(), "new!");
}

TEST_F(CopyFileIfChangedTest, MissingTargetIsCopiedAndMissingSourceFails) {
  Put("C:\\s\\a.dat", "new!");
  ASSERT_TRUE(env_.files().MakeDirectory("C:\\t"));
  EXPECT_TRUE(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", true));
  EXPECT_EQ(Target(), "new!");
  EXPECT_FALSE(CopyFileIfChanged(env_, "C:\\s\\none.dat", "C:\\t\\b.dat", true));
}

TEST_F(CopyFileIfChangedTest, TargetThatCannotBeOpenedIsAnError) {
  Put("C:\\s\\a.dat", "new!");
  Put("C:\\t\\a.dat", "old!");
  platform::OpenOptions exclusive;
  exclusive.share = platform::FileShare::kNone;
  const auto held = env_.files().OpenFile("C:\\t\\a.dat", exclusive);
  EXPECT_THROW(CopyFileIfChanged(env_, "C:\\s\\a.dat", "C:\\t\\a.dat", true), KoruError);
}

TEST(GetFileSizeSafeTest, ZeroWhenTheFileCannotBeOpened) {
  MemoryEnv env;
  ASSERT_TRUE(env.files().PutFile("C:\\a.bin", std::string(1234, 'x')));
  EXPECT_EQ(GetFileSizeSafe(env, "C:\\a.bin"), 1234);
  EXPECT_EQ(GetFileSizeSafe(env, "C:\\missing.bin"), 0);
  platform::OpenOptions exclusive;
  exclusive.share = platform::FileShare::kNone;
  const auto held = env.files().OpenFile("C:\\a.bin", exclusive);
  EXPECT_EQ(GetFileSizeSafe(env, "C:\\a.bin"), 0);
}

TEST(DeleteAtRestartTest, HandsThePathToTheSystem) {
  MemoryEnv env;
  DeleteAtRestart(env, "C:\\users\\test\\Temp\\~kinstall.exe");
  EXPECT_EQ(env.system().RestartDeletions(),
            std::vector<std::string>{"C:\\users\\test\\Temp\\~kinstall.exe"});
}

}  // namespace
}  // namespace koru
