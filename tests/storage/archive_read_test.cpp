#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive_fixture.h"
#include "base/error.h"
#include "platform/memory/memory_env.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

using testing::BuildArchive;
using testing::Bytes;
using testing::FixtureEntry;

std::string Text(const MemoryStream& m) { return std::string(m.Bytes().begin(), m.Bytes().end()); }

std::vector<FixtureEntry> CompressedEntries() {
  return {{"install.dat", "settings", true},
          {"data\\\x83\x5C.txt", std::string(300, 'q'), true},
          {"empty.bin", "", true}};
}

class ArchiveReadTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;
  TVrFileCollection archive_{env_};

  void Put(const std::string& path, const std::string& bytes) {
    archive_.Open("");  // the open archive shuts writers out
    ASSERT_TRUE(env_.files().PutFile(path, bytes));
  }
  std::string Load(const std::string& name) {
    MemoryStream out;
    LoadEntry(archive_, out, name);
    EXPECT_EQ(out.GetPosition(), 0);
    return Text(out);
  }
};

TEST_F(ArchiveReadTest, EveryLayoutReadsBack) {
  for (int version : {testing::kNoSignature, 0, 99, 100}) {
    Put("C:\\g\\game.dat", BuildArchive(version, CompressedEntries()));
    archive_.Open("C:\\g\\game.dat");
    ASSERT_EQ(archive_.Count(), 4) << version;
    EXPECT_EQ(archive_.Entry(3).Name(), kEndMarkerName);
    EXPECT_EQ(archive_.Entry(3).Size, 0);
    EXPECT_EQ(Load("INSTALL.DAT"), "settings") << version;
    EXPECT_EQ(Load("data\\\x83\x5C.TXT"), std::string(300, 'q')) << version;
    EXPECT_EQ(Load("empty.bin"), "") << version;
    EXPECT_FALSE(archive_.Entry(0).Uncompressed);
    EXPECT_EQ(archive_.Entry(0).Crc, 0u);
  }
  for (int version : {101, 102, 150}) {
    std::vector<FixtureEntry> entries = {{"a.txt", "stored", false, 0x12345678, 0xCAFE, true},
                                         {"b.txt", "packed", true, 7, 0, false}};
    Put("C:\\g\\game.dat", BuildArchive(version, entries));
    archive_.Open("C:\\g\\game.dat");
    ASSERT_EQ(archive_.Count(), 3);
    const TVrFile& a = archive_.Entry(0);
    EXPECT_TRUE(a.Uncompressed);
    EXPECT_EQ(a.FileTime, 0x12345678u);
    EXPECT_EQ(a.Crc, 0xCAFEu);
    EXPECT_EQ(a.SeparateFile, version >= 102) << version;
    EXPECT_EQ(a.Size, 6);
    EXPECT_EQ(Load("a.txt"), "stored");
    EXPECT_EQ(Load("b.txt"), "packed");
  }
}

TEST_F(ArchiveReadTest, EmptyDirectoryHoldsOnlyTheEndMarker) {
  Put("C:\\g\\game.dat", BuildArchive(102, {}));
  archive_.Open("C:\\g\\game.dat");
  ASSERT_EQ(archive_.Count(), 1);
  EXPECT_EQ(archive_.IndexOf(kEndMarkerName), 0);
}

TEST_F(ArchiveReadTest, NameGeneratorRunsAcrossNames) {
  const std::string one = BuildArchive(102, {{"aaaa", "1", false}, {"bbbb", "2", false}});
  const std::string two = BuildArchive(102, {{"bbbb", "2", false}, {"aaaa", "1", false}});
  // Swapping two names of equal length changes both stored byte runs, not just their order.
  EXPECT_NE(one.substr(14, 4), two.substr(22, 4));
  EXPECT_NE(one.substr(22, 4), two.substr(14, 4));
  Put("C:\\g\\game.dat", two);
  archive_.Open("C:\\g\\game.dat");
  EXPECT_EQ(archive_.Entry(0).Name(), "bbbb");
  EXPECT_EQ(Load("aaaa"), "1");
}

