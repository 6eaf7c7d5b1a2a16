#include "storage/bigstreams.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/error.h"
#include "platform/memory/memory_env.h"

namespace koru {
namespace {

using platform::FileAccess;
using platform::FileShare;

std::string Pattern(size_t size, int salt = 0) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 13 + salt) & 0xFF);
  return s;
}

class BigFileStreamTest : public ::testing::Test {
 protected:
  platform::MemoryEnv env_;
  platform::MemoryFileSystem& files() { return env_.files(); }

  // Makes game.dat a full (sparse) 1 GiB volume whose last bytes are known.
  void PutFullFirstVolume(const std::string& tail) {
    platform::OpenOptions options;
    options.access = FileAccess::kReadWrite;
    options.disposition = platform::FileDisposition::kCreateAlways;
    auto file = files().OpenFile("C:\\game.dat", options);
    file->SetSize(kVolumeSize - static_cast<int64_t>(tail.size()));
    file->SetPosition(file->GetSize());
    file->WriteExact(tail.data(), static_cast<int64_t>(tail.size()));
  }
};

TEST(VolumeNameTest, NumbersFollowTheNameWithoutItsExtension) {
  EXPECT_EQ(VolumeFileName("C:\\g\\game.dat", 0), "C:\\g\\game.dat");
  EXPECT_EQ(VolumeFileName("C:\\g\\game.dat", 1), "C:\\g\\game.001");
  EXPECT_EQ(VolumeFileName("C:\\g\\game.dat", 42), "C:\\g\\game.042");
  EXPECT_EQ(VolumeFileName("C:\\g\\game.dat", 1000), "C:\\g\\game.1000");
  EXPECT_EQ(VolumeFileName("C:\\g.x\\game", 2), "C:\\g.x\\game.002");
}

TEST(VolumeNameTest, ModesMapToAccessAndSharing) {
  EXPECT_EQ(OpenOptionsForMode(kModeRead).access, FileAccess::kRead);
  EXPECT_EQ(OpenOptionsForMode(kModeRead).share, FileShare::kRead);
  EXPECT_EQ(OpenOptionsForMode(kModeReadWrite).access, FileAccess::kReadWrite);
  EXPECT_EQ(OpenOptionsForMode(kModeReadWrite).share, FileShare::kRead);
  EXPECT_EQ(OpenOptionsForMode(0x01).access, FileAccess::kWrite);
  EXPECT_EQ(OpenOptionsForMode(0x10).share, FileShare::kNone);
  EXPECT_EQ(OpenOptionsForMode(0x30).share, FileShare::kWrite);
  EXPECT_EQ(OpenOptionsForMode(0x40).share, FileShare::kReadWrite);
  EXPECT_TRUE(OpenOptionsForMode(kModeRead).write_through);
}

TEST_F(BigFileStreamTest, WriteFillsVolumeZeroToOneGibBeforeStartingTheNext) {
  {
    platform::OpenOptions options;
    options.access = FileAccess::kReadWrite;
    options.disposition = platform::FileDisposition::kCreateAlways;
    auto file = files().OpenFile("C:\\game.dat", options);
    file->SetSize(kVolumeSize - 5);
  }
  {
    TKwBigFileStream stream(files(), "C:\\game.dat", kModeReadWrite);
    EXPECT_EQ(stream.VolumeCount(), 1);
    stream.SetPosition(stream.GetSize());
    EXPECT_EQ(stream.Write("0123456789", 10), 10);
    EXPECT_EQ(stream.VolumeCount(), 2);
    EXPECT_EQ(stream.GetPosition(), kVolumeSize + 5);
  }
  EXPECT_EQ(files().GetFileSize("C:\\game.dat"), kVolumeSize);
  EXPECT_EQ(files().FileContents("C:\\game.001"), "56789");

  TKwBigFileStream reader(files(), "C:\\game.dat", kModeRead);
  EXPECT_EQ(reader.GetSize(), kVolumeSize + 5);
  EXPECT_EQ(reader.VolumeFileName(1), "C:\\game.001");
  reader.SetPosition(kVolumeSize - 5);
  char buffer[16] = {};
  // A read across the boundary returns the bytes of both volumes in order.
  EXPECT_EQ(reader.Read(buffer, sizeof buffer), 10);
  EXPECT_EQ(std::string(buffer, 10), "0123456789");
  EXPECT_EQ(reader.Read(buffer, 1), 0);
}

