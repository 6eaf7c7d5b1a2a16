#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive_fixture.h"
#include "base/error.h"
#include "imaging/mura.h"
#include "platform/memory/memory_env.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

using testing::BuildArchive;
using testing::FixtureEntry;
using testing::Put32;

std::vector<FixtureEntry> SmallEntries() {
  return {{"install.dat", "settings text", false, 1, 2, false},
          {"bg.mur", std::string(200, 'b'), true, 3, 0, false},
          {"sub\\x.txt", "x", false, 0, 0, true}};
}

class ArchiveDamageTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;
  TVrFileCollection archive_{env_};

  // Opens the bytes as game.dat and extracts every entry; returns the message of the
  // first error, or "" when everything read.
  std::string OpenAndLoadAll(const std::string& bytes, const std::string* ext = nullptr) {
    archive_.Open("");  // the open archive shuts writers out
    EXPECT_TRUE(env_.files().PutFile("C:\\g\\game.dat", bytes));
    env_.files().RemoveFile("C:\\g\\game.ext");
    if (ext != nullptr) {
      EXPECT_TRUE(env_.files().PutFile("C:\\g\\game.ext", *ext));
    }
    try {
      archive_.Open("C:\\g\\game.dat");
      for (int i = 0; i < archive_.Count(); ++i) {
        MemoryStream out;
        LoadEntry(archive_, out, archive_.Entry(i).Name());
      }
    } catch (const KoruError& e) {
      return e.message().empty() ? "?" : e.message();
    }
    return "";
  }

  void ExpectCorrupt(const std::string& bytes) {
    EXPECT_EQ(OpenAndLoadAll(bytes), kCorruptArchiveError);
    EXPECT_EQ(archive_.Count(), 0);
    EXPECT_EQ(archive_.ArchiveStream(), nullptr);
  }
};

std::string Header(int32_t version, int32_t count) {
  std::string out = "vf";
  Put32(out, static_cast<uint32_t>(version));
  Put32(out, static_cast<uint32_t>(count));
  return out;
}

TEST_F(ArchiveDamageTest, Directory_ImpossibleCountsAreRejected) {
  ExpectCorrupt(Header(102, 0x7FFFFFFF) + std::string(64, '\0'));
  ExpectCorrupt(Header(102, -1) + std::string(64, '\0'));
  // A count that the stream could never hold, even with empty names.
  ExpectCorrupt(Header(102, 1000) + std::string(1000 * 4, '\0'));
  std::string plain;
  Put32(plain, 0x40000000);
  ExpectCorrupt(plain + std::string(16, '\0'));
}

TEST_F(ArchiveDamageTest, Directory_ImpossibleNameLengthsAreRejected) {
  std::string negative = Header(102, 1);
  Put32(negative, 0xFFFFFFFF);
  ExpectCorrupt(negative + std::string(40, '\0'));
  std::string huge = Header(102, 1);
  Put32(huge, 0x7FFFFFF0);
  ExpectCorrupt(huge + std::string(40, '\0'));
  // A length that eats into the tables that must follow.
  std::string greedy = Header(102, 1);
  Put32(greedy, 20);
  ExpectCorrupt(greedy + std::string(30, 'n'));
}

TEST_F(ArchiveDamageTest, Directory_NamesThatExactlyFillASeparateFileAreAccepted) {
  // The room left is counted down record by record: many names of varied length that
  // end exactly where the tables begin must not be mistaken for damage.
  std::vector<FixtureEntry> entries;
  for (int i = 0; i < 300; ++i) {
    entries.push_back(
        {std::string(static_cast<size_t>(1 + (i * 37) % 250), static_cast<char>('a' + i % 26)) +
             std::to_string(i),
         "x", false});
  }
  const std::string ext = testing::BuildDirectory(102, entries, 0);
  const std::string data = BuildArchive(102, entries).substr(ext.size());
  EXPECT_EQ(OpenAndLoadAll(data, &ext), "");
  EXPECT_EQ(archive_.Count(), 301);
  EXPECT_EQ(archive_.IndexOf(entries[299].name), 299);
  const std::string short_ext = ext.substr(0, ext.size() - 1);
  EXPECT_EQ(OpenAndLoadAll(data, &short_ext), kCorruptArchiveError);
}

