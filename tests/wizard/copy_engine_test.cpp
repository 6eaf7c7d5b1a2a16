// The copy page from the wizard's "Next" to its last page, against the in-memory and the
// host platform. Fault injection runs in memory only, where hundreds of installs are cheap.
#include "wizard/copy_engine.h"

#include <gtest/gtest.h>

#include "storage/entry_names.h"
#include "storage/exe_archive.h"
#include "wizard/copy_test_bed.h"

namespace koru::testing {
namespace {

using platform::kResultAbort;
using platform::kResultNo;
using platform::kResultYes;

template <typename Backend>
class CopyEngineTest : public ::testing::Test {
 protected:
  Bed<Backend> bed_;
};

#if defined(_WIN32)
using Backends = ::testing::Types<MemoryBackend>;
#else
using Backends = ::testing::Types<MemoryBackend, HostBackend>;
#endif
TYPED_TEST_SUITE(CopyEngineTest, Backends);

TYPED_TEST(CopyEngineTest, ProgramOnly_CopiesChosenLooseFilesAndRecordsTheInstall) {
  auto& bed = this->bed_;
  for (const char* old : {"game.dat", "game.ext", "game.001", "game.002", "game.004"}) {
    bed.Put(kTarget + std::string(old), "earlier");
  }
  bed.PutDisc(Game(), 0, {{"data\\a.txt", "a"}},
              {{"game.exe", "MZ game"},
               {"install.exe", "MZ setup"},
               {"readme.txt", "read me"},
               {"bgm\\theme.ogg", "sound"},
               {"movie\\op.mpg", "movie"},
               {"ソース\\表示.txt", "dbcs"},
               {"unlisted.txt", "x"}});
  bed.Install({.data = false, .sound = false, .movie = true});

  ASSERT_TRUE(bed.Finished());
  EXPECT_EQ(bed.Get("C:\\Game\\game.exe"), "MZ game");
  EXPECT_EQ(bed.Get("C:\\Game\\ソース\\表示.txt"), "dbcs");
  EXPECT_EQ(bed.Get("C:\\Game\\movie\\op.mpg"), "movie");
  EXPECT_FALSE(bed.files().FileExists("C:\\Game\\bgm\\theme.ogg"));  // sound not chosen
  EXPECT_FALSE(bed.files().FileExists("C:\\Game\\unlisted.txt"));
  // The earlier archive and its volumes up to the first gap are gone.
  EXPECT_EQ(bed.Names(kTarget),
            (std::vector<std::string>{"game.004", "game.exe", "install.dat", "install.exe", "movie",
                                      "readme.txt", "ソース"}));
  const auto recorded = bed.Recorded();
  ASSERT_TRUE(recorded);
  EXPECT_TRUE(recorded->Uninstaller);
  EXPECT_FALSE(recorded->DataInstalled);
  EXPECT_EQ(Sorted(recorded->InstalledFiles),
            Sorted({"game.exe", "install.exe", "readme.txt", "movie\\op.mpg", "ソース\\表示.txt",
                    "install.dat"}));
  EXPECT_EQ(bed.InstallPath(), kTarget);

  const std::string links = bed.LinkFolder() + "\\";
  const auto game = bed.env().LoadShellLink(links + "テストゲーム.lnk");
  const auto uninstall = bed.env().LoadShellLink(links + "テストゲームのアンインストール.lnk");
  const auto readme = bed.env().LoadShellLink(links + "お読みください.lnk");
  ASSERT_TRUE(game && uninstall && readme);
  EXPECT_EQ(game->target, "C:\\Game\\game.exe");
  EXPECT_EQ(game->working_folder, kTarget);
  EXPECT_EQ(uninstall->target, "C:\\Game\\install.exe");
  EXPECT_EQ(uninstall->icon_index, 1);
  EXPECT_EQ(readme->target, "C:\\Game\\readme.txt");
  EXPECT_EQ(bed.env().sleeps, (std::vector<uint32_t>{2000, 1000, 1000}));
  EXPECT_EQ(bed.view().Text(kIdLabelCopyCap), kRegistryCaption);
  EXPECT_EQ(bed.view().At(kIdProgress).maximum, (100 + 20) / 10);
}

TYPED_TEST(CopyEngineTest, NothingToCopyStillRecordsTheInstallInANewFolder) {
  // A self-contained package: no loose file beside it, the data component left out.
  auto& bed = this->bed_;
  bed.PutDisc(Game(), 0, {{"data\\a.txt", "a"}}, {});
  bed.Install({.data = false, .sound = false, .movie = false});
  ASSERT_TRUE(bed.Finished());
  ASSERT_TRUE(bed.Recorded());
  EXPECT_TRUE(bed.Recorded()->Uninstaller);
}

TYPED_TEST(CopyEngineTest, TwoDiscs_AsksUntilTheSecondIsInAndKeepsEveryName) {
  auto& bed = this->bed_;
  bed.PutDisc(Game(2), 0, {{"koru.kpb", "project 1"}, {"data\\a.txt", "a"}},
              {{"game.exe", "MZ game"}});
  // The first OK finds disc 1 still there; before the second the player changes it.
  bed.ui().on_disc_prompt = [&bed](int prompt) {
    if (prompt == 2) {
      bed.PutDisc(Game(2), 1, {{"koru.kpb", "project 2", kNew}, {"data\\b.txt", "b"}},
                  {{"movie\\op.mpg", "movie"}});
    }
  };
  bed.Install({.all_discs = true});

  ASSERT_TRUE(bed.Finished());
  EXPECT_EQ(bed.ui().disc_prompts, 2);
  EXPECT_EQ(bed.ui().Texts()[0], "ディスク2を入れてからOKをクリックしてください");
  EXPECT_EQ(std::count(bed.env().sleeps.begin(), bed.env().sleeps.end(), 500u), 2);
  const std::string archive = "C:\\Game\\game.dat";
  EXPECT_EQ(bed.Entry(archive, "koru.kpb"), "project 2");
  EXPECT_EQ(bed.Entry(archive, "/original_koru.kpb"), "project 1");
  EXPECT_EQ(bed.Entry(archive, "data\\a.txt"), "a");
  EXPECT_EQ(bed.Entry(archive, "data\\b.txt"), "b");
  const auto recorded = bed.Recorded();
  ASSERT_TRUE(recorded);
  EXPECT_TRUE(recorded->DataInstalled);
  // game.exe came from disc 1, whose names the reload of disc 2's settings kept.
  EXPECT_EQ(Sorted(recorded->InstalledFiles),
            Sorted({"game.exe", "movie\\op.mpg", "game.ext", "game.dat", "install.dat"}));
}

TYPED_TEST(CopyEngineTest, TwoDiscs_AbortAtThePromptKeepsWhatWasCopied) {
  auto& bed = this->bed_;
  bed.PutDisc(Game(2), 0, {{"data\\a.txt", "a"}}, {{"game.exe", "MZ game"}});
  for (int answer : {kResultAbort, kResultNo, kResultAbort, kResultYes}) bed.ui().Answer(answer);
  bed.Install({.all_discs = true});

  EXPECT_EQ(bed.form().ModalResult(), kResultAbort);
  EXPECT_EQ(bed.form().CurrentPage(), kPageCopy);
  EXPECT_EQ(bed.ui().disc_prompts, 2);
  EXPECT_EQ(bed.Get("C:\\Game\\game.exe"), "MZ game");
  EXPECT_EQ(bed.Entry("C:\\Game\\game.dat", "data\\a.txt"), "a");
  EXPECT_TRUE(bed.NothingRecorded());
}

TYPED_TEST(CopyEngineTest, ExtractFiles_SkipsNewerFilesReplacesOlderOnesAndChecksNothingElse) {
  auto& bed = this->bed_;
  TKoruInstallSet game = Game();
  game.ExtractFiles = true;
  bed.Put("C:\\Game\\kept.dll", "installed later");
  bed.files().SetFileDosTime("C:\\Game\\kept.dll", kNewer);
  bed.Put("C:\\Game\\old.dll", "installed earlier");
  bed.files().SetFileDosTime("C:\\Game\\old.dll", kOld);
  bed.PutDisc(game, 0,
              {{"kept.dll", "from disc", kNew, true},
               {"old.dll", "from disc", kNew, true},
               {"sub\\ソース.txt", "dbcs", kNew, true},
               {"/superseded.dll", "dead", kNew, true},
               {"data\\a.txt", "a"}},
              {{"game.exe", "MZ game"}});
  // Without the data component no archive is written, and none is checked.
  bed.Install({.data = false});

  ASSERT_TRUE(bed.Finished());
  EXPECT_EQ(bed.Get("C:\\Game\\kept.dll"), "installed later");
  EXPECT_EQ(bed.Get("C:\\Game\\old.dll"), "from disc");
  EXPECT_EQ(bed.files().GetFileDosTime("C:\\Game\\old.dll"), kNew);
  EXPECT_EQ(bed.Get("C:\\Game\\sub\\ソース.txt"), "dbcs");
  EXPECT_FALSE(bed.files().FileExists("C:\\Game\\game.exe"));  // no loose files
  EXPECT_FALSE(bed.files().FileExists("C:\\Game\\game.dat"));
  EXPECT_EQ(Sorted(bed.Recorded()->InstalledFiles),
            Sorted({"kept.dll", "old.dll", "sub\\ソース.txt", "install.dat"}));
  EXPECT_TRUE(bed.NoLeftovers());
}

TYPED_TEST(CopyEngineTest, InstallType2_OverwritesIntoWindowsAndRecordsNothing) {
  auto& bed = this->bed_;
  TKoruInstallSet game = Game();
  game.ExtractFiles = true;
  game.InstallType = 2;
  game.ReadmeFile.clear();
  const std::string windows = bed.env().WindowsFolder() + "\\";
  bed.Put(windows + "font.ttf", "newer one");
  bed.files().SetFileDosTime(windows + "font.ttf", kNewer);
  bed.PutDisc(game, 0, {{"font.ttf", "from disc", kNew, true}});
  bed.Install();

  ASSERT_TRUE(bed.Finished());
  EXPECT_EQ(bed.Get(windows + "font.ttf"), "from disc");
  EXPECT_FALSE(bed.Recorded(windows));
  EXPECT_EQ(bed.InstallPath(), "");
  EXPECT_FALSE(bed.files().DirectoryExists(bed.LinkFolder()));
  EXPECT_TRUE(bed.env().sleeps.empty());
}

TYPED_TEST(CopyEngineTest, Update_IntoAnInstallMergesInPlaceAndKeepsTheFirstProject) {
  auto& bed = this->bed_;
  bed.PutDisc(Game(), 0, {{"koru.kpb", "project 1"}, {"data\\a.txt", "a1"}},
              {{"game.exe", "MZ game"}});
  bed.Install();
  ASSERT_TRUE(bed.Finished());
  DeleteFolderTree(bed.env(), bed.LinkFolder());

  TKoruInstallSet update = Game();
  update.UpdateMode = true;
  bed.PutDisc(update, 0,
              {{"koru.kpb", "project 2", kNew}, {"data\\a.txt", "a2", kNew}, {"data\\c.txt", "c"}},
              {{"patch.txt", "patch"}});
  bed.Install();
  ASSERT_TRUE(bed.Finished());
  const std::string archive = "C:\\Game\\game.dat";
  EXPECT_EQ(bed.Entry(archive, "data\\a.txt"), "a2");
  EXPECT_EQ(bed.Entry(archive, "/data\\a.txt"), "a1");
  EXPECT_EQ(bed.Entry(archive, "data\\c.txt"), "c");
  EXPECT_EQ(bed.Entry(archive, "/original_koru.kpb"), "project 1");
  EXPECT_EQ(Sorted(bed.Recorded()->InstalledFiles),
            Sorted({"game.exe", "game.ext", "game.dat", "install.dat", "patch.txt"}));
  EXPECT_FALSE(bed.files().DirectoryExists(bed.LinkFolder()));  // an update makes none
  EXPECT_EQ(bed.InstallPath(), kTarget);

  bed.PutDisc(update, 0, {{"koru.kpb", "project 3", kNewer}});
  bed.Install();
  ASSERT_TRUE(bed.Finished());
  EXPECT_EQ(bed.Entry(archive, "koru.kpb"), "project 3");
  EXPECT_EQ(bed.Entry(archive, "/original_koru.kpb"), "project 1");
}

// An installed game.exe carrying its archive: install.dat, an entry the update replaces,
// one it keeps, and a reserved name that is no path.
template <typename Backend>
void PutExeGame(Bed<Backend>& bed) {
  MemoryStream settings_bytes;
  Game().SaveToStream(settings_bytes);
  bed.WriteArchive(
      "C:\\pack.tmp",
      {{"install.dat", std::string(settings_bytes.Bytes().begin(), settings_bytes.Bytes().end())},
       {"data\\a.txt", "a1"},
       {"data\\keep.txt", "keep"},
       {"/original_koru.kpb", "first project"}});
  bed.Put("C:\\Game\\game.exe", "MZ installed exe");
  AppendArchiveToExe(bed.env(), "C:\\Game\\game.exe", "C:\\pack.tmp");
  bed.files().RemoveFile("C:\\pack.tmp");
}

TYPED_TEST(CopyEngineTest, Update_OfAnExecutableRebuildsItAndWritesNoSettings) {
  auto& bed = this->bed_;
  PutExeGame(bed);
  TKoruInstallSet update = Game();
  update.UpdateMode = true;
  bed.PutDisc(update, 0, {{"data\\a.txt", "a2", kNew}, {"data\\new.txt", "new"}});
  bed.Install();

  ASSERT_TRUE(bed.Finished());
  const std::string exe = "C:\\Game\\game.exe";
  EXPECT_EQ(bed.Get(exe)->substr(0, 16), "MZ installed exe");
  EXPECT_EQ(bed.Entry(exe, "data\\a.txt"), "a2");
  EXPECT_EQ(bed.Entry(exe, "data\\keep.txt"), "keep");
  EXPECT_EQ(bed.Entry(exe, "data\\new.txt"), "new");
  EXPECT_EQ(bed.Entry(exe, "/original_koru.kpb"), "first project");
  EXPECT_TRUE(bed.Entry(exe, "install.dat"));
  TVrFileCollection rebuilt(bed.env());
  rebuilt.Open(exe);
  EXPECT_TRUE(rebuilt.VerifyChecksums());
  EXPECT_EQ(bed.Names(kTarget), std::vector<std::string>{"game.exe"});
  EXPECT_TRUE(bed.NothingRecorded());  // and no work folder left
}

TYPED_TEST(CopyEngineTest, FailedCheck_WarnsAndCloses) {
  auto& bed = this->bed_;
  bed.PutDisc(Game(), 0, {{"data\\a.txt", std::string(100, 'a')}});
  {
    TVrFileCollection disc(bed.env());
    disc.Open("D:\\game.dat");
    const int64_t at = disc.Entry(0).Offset + 5;
    disc.Open("");
    platform::OpenOptions options;
    options.access = platform::FileAccess::kReadWrite;
    auto file = bed.files().OpenFile("D:\\game.dat", options);
    file->SetPosition(at);
    uint8_t byte = 0;
    file->ReadExact(&byte, 1);
    byte ^= 0x40;
    file->SetPosition(at);
    file->WriteExact(&byte, 1);
  }
  bed.Install();
  EXPECT_EQ(bed.form().ModalResult(), kResultAbort);
  EXPECT_EQ(bed.ui().Texts(), std::vector<std::string>{kBadDataMessage});
  EXPECT_TRUE(bed.NothingRecorded());
}

TYPED_TEST(CopyEngineTest, SeparateFiles_DamagedOrEscapingEntriesLeaveEarlierFiles) {
  auto& bed = this->bed_;
  TKoruInstallSet game = Game();
  game.ExtractFiles = true;
  bed.Put("C:\\Game\\new.dll", "earlier");
  bed.files().SetFileDosTime("C:\\Game\\new.dll", kOld);
  bed.PutDisc(game, 0, {{"new.dll", "from disc", kNew, true}});
  bed.Prepare();
  bed.archive().Entry(bed.archive().IndexOf("new.dll")).Crc ^= 1;
  try {
    bed.Walk();
    ADD_FAILURE() << "no error";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(), kBrokenFileError);
  }
  EXPECT_EQ(bed.Get("C:\\Game\\new.dll"), "earlier");
  EXPECT_TRUE(bed.NothingRecorded());

