#include "storage/vrfiles.h"

#include <cstring>
#include <limits>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "settings/stream_copy.h"
#include "storage/compression.h"
#include "storage/directory_codec.h"
#include "storage/entry_names.h"
#include "storage/rands.h"

namespace koru {
namespace {

constexpr int64_t kTrailerSize = 6;

[[noreturn]] void ThrowCorrupt() { throw KoruError(kCorruptArchiveError); }

// Reads exactly count bytes, a short read being damage of the directory.
template <typename Reader>
void ReadOrCorrupt(Reader& reader, void* buffer, int64_t count) {
  if (reader.Read(buffer, count) != count) ThrowCorrupt();
}

template <typename Reader>
int32_t ReadInt32OrCorrupt(Reader& reader) {
  uint8_t bytes[4];
  ReadOrCorrupt(reader, bytes, 4);
  return LoadInt32(bytes);
}

// What a directory holds, read in full and checked before any entry is made.
struct DirectoryContents {
  std::vector<std::string> names;
  std::vector<int64_t> offsets;  // N+1, relative to the archive's first byte
  std::vector<uint8_t> uncompressed;
  std::vector<uint32_t> file_times;
  std::vector<uint32_t> crcs;
  std::vector<uint8_t> separate;
};

int64_t DirectoryTableBytes(int32_t version, int64_t count) {
  const int64_t offset_size = version >= 101 ? 8 : 4;
  int64_t bytes = offset_size * (count + 1);
  if (version >= 101) bytes += 9 * count;
  if (version >= 102) bytes += count;
  return bytes;
}

void ReadNames(TKwBigStream& stream, int32_t version, int32_t count, int64_t table_bytes,
               std::vector<std::string>* names) {
  names->reserve(static_cast<size_t>(count));
  TKwBuffBigStream reader(stream);
  // The size left is asked once: on a volume stream every ask costs a call to the system
  // per volume. Each record then takes its 4 + L bytes off the count.
  int64_t left = reader.Remaining();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t length = ReadInt32OrCorrupt(reader);
    left -= 4;
    // Every record still to come needs its 4 length bytes, and the tables follow.
    const int64_t reserved = 4 * static_cast<int64_t>(count - 1 - i) + table_bytes;
    if (length < 0 || length > left - reserved) ThrowCorrupt();
    left -= length;
    std::string name(static_cast<size_t>(length), '\0');
    if (length > 0) ReadOrCorrupt(reader, name.data(), length);
    names->push_back(std::move(name));
  }
  if (version >= 100) {
    TKwRandom random(kDirectorySeed);
    for (std::string& name : *names) directory_codec::ScrambleName(random, name);
  }
}

void ReadOffsets(TKwBigStream& stream, int32_t version, int32_t count,
                 std::vector<int64_t>* offsets) {
  const size_t n = static_cast<size_t>(count) + 1;
  const size_t width = version >= 101 ? 8 : 4;
  std::vector<uint8_t> raw(n * width);
  ReadOrCorrupt(stream, raw.data(), static_cast<int64_t>(raw.size()));
  offsets->resize(n);
  TKwRandom random(kDirectorySeed);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = raw.data() + i * width;
    if (version >= 101) {
      (*offsets)[i] = directory_codec::ScrambleOffset64(random, LoadInt64(p));
    } else if (version == 100) {
      (*offsets)[i] = directory_codec::ScrambleOffset32(random, LoadUInt32(p));
    } else {
      (*offsets)[i] = static_cast<int64_t>(LoadUInt32(p));
    }
  }
}

void ReadFlagTables(TKwBigStream& stream, int32_t version, int32_t count,
                    DirectoryContents* contents) {
  const size_t n = static_cast<size_t>(count);
  contents->uncompressed.assign(n, 0);
  contents->file_times.assign(n, 0);
  contents->crcs.assign(n, 0);
  contents->separate.assign(n, 0);
  if (version < 101) return;
  ReadOrCorrupt(stream, contents->uncompressed.data(), count);
  std::vector<uint8_t> raw(n * 4);
  ReadOrCorrupt(stream, raw.data(), static_cast<int64_t>(raw.size()));
  for (size_t i = 0; i < n; ++i) contents->file_times[i] = LoadUInt32(raw.data() + 4 * i);
  ReadOrCorrupt(stream, raw.data(), static_cast<int64_t>(raw.size()));
  for (size_t i = 0; i < n; ++i) contents->crcs[i] = LoadUInt32(raw.data() + 4 * i);
  if (version >= 102) ReadOrCorrupt(stream, contents->separate.data(), count);
}

