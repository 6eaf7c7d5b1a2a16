// One suite for every Env implementation, so that memory, host and Win32 cannot drift
// apart: each case runs against each backend of backends.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/dos_time.h"
#include "platform/simulated_system.h"
#include "platform_test_backends.h"

namespace koru::platform::testing {
namespace {

OpenOptions Options(FileAccess access, FileDisposition disposition,
                    FileShare share = FileShare::kRead) {
  OpenOptions options;
  options.access = access;
  options.disposition = disposition;
  options.share = share;
  return options;
}

template <typename Backend>
class EnvSuite : public ::testing::Test {
 protected:
  void SetUp() override { base_ = backend_.Base(); }

  FileSystem& files() { return backend_.env().files(); }
  Registry& registry() { return backend_.env().registry(); }
  System& system() { return backend_.env().system(); }
  Shell& shell() { return backend_.env().shell(); }
  std::string At(const std::string& name) { return base_ + "\\" + name; }

  void Put(const std::string& path, const std::string& bytes) {
    auto file = files().OpenFile(path, Options(FileAccess::kWrite, FileDisposition::kCreateAlways));
    file->WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  }

  std::string Get(const std::string& path) {
    auto file = files().OpenFile(path, Options(FileAccess::kRead, FileDisposition::kOpenExisting));
    std::string bytes(static_cast<size_t>(file->GetSize()), '\0');
    file->ReadExact(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
  }

  std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const DirEntry& entry : files().ListDirectory(folder)) names.push_back(entry.name);
    return names;
  }

  Backend backend_;
  std::string base_;
};

TYPED_TEST_SUITE(EnvSuite, Backends);

// --- files ---

TYPED_TEST(EnvSuite, File_ReadsWritesAndSeeksAtLargePositions) {
  const std::string path = this->At("big.bin");
  const int64_t offset = TypeParam::kLargeOffset;
  {
    OpenOptions options =
        Options(FileAccess::kReadWrite, FileDisposition::kCreateAlways, FileShare::kNone);
    options.write_through = true;
    auto file = this->files().OpenFile(path, options);
    file->WriteExact("head", 4);
    file->SetPosition(offset);
    file->WriteExact("tail", 4);
    EXPECT_EQ(file->GetPosition(), offset + 4);
    EXPECT_EQ(file->GetSize(), offset + 4);
    char buffer[8] = {};
    file->SetPosition(offset - 2);
    EXPECT_EQ(file->Read(buffer, 8), 6);
    EXPECT_EQ(std::string(buffer, 6), std::string("\0\0tail", 6));
    EXPECT_EQ(file->Read(buffer, 8), 0);
    file->SetSize(offset + 2);
    EXPECT_EQ(file->GetSize(), offset + 2);
    EXPECT_EQ(file->GetPosition(), offset + 2);
    file->Flush();
  }
  EXPECT_EQ(this->files().GetFileSize(path), offset + 2);
  auto file =
      this->files().OpenFile(path, Options(FileAccess::kRead, FileDisposition::kOpenExisting));
  char buffer[4] = {};
  file->ReadExact(buffer, 4);
  EXPECT_EQ(std::string(buffer, 4), "head");
  EXPECT_THROW(file->WriteExact("x", 1), KoruError);
  EXPECT_THROW(file->SetSize(0), KoruError);
}

TYPED_TEST(EnvSuite, File_DispositionsCreateOpenAndTruncate) {
  const std::string path = this->At("data.txt");
  try {
    this->files().OpenFile(path, Options(FileAccess::kRead, FileDisposition::kOpenExisting));
    ADD_FAILURE() << "opened a missing file";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(), Format("ファイル %s を開けません", path.c_str()));
  }
  EXPECT_FALSE(this->files().FileExists(path));
  {
    auto file =
        this->files().OpenFile(path, Options(FileAccess::kReadWrite, FileDisposition::kOpenAlways));
    EXPECT_EQ(file->GetSize(), 0);
    file->WriteExact("hello", 5);
  }
  {
    auto file =
        this->files().OpenFile(path, Options(FileAccess::kReadWrite, FileDisposition::kOpenAlways));
    EXPECT_EQ(file->GetSize(), 5);
  }
  this->Put(path, "ab");
  EXPECT_EQ(this->Get(path), "ab");
  try {
    this->files().OpenFile(this->At("missing\\x.txt"),
                           Options(FileAccess::kWrite, FileDisposition::kCreateAlways));
    ADD_FAILURE() << "created a file in a missing folder";
  } catch (const KoruError& error) {
    EXPECT_EQ(error.message(),
              Format("ファイル %s を作成できません", this->At("missing\\x.txt").c_str()));
  }
  EXPECT_THROW(this->files().OpenFile(this->base_,
                                      Options(FileAccess::kRead, FileDisposition::kOpenExisting)),
               KoruError);
}