TEST_F(BigFileStreamTest, CreateDeletesVolumesUpToTheFirstGap) {
  files().PutFile("C:\\game.dat", "a");
  files().PutFile("C:\\game.001", "b");
  files().PutFile("C:\\game.002", "c");
  files().PutFile("C:\\game.005", "e");
  {
    TKwBigFileStream stream(files(), "C:\\game.dat", kModeCreate);
    EXPECT_EQ(stream.VolumeCount(), 0);
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_FALSE(files().FileExists("C:\\game.dat"));
    EXPECT_FALSE(files().FileExists("C:\\game.002"));
    EXPECT_TRUE(files().FileExists("C:\\game.005"));
    stream.WriteExact("new", 3);
  }
  EXPECT_EQ(files().FileContents("C:\\game.dat"), "new");
}

TEST_F(BigFileStreamTest, ReadingStopsAtTheFirstMissingVolume) {
  PutFullFirstVolume("xy");
  files().PutFile("C:\\game.001", "tail");
  files().PutFile("C:\\game.003", "ignored");
  TKwBigFileStream stream(files(), "C:\\game.dat", kModeRead);
  EXPECT_EQ(stream.VolumeCount(), 2);
  EXPECT_EQ(stream.GetSize(), kVolumeSize + 4);
}

TEST_F(BigFileStreamTest, ShortMiddleVolumeIsRefused) {
  files().PutFile("C:\\game.dat", "short");
  files().PutFile("C:\\game.001", "tail");
  EXPECT_THROW(TKwBigFileStream(files(), "C:\\game.dat", kModeRead), KoruError);
}