  bed.PutDisc(game, 0, {{"..\\evil.dll", "x", kNew, true}});
  try {
    bed.Install();
    ADD_FAILURE() << "no error";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(), Format(kUnsafeEntryNameError, "..\\evil.dll"));
  }
  EXPECT_FALSE(bed.files().FileExists("C:\\evil.dll"));
}

TYPED_TEST(CopyEngineTest, AbortAtEachPoll_RecordsNothingAndASecondInstallSucceeds) {
  std::vector<Item> entries;
  for (int i = 0; i < 19; ++i) entries.push_back({Format("data\\%02d.txt", i), "entry"});
  const std::vector<Item> loose = {{"game.exe", "MZ game"}, {"readme.txt", "read me"}};
  int aborted = 0;
  for (int poll = 1;; ++poll) {
    Bed<TypeParam> bed;
    bed.PutDisc(Game(), 0, entries, loose);
    bed.ui().OnPump([&bed, poll](int pump) {
      if (pump != poll) return;
      bed.ui().Answer(kResultYes);
      bed.form().btnAbortClick();
    });
    bed.Install();
    if (bed.Finished()) break;  // abort came after the last poll (or never)
    if (bed.form().CurrentPage() == kPageExit) {
      // Asked for after the last poll: the install was complete.
      EXPECT_TRUE(bed.Recorded()) << poll;
      continue;
    }
    ++aborted;
    EXPECT_EQ(bed.form().ModalResult(), kResultAbort) << poll;
    EXPECT_TRUE(bed.NothingRecorded()) << poll;
    bed.ui().OnPump(nullptr);
    bed.Install();
    ASSERT_TRUE(bed.Finished()) << poll;
    EXPECT_EQ(bed.Entry("C:\\Game\\game.dat", "data\\18.txt"), "entry") << poll;
  }
  // Each loose file, every tenth entry of the merge and of the check, after the data step.
  EXPECT_GE(aborted, 2 + 2 + 2 + 1);
}