TYPED_TEST(EnvSuite, File_SharingRefusesWritersWhileReadersDenyThem) {
  const std::string path = this->At("shared.dat");
  this->Put(path, "x");
  auto reader = this->files().OpenFile(
      path, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kRead));
  EXPECT_THROW(
      this->files().OpenFile(
          path, Options(FileAccess::kWrite, FileDisposition::kOpenExisting, FileShare::kReadWrite)),
      KoruError);
  EXPECT_NE(this->files().OpenFile(
                path, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kRead)),
            nullptr);
  EXPECT_FALSE(this->files().RemoveFile(path));
  reader.reset();
  auto writer = this->files().OpenFile(
      path, Options(FileAccess::kWrite, FileDisposition::kOpenExisting, FileShare::kReadWrite));
  EXPECT_NE(this->files().OpenFile(path, Options(FileAccess::kRead, FileDisposition::kOpenExisting,
                                                 FileShare::kReadWrite)),
            nullptr);
  EXPECT_THROW(
      this->files().OpenFile(
          path, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kRead)),
      KoruError);
}

// Sizes and positions an open file keeps for itself must follow its own writes and
// truncations, and another handle's writes where the file shares writing.
TYPED_TEST(EnvSuite, File_SizeAndPositionFollowEveryWriter) {
  const std::string path = this->At("grow.dat");
  auto own = this->files().OpenFile(
      path, Options(FileAccess::kReadWrite, FileDisposition::kCreateAlways, FileShare::kNone));
  EXPECT_EQ(own->GetSize(), 0);
  own->WriteExact("abcdef", 6);
  EXPECT_EQ(own->GetSize(), 6);
  own->SetSize(3);
  EXPECT_EQ(own->GetSize(), 3);
  own->SetPosition(1);
  char got[4] = {};
  EXPECT_EQ(own->Read(got, 4), 2);
  own->SetPosition(5);  // beyond the end: a write there extends
  own->WriteExact("z", 1);
  EXPECT_EQ(own->GetSize(), 6);
  own.reset();

  auto reader = this->files().OpenFile(
      path, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kReadWrite));
  EXPECT_EQ(reader->GetSize(), 6);
  auto writer = this->files().OpenFile(
      path, Options(FileAccess::kWrite, FileDisposition::kOpenExisting, FileShare::kReadWrite));
  writer->SetPosition(6);
  writer->WriteExact("tail", 4);
  EXPECT_EQ(reader->GetSize(), 10);
  reader->SetPosition(6);
  EXPECT_EQ(reader->Read(got, 4), 4);
  EXPECT_EQ(std::string(got, 4), "tail");
}

TYPED_TEST(EnvSuite, Attributes_ReadOnlyBlocksWritingUntilCleared) {
  const std::string path = this->At("locked.txt");
  this->Put(path, "abc");
  EXPECT_TRUE(this->files().FileExists(path));
  EXPECT_FALSE(this->files().DirectoryExists(path));
  EXPECT_TRUE(this->files().DirectoryExists(this->base_));
  EXPECT_FALSE(this->files().FileExists(this->base_));
  EXPECT_EQ(*this->files().GetAttributes(this->base_) & kAttrDirectory, kAttrDirectory);
  const uint32_t plain = *this->files().GetAttributes(path);
  EXPECT_EQ(plain & (kAttrDirectory | kAttrReadOnly), 0u);
  EXPECT_EQ(this->files().GetAttributes(this->At("none")), std::nullopt);

  ASSERT_TRUE(this->files().SetAttributes(path, plain | kAttrReadOnly));
  EXPECT_EQ(*this->files().GetAttributes(path) & kAttrReadOnly, kAttrReadOnly);
  EXPECT_THROW(
      this->files().OpenFile(path, Options(FileAccess::kWrite, FileDisposition::kOpenExisting)),
      KoruError);
  EXPECT_FALSE(this->files().RemoveFile(path));
  EXPECT_EQ(this->Get(path), "abc");

  ASSERT_TRUE(
      this->files().SetAttributes(path, *this->files().GetAttributes(path) & ~kAttrReadOnly));
  EXPECT_EQ(*this->files().GetAttributes(path) & kAttrReadOnly, 0u);
  this->Put(path, "new");
  EXPECT_TRUE(this->files().RemoveFile(path));
  EXPECT_FALSE(this->files().FileExists(path));
  EXPECT_FALSE(this->files().RemoveFile(path));
  EXPECT_FALSE(this->files().SetAttributes(path, kAttrReadOnly));
}

