#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "base/sjis.h"
#include "platform/memory/memory_env.h"
#include "settings/install_dat_writer.h"
#include "tools/cli.h"

namespace koru::tools {
namespace {

class SettingsCommandTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    CommandContext context{env_, out_, err_};
    return RunSettingsCommand(args, context);
  }
  void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(env_.files().PutFile(path, std::string(bytes.begin(), bytes.end())));
  }
  std::string Contents(const std::string& path) {
    return env_.files().FileContents(path).value_or("<none>");
  }

  platform::MemoryEnv env_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(SettingsCommandTest, ShowThenBuildGivesTheSameVersion108File) {
  const std::vector<uint8_t> original = testing::WriteInstallDat(testing::SampleInstallSet(), 108);
  Put("C:\\in\\install.dat", original);
  ASSERT_EQ(Run({"show", "C:/in/install.dat"}), kExitOk) << err_.str();
  const std::string shown = out_.str();
  EXPECT_EQ(nlohmann::json::parse(shown)["Version"], 108);
  EXPECT_NE(shown.find("\n  \"BackImage\": \"back.mur\",\n"), std::string::npos);

  ASSERT_TRUE(env_.files().PutFile("C:\\in\\settings.json", shown));
  ASSERT_EQ(Run({"build", "C:/in/settings.json", "-o", "C:/in/rebuilt.dat"}), kExitOk)
      << err_.str();
  EXPECT_EQ(Contents("C:\\in\\rebuilt.dat"), std::string(original.begin(), original.end()));
}

TEST_F(SettingsCommandTest, OlderVersionIsShownWithItsVersionAndBuiltAs108) {
  TKoruInstallSet old = testing::SampleInstallSet();
  old.DataSize = 5;
  Put("C:\\old.dat", testing::WriteInstallDat(old, 99));
  ASSERT_EQ(Run({"show", "C:\\old.dat"}), kExitOk);
  EXPECT_EQ(nlohmann::json::parse(out_.str())["Version"], 99);
  ASSERT_TRUE(env_.files().PutFile("C:\\old.json", out_.str()));
  ASSERT_EQ(Run({"build", "C:\\old.json", "-o", "C:\\new.dat"}), kExitOk);
  EXPECT_EQ(Contents("C:\\new.dat").substr(0, 5), "is108");
}

TEST_F(SettingsCommandTest, EveryCommandHasHelp) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"show", "--help"}, {"build", "-h"}}) {
    EXPECT_EQ(Run(args), kExitOk) << args[0];
    EXPECT_NE(out_.str().find("usage: vfkit settings"), std::string::npos);
    EXPECT_TRUE(err_.str().empty());
  }
}

TEST_F(SettingsCommandTest, BadCommandLinesAreUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                {"frobnicate"},
                                                                {"show"},
                                                                {"show", "a", "b"},
                                                                {"show", "a", "--json"},
                                                                {"build", "a.json"},
                                                                {"build", "a.json", "-o"}}) {
    EXPECT_EQ(Run(args), kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(err_.str().empty());
    EXPECT_TRUE(out_.str().empty());
  }
}

TEST_F(SettingsCommandTest, UnreadableInputsAreErrorsOnStderr) {
  EXPECT_EQ(Run({"show", "C:\\missing.dat"}), kExitError);
  EXPECT_NE(err_.str().find("vfkit settings show: "), std::string::npos);

  Put("C:\\short.dat", {'i', 's', '1', '0', '8', 1});
  EXPECT_EQ(Run({"show", "C:\\short.dat"}), kExitError);
  EXPECT_NE(err_.str().find(SjisToUtf8(kInstallSetCorrupt)), std::string::npos);

  ASSERT_TRUE(env_.files().PutFile("C:\\bad.json", "{\"Title\": "));
  EXPECT_EQ(Run({"build", "C:\\bad.json", "-o", "C:\\x.dat"}), kExitError);
  ASSERT_TRUE(env_.files().PutFile("C:\\bad.json", "{\"Titel\": \"x\"}"));
  EXPECT_EQ(Run({"build", "C:\\bad.json", "-o", "C:\\x.dat"}), kExitError);
  EXPECT_NE(err_.str().find("'Titel' is not a settings field"), std::string::npos);
  EXPECT_FALSE(env_.files().FileExists("C:\\x.dat"));
}

}  // namespace
}  // namespace koru::tools
