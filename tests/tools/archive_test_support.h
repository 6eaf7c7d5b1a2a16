#pragma once

// Running the archive commands in-process against the in-memory Env.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/memory/memory_env.h"
#include "tools/cli.h"

namespace koru::tools::testing {

// UTF-8 command-line text from a u8 literal (plain literals are Shift-JIS here).
inline std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class ArchiveCommandTest : public ::testing::Test {
 protected:
  int Run(const std::string& command, const std::vector<std::string>& args, bool terminal = false) {
    out_.str("");
    err_.str("");
    CommandContext context{env_, out_, err_, terminal};
    return RunArchiveCommand(command, args, context);
  }
  void Put(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(env_.files().PutFile(path, bytes)) << path;
  }
  std::string Contents(const std::string& path) {
    return env_.files().FileContents(path).value_or("<none>");
  }
  bool Exists(const std::string& path) { return env_.files().FileExists(path); }
  // The entries of "list --json".
  nlohmann::json ListJson(const std::string& archive) {
    EXPECT_EQ(Run("list", {archive, "--json"}), kExitOk) << err_.str();
    return nlohmann::json::parse(out_.str())["entries"];
  }

  platform::MemoryEnv env_;
  std::ostringstream out_;
  std::ostringstream err_;
};

}  // namespace koru::tools::testing