// Callers tell a file in use from one that is gone, and the user reads which file failed.
TYPED_TEST(EnvSuite, Failures_SayWhyAndNameTheFile) {
  FileSystem& files = this->files();
  const std::string path = this->At("held.txt");
  this->Put(path, "abc");
  {
    auto held = files.OpenFile(
        path, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kRead));
    EXPECT_EQ(files.RemoveFile(path).failure(), FileFailure::kInUse);
    // Writing through a handle opened for reading fails, naming the file.
    std::string message;
    try {
      held->WriteExact("x", 1);
    } catch (const KoruError& error) {
      message = error.message();
    }
    EXPECT_FALSE(message.empty());
    if constexpr (!std::is_same_v<TypeParam, MemoryBackend> &&
                  !std::is_same_v<TypeParam, WrappedMemoryBackend>) {
      EXPECT_NE(message.find(path), std::string::npos) << message;
    }
  }
  EXPECT_EQ(files.RemoveFile(this->At("none.txt")).failure(), FileFailure::kNotFound);
  EXPECT_EQ(files.RemoveDirectoryAt(this->At("none")).failure(), FileFailure::kNotFound);
  EXPECT_EQ(files.MakeDirectories(this->At("none\\deeper")).failure(), FileFailure::kNone);
  EXPECT_EQ(files.MakeDirectory(this->At("none")).failure(), FileFailure::kAlreadyExists);
  EXPECT_EQ(files.MakeDirectory(this->At("gone\\deeper")).failure(), FileFailure::kNotFound);
  EXPECT_EQ(files.CopyFileTo(path, path, /*fail_if_exists=*/true).failure(),
            FileFailure::kAlreadyExists);
  ASSERT_TRUE(files.SetAttributes(path, kAttrReadOnly));
  EXPECT_EQ(files.RemoveFile(path).failure(), FileFailure::kAccessDenied);
  ASSERT_TRUE(files.SetAttributes(path, 0));
  EXPECT_TRUE(files.RemoveFile(path));
}

TYPED_TEST(EnvSuite, DosTime_RoundTripsAndRejectsMissingFiles) {
  const std::string path = this->At("dated.txt");
  this->Put(path, "x");
  const uint32_t stamp = *PackDosTime({2021, 6, 15, 10, 20, 30});
  ASSERT_TRUE(this->files().SetFileDosTime(path, stamp));
  EXPECT_EQ(this->files().GetFileDosTime(path), stamp);
  // Winter, so that a daylight-saving rule cannot hide an hour's error.
  const uint32_t winter = *PackDosTime({1999, 12, 31, 23, 59, 58});
  ASSERT_TRUE(this->files().SetFileDosTime(path, winter));
  EXPECT_EQ(this->files().GetFileDosTime(path), winter);
  EXPECT_EQ(this->files().ListDirectory(this->base_).at(0).dos_time, winter);
  EXPECT_EQ(this->files().GetFileDosTime(this->At("none")), std::nullopt);
  EXPECT_FALSE(this->files().SetFileDosTime(this->At("none"), stamp));
}

TYPED_TEST(EnvSuite, Copy_HonoursFailIfExistsAndKeepsDate) {
  const std::string source = this->At("src.txt");
  const std::string target = this->At("dst.txt");
  this->Put(source, "source");
  const uint32_t stamp = *PackDosTime({2010, 3, 4, 5, 6, 8});
  ASSERT_TRUE(this->files().SetFileDosTime(source, stamp));
  ASSERT_TRUE(this->files().CopyFileTo(source, target, true));
  EXPECT_EQ(this->Get(target), "source");
  EXPECT_EQ(this->files().GetFileDosTime(target), stamp);

  this->Put(target, "old target");
  EXPECT_FALSE(this->files().CopyFileTo(source, target, true));
  EXPECT_EQ(this->Get(target), "old target");
  ASSERT_TRUE(this->files().SetAttributes(target, kAttrReadOnly));
  EXPECT_FALSE(this->files().CopyFileTo(source, target, false));
  ASSERT_TRUE(this->files().SetAttributes(target, kAttrArchive));
  EXPECT_TRUE(this->files().CopyFileTo(source, target, false));
  EXPECT_EQ(this->Get(target), "source");
  EXPECT_FALSE(this->files().CopyFileTo(this->At("none"), target, false));
  EXPECT_FALSE(this->files().CopyFileTo(source, this->At("no\\dir.txt"), false));
}