// --- Faults (in memory) ------------------------------------------------------------

class CopyFaultTest : public ::testing::TestWithParam<bool> {
 protected:
  // A small install: loose files or separate files (the parameter: ExtractFiles), data.
  static void PutSmallDisc(Bed<MemoryBackend>& bed, bool extract) {
    TKoruInstallSet game = Game();
    game.ExtractFiles = extract;
    std::vector<Item> entries = {{"data\\a.txt", std::string(3000, 'a')}, {"data\\b.txt", "b"}};
    if (extract) {
      entries.push_back({"game.exe", "MZ game", kNew, true});
      entries.push_back({"readme.txt", "read me", kNew, true});
    }
    bed.PutDisc(game, 0, entries, {{"game.exe", "MZ game"}, {"readme.txt", "read me"}});
  }
  // Every file the failed install left is whole; nothing records it; the retry works.
  static void ExpectCleanFailureAndRetry(Bed<MemoryBackend>& bed, int step) {
    for (const char* name : {"game.exe", "readme.txt"}) {
      const auto bytes = bed.Get(kTarget + std::string(name));
      if (bytes) {
        EXPECT_EQ(bytes, bed.Get("D:\\" + std::string(name)).value_or("")) << step;
      }
    }
    EXPECT_TRUE(bed.NothingRecorded()) << step;
    bed.env().full_from = 0;
    bed.env().reads_fail = false;
    bed.Install();
    ASSERT_TRUE(bed.Finished()) << step;
    EXPECT_EQ(bed.Get("C:\\Game\\game.exe"), "MZ game") << step;
    EXPECT_EQ(bed.Entry("C:\\Game\\game.dat", "data\\a.txt"), std::string(3000, 'a')) << step;
    EXPECT_TRUE(bed.Recorded()) << step;
  }
};

