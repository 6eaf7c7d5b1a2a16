#include <gtest/gtest.h>

#include <random>

#include "base/error.h"
#include "settings/install_dat_writer.h"
#include "settings/install_set.h"

namespace koru {
namespace {

using testing::DatBytes;
using testing::DatHeader;
using testing::SampleInstallSet;
using testing::WriteInstallDat;

TKoruInstallSet Load(const std::vector<uint8_t>& bytes, TKoruInstallSet into = {},
                     int* version = nullptr) {
  MemoryStream stream(bytes);
  const int declared = into.LoadFromStream(stream);
  if (version) *version = declared;
  return into;
}

// What a file of the version gives when read into `before`: the fields it holds come
// from `written`, the others keep their values, and both lists start empty.
TKoruInstallSet Expected(const TKoruInstallSet& written, int version, TKoruInstallSet before) {
  TKoruInstallSet e = written;
  auto size = [&](int64_t v) { return version >= 100 ? v : v & 0xFFFFFFFF; };
  for (auto* sizes : {&e.DiscProgSizes, &e.DiscDataSizes, &e.DiscSoundSizes, &e.DiscMovieSizes}) {
    for (int64_t& v : *sizes) v = size(v);
  }
  for (int64_t* v : {&e.ProgSize, &e.DataSize, &e.SoundSize, &e.MovieSize}) *v = size(*v);
  e.InstalledFiles.clear();
  e.ExtraFiles.clear();
  if (version < 101) e.UpdateMode = before.UpdateMode;
  if (version >= 102) e.InstalledFiles = written.InstalledFiles;
  if (version < 103) e.DataInstalled = before.DataInstalled;
  if (version < 104) e.InstallType = before.InstallType;
  if (version < 105) e.ExtractFiles = before.ExtractFiles;
  if (version >= 106) e.ExtraFiles = written.ExtraFiles;
  if (version < 107) e.SetupCaption = before.SetupCaption;
  if (version < 108) {
    e.WelcomeText = before.WelcomeText;
    e.LicenseText = before.LicenseText;
  }
  return e;
}

TKoruInstallSet Prefilled() {
  TKoruInstallSet before;
  before.UpdateMode = false;
  before.DataInstalled = false;
  before.InstallType = 2;
  before.ExtractFiles = false;
  before.SetupCaption = "前の見出し";
  before.WelcomeText = "前の歓迎";
  before.LicenseText = "前の許諾";
  before.InstalledFiles = {"old.txt"};
  before.ExtraFiles = {"old.bin"};
  return before;
}

TEST(InstallSetFileTest, EveryVersionReadsExactlyTheFieldsItHolds) {
  const TKoruInstallSet written = SampleInstallSet();
  for (int version = 0; version <= 109; ++version) {
    SCOPED_TRACE(version);
    const std::vector<uint8_t> bytes = WriteInstallDat(written, version);
    int declared = -1;
    EXPECT_EQ(Load(bytes, {}, &declared), Expected(written, version, {}));
    EXPECT_EQ(declared, version);
    EXPECT_EQ(Load(bytes, Prefilled()), Expected(written, version, Prefilled()));
  }
}

TEST(InstallSetFileTest, FileWithoutHeaderIsVersionZeroFromByteZero) {
  TKoruInstallSet written = SampleInstallSet();
  written.DiscIndex = 0x0102;  // first two bytes 02 01, not "is"
  const std::vector<uint8_t> bytes = WriteInstallDat(written, 0, DatHeader::kNone);
  int declared = -1;
  EXPECT_EQ(Load(bytes, Prefilled(), &declared), Expected(written, 0, Prefilled()));
  EXPECT_EQ(declared, 0);

  // Without a header the reader goes back to the stream's start, wherever it stood.
  MemoryStream stream(bytes);
  stream.SetPosition(9);
  TKoruInstallSet loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.Title, written.Title);
}

TEST(InstallSetFileTest, HeaderWithoutDigitsIsVersionZeroAfterFiveBytes) {
  const TKoruInstallSet written = SampleInstallSet();
  std::vector<uint8_t> bytes = WriteInstallDat(written, 0);
  for (const char* digits : {"1a8", "   ", "-99"}) {
    std::copy(digits, digits + 3, bytes.begin() + 2);
    int declared = -1;
    EXPECT_EQ(Load(bytes, {}, &declared), Expected(written, 0, {})) << digits;
    EXPECT_EQ(declared, 0);
  }
}

TEST(InstallSetFileTest, Version99WithThreeDiscsHolds16ThirtyTwoBitSizes) {
  TKoruInstallSet written;
  written.SetDiscCount(3);
  written.DiscMovieSizes[2] = 0xFFFFFFFF;
  written.MovieSize = 42;
  const std::vector<uint8_t> bytes = WriteInstallDat(written, 99);
  // header, DiscIndex, 8 empty strings, 4 one-byte fields, DiscCount, ImageSeed, 16 sizes,
  // Uninstaller.
  EXPECT_EQ(bytes.size(), 5u + 4 + 8 * 4 + 4 + 4 + 4 + 16 * 4 + 1);
  const TKoruInstallSet loaded = Load(bytes);
  EXPECT_EQ(loaded.DiscMovieSizes, (std::vector<int64_t>{0, 0, 0xFFFFFFFF}));
  EXPECT_EQ(loaded.MovieSize, 42);
}

TEST(InstallSetFileTest, SaveWritesVersion108AndReadsBackEqual) {
  const TKoruInstallSet written = SampleInstallSet();
  MemoryStream stream;
  written.SaveToStream(stream);
  EXPECT_EQ(stream.Bytes(), WriteInstallDat(written, 108));
  stream.SetPosition(0);
  TKoruInstallSet loaded;
  EXPECT_EQ(loaded.LoadFromStream(stream), 108);
  EXPECT_EQ(loaded, written);
}

TEST(InstallSetFileTest, EmptyInstalledFileEntriesDisappearButEmptyExtraFilesStay) {
  TKoruInstallSet written;
  written.InstalledFiles = {"", "a.txt", ""};
  written.ExtraFiles = {"", "b.txt"};
  MemoryStream stream;
  written.SaveToStream(stream);
  const TKoruInstallSet loaded = Load(stream.Bytes());
  EXPECT_EQ(loaded.InstalledFiles, (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(loaded.ExtraFiles, (std::vector<std::string>{"", "b.txt"}));
}

TEST(InstallSetFileTest, AnyNonZeroFlagByteIsTrueAndNegativeLengthIsEmpty) {
  TKoruInstallSet written;
  written.Title = "x";
  std::vector<uint8_t> bytes = WriteInstallDat(written, 108);
  const size_t show_readme = 5 + 4 + (4 + 1) + 4 + 4 + 4;
  bytes[show_readme] = 0x80;
  // Title's length becomes -1: no bytes follow, so drop its one byte.
  bytes[9] = bytes[10] = bytes[11] = bytes[12] = 0xFF;
  bytes.erase(bytes.begin() + 13);
  const TKoruInstallSet loaded = Load(bytes);
  EXPECT_TRUE(loaded.ShowReadme);
  EXPECT_EQ(loaded.Title, "");
}

TEST(InstallSetFileTest, BytesAfterTheLastFieldAreIgnored) {
  const TKoruInstallSet written = SampleInstallSet();
  std::vector<uint8_t> bytes = WriteInstallDat(written, 150);
  bytes.insert(bytes.end(), {1, 2, 3});
  EXPECT_EQ(Load(bytes), written);
}

TEST(InstallSetFileTest, HeaderIsReadFromTheStreamsPosition) {
  std::vector<uint8_t> bytes = {'j', 'u', 'n', 'k'};
  const std::vector<uint8_t> file = WriteInstallDat(SampleInstallSet(), 108);
  bytes.insert(bytes.end(), file.begin(), file.end());
  MemoryStream stream(bytes);
  stream.SetPosition(4);
  TKoruInstallSet loaded;
  EXPECT_EQ(loaded.LoadFromStream(stream), 108);
  EXPECT_EQ(loaded, SampleInstallSet());
}

void ExpectCorrupt(const std::vector<uint8_t>& bytes, const std::string& what) {
  TKoruInstallSet target = Prefilled();
  MemoryStream stream(bytes);
  try {
    target.LoadFromStream(stream);
    ADD_FAILURE() << what << ": accepted";
  } catch (const KoruError& error) {
    EXPECT_STREQ(error.what(), kInstallSetCorrupt) << what;
  }
  EXPECT_EQ(target, Prefilled()) << what << ": the object changed";
}

TEST(InstallSetFileTest, EveryTruncatedPrefixIsRefusedAndLeavesObjectUnchanged) {
  for (const int version : {0, 99, 108}) {
    const std::vector<uint8_t> bytes = WriteInstallDat(SampleInstallSet(), version);
    for (size_t length = 0; length < bytes.size(); ++length) {
      ExpectCorrupt(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length),
                    "version " + std::to_string(version) + " cut at " + std::to_string(length));
    }
  }
}

// A version 108 file of an empty object whose field at byte `offset` is replaced.
std::vector<uint8_t> EmptyFileWith(size_t offset, int32_t value) {
  std::vector<uint8_t> bytes = WriteInstallDat(TKoruInstallSet{}, 108);
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
  return bytes;
}

TEST(InstallSetFileTest, ImpossibleCountsAndLengthsAreRefusedBeforeAllocating) {
  // Offsets in a version 108 file of an empty object.
  constexpr size_t kTitle = 9;
  constexpr size_t kDiscCount = 5 + 4 + 4 * 4 + 1 + 4 + 1;
  constexpr size_t kInstalledFiles = kDiscCount + 4 + 4 + 4 + 1 + 1 + 4 + 4 + 4 * 8 + 1 + 1;
  constexpr size_t kExtraFiles = kInstalledFiles + 4 + 1 + 1 + 1;
  ASSERT_EQ(EmptyFileWith(kExtraFiles, 0).size(), kExtraFiles + 4 + 3 * 4);

  ExpectCorrupt(EmptyFileWith(kTitle, 0x7FFFFFFF), "huge string");
  ExpectCorrupt(EmptyFileWith(kTitle, 200), "string longer than the file");
  ExpectCorrupt(EmptyFileWith(kDiscCount, -1), "negative disc count");
  ExpectCorrupt(EmptyFileWith(kDiscCount, 0x7FFFFFFF), "huge disc count");
  ExpectCorrupt(EmptyFileWith(kDiscCount, 2), "disc count without sizes");
  ExpectCorrupt(EmptyFileWith(kInstalledFiles, -5), "negative list count");
  ExpectCorrupt(EmptyFileWith(kInstalledFiles, 0x7FFFFFFF), "huge list count");
  ExpectCorrupt(EmptyFileWith(kExtraFiles, 0x40000000), "huge extra file count");
}

TEST(InstallSetFileTest, RandomlyDamagedFilesLoadOrFailCleanly) {
  const std::vector<uint8_t> good = WriteInstallDat(SampleInstallSet(), 108);
  std::mt19937 random(20261209);
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> bytes = good;
    const int damages = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < damages; ++i) {
      const size_t at = random() % bytes.size();
      // Damage length fields with large values more often than a random byte would.
      bytes[at] = (random() % 2) ? static_cast<uint8_t>(random()) : 0xFF;
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    TKoruInstallSet loaded;
    MemoryStream stream(bytes);
    try {
      loaded.LoadFromStream(stream);
    } catch (const KoruError& error) {
      EXPECT_STREQ(error.what(), kInstallSetCorrupt);
    }
  }
}

TEST(InstallSetFileTest, SaveRefusesPerDiscArraysThatDoNotMatchDiscCount) {
  TKoruInstallSet broken;
  broken.SetDiscCount(2);
  broken.DiscSoundSizes.pop_back();
  MemoryStream stream;
  EXPECT_THROW(broken.SaveToStream(stream), KoruError);
  EXPECT_EQ(stream.GetSize(), 0);
}

}  // namespace
}  // namespace koru
