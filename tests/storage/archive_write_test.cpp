#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "archive_fixture.h"
#include "base/error.h"
#include "base/kw_int.h"
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

// Compresses well: long runs.
std::string Compressible(size_t size) { return std::string(size, 'a'); }
// Compresses badly: a pseudo-random byte sequence.
std::string Incompressible(size_t size) {
  std::string s(size, '\0');
  uint32_t x = 12345;
  for (char& c : s) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

// A picture header of the layered image format: magic, version, header length and a
// header record whose byte 22 is the compression type.
std::string MuraHeader(const std::string& magic_and_version, uint8_t comp_type,
                       uint32_t header_length = 40) {
  std::string s = magic_and_version;
  testing::Put32(s, header_length);
  std::string record(header_length, '\0');
  if (header_length > 22) record[22] = static_cast<char>(comp_type);
  return s + record;
}

class ArchiveWriteTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;
  TVrFileCollection source_{env_};

  void Put(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(env_.files().PutFile(path, bytes));
  }
  // Writes the collection to path with SaveTo; returns its result.
  bool SaveAs(TVrFileCollection& collection, const std::string& path) {
    env_.files().MakeDirectories("C:\\out");
    TKwBigFileStream out(env_.files(), path, kModeCreate);
    return collection.SaveTo(out);
  }
  std::string Load(TVrFileCollection& collection, const std::string& name) {
    MemoryStream out;
    LoadEntry(collection, out, name);
    return Text(out);
  }
};

TEST_F(ArchiveWriteTest, SaveThenReadRoundTripsEveryKindOfSource) {
  Put("C:\\src\\text.txt", Compressible(100));
  Put("C:\\src\\noise.bin", Incompressible(1000));
  Put("C:\\src\\music.ogg", Compressible(1000));
  Put("C:\\src\\data\\\x83\x5C.txt", "double-byte folder");
  env_.files().SetFileDosTime("C:\\src\\text.txt", 0x5A5A1234);
  source_.OpenArchive("C:\\src", false);
  source_.AddEntry("text.txt");
  source_.AddEntry("noise.bin");
  source_.AddEntry("music.ogg");
  source_.AddEntry("data\\\x83\x5C.txt").SeparateFile = true;
  TVrFile& memory = source_.AddEntry("memory.txt");
  memory.Content = std::make_unique<MemoryStream>(testing::Bytes(Incompressible(50)));
  ASSERT_TRUE(SaveAs(source_, "C:\\out\\game.dat"));

  EXPECT_FALSE(source_.Entry(0).Uncompressed);
  EXPECT_EQ(source_.Entry(0).FileTime, 0x5A5A1234u);
  EXPECT_TRUE(source_.Entry(1).Uncompressed);  // compression saved less than a tenth
  EXPECT_TRUE(source_.Entry(2).Uncompressed);  // a listed media extension
  EXPECT_EQ(source_.Entry(3).Crc, Crc("double-byte folder"));
  EXPECT_FALSE(source_.Entry(4).Uncompressed);  // memory content is always compressed

  TVrFileCollection read(env_);
  read.Open("C:\\out\\game.dat");
  ASSERT_EQ(read.Count(), 6);
  EXPECT_EQ(Load(read, "TEXT.TXT"), Compressible(100));
  EXPECT_EQ(Load(read, "noise.bin"), Incompressible(1000));
  EXPECT_EQ(Load(read, "music.ogg"), Compressible(1000));
  EXPECT_EQ(Load(read, "data\\\x83\x5C.txt"), "double-byte folder");
  EXPECT_EQ(Load(read, "memory.txt"), Incompressible(50));
  EXPECT_TRUE(read.Entry(3).SeparateFile);
  EXPECT_EQ(read.Entry(0).FileTime, 0x5A5A1234u);
  EXPECT_EQ(read.Entry(1).Crc, Crc(Incompressible(1000)));
  EXPECT_TRUE(read.VerifyChecksums());
  // The data follow the directory without gaps, in directory order.
  for (int i = 0; i + 1 < read.Count(); ++i) {
    EXPECT_EQ(read.Entry(i).Offset + read.Entry(i).Size, read.Entry(i + 1).Offset);
  }
}