TEST_P(CopyFaultTest, DiscFullAtEachWrite_ClearErrorThenTheNextInstallSucceeds) {
  int writes = 0;
  {
    Bed<MemoryBackend> bed;
    PutSmallDisc(bed, GetParam());
    bed.env().writes = 0;
    bed.Install();
    ASSERT_TRUE(bed.Finished());
    writes = bed.env().writes;
  }
  ASSERT_GT(writes, 4);
  for (int step = 1; step <= writes; ++step) {
    Bed<MemoryBackend> bed;
    PutSmallDisc(bed, GetParam());
    bed.env().writes = 0;
    bed.env().full_from = step;
    EXPECT_THROW(bed.Install(), KoruError) << step;
    ExpectCleanFailureAndRetry(bed, step);
  }
}

TEST_P(CopyFaultTest, SourceReadFails_ClearErrorThenTheNextInstallSucceeds) {
  Bed<MemoryBackend> bed;
  PutSmallDisc(bed, GetParam());
  bed.Prepare();
  bed.env().reads_fail = true;
  try {
    bed.Walk();
    ADD_FAILURE() << "no error";
  } catch (const KoruError& error) {
    if (!GetParam()) {
      // The first loose file cannot be copied: named (the system's reason may follow on a
      // line of its own), and not recorded as installed.
      EXPECT_EQ(error.message().rfind("D:\\game.exe --> C:\\Game\\game.exeコピーできません", 0),
                0u);
      EXPECT_EQ(bed.settings().IndexOfInstalledFile("game.exe"), -1);
    }
  }
  ExpectCleanFailureAndRetry(bed, 0);
}

