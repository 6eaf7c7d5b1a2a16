// vfkit pack, list, extract, cat, verify, merge and sfx against the in-memory Env.
#include <gtest/gtest.h>

#include "platform/memory/memory_env.h"
#include "storage/vrfiles.h"
#include "tools/archive_files.h"
#include "tools/archive_test_support.h"

namespace koru::tools {
namespace {

using testing::ArchiveCommandTest;
using testing::U8;

constexpr uint32_t kMay2024 = (44u << 25) | (5u << 21) | (1u << 16) | (9u << 11) | (30u << 5);

std::string Repeated(const std::string& piece, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += piece;
  return text;
}

class ArchiveRoundTripTest : public ArchiveCommandTest {
 protected:
  void SetUp() override {
    env_.files().SetClock(kMay2024);
    files_ = {
        {"C:\\game\\readme.txt", "Read me first.\r\n"},
        {"C:\\game\\シナリオ\\第一章.txt", Repeated("むかしむかし、", 200)},
        {"C:\\game\\ソフト\\表示.dat", std::string("\0\x01\x02\x5C\xFF", 5)},
        {"C:\\game\\bgm\\title.ogg", Repeated("OggS", 300)},
        {"C:\\game\\empty.bin", ""},
    };
    for (const auto& [path, bytes] : files_) Put(path, bytes);
  }

  std::vector<std::pair<std::string, std::string>> files_;
};

TEST_F(ArchiveRoundTripTest, PackListVerifyExtract_GivesTheSameBytesTimesAndNames) {
  ASSERT_EQ(Run("pack", {"C:/game", "-o", "C:/out/game.dat", "--separate", "*.ogg"}), kExitOk)
      << err_.str();

  const nlohmann::json entries = ListJson("C:/out/game.dat");
  ASSERT_EQ(entries.size(), files_.size());
  std::map<std::string, nlohmann::json> by_name;
  for (const auto& entry : entries) by_name[entry["name"]] = entry;
  ASSERT_TRUE(by_name.count(U8(u8"シナリオ\\第一章.txt")));
  ASSERT_TRUE(by_name.count(U8(u8"ソフト\\表示.dat")));
  const auto& scenario = by_name[U8(u8"シナリオ\\第一章.txt")];
  EXPECT_FALSE(scenario["uncompressed"]);  // repetitive text compresses well
  EXPECT_EQ(scenario["file_time"], kMay2024);
  EXPECT_NE(scenario["crc"], 0);
  EXPECT_TRUE(by_name["bgm\\title.ogg"]["separate_file"]);
  EXPECT_TRUE(by_name["bgm\\title.ogg"]["uncompressed"]);
  EXPECT_FALSE(by_name["readme.txt"]["separate_file"]);
  EXPECT_EQ(by_name["empty.bin"]["size"], 0);
  // Entries follow each other without gaps, in directory order.
  for (size_t i = 1; i < entries.size(); ++i) {
    EXPECT_EQ(entries[i]["offset"].get<int64_t>(),
              entries[i - 1]["offset"].get<int64_t>() + entries[i - 1]["size"].get<int64_t>());
  }

  EXPECT_EQ(Run("verify", {"C:/out/game.dat"}), kExitOk) << err_.str();
  EXPECT_NE(out_.str().find("OK"), std::string::npos);

  ASSERT_EQ(Run("extract", {"C:/out/game.dat", "-C", "C:/copy"}), kExitOk) << err_.str();
  for (const auto& [path, bytes] : files_) {
    const std::string copy = "C:\\copy\\" + path.substr(std::string("C:\\game\\").size());
    EXPECT_EQ(Contents(copy), bytes) << copy;
    EXPECT_EQ(env_.files().GetFileDosTime(copy), kMay2024) << copy;
  }
}

TEST_F(ArchiveRoundTripTest, TextListingShowsReadableTimesFlagsAndUtf8Names) {
  ASSERT_EQ(Run("pack", {"C:/game", "-o", "C:/game.dat", "--separate", "bgm/*"}), kExitOk);
  ASSERT_EQ(Run("list", {"C:/game.dat"}), kExitOk);
  const std::string listing = out_.str();
  EXPECT_NE(listing.find("2024-05-01 09:30:00"), std::string::npos) << listing;
  EXPECT_NE(listing.find(U8(u8"シナリオ\\第一章.txt")), std::string::npos);
  EXPECT_NE(listing.find(" S bgm\\title.ogg"), std::string::npos) << listing;
  EXPECT_NE(listing.find("5 entries (0 superseded)"), std::string::npos);
}

TEST_F(ArchiveRoundTripTest, ExtractAndCatTakeNamedEntriesIgnoringCase) {
  ASSERT_EQ(Run("pack", {"C:/game", "-o", "C:/game.dat"}), kExitOk);
  ASSERT_EQ(Run("extract", {"C:/game.dat", "README.TXT", "-C", "C:/one"}), kExitOk);
  EXPECT_EQ(Contents("C:\\one\\readme.txt"), "Read me first.\r\n");
  EXPECT_FALSE(Exists("C:\\one\\empty.bin"));

  ASSERT_EQ(Run("cat", {"C:/game.dat", U8(u8"ソフト/表示.dat")}), kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), std::string("\0\x01\x02\x5C\xFF", 5));
  ASSERT_EQ(Run("cat", {"C:/game.dat", U8(u8"シナリオ\\第一章.txt")}), kExitOk);
  EXPECT_EQ(out_.str(), files_[1].second);