// Offsets must lie at or after the archive's start and grow, so that every size is
// non-negative and every absolute position fits in 64 bits.
void CheckOffsets(const std::vector<int64_t>& offsets, int64_t base) {
  for (size_t i = 0; i < offsets.size(); ++i) {
    if (offsets[i] < 0 || offsets[i] > std::numeric_limits<int64_t>::max() - base) ThrowCorrupt();
    if (i + 1 < offsets.size() && offsets[i + 1] < offsets[i]) ThrowCorrupt();
  }
}

DirectoryContents ReadDirectoryContents(TKwBigStream& stream) {
  const int64_t base = stream.GetPosition();
  int32_t version = 0;
  uint8_t signature[2];
  ReadOrCorrupt(stream, signature, 2);
  if (signature[0] == 'v' && signature[1] == 'f') {
    version = ReadInt32OrCorrupt(stream);
  } else {
    stream.SetPosition(base);
  }
  const int32_t count = ReadInt32OrCorrupt(stream);
  if (count < 0 || count > kMaxDirectoryEntries) ThrowCorrupt();
  const int64_t table_bytes = DirectoryTableBytes(version, count);
  if (stream.Remaining() < 4 * static_cast<int64_t>(count) + table_bytes) ThrowCorrupt();

  DirectoryContents contents;
  ReadNames(stream, version, count, table_bytes, &contents.names);
  ReadOffsets(stream, version, count, &contents.offsets);
  ReadFlagTables(stream, version, count, &contents);
  CheckOffsets(contents.offsets, base);
  return contents;
}