TYPED_TEST(EnvSuite, Move_RenamesButNeverReplaces) {
  const std::string a = this->At("a.txt");
  const std::string b = this->At("b.txt");
  this->Put(a, "A");
  this->Put(b, "B");
  EXPECT_FALSE(this->files().MoveFileTo(a, b));
  EXPECT_EQ(this->Get(b), "B");
  ASSERT_TRUE(this->files().RemoveFile(b));
  ASSERT_TRUE(this->files().MoveFileTo(a, b));
  EXPECT_FALSE(this->files().FileExists(a));
  EXPECT_EQ(this->Get(b), "A");
  {
    auto open = this->files().OpenFile(
        b, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kReadWrite));
    EXPECT_FALSE(this->files().MoveFileTo(b, a));
  }
  // Only the case changes: allowed, though not every system shows the new case (Wine
  // keeps the old one).
  ASSERT_TRUE(this->files().MoveFileTo(b, this->At("B.TXT")));
  ASSERT_EQ(this->Names(this->base_).size(), 1u);
  EXPECT_TRUE(EqualsIgnoreCase(this->Names(this->base_)[0], "b.txt"));
  ASSERT_TRUE(this->files().MakeDirectory(this->At("dir")));
  ASSERT_TRUE(this->files().MoveFileTo(this->At("dir"), this->At("moved")));
  EXPECT_TRUE(this->files().DirectoryExists(this->At("moved")));
  EXPECT_FALSE(this->files().MoveFileTo(this->At("none"), this->At("c.txt")));
  EXPECT_FALSE(this->files().MoveFileTo(this->At("moved"), this->At("moved\\inside")));
}

TYPED_TEST(EnvSuite, MoveOver_ReplacesAFileButNotWhatWindowsProtects) {
  const std::string fresh = this->At("fresh.tmp");
  const std::string target = this->At("target.dat");
  this->Put(fresh, "new");
  ASSERT_TRUE(this->files().MoveFileOver(fresh, target));  // no target yet: a plain move
  EXPECT_EQ(this->Get(target), "new");
  this->Put(fresh, "newer");
  ASSERT_TRUE(this->files().MoveFileOver(fresh, this->At("TARGET.DAT")));
  EXPECT_FALSE(this->files().FileExists(fresh));
  EXPECT_EQ(this->Get(target), "newer");
  ASSERT_EQ(this->Names(this->base_).size(), 1u);

  // Refused: the old target stays whole and the source stays where it was.
  this->Put(fresh, "refused");
  {
    auto open = this->files().OpenFile(
        target, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kReadWrite));
    EXPECT_FALSE(this->files().MoveFileOver(fresh, target));
  }
  {
    auto open = this->files().OpenFile(
        fresh, Options(FileAccess::kRead, FileDisposition::kOpenExisting, FileShare::kReadWrite));
    EXPECT_FALSE(this->files().MoveFileOver(fresh, target));
  }
  ASSERT_TRUE(this->files().SetAttributes(target, kAttrReadOnly));
  EXPECT_FALSE(this->files().MoveFileOver(fresh, target));
  ASSERT_TRUE(this->files().SetAttributes(target, kAttrArchive));
  ASSERT_TRUE(this->files().MakeDirectory(this->At("dir")));
  EXPECT_FALSE(this->files().MoveFileOver(fresh, this->At("dir")));
  EXPECT_FALSE(this->files().MoveFileOver(this->At("dir"), this->At("other")));
  EXPECT_FALSE(this->files().MoveFileOver(this->At("none"), target));
  EXPECT_EQ(this->Get(target), "newer");
  EXPECT_EQ(this->Get(fresh), "refused");
}