  EXPECT_EQ(Run("cat", {"C:/game.dat", "missing.txt"}), kExitError);
  EXPECT_NE(err_.str().find("missing.txt"), std::string::npos);
  EXPECT_EQ(Run("extract", {"C:/game.dat", "missing.txt", "-C", "C:/two"}), kExitError);
  EXPECT_FALSE(env_.files().DirectoryExists("C:\\two"));
}

TEST_F(ArchiveRoundTripTest, Verify_FlippedStoredByteFailsWithOneAndNamesTheEntry) {
  ASSERT_EQ(Run("pack", {"C:/game", "-o", "C:/game.dat"}), kExitOk);
  const nlohmann::json entries = ListJson("C:/game.dat");
  int64_t offset = -1;
  for (const auto& entry : entries) {
    if (entry["name"] == "readme.txt") offset = entry["offset"].get<int64_t>() + 3;
  }
  ASSERT_GE(offset, 0);
  std::string bytes = Contents("C:\\game.dat");
  bytes[static_cast<size_t>(offset)] ^= 0x40;
  Put("C:\\game.dat", bytes);

  EXPECT_EQ(Run("verify", {"C:/game.dat"}), kExitFailure);
  EXPECT_NE(err_.str().find("checksum mismatch: readme.txt"), std::string::npos) << err_.str();
  EXPECT_EQ(err_.str().find("empty.bin"), std::string::npos);
}

TEST_F(ArchiveCommandTest, Extract_DamagedCompressedEntryLeavesNoHalfWrittenFile) {
  Put("C:\\g\\a.txt", Repeated("compressible text ", 100));
  ASSERT_EQ(Run("pack", {"C:/g", "-o", "C:/g.dat"}), kExitOk);
  const nlohmann::json entries = ListJson("C:/g.dat");
  ASSERT_FALSE(entries[0]["uncompressed"]);
  std::string bytes = Contents("C:\\g.dat");
  const size_t start = entries[0]["offset"].get<size_t>();
  for (size_t i = start + 2; i < bytes.size(); ++i) bytes[i] = '\x55';  // no zlib stream
  Put("C:\\g.dat", bytes);
  EXPECT_EQ(Run("extract", {"C:/g.dat", "-C", "C:/x"}), kExitError);
  EXPECT_FALSE(err_.str().empty());
  EXPECT_FALSE(Exists("C:\\x\\a.txt"));
  EXPECT_EQ(Run("verify", {"C:/g.dat"}), kExitFailure);
}

TEST_F(ArchiveCommandTest, UnreadableArchivesAreErrorsOfTheirOwn) {
  EXPECT_EQ(Run("verify", {"C:/nothing.dat"}), kExitError);
  EXPECT_NE(err_.str().find("no such archive"), std::string::npos);
  Put("C:\\junk.dat", std::string("vf\x66\0\0\0\xff\xff\xff\x7f garbage", 18));
  EXPECT_EQ(Run("verify", {"C:/junk.dat"}), kExitError);
  EXPECT_FALSE(err_.str().empty());
  EXPECT_EQ(Run("list", {"C:/junk.dat"}), kExitError);
  EXPECT_TRUE(out_.str().empty());
}

TEST_F(ArchiveCommandTest, Extract_RefusesUnsafeNamesAndWritesNothingForThem) {
  TVrFileCollection archive(env_);
  for (const std::string name :
       {"..\\escape.txt", "C:\\abs.txt", "\\root.txt", "sub\\..\\..\\up.txt", "ok\\safe.txt"}) {
    TVrFile& entry = archive.AddEntry(name);
    entry.Content = std::make_unique<MemoryStream>(std::vector<uint8_t>{'x', 'y'});
  }
  {
    TKwBigFileStream out(env_.files(), "C:\\bad.dat", kModeCreate);
    ASSERT_TRUE(archive.SaveTo(out));
  }
  EXPECT_EQ(Run("extract", {"C:/bad.dat", "-C", "C:/dest/inner"}), kExitError);
  EXPECT_EQ(Contents("C:\\dest\\inner\\ok\\safe.txt"), "xy");
  for (const char* outside :
       {"C:\\dest\\escape.txt", "C:\\abs.txt", "C:\\root.txt", "C:\\dest\\up.txt", "C:\\up.txt",
        "C:\\dest\\inner\\abs.txt", "C:\\dest\\inner\\root.txt"}) {
    EXPECT_FALSE(Exists(outside)) << outside;
  }
  EXPECT_NE(err_.str().find("refused unsafe name: ..\\escape.txt"), std::string::npos)
      << err_.str();
  EXPECT_NE(err_.str().find("4 entries with unsafe names"), std::string::npos);
}

TEST_F(ArchiveCommandTest, Merge_CreatesTheExtFileSupersedesOlderEntriesAndSkipsThemOnExtract) {
  env_.files().SetClock(kMay2024);
  Put("C:\\v1\\a.txt", "first a");
  Put("C:\\v1\\b.txt", "first b");
  ASSERT_EQ(Run("pack", {"C:/v1", "-o", "C:/v1.dat"}), kExitOk);
  ASSERT_EQ(Run("merge", {"C:/v1.dat", "C:/inst/game.dat"}), kExitOk) << err_.str();
  EXPECT_TRUE(Exists("C:\\inst\\game.ext"));
  EXPECT_NE(out_.str().find("2 entries merged"), std::string::npos) << out_.str();
  EXPECT_EQ(Run("verify", {"C:/inst/game.dat"}), kExitOk) << err_.str();

  ASSERT_EQ(Run("merge", {"C:/v1.dat", "C:/inst/game.dat"}), kExitOk);
  EXPECT_NE(out_.str().find("nothing to merge"), std::string::npos);

  env_.files().SetClock(kMay2024 + (1u << 16));  // a day later
  Put("C:\\v2\\a.txt", "second a");
  ASSERT_EQ(Run("pack", {"C:/v2", "-o", "C:/v2.dat"}), kExitOk);
  ASSERT_EQ(Run("merge", {"C:/v2.dat", "C:/inst/game.dat"}), kExitOk);
  const nlohmann::json entries = ListJson("C:/inst/game.dat");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0]["name"], "/a.txt");
  EXPECT_EQ(entries[2]["name"], "a.txt");
  EXPECT_EQ(Run("verify", {"C:/inst/game.dat"}), kExitOk) << err_.str();

  ASSERT_EQ(Run("extract", {"C:/inst/game.dat", "-C", "C:/x"}), kExitOk) << err_.str();
  EXPECT_EQ(Contents("C:\\x\\a.txt"), "second a");
  EXPECT_EQ(Contents("C:\\x\\b.txt"), "first b");
  EXPECT_NE(out_.str().find("2 files written"), std::string::npos);
}