TEST_F(ArchiveWriteTest, SavingSkipsTheEndMarkerAndKeepsSupersededEntries) {
  Put("C:\\g\\game.dat", BuildArchive(102, {{"a.txt", "old", false, 5}, {"b.txt", "bee", true}}));
  source_.Open("C:\\g\\game.dat");
  source_.Entry(0).SetName("/a.txt");
  ASSERT_TRUE(SaveAs(source_, "C:\\out\\copy.dat"));
  TVrFileCollection read(env_);
  read.Open("C:\\out\\copy.dat");
  ASSERT_EQ(read.Count(), 3);
  EXPECT_EQ(read.Entry(0).Name(), "/a.txt");
  EXPECT_EQ(Load(read, "/a.txt"), "old");
  EXPECT_EQ(Load(read, "b.txt"), "bee");
  EXPECT_EQ(read.Entry(0).FileTime, 5u);
}

TEST_F(ArchiveWriteTest, WriteEntryData_StoredEntryWithoutLooseFileIsReadAsStored) {
  // An entry stored as is, with no loose file beside it: its bytes must be taken as they
  // are, not inflated (which would fail on plain text).
  Put("C:\\g\\game.dat", BuildArchive(102, {{"plain.txt", "plain text, stored", false}}));
  source_.Open("C:\\g\\game.dat");
  ASSERT_TRUE(source_.Entry(0).Uncompressed);
  ASSERT_TRUE(SaveAs(source_, "C:\\out\\game.dat"));
  EXPECT_FALSE(source_.Entry(0).Uncompressed);  // rewritten compressed
  TVrFileCollection read(env_);
  read.Open("C:\\out\\game.dat");
  EXPECT_EQ(Load(read, "plain.txt"), "plain text, stored");
  EXPECT_TRUE(read.VerifyChecksums());
}

TEST_F(ArchiveWriteTest, SaveTo_ErrorLineNamesTheEntryAndTheErrorPropagates) {
  source_.OpenArchive("C:\\empty", false);
  source_.AddEntry("ok.txt").Content = std::make_unique<MemoryStream>();
  source_.AddEntry("missing.txt");
  std::vector<std::string> lines;
  source_.OnError = [&lines](const std::string& line) { lines.push_back(line); };
  try {
    SaveAs(source_, "C:\\out\\game.dat");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "missing.txt:ファイルがありません");
  }
  EXPECT_EQ(lines, std::vector<std::string>{"エラー:missing.txt"});
}

TEST_F(ArchiveWriteTest, SaveTo_ProgressReportsEachEntryTwiceAndCanCancel) {
  source_.OpenArchive("C:\\empty", false);
  for (const char* name : {"a", "b", "c"}) {
    source_.AddEntry(name).Content = std::make_unique<MemoryStream>(testing::Bytes("xyz"));
  }
  std::vector<std::pair<int, int64_t>> calls;
  source_.OnProgress = [&calls](TVrFile& item, int64_t size, int index, int count, bool& abort) {
    EXPECT_EQ(count, 3);
    calls.emplace_back(index, size);
    abort = index == 1 && size > 0;
  };
  EXPECT_FALSE(SaveAs(source_, "C:\\out\\game.dat"));
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], std::make_pair(0, int64_t{0}));
  EXPECT_GT(calls[1].second, 0);
  EXPECT_EQ(calls[3].first, 1);
}