TEST_F(ArchiveDamageTest, Directory_TruncatedOffsetTableIsRejected) {
  const std::string full = testing::BuildDirectory(102, SmallEntries(), 0);
  ExpectCorrupt(full.substr(0, full.size() - 1));
  ExpectCorrupt(full.substr(0, full.size() - 30));
}

TEST_F(ArchiveDamageTest, Directory_ShortExtFileIsRejected) {
  const std::string archive = BuildArchive(102, SmallEntries());
  const std::string ext = testing::BuildDirectory(102, SmallEntries(), 0);
  const std::string short_ext = ext.substr(0, ext.size() - 3);
  EXPECT_EQ(OpenAndLoadAll(archive, &short_ext), kCorruptArchiveError);
}

TEST_F(ArchiveDamageTest, Directory_DecreasingOffsetsAreRejected) {
  std::string dir = Header(99, 2);
  Put32(dir, 1);
  dir += "a";
  Put32(dir, 1);
  dir += "b";
  Put32(dir, 30);
  Put32(dir, 20);  // the second entry would have a negative size
  Put32(dir, 40);
  ExpectCorrupt(dir + std::string(40, '\0'));
}

TEST_F(ArchiveDamageTest, EntryBeyondTheEndOfTheDataStopsWithAnError) {
  std::vector<FixtureEntry> entries = {{"a.txt", "abcdef", false}};
  const std::string archive = BuildArchive(102, entries);
  EXPECT_EQ(OpenAndLoadAll(archive.substr(0, archive.size() - 2)), kStreamReadError);
}

// A few kilobytes that inflate beyond the bound of a load into memory are damage there,
// while an extraction to a file streams the same entry whole.
TEST_F(ArchiveDamageTest, InflatingBeyondTheMemoryBoundIsDamageOnlyInMemory) {
  const std::string archive = BuildArchive(102, {{"bomb.bin", std::string(3000000, 'z')}});
  ASSERT_LT(archive.size(), 10000u);
  archive_.MaxLoadedEntrySize = 1 << 20;
  EXPECT_EQ(OpenAndLoadAll(archive), "ファイルが破壊されています");

  auto file = env_.files().OpenFile("C:\\g\\bomb.bin",
                                    {platform::FileAccess::kWrite, platform::FileShare::kNone,
                                     platform::FileDisposition::kCreateAlways});
  archive_.ExtractEntry(archive_.Entry(0), *file);
  EXPECT_EQ(file->GetSize(), 3000000);
  // The default bound admits the largest picture the image reader accepts.
  EXPECT_GT(kMaxLoadedEntrySize, kMaxMuraPixelBytes);
}

TEST_F(ArchiveDamageTest, EveryTruncatedPrefixGivesACleanError) {
  const std::string archive = BuildArchive(102, SmallEntries());
  for (size_t length = 0; length < archive.size(); ++length) {
    EXPECT_NE(OpenAndLoadAll(archive.substr(0, length)), "") << "prefix " << length;
  }
  EXPECT_EQ(OpenAndLoadAll(archive), "");
  // The same for the separate directory file.
  const std::string ext = testing::BuildDirectory(102, SmallEntries(), 0);
  const std::string data = archive.substr(ext.size());
  for (size_t length = 0; length < ext.size(); ++length) {
    const std::string prefix = ext.substr(0, length);
    EXPECT_EQ(OpenAndLoadAll(data, &prefix), kCorruptArchiveError) << length;
  }
}

TEST_F(ArchiveDamageTest, SeededMutationsReadOrFailWithAMessage) {
  std::mt19937 random(20261209);
  for (int version : {testing::kNoSignature, 100, 101, 102}) {
    std::vector<FixtureEntry> entries = SmallEntries();
    if (version < 101) {
      for (auto& e : entries) e.compress = true;
    }
    const std::string archive = BuildArchive(version, entries);
    int read = 0;
    int refused = 0;
    for (int round = 0; round < 120; ++round) {
      std::string damaged = archive;
      const int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
      }
      // Anything but a KoruError fails the test; so does an error without a message.
      const std::string error = OpenAndLoadAll(damaged);
      EXPECT_NE(error, "?") << "version " << version << " round " << round;
      if (error == kCorruptArchiveError && archive_.ArchiveStream() == nullptr) {
        EXPECT_EQ(archive_.Count(), 0);
      }
      ++(error.empty() ? read : refused);
    }
    EXPECT_GT(read, 0) << version;
    EXPECT_GT(refused, 0) << version;
  }
}

}  // namespace
}  // namespace koru