TEST_F(ArchiveCommandTest, Merge_RefusesItselfAndExecutables) {
  Put("C:\\v\\a.txt", "a");
  ASSERT_EQ(Run("pack", {"C:/v", "-o", "C:/v.dat"}), kExitOk);
  EXPECT_EQ(Run("merge", {"C:/v.dat", "C:/V.DAT"}), kExitError);
  EXPECT_EQ(Run("merge", {"C:/v.dat", "C:/game.exe"}), kExitError);
  EXPECT_FALSE(Exists("C:\\game.exe"));
}

TEST_F(ArchiveCommandTest, Pack_ReplacesAStaleExtFileAndLeavesOutItsOwnArchive) {
  Put("C:\\g\\a.txt", "a");
  Put("C:\\old\\z.txt", "z");
  ASSERT_EQ(Run("pack", {"C:/old", "-o", "C:/old.dat"}), kExitOk);
  ASSERT_EQ(Run("merge", {"C:/old.dat", "C:/g/game.dat"}), kExitOk);
  ASSERT_TRUE(Exists("C:\\g\\game.ext"));
  // Packing the folder into its own game.dat: the old directory must not survive, and
  // the archive must not become an entry of itself.
  ASSERT_EQ(Run("pack", {"C:/g", "-o", "C:/g/game.dat"}), kExitOk) << err_.str();
  EXPECT_FALSE(Exists("C:\\g\\game.ext"));
  const nlohmann::json entries = ListJson("C:/g/game.dat");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0]["name"], "a.txt");
}

