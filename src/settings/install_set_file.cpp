// The file "install.dat": a flat run of little-endian fields after an optional
// "is" + three-digit version header. The format has no checksum and no end marker, so
// every count and length is checked against the bytes the stream still holds before
// anything is read or allocated.
#include <limits>

#include "base/binary_io.h"
#include "base/error.h"
#include "settings/install_set.h"

namespace koru {
namespace {

// First versions that hold each later field (a file of a later version is read like
// the last one known).
constexpr int kV64BitSizes = 100;
constexpr int kVUpdateMode = 101;
constexpr int kVInstalledFiles = 102;
constexpr int kVDataInstalled = 103;
constexpr int kVInstallType = 104;
constexpr int kVExtractFiles = 105;
constexpr int kVExtraFiles = 106;
constexpr int kVSetupCaption = 107;
constexpr int kVPageTexts = 108;

constexpr int64_t kStringHeaderBytes = 4;
constexpr int kSizesPerDisc = 4;

[[noreturn]] void Corrupt() { throw KoruError(kInstallSetCorrupt); }

// Reads fields and refuses to read beyond what the stream holds.
class FieldReader {
 public:
  explicit FieldReader(Stream& stream) : stream_(stream) { Restart(); }

  // Counts the bytes left anew from the stream's current position.
  void Restart() { remaining_ = stream_.Remaining(); }
  int64_t remaining() const { return remaining_; }

  void Bytes(void* buffer, int64_t count) {
    if (count > remaining_ || stream_.Read(buffer, count) != count) Corrupt();
    remaining_ -= count;
  }
  int32_t Int32() {
    uint8_t bytes[4];
    Bytes(bytes, 4);
    return LoadInt32(bytes);
  }
  uint8_t UInt8() {
    uint8_t byte = 0;
    Bytes(&byte, 1);
    return byte;
  }
  bool Flag() { return UInt8() != 0; }
  // A per-disc size or total: 64 bits from version 100 on, 32 unsigned bits before.
  int64_t Size(int version) {
    uint8_t bytes[8];
    if (version >= kV64BitSizes) {
      Bytes(bytes, 8);
      return LoadInt64(bytes);
    }
    Bytes(bytes, 4);
    return static_cast<int64_t>(LoadUInt32(bytes));
  }
  // A count of 0 or less is the empty string.
  std::string String() {
    const int32_t length = Int32();
    if (length <= 0) return std::string();
    if (length > remaining_) Corrupt();
    std::string text(static_cast<size_t>(length), '\0');
    Bytes(text.data(), length);
    return text;
  }
  std::vector<std::string> StringList(bool keep_empty) {
    const int32_t count = Int32();
    if (count < 0 || count > remaining_ / kStringHeaderBytes) Corrupt();
    std::vector<std::string> list;
    list.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      std::string entry = String();
      if (keep_empty || !entry.empty()) list.push_back(std::move(entry));
    }
    return list;
  }

 private:
  Stream& stream_;
  int64_t remaining_ = 0;
};

// "is" and three decimal digits give the version; other digits give 0. Without "is" the
// fields start at the stream's very beginning.
int ReadHeader(Stream& stream, FieldReader& reader) {
  char magic[2] = {};
  if (stream.Read(magic, 2) == 2 && magic[0] == 'i' && magic[1] == 's') {
    reader.Restart();
    char digits[3];
    reader.Bytes(digits, 3);
    int version = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') return 0;
      version = version * 10 + (c - '0');
    }
    return version;
  }
  stream.SetPosition(0);
  reader.Restart();
  return 0;
}

void ReadFields(FieldReader& in, int version, TKoruInstallSet& s) {
  s.DiscIndex = in.Int32();
  s.Title = in.String();
  s.FooterText = in.String();
  s.DefaultFolder = in.String();
  s.ReadmeFile = in.String();
  s.ShowReadme = in.Flag();
  s.BackImage = in.String();
  s.BackImageLayout = in.UInt8();
  const int32_t disc_count = in.Int32();
  const int64_t disc_bytes = kSizesPerDisc * (version >= kV64BitSizes ? 8 : 4);
  if (disc_count < 0 || disc_count > in.remaining() / disc_bytes) Corrupt();
  s.SetDiscCount(disc_count);
  s.ExeFile = in.String();
  s.ImageSeed = in.Int32();
  s.OfferRuntimeSetup = in.Flag();
  s.SpareFlag = in.UInt8();
  s.MediaName = in.String();
  s.RegistryKey = in.String();
  for (size_t i = 0; i < static_cast<size_t>(disc_count); ++i) {
    s.DiscProgSizes[i] = in.Size(version);
    s.DiscDataSizes[i] = in.Size(version);
    s.DiscSoundSizes[i] = in.Size(version);
    s.DiscMovieSizes[i] = in.Size(version);
  }
  s.ProgSize = in.Size(version);
  s.DataSize = in.Size(version);
  s.SoundSize = in.Size(version);
  s.MovieSize = in.Size(version);
  s.Uninstaller = in.Flag();
  if (version >= kVUpdateMode) s.UpdateMode = in.Flag();
  s.InstalledFiles.clear();
  if (version >= kVInstalledFiles) s.InstalledFiles = in.StringList(/*keep_empty=*/false);
  if (version >= kVDataInstalled) s.DataInstalled = in.Flag();
  if (version >= kVInstallType) s.InstallType = in.UInt8();
  if (version >= kVExtractFiles) s.ExtractFiles = in.Flag();
  s.ExtraFiles.clear();
  if (version >= kVExtraFiles) s.ExtraFiles = in.StringList(/*keep_empty=*/true);
  if (version >= kVSetupCaption) s.SetupCaption = in.String();
  if (version >= kVPageTexts) {
    s.WelcomeText = in.String();
    s.LicenseText = in.String();
  }
}