TEST_F(ArchiveReadTest, OffsetScramblingInvertsTheUpperHalfForNegativeValues) {
  TKwRandom random(kDirectorySeed);
  // Find the first negative generator value and place a known offset under it.
  std::vector<int32_t> values;
  for (int i = 0; i < 8; ++i) values.push_back(random.Next());
  size_t negative = 0;
  while (negative < values.size() && values[negative] >= 0) ++negative;
  ASSERT_LT(negative, values.size());
  std::vector<FixtureEntry> entries(negative + 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i] = {"n" + std::to_string(i), "x", false};
  }
  const std::string archive = BuildArchive(101, entries);
  const size_t table =
      archive.size() - entries.size() - 9 * entries.size() - 8 * (entries.size() + 1);
  const int64_t stored =
      LoadInt64(reinterpret_cast<const uint8_t*>(archive.data()) + table + 8 * negative);
  EXPECT_EQ(static_cast<uint64_t>(stored) >> 32, 0xFFFFFFFFu);
  Put("C:\\g\\game.dat", archive);
  archive_.Open("C:\\g\\game.dat");
  EXPECT_EQ(archive_.Entry(static_cast<int>(negative)).Offset,
            static_cast<int64_t>(archive.size()) - static_cast<int64_t>(entries.size()) +
                static_cast<int64_t>(negative));
  EXPECT_EQ(archive_.Entry(static_cast<int>(negative)).Offset >> 32, 0);
}

TEST_F(ArchiveReadTest, Version100OffsetsNeverHaveTheirUpperHalfSet) {
  std::vector<FixtureEntry> entries;
  for (int i = 0; i < 8; ++i) entries.push_back({"f" + std::to_string(i), "abc", true});
  Put("C:\\g\\game.dat", BuildArchive(100, entries));
  archive_.Open("C:\\g\\game.dat");
  for (int i = 0; i < archive_.Count(); ++i) EXPECT_EQ(archive_.Entry(i).Offset >> 32, 0);
  EXPECT_EQ(Load("f7"), "abc");
}

TEST_F(ArchiveReadTest, SeparateDirectoryFileWinsOverTheDirectoryInTheDataFile) {
  std::vector<FixtureEntry> entries = {{"x.txt", "from ext", false}};
  // The data file holds other bytes at its start; the .ext names offsets into it.
  const std::string data = "JUNK" + std::string("from ext");
  Put("C:\\g\\game.dat", data);
  Put("C:\\g\\game.ext", testing::BuildDirectory(102, entries, 4));
  archive_.Open("C:\\g\\game.dat");
  EXPECT_EQ(Load("x.txt"), "from ext");
  EXPECT_EQ(archive_.Folder(), "C:\\g\\");
}

TEST_F(ArchiveReadTest, ExecutableArchiveIsFoundThroughItsTrailer) {
  std::string exe = "MZ" + std::string(100, '\x90');
  std::string archive = BuildArchive(102, {{"install.dat", "in exe", false}});
  std::string file = exe + archive;
  testing::Put32(file, static_cast<uint32_t>(exe.size()));
  file += "kr";
  Put("C:\\g\\Game.EXE", file);
  archive_.Open("C:\\g\\Game.EXE");
  EXPECT_EQ(Load("install.dat"), "in exe");
  EXPECT_EQ(archive_.Entry(0).Offset, static_cast<int64_t>(exe.size() + archive.size() - 6));
  // Without a trailer the last 6 bytes still name the start, here far past the end.
  Put("C:\\g\\bad.scr", "0123456789");
  EXPECT_THROW(archive_.Open("C:\\g\\bad.scr"), KoruError);
  EXPECT_EQ(archive_.Count(), 0);
  EXPECT_EQ(archive_.ArchiveStream(), nullptr);
}