TYPED_TEST(EnvSuite, Folders_MakeSeveralLevelsAndRemoveOnlyWhenEmpty) {
  const std::string deep = this->At("one\\two\\three");
  EXPECT_FALSE(this->files().MakeDirectory(deep));
  ASSERT_TRUE(this->files().MakeDirectories(deep + "\\"));
  EXPECT_TRUE(this->files().DirectoryExists(deep));
  EXPECT_TRUE(this->files().MakeDirectories(deep));
  EXPECT_FALSE(this->files().MakeDirectory(deep));
  this->Put(deep + "\\f.txt", "x");
  EXPECT_FALSE(this->files().MakeDirectories(deep + "\\f.txt\\sub"));
  EXPECT_FALSE(this->files().MakeDirectory(this->At("what?")));
  EXPECT_THROW(this->Put(this->At("a*b.txt"), "x"), KoruError);
  EXPECT_FALSE(this->files().RemoveDirectoryAt(deep));
  EXPECT_FALSE(this->files().RemoveDirectoryAt(deep + "\\f.txt"));
  ASSERT_TRUE(this->files().RemoveFile(deep + "\\f.txt"));
  EXPECT_TRUE(this->files().RemoveDirectoryAt(deep));
  EXPECT_FALSE(this->files().DirectoryExists(deep));
  EXPECT_TRUE(this->files().DirectoryExists(this->At("one\\two")));
  EXPECT_FALSE(this->files().RemoveDirectoryAt(deep));
}

TYPED_TEST(EnvSuite, List_GivesSortedNamesWithAttributesAndSizes) {
  this->Put(this->At("b.txt"), "12345");
  this->Put(this->At("A.txt"), "1");
  ASSERT_TRUE(this->files().MakeDirectory(this->At("c")));
  this->Put(this->At("c\\inner.txt"), "");
  const std::vector<DirEntry> entries = this->files().ListDirectory(this->base_ + "\\");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "A.txt");
  EXPECT_EQ(entries[0].size, 1);
  EXPECT_EQ(entries[1].name, "b.txt");
  EXPECT_EQ(entries[1].size, 5);
  EXPECT_EQ(entries[1].attributes & kAttrDirectory, 0u);
  EXPECT_EQ(entries[2].name, "c");
  EXPECT_EQ(entries[2].attributes & kAttrDirectory, kAttrDirectory);
  EXPECT_TRUE(this->files().ListDirectory(this->At("none")).empty());
  EXPECT_TRUE(this->files().ListDirectory(this->At("b.txt")).empty());
}

TYPED_TEST(EnvSuite, Names_IgnoreCaseOnLookup) {
  ASSERT_TRUE(this->files().MakeDirectory(this->At("Data")));
  this->Put(this->At("Data\\File.TXT"), "content");
  EXPECT_TRUE(this->files().FileExists(this->At("DATA\\file.txt")));
  EXPECT_TRUE(this->files().DirectoryExists(this->At("data")));
  EXPECT_EQ(this->Get(this->At("data\\FILE.txt")), "content");
  EXPECT_EQ(this->files().GetFileSize(this->At("dAtA\\fIlE.tXt")), 7);
  // Writing through another case keeps the one file and its first name.
  this->Put(this->At("DATA\\FILE.TXT"), "new");
  EXPECT_EQ(this->Names(this->At("Data")), std::vector<std::string>{"File.TXT"});
  EXPECT_TRUE(this->files().RemoveFile(this->At("data\\file.txt")));
  EXPECT_TRUE(this->files().RemoveDirectoryAt(this->At("DATA")));
}

// ソ and 表 both end in the byte 0x5C, the backslash.
TYPED_TEST(EnvSuite, Names_ShiftJisWithBackslashTrailBytesSurviveEveryOperation) {
  const std::string folder = this->At("ソフト");
  const std::string file = folder + "\\表示.txt";
  ASSERT_EQ(std::string("ソ").back(), '\\');
  ASSERT_EQ(std::string("表").back(), '\\');
  ASSERT_TRUE(this->files().MakeDirectories(folder));
  EXPECT_TRUE(this->files().DirectoryExists(folder));
  this->Put(file, "日本語");
  EXPECT_TRUE(this->files().FileExists(file));
  EXPECT_EQ(this->Get(file), "日本語");
  EXPECT_EQ(this->files().GetFileSize(file), 6);
  EXPECT_EQ(this->Names(folder), std::vector<std::string>{"表示.txt"});
  EXPECT_EQ(this->Names(this->base_), std::vector<std::string>{"ソフト"});
  const uint32_t stamp = *PackDosTime({2004, 2, 29, 1, 2, 4});
  ASSERT_TRUE(this->files().SetFileDosTime(file, stamp));
  EXPECT_EQ(this->files().GetFileDosTime(file), stamp);
  ASSERT_TRUE(this->files().SetAttributes(file, kAttrReadOnly));
  EXPECT_FALSE(this->files().RemoveFile(file));
  ASSERT_TRUE(this->files().SetAttributes(file, kAttrArchive));
  const std::string copy = folder + "\\表示ソ.txt";
  ASSERT_TRUE(this->files().CopyFileTo(file, copy, true));
  const std::string moved = this->At("表");
  ASSERT_TRUE(this->files().MoveFileTo(copy, moved));
  EXPECT_EQ(this->Get(moved), "日本語");
  EXPECT_NE(this->files().FreeBytes(folder), std::nullopt);
  EXPECT_TRUE(this->files().FileExists(this->files().ShortPathName(file)));
  ASSERT_TRUE(this->files().RemoveFile(file));
  ASSERT_TRUE(this->files().RemoveFile(moved));
  EXPECT_TRUE(this->files().RemoveDirectoryAt(folder));
  EXPECT_TRUE(this->Names(this->base_).empty());
}