TEST_F(BigFileStreamTest, PositionIsClampedToTheSize) {
  files().PutFile("C:\\game.dat", "abc");
  TKwBigFileStream stream(files(), "C:\\game.dat", kModeRead);
  stream.SetPosition(100);
  EXPECT_EQ(stream.GetPosition(), 3);
  char c;
  EXPECT_EQ(stream.Read(&c, 1), 0);
  stream.SetPosition(-7);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST_F(BigFileStreamTest, CopiesWithCountZeroTakeTheWholeSourceButCopyToStreamTakesNothing) {
  files().PutFile("C:\\src.dat", "source bytes");
  TKwBigFileStream source(files(), "C:\\src.dat", kModeRead);
  source.SetPosition(6);
  {
    TKwBigFileStream dest(files(), "C:\\dst.dat", kModeCreate);
    EXPECT_EQ(dest.CopyFromBig(source, 0), 12);
    MemoryStream memory(std::vector<uint8_t>{'!', '?'});
    memory.SetPosition(1);
    EXPECT_EQ(dest.CopyFromStream(memory, 0), 2);
    MemoryStream sink;
    EXPECT_EQ(dest.CopyToStream(sink, 0), 0);
    EXPECT_EQ(sink.GetSize(), 0);
  }
  EXPECT_EQ(files().FileContents("C:\\dst.dat"), "source bytes!?");
}

TEST_F(BigFileStreamTest, CopyFromShortSourceStopsWithAnError) {
  files().PutFile("C:\\src.dat", "0123456789");
  TKwBigFileStream source(files(), "C:\\src.dat", kModeRead);
  TKwBigFileStream dest(files(), "C:\\dst.dat", kModeCreate);
  source.SetPosition(5);
  EXPECT_THROW(dest.CopyFromBig(source, 6), KoruError);
  TKwBigMemoryStream memory(std::vector<uint8_t>(4, 1));
  EXPECT_THROW(dest.CopyFromBig(memory, 5), KoruError);
  MemoryStream plain(std::vector<uint8_t>(4, 1));
  EXPECT_THROW(dest.CopyFromStream(plain, 5), KoruError);
  MemoryStream sink;
  source.SetPosition(8);
  EXPECT_THROW(source.CopyToStream(sink, 3), KoruError);
}

TEST_F(BigFileStreamTest, VolumeToVolumeCopyCrossesBoundariesOnBothSides) {
  PutFullFirstVolume("ABCDEFGH");
  files().PutFile("C:\\game.001", "IJKL");
  TKwBigFileStream source(files(), "C:\\game.dat", kModeRead);
  source.SetPosition(kVolumeSize - 8);
  files().PutFile("C:\\out.dat", "");
  {
    platform::OpenOptions options;
    options.access = FileAccess::kReadWrite;
    auto file = files().OpenFile("C:\\out.dat", options);
    file->SetSize(kVolumeSize - 3);
  }
  {
    TKwBigFileStream dest(files(), "C:\\out.dat", kModeReadWrite);
    dest.SetPosition(dest.GetSize());
    EXPECT_EQ(dest.CopyFromBig(source, 12), 12);
  }
  EXPECT_EQ(files().GetFileSize("C:\\out.dat"), kVolumeSize);
  EXPECT_EQ(files().FileContents("C:\\out.001"), "DEFGHIJKL");
}

TEST(BigMemoryStreamTest, CopyRulesFollowTheClassOfTheOtherStream) {
  platform::MemoryEnv env;
  env.files().PutFile("C:\\a.bin", "file");
  TKwBigMemoryStream memory;
  memory.LoadFromFile(env.files(), "C:\\a.bin");
  EXPECT_EQ(memory.GetSize(), 4);
  EXPECT_EQ(memory.GetPosition(), 0);

  TKwBigMemoryStream other(std::vector<uint8_t>{'x', 'y'});
  memory.SetPosition(4);
  EXPECT_EQ(memory.CopyFromBig(other, 0), 2);
  env.files().PutFile("C:\\b.bin", "zz");
  TKwBigFileStream file(env.files(), "C:\\b.bin", kModeRead);
  EXPECT_EQ(memory.CopyFromBig(file, 0), 0);  // only from its own class

  MemoryStream sink;
  memory.SetPosition(3);
  EXPECT_EQ(memory.CopyToStream(sink, 0), 6);  // count 0: everything from the start
  EXPECT_EQ(std::string(sink.Bytes().begin(), sink.Bytes().end()), "filexy");
}

TEST(BigResourceStreamTest, ReadsTheResourceAndRefusesWrites) {
  platform::MemoryEnv env;
  env.system().AddResource("", "DUMMY", "BINTYPE", {'r', 'e', 's'});
  TKwBigResourceStream stream(env.system(), "", "DUMMY", "BINTYPE");
  EXPECT_EQ(stream.GetSize(), 3);
  EXPECT_EQ(stream.ResName(), "DUMMY");
  EXPECT_THROW(stream.Write("x", 1), KoruError);
  MemoryStream source(std::vector<uint8_t>{1});
  EXPECT_THROW(stream.CopyFromStream(source, 1), KoruError);
  MemoryStream sink;
  stream.SetPosition(2);
  EXPECT_EQ(stream.CopyToStream(sink, 0), 3);
  EXPECT_THROW(TKwBigResourceStream(env.system(), "", "OTHER", "BINTYPE"), KoruError);
}

TEST(BuffBigStreamTest, ReleasingGivesBackWhatWasReadAhead) {
  const std::string data = Pattern(TKwBuffBigStream::kReadAheadSize + 50);
  TKwBigMemoryStream source(std::vector<uint8_t>(data.begin(), data.end()));
  {
    TKwBuffBigStream reader(source);
    char buffer[100];
    reader.ReadExact(buffer, 100);
    EXPECT_EQ(std::string(buffer, 100), data.substr(0, 100));
    EXPECT_EQ(source.GetPosition(), TKwBuffBigStream::kReadAheadSize);
  }
  EXPECT_EQ(source.GetPosition(), 100);
}

TEST(BuffBigStreamTest, ReadsAcrossRefillsAndStopsAtAnEmptySource) {
  const std::string data = Pattern(3 * TKwBuffBigStream::kReadAheadSize + 7, 5);
  TKwBigMemoryStream source(std::vector<uint8_t>(data.begin(), data.end()));
  TKwBuffBigStream reader(source);
  std::string out(data.size() + 10, '\0');
  EXPECT_EQ(reader.Read(out.data(), static_cast<int64_t>(out.size())),
            static_cast<int64_t>(data.size()));
  EXPECT_EQ(out.substr(0, data.size()), data);
  // An exhausted source is never asked for a copy of 0 bytes (which means "all" to it).
  EXPECT_EQ(reader.Read(out.data(), 1), 0);
  EXPECT_THROW(reader.ReadExact(out.data(), 1), KoruError);
}

}  // namespace
}  // namespace koru