INSTANTIATE_TEST_SUITE_P(LooseAndSeparate, CopyFaultTest, ::testing::Bool());

TEST(CopyEngineFaults, ExecutableInUse_OldOneStaysWhole) {
  Bed<MemoryBackend> bed;
  PutExeGame(bed);
  const std::string before = *bed.Get("C:\\Game\\game.exe");
  TKoruInstallSet update = Game();
  update.UpdateMode = true;
  bed.PutDisc(update, 0, {{"data\\a.txt", "a2", kNew}});
  bed.Prepare();
  auto running = bed.files().OpenFile("C:\\Game\\game.exe", platform::OpenOptions());
  try {
    bed.Walk();
    ADD_FAILURE() << "no error";
  } catch (const KoruError& error) {
    EXPECT_NE(error.message().find(" --> C:\\Game\\game.exeコピーできません"), std::string::npos);
  }
  running.reset();
  EXPECT_EQ(bed.Get("C:\\Game\\game.exe"), before);
  EXPECT_TRUE(bed.NothingRecorded());
}

// --- The parts on their own ---------------------------------------------------------

TEST(CopyEngineParts, ClassifyMediaFile_IsASubstringTest) {
  EXPECT_EQ(ClassifyMediaFile(".OGG"), mkSound);
  EXPECT_EQ(ClassifyMediaFile(".mp"), mkSound);
  EXPECT_EQ(ClassifyMediaFile(".mpe"), mkMovie);
  EXPECT_EQ(ClassifyMediaFile(".wmv"), mkMovie);
  EXPECT_EQ(ClassifyMediaFile(".txt"), mkOther);
  EXPECT_EQ(ClassifyMediaFile(""), mkOther);
}