TYPED_TEST(EnvSuite, FreeBytes_AnswersForExistingVolumes) {
  const auto free = this->files().FreeBytes(this->base_);
  ASSERT_NE(free, std::nullopt);
  EXPECT_GT(*free, 0u);
  // A folder still to be created answers for its volume.
  EXPECT_NE(this->files().FreeBytes(this->At("not\\yet\\made")), std::nullopt);
}

// --- registry ---

class ScopedTestKey {
 public:
  ScopedTestKey(Registry& registry, std::string name)
      : registry_(registry), name_(std::move(name)) {}
  ~ScopedTestKey() { registry_.DeleteKeyTree(RegistryRoot::kCurrentUser, "Software", name_); }
  std::string Path() const { return "Software\\" + name_; }

 private:
  Registry& registry_;
  std::string name_;
};

TYPED_TEST(EnvSuite, Registry_CreatesReadsWritesAndEnumerates) {
  ScopedTestKey scope(this->registry(), this->backend_.UniqueName("KoruTest"));
  const std::string path = scope.Path() + "\\Maker\\Game";
  EXPECT_EQ(this->registry().OpenKey(RegistryRoot::kCurrentUser, path, false, false), nullptr);
  auto key = this->registry().OpenKey(RegistryRoot::kCurrentUser, "\\" + path, true, true);
  ASSERT_NE(key, nullptr);
  EXPECT_TRUE(key->WriteString("InstallPath", "C:\\ゲーム\\表示"));
  EXPECT_TRUE(key->WriteString("CDDrive", "D:"));
  EXPECT_TRUE(key->WriteString("CDDrive", "E:"));
  EXPECT_TRUE(
      key->WriteValue("Flags", {RegistryValueType::kOther, std::string("\x01\x00\x00\x00", 4)}));
  EXPECT_TRUE(key->WriteValue("Local", {RegistryValueType::kExpandString, "%USERPROFILE%\\x"}));
  key.reset();

  auto read = this->registry().OpenKey(RegistryRoot::kCurrentUser, path, false, false);
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->ReadValue("installpath")->data, "C:\\ゲーム\\表示");
  EXPECT_EQ(read->ReadValue("InstallPath")->type, RegistryValueType::kString);
  EXPECT_EQ(read->ReadValue("CDDrive")->data, "E:");
  EXPECT_EQ(read->ReadValue("Flags")->type, RegistryValueType::kOther);
  EXPECT_EQ(read->ReadValue("Flags")->data, std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(read->ReadValue("Local")->type, RegistryValueType::kExpandString);
  EXPECT_EQ(read->ReadValue("Local")->data, "%USERPROFILE%\\x");
  EXPECT_EQ(read->ReadValue("Missing"), std::nullopt);
  EXPECT_EQ(read->ValueCount(), 4u);
  std::vector<std::string> values = read->ValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"CDDrive", "Flags", "InstallPath", "Local"}));
  EXPECT_FALSE(read->WriteString("x", "y"));

  auto maker =
      this->registry().OpenKey(RegistryRoot::kCurrentUser, scope.Path() + "\\MAKER", true, true);
  ASSERT_NE(maker, nullptr);
  ASSERT_NE(this->registry().OpenKey(RegistryRoot::kCurrentUser, scope.Path() + "\\Maker\\Another",
                                     true, true),
            nullptr);
  EXPECT_EQ(maker->SubkeyCount(), 2u);
  EXPECT_EQ(maker->SubkeyNames(), (std::vector<std::string>{"Another", "Game"}));
  EXPECT_EQ(maker->ValueCount(), 0u);
  EXPECT_TRUE(maker->WriteString("", "default"));
  EXPECT_EQ(maker->ReadValue("")->data, "default");
  EXPECT_TRUE(maker->DeleteValue(""));
  EXPECT_FALSE(maker->DeleteValue("never"));
}

