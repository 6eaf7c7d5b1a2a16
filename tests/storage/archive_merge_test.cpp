#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "archive_fixture.h"
#include "base/error.h"
#include "platform/memory/memory_env.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

using testing::BuildArchive;
using testing::FixtureEntry;

std::string Text(const MemoryStream& m) { return std::string(m.Bytes().begin(), m.Bytes().end()); }

uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// An entry whose checksum covers its stored bytes, as the writer records it.
FixtureEntry Checked(const std::string& name, const std::string& content, uint32_t time,
                     bool compress = true) {
  FixtureEntry e{name, content, compress, time, 0, false};
  e.crc = Crc(testing::Stored(e));
  return e;
}

class ArchiveMergeTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;
  TVrFileCollection target_{env_};
  TVrFileCollection disc_{env_};

  void PutDisc(const std::vector<FixtureEntry>& entries) {
    disc_.Open("");
    ASSERT_TRUE(env_.files().PutFile("D:\\game.dat", BuildArchive(102, entries)));
    disc_.Open("D:\\game.dat");
  }
  std::string Load(TVrFileCollection& c, const std::string& name) {
    MemoryStream out;
    LoadEntry(c, out, name);
    return Text(out);
  }
  void SetUp() override {
    env_.files().AddDrive('D');
    env_.files().MakeDirectories("C:\\Game");
  }
};

TEST_F(ArchiveMergeTest, MergingIntoAMissingArchiveCreatesDataAndExtFile) {
  PutDisc({Checked("install.dat", "settings", 10), Checked("bg.mur", "picture", 10, false)});
  target_.OpenArchive("C:\\Game\\game.dat", true);
  ASSERT_TRUE(target_.MergeFrom(disc_));
  EXPECT_EQ(target_.IndexOf(kEndMarkerName), -1);
  EXPECT_TRUE(target_.VerifyChecksums());
  target_.Open("");  // a created archive shuts out every other opener
  // The data file starts with entry data; the directory lives in the .ext file.
  const std::string data = *env_.files().FileContents("C:\\Game\\game.dat");
  EXPECT_EQ(data.substr(0, 2), "\x78\x9C");
  EXPECT_TRUE(env_.files().FileExists("C:\\Game\\game.ext"));

  TVrFileCollection reread(env_);
  reread.Open("C:\\Game\\game.dat");
  EXPECT_EQ(reread.Entry(0).Offset, 0);
  EXPECT_EQ(Load(reread, "install.dat"), "settings");
  EXPECT_EQ(Load(reread, "bg.mur"), "picture");
  EXPECT_TRUE(reread.VerifyChecksums());
}

TEST_F(ArchiveMergeTest, OnlyNewerEntriesSupersedeAndTheirBytesAreAppended) {
  PutDisc({Checked("a.txt", "first a", 10), Checked("b.txt", "first b", 10)});
  target_.OpenArchive("C:\\Game\\game.dat", true);
  ASSERT_TRUE(target_.MergeFrom(disc_));
  target_.Open("C:\\Game\\game.dat");
  const int64_t size_before = *env_.files().GetFileSize("C:\\Game\\game.dat");

  // Same time changes nothing, and a merge that appends nothing leaves the .ext alone.
  const std::string ext_before = *env_.files().FileContents("C:\\Game\\game.ext");
  PutDisc({Checked("a.txt", "same time", 10)});
  EXPECT_FALSE(target_.MergeFrom(disc_));
  EXPECT_EQ(*env_.files().FileContents("C:\\Game\\game.ext"), ext_before);

  PutDisc({Checked("A.TXT", "second a", 11), Checked("b.txt", "older b", 9),
           FixtureEntry{"sep.bin", "separate", false, 99, 0, true},
           Checked("/c.txt", "superseded on the disc", 50)});
  ASSERT_TRUE(target_.MergeFrom(disc_));
  EXPECT_GT(*env_.files().GetFileSize("C:\\Game\\game.dat"), size_before);
  target_.Open("C:\\Game\\game.dat");
  ASSERT_EQ(target_.Count(), 4);
  EXPECT_EQ(target_.Entry(0).Name(), "/a.txt");
  EXPECT_EQ(target_.Entry(2).Name(), "A.TXT");
  EXPECT_EQ(Load(target_, "a.txt"), "second a");
  EXPECT_EQ(Load(target_, "/a.txt"), "first a");
  EXPECT_EQ(Load(target_, "b.txt"), "first b");
  EXPECT_EQ(target_.IndexOf("sep.bin"), -1);
  EXPECT_EQ(target_.IndexOf("/c.txt"), -1);
  EXPECT_EQ(target_.IndexOf("c.txt"), -1);
  EXPECT_TRUE(target_.VerifyChecksums());
}