TEST(CopyEngineParts, BuildProgress_RefreshesEveryTenthAndLargeEntries) {
  Bed<MemoryBackend> bed;
  bed.PutDisc(Game(), 0, {});
  bed.Prepare();
  bool abort = false;
  for (int index = 0; index < 20; ++index) OnBuildProgress(bed.form(), 100, index, 20, abort);
  EXPECT_EQ(bed.ui().pumps(), 2);
  EXPECT_EQ(bed.view().Text(kIdLabelCopy), "データファイルを構築中(20/20)...");
  OnBuildProgress(bed.form(), kLargeEntrySize + 1, 3, 20, abort);
  EXPECT_EQ(bed.ui().pumps(), 3);
  EXPECT_EQ(bed.form().CopiedSize(), 2000 + kLargeEntrySize + 1);
  EXPECT_EQ(bed.view().At(kIdProgress).position, (2000 + kLargeEntrySize + 1) / 10);
  EXPECT_FALSE(abort);
  bed.form().SetModalResult(kResultAbort);
  OnCheckProgress(bed.form(), 9, 30, abort);
  EXPECT_TRUE(abort);
  EXPECT_EQ(bed.view().At(kIdProgress).maximum, 29);
}

TEST(CopyEngineParts, WorkFolder_NextFreeNameUpToTheBound) {
  platform::MemoryEnv env;
  const std::string temp = env.system().TempFolder();
  EXPECT_EQ(CreateWorkFolder(env), temp + "~kbupdate\\");
  EXPECT_EQ(CreateWorkFolder(env), temp + "~kbupdate2\\");
  for (int n = 3; n <= kMaxWorkFolderNumber; ++n) {
    env.files().MakeDirectory(temp + Format("~kbupdate%d", n));
  }
  EXPECT_THROW(CreateWorkFolder(env), KoruError);

  // Deleting a tree leaves only what cannot go: a read-only file and its folders.
  env.files().PutFile(temp + "~kbupdate\\a\\b\\x.txt", "x");
  env.files().PutFile(temp + "~kbupdate\\a\\locked.txt", "x");
  env.files().PutFile(temp + "~kbupdate2\\c\\y.txt", "y");
  env.files().SetAttributes(temp + "~kbupdate\\a\\locked.txt", platform::kAttrReadOnly);
  DeleteFolderTree(env, temp + "~kbupdate\\");
  DeleteFolderTree(env, temp + "~kbupdate2");
  EXPECT_TRUE(env.files().FileExists(temp + "~kbupdate\\a\\locked.txt"));
  EXPECT_FALSE(env.files().DirectoryExists(temp + "~kbupdate\\a\\b"));
  EXPECT_FALSE(env.files().DirectoryExists(temp + "~kbupdate2"));
}

}  // namespace
}  // namespace koru::testing
