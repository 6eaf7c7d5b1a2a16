// The archive commands on the host Env over a temporary folder: the shipped sample game
// made into a disc, checked and unpacked again, with its Japanese file names.
#include <gtest/gtest.h>

#if !defined(_WIN32)

#include <nlohmann/json.hpp>
#include <sstream>

#include "base/sjis.h"
#include "platform/host/host_env.h"
#include "platform/platform_host_temp_folder.h"
#include "settings/install_set.h"
#include "tools/archive_files.h"
#include "tools/archive_test_support.h"
#include "tools/cli.h"

namespace koru::tools {
namespace {

using testing::U8;

std::string ReadAll(platform::Env& env, const std::string& path) {
  platform::OpenOptions options;
  auto file = env.files().OpenFile(path, options);
  std::string bytes(static_cast<size_t>(file->GetSize()), '\0');
  file->ReadExact(bytes.data(), file->GetSize());
  return bytes;
}

class HostArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(temp_.path().empty());
    env_ = std::make_unique<platform::HostEnv>(temp_.path() + "/root");
  }
  int Run(const std::string& command, const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    CommandContext context{*env_, out_, err_, false};
    return RunArchiveCommand(command, args, context);
  }
  // A native path in the program's form.
  static std::string Program(const std::string& native) { return ArgToPath(native); }

  platform::testing::HostTempFolder temp_;
  std::unique_ptr<platform::HostEnv> env_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(HostArchiveTest, SampleGame_MakeDiscVerifyAndExtractGiveBackEveryFile) {
  const std::string game = KORU_SAMPLE_DIR "/game";
  const std::string disc = temp_.path() + "/disc";
  const std::string copy = temp_.path() + "/extracted";
  ASSERT_EQ(Run("make-disc", {game, KORU_SAMPLE_DIR "/settings.json", "-o", disc}), kExitOk)
      << err_.str();
  EXPECT_TRUE(err_.str().empty()) << err_.str();  // the sample draws no warning
  ASSERT_EQ(Run("verify", {disc + "/game.dat"}), kExitOk) << err_.str();
  ASSERT_EQ(Run("extract", {disc + "/game.dat", "-C", copy}), kExitOk) << err_.str();

  TKoruInstallSet settings;
  settings.LoadFromFile(*env_, Program(disc + "/install.dat"));
  EXPECT_EQ(settings.Title, "サンプルゲーム");
  EXPECT_EQ(settings.BackImage, "graphics\\back.mur");
  EXPECT_GT(settings.ProgSize, 0);
  EXPECT_GT(settings.DataSize, 0);

  const std::vector<std::string> names = ListRelativeFiles(*env_, Program(game));
  EXPECT_NE(std::find(names.begin(), names.end(), "ソース\\表示設定.txt"), names.end());
  for (const std::string& name : names) {
    const std::string source = ReadAll(*env_, Program(game) + "\\" + name);
    const bool loose = settings.IsExtraFile(name);
    const std::string target = Program(loose ? disc : copy) + "\\" + name;
    ASSERT_TRUE(env_->files().FileExists(target)) << SjisToUtf8(target);
    EXPECT_EQ(ReadAll(*env_, target), source) << SjisToUtf8(name);
  }
  EXPECT_FALSE(env_->files().FileExists(Program(copy + "/game.exe")));
}

TEST_F(HostArchiveTest, PackAndCatWithJapaneseNativePaths) {
  const std::string folder = temp_.path() + U8(u8"/素材");
  platform::OpenOptions create;
  create.access = platform::FileAccess::kWrite;
  create.disposition = platform::FileDisposition::kCreateAlways;
  ASSERT_TRUE(env_->files().MakeDirectories(Program(folder + U8(u8"/ソース"))));
  env_->files().OpenFile(Program(folder + U8(u8"/ソース/表.txt")), create)->WriteExact("abc", 3);
  ASSERT_EQ(Run("pack", {folder, "-o", temp_.path() + "/a.dat"}), kExitOk) << err_.str();
  ASSERT_EQ(Run("cat", {temp_.path() + "/a.dat", U8(u8"ソース/表.txt")}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), "abc");
}

}  // namespace
}  // namespace koru::tools

#endif  // !_WIN32
