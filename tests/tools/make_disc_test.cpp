// vfkit make-disc against the in-memory Env: one disc, several discs, the sizes it fills
// in and the layouts it refuses.
#include "tools/make_disc.h"

#include <gtest/gtest.h>

#include "settings/install_set.h"
#include "storage/vrfiles.h"
#include "tools/archive_test_support.h"

namespace koru::tools {
namespace {

using testing::ArchiveCommandTest;
using testing::U8;

class MakeDiscTest : public ArchiveCommandTest {
 protected:
  void PutSettings(const nlohmann::json& json) { Put("C:\\settings.json", json.dump()); }
  TKoruInstallSet LoadSettings(const std::string& path) {
    TKoruInstallSet settings;
    settings.LoadFromFile(env_, path);
    return settings;
  }
  // Stored size of each entry of an archive, by name.
  std::map<std::string, int64_t> StoredSizes(const std::string& archive_path) {
    TVrFileCollection archive(env_);
    archive.Open(archive_path);
    std::map<std::string, int64_t> sizes;
    for (int i = 0; i + 1 < archive.Count(); ++i) {
      sizes[archive.Entry(i).Name()] = archive.Entry(i).Size;
    }
    return sizes;
  }
};

TEST_F(MakeDiscTest, OneDisc_LaysOutSettingsArchiveAndLooseFilesAndMeasuresComponents) {
  Put("C:\\game\\Game.exe", "MZ fake program");
  Put("C:\\game\\readme.txt", "read me");
  Put("C:\\game\\シナリオ\\第一章.txt", std::string(3000, 'a'));
  Put("C:\\game\\graphics\\back.mur", "not really a picture");
  Put("C:\\game\\sound\\bgm.ogg", std::string(500, 's'));
  Put("C:\\game\\movie\\op.mpg", std::string(700, 'm'));
  Put("C:\\game\\tools\\helper.dll", std::string(400, 'd'));
  Put("C:\\game\\install.dat", "stale settings");
  PutSettings({{"Title", U8(u8"サンプルゲーム")},
               {"ExeFile", "game.exe"},
               {"ReadmeFile", "readme.txt"},
               {"BackImage", "graphics\\back.mur"},
               {"ExtraFiles", {"GAME.EXE", "readme.txt"}}});

  ASSERT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/disc"}), kExitOk)
      << err_.str();
  EXPECT_NE(err_.str().find("install.dat is built from the settings"), std::string::npos);

  const TKoruInstallSet settings = LoadSettings("C:\\disc\\install.dat");
  EXPECT_EQ(settings.Title, "サンプルゲーム");
  EXPECT_EQ(settings.DiscCount, 1);
  EXPECT_EQ(settings.DiscIndex, 0);
  EXPECT_EQ(settings.ExtraFiles, (std::vector<std::string>{"game.exe", "readme.txt"}));
  EXPECT_EQ(Contents("C:\\disc\\Game.exe"), "MZ fake program");
  EXPECT_EQ(Contents("C:\\disc\\readme.txt"), "read me");
  EXPECT_FALSE(Exists("C:\\disc\\back.mur"));

  const std::map<std::string, int64_t> stored = StoredSizes("C:\\disc\\game.dat");
  EXPECT_EQ(stored.count("Game.exe"), 0u);  // loose files stay out of the archive
  EXPECT_EQ(stored.count("readme.txt"), 0u);
  ASSERT_EQ(stored.size(), 6u);                 // install.dat and the five game files
  EXPECT_EQ(stored.at("sound\\bgm.ogg"), 500);  // media are stored as they are
  EXPECT_EQ(settings.DiscProgSizes,
            (std::vector<int64_t>{15 + 7 + stored.at("tools\\helper.dll")}));
  EXPECT_EQ(settings.DiscSoundSizes, (std::vector<int64_t>{500}));
  EXPECT_EQ(settings.DiscMovieSizes, (std::vector<int64_t>{700}));
  EXPECT_EQ(settings.DiscDataSizes, (std::vector<int64_t>{stored.at("シナリオ\\第一章.txt") +
                                                          stored.at("graphics\\back.mur")}));
  EXPECT_EQ(settings.ProgSize, settings.DiscProgSizes[0]);
  EXPECT_EQ(settings.DataSize, settings.DiscDataSizes[0]);

  // The launcher reads the same settings from the archive.
  TVrFileCollection archive(env_);
  archive.Open("C:\\disc\\game.dat");
  MemoryStream entry;
  LoadEntry(archive, entry, "INSTALL.DAT");
  EXPECT_EQ(std::string(entry.Bytes().begin(), entry.Bytes().end()),
            Contents("C:\\disc\\install.dat"));
  EXPECT_EQ(Run("verify", {"C:/disc/game.dat"}), kExitOk);
}

TEST_F(MakeDiscTest, TwoDiscs_EachFolderGetsItsOwnIndexArchiveAndLooseFiles) {
  Put("C:\\game\\disc1\\game.exe", "program");
  Put("C:\\game\\disc1\\data\\a.txt", std::string(100, 'a'));
  Put("C:\\game\\disc2\\data\\b.txt", std::string(200, 'b'));
  Put("C:\\game\\disc2\\sound\\c.wav", std::string(300, 'c'));
  PutSettings({{"Title", "Two"},
               {"DiscCount", 2},
               {"DiscDataSizes", {0, 777}},
               {"ExtraFiles", {"game.exe"}}});

  ASSERT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out"}), kExitOk)
      << err_.str();
  const TKoruInstallSet first = LoadSettings("C:\\out\\disc1\\install.dat");
  const TKoruInstallSet second = LoadSettings("C:\\out\\disc2\\install.dat");
  EXPECT_EQ(first.DiscIndex, 0);
  EXPECT_EQ(second.DiscIndex, 1);
  EXPECT_EQ(Contents("C:\\out\\disc1\\game.exe"), "program");
  EXPECT_FALSE(Exists("C:\\out\\disc2\\game.exe"));

  const auto disc1 = StoredSizes("C:\\out\\disc1\\game.dat");
  const auto disc2 = StoredSizes("C:\\out\\disc2\\game.dat");
  EXPECT_EQ(disc1.count("data\\a.txt"), 1u);
  EXPECT_EQ(disc1.count("data\\b.txt"), 0u);
  EXPECT_EQ(disc2.count("data\\b.txt"), 1u);
  EXPECT_EQ(disc2.count("sound\\c.wav"), 1u);

  // Every disc carries the sizes of all discs; a size given in the JSON is kept.
  for (const TKoruInstallSet* settings : {&first, &second}) {
    EXPECT_EQ(settings->DiscCount, 2);
    EXPECT_EQ(settings->DiscProgSizes, (std::vector<int64_t>{7, 0}));
    EXPECT_EQ(settings->DiscDataSizes, (std::vector<int64_t>{disc1.at("data\\a.txt"), 777}));
    EXPECT_EQ(settings->DiscSoundSizes, (std::vector<int64_t>{0, 300}));
    EXPECT_EQ(settings->DataSize, disc1.at("data\\a.txt") + 777);
    EXPECT_EQ(settings->SoundSize, 300);
  }
  EXPECT_EQ(Run("verify", {"C:/out/disc2/game.dat"}), kExitOk);
}

TEST_F(MakeDiscTest, SeveralDiscs_FilesOutsideTheDiscFoldersOrAMissingDiscAreRefused) {
  PutSettings({{"DiscCount", 2}});
  Put("C:\\game\\disc1\\a.txt", "a");
  Put("C:\\game\\stray.txt", "?");
  EXPECT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out"}), kExitError);
  EXPECT_NE(err_.str().find("stray.txt"), std::string::npos) << err_.str();
  ASSERT_TRUE(env_.files().RemoveFile("C:\\game\\stray.txt"));
  EXPECT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out"}), kExitError);
  EXPECT_NE(err_.str().find("disc2"), std::string::npos) << err_.str();
  EXPECT_FALSE(Exists("C:\\out\\disc1\\install.dat"));
}

TEST_F(MakeDiscTest, RefusesANonEmptyOutputFolderUnlessForcedAndLooseFilesNamedLikeTheDisc) {
  PutSettings({{"Title", "t"}, {"ExtraFiles", {"game.dat"}}});
  Put("C:\\game\\game.dat", "a file named like the archive");
  Put("C:\\out\\old.txt", "old");
  EXPECT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out"}), kExitError);
  EXPECT_NE(err_.str().find("--force"), std::string::npos);
  EXPECT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out", "--force"}),
            kExitError);
  EXPECT_NE(err_.str().find("disc's own files"), std::string::npos) << err_.str();
  EXPECT_EQ(Contents("C:\\game\\game.dat"), "a file named like the archive");
}

TEST_F(MakeDiscTest, ExtractFiles_LooseFilesAlsoTravelAsSeparateEntries) {
  Put("C:\\game\\game.exe", "program");
  Put("C:\\game\\data.txt", "data");
  PutSettings({{"ExtractFiles", true}, {"ExtraFiles", {"game.exe"}}, {"ExeFile", "game.exe"}});
  ASSERT_EQ(Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/out"}), kExitOk)
      << err_.str();
  const nlohmann::json entries = ListJson("C:/out/game.dat");
  ASSERT_EQ(entries.size(), 3u);
  for (const auto& entry : entries) {
    EXPECT_EQ(entry["separate_file"], entry["name"] == "game.exe") << entry["name"];
  }
  EXPECT_EQ(Contents("C:\\out\\game.exe"), "program");
}

TEST(ComponentTest, MediaByExtensionSubstringAndProgramForLooseFilesAndLibraries) {
  EXPECT_EQ(ClassifyMediaFile(".OGG"), 1);
  EXPECT_EQ(ClassifyMediaFile(".mp"), 1);  // a substring of ".mp2"
  EXPECT_EQ(ClassifyMediaFile(".mpe"), 2);
  EXPECT_EQ(ClassifyMediaFile(".txt"), 0);
  EXPECT_EQ(ClassifyMediaFile(""), 0);
  EXPECT_EQ(ComponentOf("bgm\\a.mid", true), Component::kSound);
  EXPECT_EQ(ComponentOf("op.wmv", false), Component::kMovie);
  EXPECT_EQ(ComponentOf("readme.txt", true), Component::kProgram);
  EXPECT_EQ(ComponentOf("plugin\\x.DLL", false), Component::kProgram);
  EXPECT_EQ(ComponentOf("scenario\\a.txt", false), Component::kData);
  EXPECT_EQ(ComponentOf("noext", false), Component::kData);
}

TEST_F(MakeDiscTest, SetupProgramGoesOnTheDiscAndAmongTheLooseFiles) {
  Put("C:\\setup.exe", "MZ setup");
  Put("C:\\game\\game.exe", "MZ game");
  PutSettings({{"Title", "t"}, {"ExtraFiles", {"game.exe"}}});
  ASSERT_EQ(
      Run("make-disc", {"C:/game", "C:/settings.json", "-o", "C:/disc", "--setup", "C:/setup.exe"}),
      kExitOk)
      << err_.str();
  EXPECT_EQ(Contents("C:\\disc\\setup.exe"), "MZ setup");
  EXPECT_EQ(Contents("C:\\disc\\install.exe"), "MZ setup");
  EXPECT_EQ(LoadSettings("C:\\disc\\install.dat").ExtraFiles,
            (std::vector<std::string>{"game.exe", "install.exe"}));
  EXPECT_EQ(StoredSizes("C:\\disc\\game.dat").count("install.exe"), 0u);

  // Unpacked in place: the uninstaller travels in the archive as a separate file.
  PutSettings({{"Title", "t"}, {"ExtraFiles", {"game.exe"}}, {"ExtractFiles", true}});
  ASSERT_EQ(Run("make-disc",
                {"C:/game", "C:/settings.json", "-o", "C:/disc2", "--setup", "C:/setup.exe"}),
            kExitOk)
      << err_.str();
  TVrFileCollection archive(env_);
  archive.Open("C:\\disc2\\game.dat");
  const int index = archive.IndexOf("install.exe");
  ASSERT_GE(index, 0);
  EXPECT_TRUE(archive.Entry(index).SeparateFile);
  EXPECT_EQ(Contents("C:\\disc2\\setup.exe"), "MZ setup");

  // The game folder may not bring its own.
  Put("C:\\game\\install.exe", "MZ other");
  EXPECT_NE(Run("make-disc",
                {"C:/game", "C:/settings.json", "-o", "C:/disc3", "--setup", "C:/setup.exe"}),
            kExitOk);
}

}  // namespace
}  // namespace koru::tools