TEST_F(ArchiveMergeTest, StaleBytesOfACancelledMergeAreNotCountedIntoAnEntry) {
  PutDisc({Checked("a.txt", "alpha", 10)});
  target_.OpenArchive("C:\\Game\\game.dat", true);
  ASSERT_TRUE(target_.MergeFrom(disc_));
  const int64_t recorded_end = *env_.files().GetFileSize("C:\\Game\\game.dat");

  // A later merge was cancelled after copying bytes but before writing the .ext file.
  target_.Open("C:\\Game\\game.dat");
  PutDisc({Checked("big.txt", std::string(5000, 'z') + "tail", 20, false)});
  target_.OnProgress = [](TVrFile&, int64_t, int, int, bool&) {};
  ASSERT_TRUE(target_.MergeFrom(disc_));
  target_.Open("");
  // Restore the old directory: the data file now carries bytes behind its recorded end.
  PutDisc({Checked("a.txt", "alpha", 10)});
  TVrFileCollection fresh(env_);
  fresh.OpenArchive("C:\\Game\\fresh.dat", true);
  ASSERT_TRUE(fresh.MergeFrom(disc_));
  fresh.Open("");
  ASSERT_TRUE(env_.files().CopyFileTo("C:\\Game\\fresh.ext", "C:\\Game\\game.ext", false));
  ASSERT_GT(*env_.files().GetFileSize("C:\\Game\\game.dat"), recorded_end);

  target_.Open("C:\\Game\\game.dat");
  ASSERT_EQ(target_.Entry(0).Size + target_.Entry(0).Offset, recorded_end);
  PutDisc({Checked("b.txt", "beta", 30)});
  ASSERT_TRUE(target_.MergeFrom(disc_));
  target_.Open("C:\\Game\\game.dat");
  EXPECT_EQ(target_.Entry(1).Offset, recorded_end);
  EXPECT_EQ(Load(target_, "a.txt"), "alpha");
  EXPECT_EQ(Load(target_, "b.txt"), "beta");
  EXPECT_TRUE(target_.VerifyChecksums());
}

TEST_F(ArchiveMergeTest, CancelledMergeWritesNoDirectory) {
  PutDisc({Checked("a.txt", "alpha", 10), Checked("b.txt", "beta", 10)});
  target_.OpenArchive("C:\\Game\\game.dat", true);
  target_.OnProgress = [](TVrFile&, int64_t, int index, int, bool& abort) { abort = index == 1; };
  EXPECT_TRUE(target_.MergeFrom(disc_));
  EXPECT_FALSE(env_.files().FileExists("C:\\Game\\game.ext"));
}

TEST_F(ArchiveMergeTest, SuccessiveMergesIntoOneCollectionKeepTheEndOfTheData) {
  target_.OpenArchive("C:\\Game\\game.dat", true);
  PutDisc({Checked("disc1.txt", "one", 10)});
  ASSERT_TRUE(target_.MergeFrom(disc_));
  PutDisc({Checked("disc2.txt", "two", 10), Checked("disc1.txt", "newer one", 11)});
  ASSERT_TRUE(target_.MergeFrom(disc_));
  EXPECT_TRUE(target_.VerifyChecksums());
  target_.Open("C:\\Game\\game.dat");
  EXPECT_EQ(target_.Count(), 4);  // the superseded entry and the end marker included
  EXPECT_EQ(Load(target_, "disc1.txt"), "newer one");
  EXPECT_EQ(Load(target_, "disc2.txt"), "two");
}

TEST_F(ArchiveMergeTest, VerifyChecksums_DetectsDamageAndSkipsUncheckedEntries) {
  FixtureEntry unchecked{"zero.txt", "no checksum", false, 1, 0, false};
  FixtureEntry superseded = Checked("/old.txt", "old", 1, false);
  superseded.crc ^= 1;  // never checked
  ASSERT_TRUE(env_.files().PutFile(
      "C:\\g\\game.dat", BuildArchive(102, {unchecked, superseded, Checked("ok.txt", "fine", 1)})));
  TVrFileCollection archive(env_);
  archive.Open("C:\\g\\game.dat");
  EXPECT_TRUE(archive.VerifyChecksums());
  archive.Entry(2).Crc ^= 0x100;
  EXPECT_FALSE(archive.VerifyChecksums());
  TVrFileCollection none(env_);
  EXPECT_FALSE(none.VerifyChecksums());
}

TEST_F(ArchiveMergeTest, VerifyChecksums_SeparateFilesAreCheckedAgainstTheirContent) {
  FixtureEntry separate{"movie\\op.txt", std::string(400, 'm'), true, 1, 0, true};
  separate.crc = Crc(separate.content);
  ASSERT_TRUE(env_.files().PutFile("C:\\g\\game.dat", BuildArchive(102, {separate})));
  TVrFileCollection archive(env_);
  archive.Open("C:\\g\\game.dat");
  EXPECT_TRUE(archive.VerifyChecksums());
  archive.Entry(0).Crc = Crc(testing::Stored(separate));
  EXPECT_FALSE(archive.VerifyChecksums());
}

TEST_F(ArchiveMergeTest, VerifyChecksums_TruncatedDataFailsAndProgressCanCancel) {
  std::vector<FixtureEntry> entries;
  for (int i = 0; i < 12; ++i) entries.push_back(Checked("f" + std::to_string(i), "data", 1));
  std::string bytes = BuildArchive(102, entries);
  ASSERT_TRUE(env_.files().PutFile("C:\\g\\game.dat", bytes.substr(0, bytes.size() - 3)));
  TVrFileCollection archive(env_);
  archive.Open("C:\\g\\game.dat");
  EXPECT_FALSE(archive.VerifyChecksums());
  std::vector<int> reported;
  archive.OnProgress = [&reported](TVrFile&, int64_t, int index, int count, bool& abort) {
    EXPECT_EQ(count, 12);
    reported.push_back(index);
    abort = true;
  };
  EXPECT_TRUE(archive.VerifyChecksums());
  EXPECT_EQ(reported, std::vector<int>{9});
}

}  // namespace
}  // namespace koru