TEST_F(ArchiveReadTest, OpeningAFolderOrNothing) {
  Put("C:\\loose\\readme.txt", "loose");
  archive_.OpenArchive("C:\\loose", false);
  EXPECT_EQ(archive_.Folder(), "C:\\loose\\");
  EXPECT_EQ(archive_.ArchiveStream(), nullptr);
  EXPECT_EQ(Load("readme.txt"), "loose");
  archive_.OpenArchive("C:\\new\\game.dat", true);
  EXPECT_EQ(archive_.Folder(), "C:\\new\\");
  EXPECT_EQ(archive_.ArchivePath(), "C:\\new\\game.dat");
  archive_.Open("");
  EXPECT_EQ(archive_.Folder(), "C:\\new\\");
  EXPECT_EQ(archive_.Count(), 0);
}

TEST_F(ArchiveReadTest, LoadEntryPrefersArchiveOverLooseFile) {
  Put("C:\\g\\game.dat", BuildArchive(102, {{"a.txt", "archive", true}}));
  Put("C:\\g\\a.txt", "loose a");
  Put("C:\\g\\b.txt", "loose b");
  Put("C:\\secret.txt", "outside");
  archive_.Open("C:\\g\\game.dat");
  EXPECT_EQ(Load("a.txt"), "archive");
  EXPECT_EQ(Load("B.TXT"), "loose b");
  // Neither the archive file itself nor a file outside the folder is a loose entry.
  EXPECT_THROW(Load("game.dat"), KoruError);
  EXPECT_THROW(Load("..\\secret.txt"), KoruError);
  try {
    Load("none.txt");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "none.txt:ファイルがありません");
  }
}

TEST_F(ArchiveReadTest, LoadEntryIntoAFileStreamDecompressesThroughMemory) {
  Put("C:\\g\\game.dat", BuildArchive(102, {{"a.txt", std::string(5000, 'z'), true}}));
  archive_.Open("C:\\g\\game.dat");
  platform::OpenOptions options;
  options.access = platform::FileAccess::kReadWrite;
  options.disposition = platform::FileDisposition::kCreateAlways;
  auto file = env_.files().OpenFile("C:\\out.txt", options);
  LoadEntry(archive_, *file, "a.txt");
  EXPECT_EQ(file->GetPosition(), 0);
  file.reset();
  EXPECT_EQ(env_.files().FileContents("C:\\out.txt"), std::string(5000, 'z'));
}

TEST_F(ArchiveReadTest, ResourceArchiveAndEmptyEntry) {
  env_.system().AddResource(
      "", "DUMMY", "BINTYPE",
      Bytes(BuildArchive(102, {{"install.dat", "res", false}, {"zero", "", false}})));
  archive_.OpenResource(env_.system().ExecutablePath(), "DUMMY", "BINTYPE");
  EXPECT_EQ(Load("install.dat"), "res");
  EXPECT_EQ(Load("zero"), "");

  env_.system().AddResource("", "EMPTY", "BINTYPE", {});
  try {
    archive_.OpenResource("", "EMPTY", "BINTYPE");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "リソースが見つかりません");
  }
  EXPECT_EQ(archive_.Count(), 0);
  EXPECT_THROW(archive_.OpenResource("", "MISSING", "BINTYPE"), KoruError);
  // A module that cannot be loaded leaves the collection empty without an error.
  archive_.OpenResource("C:\\nowhere.dll", "DUMMY", "BINTYPE");
  EXPECT_EQ(archive_.Count(), 0);
  EXPECT_EQ(archive_.ArchiveStream(), nullptr);
}

TEST_F(ArchiveReadTest, InvalidZlibDataGivesTheCompressionError) {
  std::vector<FixtureEntry> entries = {{"a.txt", "not zlib at all", false}};
  std::string archive = BuildArchive(102, entries);
  // Flip the Uncompressed flag so the plain bytes are taken for a zlib stream.
  archive[archive.size() - 15 - 10] = 0;
  Put("C:\\g\\game.dat", archive);
  archive_.Open("C:\\g\\game.dat");
  EXPECT_FALSE(archive_.Entry(0).Uncompressed);
  EXPECT_THROW(Load("a.txt"), KoruError);
}

}  // namespace
}  // namespace koru
