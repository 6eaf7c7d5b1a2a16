#include "storage/exe_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_fixture.h"
#include "base/error.h"
#include "platform/memory/memory_env.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

using testing::BuildArchive;
using testing::FixtureEntry;

std::string SettingsWithTitle(const std::string& title) {
  TKoruInstallSet settings;
  settings.Title = title;
  MemoryStream out;
  settings.SaveToStream(out);
  return std::string(out.Bytes().begin(), out.Bytes().end());
}

class ExeArchiveTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;

  // An executable image with an archive holding install.dat of the title appended.
  void PutGameExe(const std::string& path, const std::string& title) {
    ASSERT_TRUE(env_.files().PutFile(path, "MZ game image"));
    const std::string archive = path + ".pak";
    ASSERT_TRUE(env_.files().PutFile(
        archive, BuildArchive(102, {{"install.dat", SettingsWithTitle(title), true}})));
    AppendArchiveToExe(env_, path, archive);
    env_.files().RemoveFile(archive);
  }
};

TEST_F(ExeArchiveTest, AppendedArchiveIsReadThroughTheTrailer) {
  ASSERT_TRUE(env_.files().PutFile("C:\\g\\game.exe", "MZ image"));
  ASSERT_TRUE(env_.files().PutFile("C:\\g\\a.pak",
                                   BuildArchive(102, {{"readme.txt", "inside the exe", false}})));
  AppendArchiveToExe(env_, "C:\\g\\game.exe", "C:\\g\\a.pak");
  const std::string bytes = *env_.files().FileContents("C:\\g\\game.exe");
  EXPECT_EQ(bytes.substr(0, 8), "MZ image");
  EXPECT_EQ(bytes.substr(bytes.size() - 6), std::string("\x08\0\0\0kr", 6));

  TVrFileCollection archive(env_);
  archive.Open("C:\\g\\game.exe");
  MemoryStream out;
  LoadEntry(archive, out, "readme.txt");
  EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().end()), "inside the exe");
}

TEST_F(ExeArchiveTest, FindArchiveExe_LooksAtEveryExecutableInNameOrder) {
  // The first executable by name has no trailer; the search goes on past it.
  ASSERT_TRUE(env_.files().PutFile("C:\\inst\\a_tool.exe", "MZ plain"));
  PutGameExe("C:\\inst\\b_other.exe", "Another Game");
  PutGameExe("C:\\inst\\c_game.EXE", "\x83\x5C\x83\x74\x83\x67");
  PutGameExe("C:\\inst\\sub\\d_game.exe", "Deep");
  ASSERT_TRUE(env_.files().PutFile("C:\\inst\\e.dat", "kr"));
  EXPECT_EQ(FindArchiveExe(env_, "C:\\inst", "\x83\x5C\x83\x74\x83\x67"), "C:\\inst\\c_game.EXE");
  EXPECT_EQ(FindArchiveExe(env_, "C:\\inst\\", "Another Game"), "C:\\inst\\b_other.exe");
  // Titles compare exactly.
  EXPECT_EQ(FindArchiveExe(env_, "C:\\inst", "another game"), "");
  EXPECT_EQ(FindArchiveExe(env_, "C:\\inst", "Deep"), "");
  EXPECT_EQ(FindArchiveExe(env_, "C:\\missing", "Deep"), "");
}

TEST_F(ExeArchiveTest, FindArchiveExe_UnreadableArchiveOnlyMattersWithoutAMatch) {
  ASSERT_TRUE(env_.files().PutFile("C:\\inst\\a.pak", BuildArchive(102, {{"x", "y", false}})));
  ASSERT_TRUE(env_.files().PutFile("C:\\inst\\a_broken.exe", "MZ"));
  AppendArchiveToExe(env_, "C:\\inst\\a_broken.exe", "C:\\inst\\a.pak");
  PutGameExe("C:\\inst\\z_game.exe", "Game");
  EXPECT_EQ(FindArchiveExe(env_, "C:\\inst", "Game"), "C:\\inst\\z_game.exe");
  try {
    FindArchiveExe(env_, "C:\\inst", "Other");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "install.dat:ファイルがありません");
  }
}

}  // namespace
}  // namespace koru
