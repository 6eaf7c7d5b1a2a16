// vfkit sfx: an executable that carries its archive, read back through the trailer.
#include <gtest/gtest.h>

#include "tools/archive_test_support.h"

namespace koru::tools {
namespace {

using testing::ArchiveCommandTest;

TEST_F(ArchiveCommandTest, Sfx_AppendsTheArchiveBehindTheExecutableAndListReadsIt) {
  const std::string exe("MZ\x90\0fake game program", 21);
  Put("C:\\bin\\setup.exe", exe);
  Put("C:\\data\\install.dat", "is108 settings");
  Put("C:\\data\\graphics\\back.mur", "picture");
  ASSERT_EQ(Run("pack", {"C:/data", "-o", "C:/data.pak"}), kExitOk);
  ASSERT_EQ(Run("sfx", {"C:/bin/setup.exe", "C:/data.pak", "-o", "C:/dist/game.exe"}), kExitOk)
      << err_.str();

  const std::string packed = Contents("C:\\dist\\game.exe");
  const std::string archive = Contents("C:\\data.pak");
  EXPECT_EQ(packed.substr(0, exe.size()), exe);
  EXPECT_EQ(packed.substr(exe.size(), archive.size()), archive);
  EXPECT_EQ(packed.substr(packed.size() - 2), "kr");
  const nlohmann::json plain = ListJson("C:/data.pak");
  const nlohmann::json entries = ListJson("C:/dist/game.exe");
  ASSERT_EQ(entries.size(), 2u);
  // Offsets through the trailer count from the start of the executable.
  EXPECT_EQ(entries[0]["offset"].get<int64_t>(),
            static_cast<int64_t>(exe.size()) + plain[0]["offset"].get<int64_t>());
  ASSERT_EQ(Run("cat", {"C:/dist/game.exe", "graphics/back.mur"}), kExitOk);
  EXPECT_EQ(out_.str(), "picture");
  EXPECT_EQ(Run("verify", {"C:/dist/game.exe"}), kExitOk);
  EXPECT_EQ(Contents("C:\\bin\\setup.exe"), exe);
}

TEST_F(ArchiveCommandTest, Sfx_RefusesAnArchiveWhoseDirectoryIsInAnExtFile) {
  Put("C:\\bin\\setup.exe", "MZ");
  Put("C:\\v\\a.txt", "a");
  ASSERT_EQ(Run("pack", {"C:/v", "-o", "C:/v.dat"}), kExitOk);
  ASSERT_EQ(Run("merge", {"C:/v.dat", "C:/m/game.dat"}), kExitOk);
  EXPECT_EQ(Run("sfx", {"C:/bin/setup.exe", "C:/m/game.dat", "-o", "C:/out.exe"}), kExitError);
  EXPECT_NE(err_.str().find("self-contained"), std::string::npos);
  EXPECT_FALSE(Exists("C:\\out.exe"));
}

TEST_F(ArchiveCommandTest, Sfx_HasHelpAndNeedsAnOutput) {
  EXPECT_EQ(Run("sfx", {"--help"}), kExitOk);
  EXPECT_NE(out_.str().find("usage: vfkit sfx"), std::string::npos);
  EXPECT_EQ(Run("sfx", {"C:/a.exe", "C:/b.dat"}), kExitUsage);
  EXPECT_EQ(Run("sfx", {"C:/a.exe"}), kExitUsage);
}

}  // namespace
}  // namespace koru::tools