TYPED_TEST(EnvSuite, Registry_DeleteTreeRemovesKeyAndLeavesParent) {
  ScopedTestKey scope(this->registry(), this->backend_.UniqueName("KoruTest"));
  const std::string parent = scope.Path() + "\\Maker";
  auto deep = this->registry().OpenKey(RegistryRoot::kCurrentUser, parent + "\\Game\\Sub\\Deeper",
                                       true, true);
  ASSERT_NE(deep, nullptr);
  EXPECT_TRUE(deep->WriteString("v", "1"));
  deep.reset();
  auto game = this->registry().OpenKey(RegistryRoot::kCurrentUser, parent + "\\Game", false, true);
  ASSERT_NE(game, nullptr);
  EXPECT_TRUE(game->WriteString("InstallPath", "C:\\x"));
  game.reset();

  EXPECT_TRUE(this->registry().DeleteKeyTree(RegistryRoot::kCurrentUser, parent, "Game"));
  EXPECT_EQ(this->registry().OpenKey(RegistryRoot::kCurrentUser, parent + "\\Game", false, false),
            nullptr);
  auto maker = this->registry().OpenKey(RegistryRoot::kCurrentUser, parent, false, false);
  ASSERT_NE(maker, nullptr);
  EXPECT_EQ(maker->SubkeyCount(), 0u);
  EXPECT_FALSE(this->registry().DeleteKeyTree(RegistryRoot::kCurrentUser, parent, "Game"));
  // Several levels in the name.
  ASSERT_NE(this->registry().OpenKey(RegistryRoot::kCurrentUser, parent + "\\A\\B", true, true),
            nullptr);
  EXPECT_TRUE(this->registry().DeleteKeyTree(RegistryRoot::kCurrentUser, scope.Path(), "Maker\\A"));
  EXPECT_NE(this->registry().OpenKey(RegistryRoot::kCurrentUser, parent, false, false), nullptr);
  EXPECT_EQ(this->registry().OpenKey(RegistryRoot::kCurrentUser, parent + "\\A", false, false),
            nullptr);
}

// --- system ---

TYPED_TEST(EnvSuite, Mutex_ReportsExistenceAndEarlierHolders) {
  const std::string name = this->backend_.UniqueName("KoruMutex");
  EXPECT_EQ(this->system().ProbeMutex(name), MutexProbe::kAbsent);
  bool existed = true;
  auto first = this->system().CreateNamedMutex(name, &existed);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(existed);
  EXPECT_EQ(this->system().ProbeMutex(name), MutexProbe::kOpened);
  EXPECT_EQ(this->system().ProbeMutex(AsciiLower(name)), MutexProbe::kAbsent);
  auto second = this->system().CreateNamedMutex(name, &existed);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(existed);
  first.reset();
  EXPECT_EQ(this->system().ProbeMutex(name), MutexProbe::kOpened);
  second.reset();
  EXPECT_EQ(this->system().ProbeMutex(name), MutexProbe::kAbsent);
  EXPECT_EQ(this->system().CreateNamedMutex("C:\\Game\\Title", &existed), nullptr);
  auto japanese = this->system().CreateNamedMutex(name + "ゲーム表示", &existed);
  ASSERT_NE(japanese, nullptr);
  EXPECT_EQ(this->system().ProbeMutex(name + "ゲーム表示"), MutexProbe::kOpened);
}

std::string DecodeUtf16(const std::string& bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return Utf16ToSjis(units);
}

TYPED_TEST(EnvSuite, Restart_DeletionIsRecordedWhereWindowsKeepsIt) {
  const std::string path = this->At("~kinstall表.exe");
  const std::string other = this->At("~kinstall0.exe");
  this->Put(path, "MZ");
  this->Put(other, "MZ");
  ASSERT_TRUE(this->system().DeleteAtRestart(other));
  ASSERT_TRUE(this->system().DeleteAtRestart(path));
  auto key =
      this->registry().OpenKey(RegistryRoot::kLocalMachine, kSessionManagerKey, false, false);
  ASSERT_NE(key, nullptr);
  const auto value = key->ReadValue(kPendingRenameValue);
  ASSERT_NE(value, std::nullopt);
  EXPECT_EQ(value->type, RegistryValueType::kOther);
  const std::string list = DecodeUtf16(value->data);
  const std::string entry =
      std::string("\\??\\") + path + std::string(1, '\0') + std::string(1, '\0');
  EXPECT_NE(list.find(entry), std::string::npos);
  const std::string other_entry = std::string("\\??\\") + other + std::string(2, '\0');
  EXPECT_NE(list.find(other_entry), std::string::npos);
  EXPECT_TRUE(this->files().FileExists(path));
}