void WriteString(Stream& out, const std::string& text) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw KoruError(kStreamWriteError);
  }
  WriteInt32(out, static_cast<int32_t>(text.size()));
  out.WriteExact(text.data(), static_cast<int64_t>(text.size()));
}

void WriteStringList(Stream& out, const std::vector<std::string>& list) {
  if (list.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    throw KoruError(kStreamWriteError);
  }
  WriteInt32(out, static_cast<int32_t>(list.size()));
  for (const std::string& entry : list) WriteString(out, entry);
}

void WriteFlag(Stream& out, bool flag) { WriteUInt8(out, flag ? 1 : 0); }

void WriteFields(Stream& out, const TKoruInstallSet& s) {
  WriteInt32(out, s.DiscIndex);
  WriteString(out, s.Title);
  WriteString(out, s.FooterText);
  WriteString(out, s.DefaultFolder);
  WriteString(out, s.ReadmeFile);
  WriteFlag(out, s.ShowReadme);
  WriteString(out, s.BackImage);
  WriteUInt8(out, s.BackImageLayout);
  WriteInt32(out, s.DiscCount);
  WriteString(out, s.ExeFile);
  WriteInt32(out, s.ImageSeed);
  WriteFlag(out, s.OfferRuntimeSetup);
  WriteUInt8(out, s.SpareFlag);
  WriteString(out, s.MediaName);
  WriteString(out, s.RegistryKey);
  for (size_t i = 0; i < static_cast<size_t>(s.DiscCount); ++i) {
    WriteInt64(out, s.DiscProgSizes[i]);
    WriteInt64(out, s.DiscDataSizes[i]);
    WriteInt64(out, s.DiscSoundSizes[i]);
    WriteInt64(out, s.DiscMovieSizes[i]);
  }
  WriteInt64(out, s.ProgSize);
  WriteInt64(out, s.DataSize);
  WriteInt64(out, s.SoundSize);
  WriteInt64(out, s.MovieSize);
  WriteFlag(out, s.Uninstaller);
  WriteFlag(out, s.UpdateMode);
  WriteStringList(out, s.InstalledFiles);
  WriteFlag(out, s.DataInstalled);
  WriteUInt8(out, s.InstallType);
  WriteFlag(out, s.ExtractFiles);
  WriteStringList(out, s.ExtraFiles);
  WriteString(out, s.SetupCaption);
  WriteString(out, s.WelcomeText);
  WriteString(out, s.LicenseText);
}

}  // namespace

int TKoruInstallSet::LoadFromStream(Stream& stream) {
  FieldReader reader(stream);
  const int version = ReadHeader(stream, reader);
  // Read into a copy, so that a damaged file leaves the object as it was.
  TKoruInstallSet loaded = *this;
  ReadFields(reader, version, loaded);
  *this = std::move(loaded);
  return version;
}

void TKoruInstallSet::SaveToStream(Stream& stream) const {
  const size_t discs = static_cast<size_t>(DiscCount);
  if (DiscCount < 0 || DiscProgSizes.size() != discs || DiscDataSizes.size() != discs ||
      DiscSoundSizes.size() != discs || DiscMovieSizes.size() != discs) {
    throw KoruError(kDiscCountError);
  }
  // One write of the whole file: the file layer may write through to the disc.
  MemoryStream buffer;
  buffer.WriteExact("is108", 5);
  WriteFields(buffer, *this);
  stream.WriteExact(buffer.Data(), buffer.GetSize());
}

int TKoruInstallSet::LoadFromFile(platform::Env& env, const std::string& path) {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  options.disposition = platform::FileDisposition::kOpenExisting;
  const auto file = env.files().OpenFile(path, options);
  return LoadFromStream(*file);
}

void TKoruInstallSet::SaveToFile(platform::Env& env, const std::string& path) const {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  const auto file = env.files().OpenFile(path, options);
  SaveToStream(*file);
}

}  // namespace koru
