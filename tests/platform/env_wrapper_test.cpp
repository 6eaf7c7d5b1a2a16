#include "platform/env_wrapper.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "platform/memory/memory_env.h"

namespace koru::platform {
namespace {

OpenOptions Creating() {
  OpenOptions options;
  options.access = FileAccess::kReadWrite;
  options.disposition = FileDisposition::kCreateAlways;
  return options;
}

class FaultyWrites : public EnvWrapper {
 public:
  FaultyWrites(Env& target, FaultPlan plan) : EnvWrapper(target), plan_(plan) {}
  std::unique_ptr<File> OpenFile(const std::string& path, const OpenOptions& options) override {
    return std::make_unique<FaultyFile>(EnvWrapper::OpenFile(path, options), plan_);
  }

 private:
  FaultPlan plan_;
};

TEST(EnvWrapperTest, FaultyFileFailsFromTheThirdWriteOn) {
  MemoryEnv memory;
  FaultPlan plan;
  plan.fail_write_from = 3;
  FaultyWrites env(memory, plan);
  auto file = env.files().OpenFile("C:\\out.dat", Creating());
  file->WriteExact("ab", 2);
  file->WriteExact("cd", 2);
  EXPECT_THROW(file->WriteExact("ef", 2), KoruError);
  EXPECT_THROW(file->WriteExact("gh", 2), KoruError);
  file->SetPosition(0);
  char buffer[8] = {};
  EXPECT_EQ(file->Read(buffer, 8), 4);
  file.reset();
  EXPECT_EQ(memory.files().FileContents("C:\\out.dat"), "abcd");
}

TEST(EnvWrapperTest, SizeLimitActsLikeAFullDisc) {
  MemoryEnv memory;
  FaultPlan plan;
  plan.size_limit = 5;
  plan.fail_flush = true;
  FaultyWrites env(memory, plan);
  auto file = env.files().OpenFile("C:\\out.dat", Creating());
  file->WriteExact("abc", 3);
  EXPECT_THROW(file->WriteExact("def", 3), KoruError);
  EXPECT_THROW(file->SetSize(6), KoruError);
  EXPECT_THROW(file->Flush(), KoruError);
  file.reset();
  EXPECT_EQ(memory.files().FileContents("C:\\out.dat"), "abc");
}

TEST(EnvWrapperTest, OverriddenMakeDirectoryIsSeenByMakeDirectories) {
  class NoFolders : public EnvWrapper {
   public:
    using EnvWrapper::EnvWrapper;
    FileStatus MakeDirectory(const std::string& path) override { return false; }
  };
  MemoryEnv memory;
  NoFolders env(memory);
  EXPECT_FALSE(env.files().MakeDirectories("C:\\a\\b"));
  EXPECT_FALSE(memory.files().DirectoryExists("C:\\a"));
  EXPECT_TRUE(env.files().MakeDirectories("C:\\"));
}

}  // namespace
}  // namespace koru::platform