bool IsExecutableName(const std::string& file_name) {
  const std::string ext = AsciiUpper(ExtractFileExt(file_name));
  return ext == ".EXE" || ext == ".SCR";
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TVrFile

void TVrFile::Assign(const THashCollectionItem& source) {
  THashCollectionItem::Assign(source);
  if (const auto* other = dynamic_cast<const TVrFile*>(&source)) {
    Offset = other->Offset;
    Size = other->Size;
    Uncompressed = other->Uncompressed;
    FileTime = other->FileTime;
    Crc = other->Crc;
    SeparateFile = other->SeparateFile;
  }
}

// ---------------------------------------------------------------------------------------
// TVrFileCollection: opening and reading

TVrFileCollection::TVrFileCollection(platform::Env& env) : env_(env) { SetJapaneseNames(true); }

TVrFileCollection::~TVrFileCollection() { Reset(); }

std::unique_ptr<THashCollectionItem> TVrFileCollection::CreateItem() {
  return std::make_unique<TVrFile>();
}

TVrFile& TVrFileCollection::AddEntry(const std::string& name) {
  TVrFile& entry = static_cast<TVrFile&>(Add());
  entry.SetName(name);
  return entry;
}

TKwBigFileStream* TVrFileCollection::ArchiveFileStream() const {
  return dynamic_cast<TKwBigFileStream*>(archive_stream_.get());
}

void TVrFileCollection::SetFolder(const std::string& folder) {
  folder_ = folder.empty() ? std::string() : AddBackslash(folder);
}

void TVrFileCollection::Reset() {
  Clear();
  archive_stream_.reset();
  data_end_ = -1;
}

void TVrFileCollection::Open(const std::string& file_name) { OpenArchive(file_name, false); }

void TVrFileCollection::ReadDirectory(TKwBigStream& stream) {
  const int64_t base = stream.GetPosition();
  DirectoryContents contents = ReadDirectoryContents(stream);
  const size_t count = contents.names.size();
  Reserve(Count() + static_cast<int>(count) + 1);
  for (size_t i = 0; i < count; ++i) {
    // The name read is moved in, not copied.
    TVrFile& entry = static_cast<TVrFile&>(Add());
    entry.SetName(std::move(contents.names[i]));
    entry.Offset = base + contents.offsets[i];
    entry.Size = contents.offsets[i + 1] - contents.offsets[i];
    entry.Uncompressed = contents.uncompressed[i] != 0;
    entry.FileTime = contents.file_times[i];
    entry.Crc = contents.crcs[i];
    entry.SeparateFile = contents.separate[i] != 0;
  }
  // The end marker's offset stays relative, as the directory gives it.
  TVrFile& end = AddEntry(kEndMarkerName);
  end.Offset = contents.offsets[count];
  data_end_ = base + contents.offsets[count];
}

void TVrFileCollection::ReadDirectoryOrReset(TKwBigStream& stream, int64_t position) {
  try {
    stream.SetPosition(position);
    ReadDirectory(stream);
  } catch (...) {
    Reset();
    throw;
  }
}

void TVrFileCollection::OpenArchive(const std::string& file_name, bool treat_as_file) {
  Reset();
  archive_path_ = file_name;
  if (file_name.empty()) return;
  platform::FileSystem& files = env_.files();
  const bool exists = files.FileExists(file_name);
  SetFolder(exists || treat_as_file ? ExtractFilePath(file_name) : file_name);
  if (!exists) return;

  archive_stream_ = std::make_unique<TKwBigFileStream>(files, file_name, kModeRead);
  if (!IsExecutableName(file_name)) {
    const std::string ext_name = ChangeFileExt(file_name, ".ext");
    if (files.FileExists(ext_name)) {
      TKwBigMemoryStream directory;
      try {
        directory.LoadFromFile(files, ext_name);
      } catch (...) {
        Reset();
        throw;
      }
      ReadDirectoryOrReset(directory, 0);
    } else {
      ReadDirectoryOrReset(*archive_stream_, 0);
    }
    return;
  }
  // An executable: the 32-bit start of its archive stands 6 bytes before its end.
  TKwBigStream& stream = *archive_stream_;
  const int64_t size = stream.GetSize();
  int32_t start = -1;
  if (size >= kTrailerSize) {
    stream.SetPosition(size - kTrailerSize);
    uint8_t bytes[4];
    if (stream.Read(bytes, 4) == 4) start = LoadInt32(bytes);
  }
  if (start < 0 || start > size - kTrailerSize) {
    Reset();
    ThrowCorrupt();
  }
  ReadDirectoryOrReset(stream, start);
}

void TVrFileCollection::OpenResource(const std::string& module_name, const std::string& res_name,
                                     const std::string& res_type) {
  Reset();
  platform::System& system = env_.system();
  const std::string module_path =
      EqualsIgnoreCase(module_name, system.ExecutablePath()) ? std::string() : module_name;
  bool module_loaded = false;
  std::unique_ptr<platform::ResourceData> data =
      system.LoadModuleResource(module_path, res_name, res_type, &module_loaded);
  if (!module_loaded) return;
  if (data == nullptr) throw KoruError(Format(kResourceNotFoundError, res_name.c_str()));
  archive_stream_ = std::make_unique<TKwBigResourceStream>(std::move(data), res_name, res_type);
  if (archive_stream_->GetSize() == 0) {
    Reset();
    throw KoruError("リソースが見つかりません");
  }
  ReadDirectoryOrReset(*archive_stream_, 0);
}

void TVrFileCollection::OpenStream(std::unique_ptr<TKwBigStream> stream) {
  Reset();
  archive_stream_ = std::move(stream);
  if (archive_stream_ != nullptr) ReadDirectoryOrReset(*archive_stream_, 0);
}

// ---------------------------------------------------------------------------------------
// Extraction

void TVrFileCollection::ExtractEntry(const TVrFile& entry, Stream& dest) {
  if (archive_stream_ == nullptr) throw KoruError(Format(kEntryMissingError, entry.Name().c_str()));
  TKwBigStream& stream = *archive_stream_;
  stream.SetPosition(entry.Offset);
  if (entry.Size > 0 && stream.GetPosition() != entry.Offset) throw KoruError(kStreamReadError);
  MemoryStream* memory = dest.AsMemoryStream();
  // An empty memory stream is decompressed in place, bounded; anything else is inflated
  // piece by piece, so that a large entry is never held whole.
  if (!entry.Uncompressed && (memory == nullptr || memory->GetSize() != 0)) {
    const auto read = [&stream](uint8_t* buffer, size_t n) {
      stream.ReadExact(buffer, static_cast<int64_t>(n));
    };
    InflateToStream(read, entry.Size, dest, memory != nullptr ? MaxLoadedEntrySize : INT64_MAX);
    return;
  }
  // A count of 0 would mean "everything" to some stream classes: an empty entry copies
  // nothing at all.
  if (entry.Size > 0) stream.CopyToStream(dest, entry.Size);
  if (!entry.Uncompressed) {
    DecompressStream(*memory, static_cast<size_t>(MaxLoadedEntrySize));
  }
}

void LoadEntry(TVrFileCollection& collection, Stream& dest, const std::string& name) {
  if (MemoryStream* memory = dest.AsMemoryStream()) memory->Clear();
  if (collection.ArchiveStream() != nullptr) {
    const int index = collection.IndexOf(name);
    if (index >= 0) {
      collection.ExtractEntry(collection.Entry(index), dest);
      dest.SetPosition(0);
      return;
    }
  }
  if (!collection.Folder().empty() && IsSafeEntryName(name)) {
    const std::string path = collection.Folder() + name;
    platform::FileSystem& files = collection.env().files();
    if (files.FileExists(path) && !EqualsIgnoreCase(path, collection.ArchivePath())) {
      platform::OpenOptions options;
      options.access = platform::FileAccess::kRead;
      options.share = platform::FileShare::kRead;
      std::unique_ptr<platform::File> file = files.OpenFile(path, options);
      file->SetPosition(0);
      if (file->GetSize() > 0) CopyStreamData(dest, *file, file->GetSize());
      dest.SetPosition(0);
      return;
    }
  }
  throw KoruError(Format(kEntryMissingError, name.c_str()));
}

}  // namespace koru