TEST_F(ArchiveCommandTest, Pack_SeparateListFileAndUnusedPatternWarning) {
  Put("C:\\g\\movie\\op.avi", "avi");
  Put("C:\\g\\data.bin", "bin");
  Put("C:\\list.txt", "\xEF\xBB\xBF# movies\r\nmovie/*.avi\r\n\r\nnothing/*\r\n");
  ASSERT_EQ(Run("pack", {"C:/g", "-o", "C:/g.dat", "--separate-list", "C:/list.txt"}), kExitOk);
  EXPECT_NE(err_.str().find("nothing/*"), std::string::npos) << err_.str();
  const nlohmann::json entries = ListJson("C:/g.dat");
  for (const auto& entry : entries) {
    EXPECT_EQ(entry["separate_file"], entry["name"] == "movie\\op.avi") << entry["name"];
  }
}

TEST_F(ArchiveCommandTest, EveryCommandHasHelpAndRejectsBadCommandLines) {
  for (const std::string command :
       {"pack", "list", "extract", "cat", "verify", "merge", "sfx", "make-disc"}) {
    EXPECT_EQ(Run(command, {"--help"}), kExitOk) << command;
    EXPECT_NE(out_.str().find("usage: vfkit " + command), std::string::npos) << command;
    EXPECT_EQ(Run(command, {}), kExitUsage) << command;
    EXPECT_NE(err_.str().find("usage:"), std::string::npos) << command;
    EXPECT_EQ(Run(command, {"a", "b", "c", "--bogus"}), kExitUsage) << command;
  }
  EXPECT_EQ(Run("pack", {"C:/g"}), kExitUsage);
  EXPECT_EQ(Run("list", {"a", "b"}), kExitUsage);
}

TEST_F(ArchiveCommandTest, ProgressBarIsDrawnOnlyOnATerminal) {
  for (int i = 0; i < 25; ++i) Put("C:\\g\\f" + std::to_string(i) + ".txt", "text");
  ASSERT_EQ(Run("pack", {"C:/g", "-o", "C:/g.dat"}, /*terminal=*/false), kExitOk);
  EXPECT_TRUE(err_.str().empty()) << err_.str();
  ASSERT_EQ(Run("verify", {"C:/g.dat"}, /*terminal=*/true), kExitOk);
  EXPECT_NE(err_.str().find("\rverify ["), std::string::npos);
  ASSERT_EQ(Run("pack", {"C:/g", "-o", "C:/h.dat"}, /*terminal=*/true), kExitOk);
  EXPECT_NE(err_.str().find("100% 25/25"), std::string::npos) << err_.str();
}

TEST(NamePatternTest, StarsStayInOneFolderUnlessDoubledAndCaseIsIgnored) {
  EXPECT_TRUE(MatchesNamePattern("*.ogg", "bgm\\Title.OGG"));
  EXPECT_FALSE(MatchesNamePattern("bgm/*.ogg", "bgm\\sub\\a.ogg"));
  EXPECT_TRUE(MatchesNamePattern("bgm/**.ogg", "bgm\\sub\\a.ogg"));
  EXPECT_TRUE(MatchesNamePattern("BGM\\?.ogg", "bgm\\a.ogg"));
  EXPECT_FALSE(MatchesNamePattern("bgm\\?.ogg", "bgm\\ab.ogg"));
  EXPECT_FALSE(MatchesNamePattern("*.txt", "a.txt.bak"));
  // ソ ends in the byte 0x5C, which is not a folder separator inside the character.
  EXPECT_TRUE(MatchesNamePattern("ソ?.txt", "dir\\ソフ.txt"));
  EXPECT_TRUE(MatchesNamePattern("*/ソ*", "表\\ソフト"));
  EXPECT_FALSE(MatchesNamePattern("*\\*", "ソフト"));
}

}  // namespace
}  // namespace koru::tools