TEST_F(ArchiveWriteTest, CompressionDecisionsFollowSizeAndExtension) {
  auto decide = [](const std::string& name, const std::string& bytes) {
    platform::MemoryEnv env;
    TVrFileCollection c(env);
    MemoryStream stream(testing::Bytes(bytes));
    return ShouldCompress(stream, c.AddEntry(name));
  };
  EXPECT_TRUE(decide("a.txt", "x"));
  EXPECT_TRUE(decide("noext", "x"));  // an empty extension is not listed
  EXPECT_FALSE(decide("a.ogg", "x"));
  EXPECT_FALSE(decide("a.Mp", "x"));  // a substring of ".MPG"
  EXPECT_FALSE(decide("a.DAT", "x"));
  EXPECT_FALSE(decide("big.txt", std::string(kCompressionLimit, 'a')));
  EXPECT_TRUE(decide("big.txt", std::string(kCompressionLimit - 1, 'a')));
  EXPECT_TRUE(decide("p.mur", MuraHeader("Mura103", 1)));
  EXPECT_TRUE(decide("p.MUR", MuraHeader("Mura103", 1) + std::string(kCompressionLimit, 'x')));
  EXPECT_FALSE(decide("p.mur", MuraHeader("Mura103", 2)));
  EXPECT_FALSE(decide("p.mur", MuraHeader("Mura102", 1)));
  EXPECT_FALSE(decide("p.mur", MuraHeader("MuraX200", 1)));  // "X20" is hexadecimal 32
  EXPECT_FALSE(decide("p.mur", "short"));
  EXPECT_TRUE(decide("p.mur", MuraHeader("Mura$FF", 1, 300)));  // long header: 40 bytes read
  EXPECT_FALSE(decide("p.mur", MuraHeader("Mura103", 1, 10)));  // record ends before byte 22
  EXPECT_THROW(decide("p.mur", MuraHeader("Mura1z3", 1)), KoruError);
}

TEST_F(ArchiveWriteTest, LooseFilesAtTheCompressionLimit) {
  Put("C:\\src\\limit.txt", Compressible(kCompressionLimit));
  Put("C:\\src\\below.txt", Compressible(kCompressionLimit - 1));
  Put("C:\\src\\empty.txt", "");
  Put("C:\\src\\big.mur", MuraHeader("Mura103", 1) + Compressible(kCompressionLimit));
  source_.OpenArchive("C:\\src", false);
  for (const char* name : {"limit.txt", "below.txt", "empty.txt", "big.mur"}) {
    source_.AddEntry(name);
  }
  ASSERT_TRUE(SaveAs(source_, "C:\\out\\game.dat"));
  EXPECT_TRUE(source_.Entry(0).Uncompressed);
  EXPECT_FALSE(source_.Entry(1).Uncompressed);
  EXPECT_TRUE(source_.Entry(2).Uncompressed);  // nothing saves a tenth of nothing
  EXPECT_FALSE(source_.Entry(3).Uncompressed);
  TVrFileCollection read(env_);
  read.Open("C:\\out\\game.dat");
  EXPECT_EQ(read.Entry(2).Size, 0);
  EXPECT_EQ(Load(read, "limit.txt"), Compressible(kCompressionLimit));
  EXPECT_EQ(Load(read, "empty.txt"), "");
}

TEST(StorageIntTest, ConvertsDecimalAndHexadecimal) {
  int32_t v = 0;
  EXPECT_TRUE(KwStrToInt(" 103", &v));
  EXPECT_EQ(v, 103);
  EXPECT_TRUE(KwStrToInt("X20", &v));
  EXPECT_EQ(v, 32);
  EXPECT_TRUE(KwStrToInt("$FFFFFFFF", &v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(KwStrToInt("0x1", &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(KwStrToInt("-2147483648", &v));
  EXPECT_FALSE(KwStrToInt("2147483648", &v));
  EXPECT_FALSE(KwStrToInt("1 ", &v));
  EXPECT_FALSE(KwStrToInt("$", &v));
  EXPECT_FALSE(KwStrToInt("-$1", &v));
}

}  // namespace
}  // namespace koru