TYPED_TEST(EnvSuite, System_FoldersHaveTheirWindowsForm) {
  const std::string temp = this->system().TempFolder();
  EXPECT_TRUE(EndsWithChar(temp, '\\'));
  EXPECT_TRUE(this->files().DirectoryExists(temp));
  EXPECT_FALSE(EndsWithChar(this->system().WindowsFolder(), '\\'));
  EXPECT_TRUE(EqualsIgnoreCase(this->system().SystemFolder(),
                               this->system().WindowsFolder() + "\\system32"));
  for (int csidl : {kCsidlPrograms, kCsidlCommonPrograms, kCsidlLocalAppData, kCsidlProgramFiles}) {
    const std::string folder = this->system().SpecialFolder(csidl);
    EXPECT_FALSE(folder.empty());
    EXPECT_FALSE(EndsWithChar(folder, '\\'));
  }
  EXPECT_THROW(this->system().SpecialFolder(0x7777), KoruError);
  EXPECT_TRUE(this->system().IsNtFamily());
  // Wine running as root reports an elevated user, like the other backends' default.
  EXPECT_TRUE(this->system().IsUserAdmin());
  EXPECT_FALSE(this->system().ExecutablePath().empty());
  EXPECT_EQ(this->shell().ShellOpen(this->At("missing.txt"), "", this->base_, 5), 2);
}

TYPED_TEST(EnvSuite, Resources_FoundInTheOwnModuleAndMissingModulesReported) {
  this->backend_.AddOwnResource();
  bool loaded = false;
  auto resource = this->system().LoadModuleResource("", "DUMMY", "BINTYPE", &loaded);
  EXPECT_TRUE(loaded);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(resource->data()), resource->size()),
            kOwnResource);
  EXPECT_NE(this->system().LoadModuleResource("", "dummy", "bintype", &loaded), nullptr);
  EXPECT_EQ(this->system().LoadModuleResource("", "NONE", "BINTYPE", &loaded), nullptr);
  EXPECT_TRUE(loaded);
  EXPECT_EQ(this->system().LoadModuleResource(this->At("none.dll"), "DUMMY", "BINTYPE", &loaded),
            nullptr);
  EXPECT_FALSE(loaded);
}

TYPED_TEST(EnvSuite, ShellLinks_SavedAndReadBack) {
  // The target's own name is ASCII: Wine keeps the names of a link's item list in the
  // system's code page, so a Japanese target reads back as "???" under code page 1252
  // (Windows keeps them in UTF-16). Every string field of the link itself is UTF-16.
  const std::string target = this->At("game.exe");
  this->Put(target, "MZ");
  const std::string folder = this->At("表示ソフト");
  ASSERT_TRUE(this->files().MakeDirectory(folder));
  ShellLinkFields fields;
  fields.target = target;
  fields.arguments = "-window \"表示\"";
  fields.working_folder = folder;
  fields.description = "サンプルゲームのアンインストール";
  fields.hot_key = 0x200 | 'K';
  fields.show_command = kShowNormal;
  fields.icon_path = target;
  fields.icon_index = 1;
  const std::string link = this->At("ソフト.lnk");
  ASSERT_EQ(this->shell().SaveShellLink(link, fields), ShellLinkResult::kSaved);
  EXPECT_TRUE(this->files().FileExists(link));
  const std::optional<ShellLinkFields> back = this->shell().LoadShellLink(link);
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(EqualsIgnoreCase(back->target, fields.target)) << back->target;
  EXPECT_EQ(back->arguments, fields.arguments);
  EXPECT_EQ(back->working_folder, fields.working_folder);
  EXPECT_EQ(back->description, fields.description);
  EXPECT_EQ(back->hot_key, fields.hot_key);
  EXPECT_EQ(back->show_command, fields.show_command);
  EXPECT_TRUE(EqualsIgnoreCase(back->icon_path, fields.icon_path)) << back->icon_path;
  EXPECT_EQ(back->icon_index, fields.icon_index);
  EXPECT_FALSE(this->shell().LoadShellLink(this->At("none.lnk")).has_value());
  EXPECT_EQ(this->shell().SaveShellLink(this->At("none\\x.lnk"), fields),
            ShellLinkResult::kNotSaved);
}

}  // namespace
}  // namespace koru::platform::testing
