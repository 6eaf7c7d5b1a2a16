// Writing archives: whole archives (SaveTo), single entries, merges into an installed
// archive with its ".ext" directory, and the compression decisions.

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/kw_int.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "settings/stream_copy.h"
#include "storage/compression.h"
#include "storage/directory_codec.h"
#include "storage/entry_names.h"
#include "storage/vrfiles.h"

namespace koru {
namespace {

constexpr size_t kImageHeaderRecord = 40;
constexpr size_t kCompTypeOffset = 22;

std::unique_ptr<platform::File> OpenForReading(platform::FileSystem& files,
                                               const std::string& path) {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;  // others may read, not write
  return files.OpenFile(path, options);
}

// Whether compression saved at least a tenth of the original size.
bool WorthCompressing(int64_t original, int64_t compressed) {
  return compressed <= original * 9 / 10;
}

bool IsSuperseded(const std::string& name) { return !name.empty() && name[0] == '/'; }

}  // namespace

// ---------------------------------------------------------------------------------------
// Compression decisions

bool IsUncompressedImage(Stream& stream) {
  stream.SetPosition(0);
  uint8_t head[7];
  if (stream.Read(head, sizeof head) != static_cast<int64_t>(sizeof head)) return false;
  if (std::memcmp(head, "Mura", 4) != 0) return false;
  const int32_t version =
      KwStrToIntOrThrow(std::string_view(reinterpret_cast<const char*>(head) + 4, 3));
  if (version <= 102) return false;
  uint8_t length_bytes[4];
  if (stream.Read(length_bytes, 4) != 4) return false;
  const int32_t header_length = LoadInt32(length_bytes);
  // Only the first 40 bytes of the header matter; a longer one is not read into the record.
  uint8_t record[kImageHeaderRecord] = {};
  const int64_t take =
      header_length <= 0 ? 0 : std::min<int64_t>(header_length, kImageHeaderRecord);
  stream.Read(record, take);
  return record[kCompTypeOffset] == 1;
}

bool ShouldCompress(Stream& source, const TVrFile& entry) {
  const std::string ext = AsciiUpper(ExtractFileExt(entry.Name()));
  if (ext == ".MUR") return IsUncompressedImage(source);
  // A plain substring test: ".MP" and ".M" count as listed; an empty extension does not.
  const bool listed =
      !ext.empty() && std::string_view(kUncompressedExtensions).find(ext) != std::string::npos;
  return !listed && source.GetSize() < kCompressionLimit;
}

// ---------------------------------------------------------------------------------------
// One entry

void TVrFileCollection::WriteEntryData(TVrFile& entry, TKwBigStream& out) {
  bool uncompressed = false;
  uint32_t crc = 0;
  uint32_t file_time = entry.FileTime;
  const bool separate = entry.SeparateFile;
  platform::FileSystem& files = env_.files();
  const std::string loose_path =
      folder_.empty() || !IsSafeEntryName(entry.Name()) ? std::string() : folder_ + entry.Name();

  if (entry.Content != nullptr) {
    Stream& content = *entry.Content;
    if (content.GetSize() >= kCompressionLimit) {
      out.CopyFromStream(content, 0);
      crc = StreamCrc32(content);
      uncompressed = true;
    } else {
      if (separate) crc = StreamCrc32(content);
      MemoryStream packed;
      CopyStreamData(packed, content, 0);
      // Content handed over in memory is stored compressed whatever the result.
      CompressStream(packed, kCompressDefault);
      out.CopyFromStream(packed, 0);
      if (!separate) crc = StreamCrc32(packed);
    }
  } else if (!loose_path.empty() && files.FileExists(loose_path)) {
    std::unique_ptr<platform::File> file = OpenForReading(files, loose_path);
    if (ShouldCompress(*file, entry)) {
      if (separate) crc = StreamCrc32(*file);
      MemoryStream packed;
      CopyStreamData(packed, *file, 0);
      CompressStream(packed, kCompressDefault);
      if (!WorthCompressing(file->GetSize(), packed.GetSize())) {
        packed.Clear();
        CopyStreamData(packed, *file, 0);
        uncompressed = true;
      }
      out.CopyFromStream(packed, 0);
      if (!separate) crc = StreamCrc32(packed);
    } else {
      out.CopyFromStream(*file, 0);
      uncompressed = true;
      crc = StreamCrc32(*file);
    }
    file.reset();
    if (std::optional<uint32_t> time = files.GetFileDosTime(loose_path)) file_time = *time;
  } else {
    // The entry's bytes come from this archive itself; they are read with the entry's
    // own Uncompressed flag, which is only replaced once the new bytes are written.
    MemoryStream content;
    LoadEntry(*this, content, entry.Name());
    if (separate) crc = StreamCrc32(content);
    if (content.GetSize() >= kCompressionLimit) {
      uncompressed = true;
    } else {
      CompressStream(content, kCompressDefault);
    }
    if (!separate) crc = StreamCrc32(content);
    out.CopyFromStream(content, 0);
  }
  entry.Uncompressed = uncompressed;
  entry.Crc = crc;
  entry.FileTime = file_time;
}

// ---------------------------------------------------------------------------------------
// Whole archives

bool TVrFileCollection::Progress(TVrFile& item, int64_t size, int index, int count) {
  if (!OnProgress) return false;
  bool abort = false;
  OnProgress(item, size, index, count, abort);
  return abort;
}

bool TVrFileCollection::SaveTo(TKwBigStream& out) {
  const int end_marker = IndexOf(kEndMarkerName);
  std::vector<TVrFile*> entries;
  for (int i = 0; i < Count(); ++i) {
    if (i != end_marker) entries.push_back(&Entry(i));
  }
  const std::vector<const TVrFile*> const_entries(entries.begin(), entries.end());
  const int64_t n = static_cast<int64_t>(entries.size());

  const std::vector<uint8_t> header = directory_codec::EncodeHeader(static_cast<int32_t>(n));
  out.WriteExact(header.data(), static_cast<int64_t>(header.size()));
  const std::vector<uint8_t> names = directory_codec::EncodeNames(const_entries);
  out.WriteExact(names.data(), static_cast<int64_t>(names.size()));
  const int64_t tables_at = out.GetPosition();
  const std::vector<uint8_t> zeros(static_cast<size_t>(directory_codec::TableBytes(n)), 0);
  out.WriteExact(zeros.data(), static_cast<int64_t>(zeros.size()));

  std::vector<int64_t> offsets(static_cast<size_t>(n) + 1);
  for (size_t k = 0; k < entries.size(); ++k) {
    TVrFile& entry = *entries[k];
    try {
      if (Progress(entry, 0, entry.Index(), Count())) return false;
      offsets[k] = out.GetPosition();
      WriteEntryData(entry, out);
      if (Progress(entry, out.GetPosition() - offsets[k], entry.Index(), Count())) return false;
    } catch (...) {
      if (OnError) OnError("エラー:" + entry.Name());
      throw;
    }
  }
  offsets[static_cast<size_t>(n)] = out.GetPosition();

  const std::vector<uint8_t> tables = directory_codec::EncodeTables(offsets, const_entries);
  out.SetPosition(tables_at);
  out.WriteExact(tables.data(), static_cast<int64_t>(tables.size()));
  return true;
}

std::vector<uint8_t> TVrFileCollection::EncodeDirectory(int64_t data_end) const {
  std::vector<const TVrFile*> entries;
  std::vector<int64_t> offsets;
  for (int i = 0; i < Count(); ++i) {
    entries.push_back(&Entry(i));
    offsets.push_back(Entry(i).Offset);
  }
  offsets.push_back(data_end);
  std::vector<uint8_t> out = directory_codec::EncodeHeader(static_cast<int32_t>(entries.size()));
  const std::vector<uint8_t> names = directory_codec::EncodeNames(entries);
  const std::vector<uint8_t> tables = directory_codec::EncodeTables(offsets, entries);
  out.insert(out.end(), names.begin(), names.end());
  out.insert(out.end(), tables.begin(), tables.end());
  return out;
}

// ---------------------------------------------------------------------------------------
// Merging

bool TVrFileCollection::MergeFrom(TVrFileCollection& source) {
  // Reading and appending the same data stream at once would copy its own new bytes.
  if (&source == this) return false;
  platform::FileSystem& files = env_.files();
  int64_t write_at = 0;
  if (archive_stream_ != nullptr) {
    archive_stream_.reset();
    archive_stream_ = std::make_unique<TKwBigFileStream>(files, archive_path_, kModeReadWrite);
    // New data go behind the end the directory records: bytes a cancelled merge left
    // behind it belong to no entry and are overwritten.
    const int64_t size = archive_stream_->GetSize();
    write_at = data_end_ >= 0 ? data_end_ : size;
    if (write_at > size) throw KoruError(kCorruptArchiveError);
  } else {
    archive_stream_ = std::make_unique<TKwBigFileStream>(files, archive_path_, kModeCreate);
  }
  TKwBigStream& stream = *archive_stream_;
  data_end_ = write_at;

  bool changed = false;
  for (int i = 0; i < source.Count(); ++i) {
    TVrFile& from = source.Entry(i);
    if (from.Name() == kEndMarkerName || from.SeparateFile || IsSuperseded(from.Name())) continue;
    const int existing = IndexOf(from.Name());
    if (existing >= 0 &&
        static_cast<int32_t>(from.FileTime) <= static_cast<int32_t>(Entry(existing).FileTime)) {
      continue;
    }
    changed = true;
    if (existing >= 0) Entry(existing).SetName("/" + Entry(existing).Name());
    TVrFile& added = AddEntry(from.Name());
    added.Offset = data_end_;
    added.Size = from.Size;
    added.Crc = from.Crc;
    added.FileTime = from.FileTime;
    added.Uncompressed = from.Uncompressed;
    if (Progress(added, added.Size, i, source.Count())) return changed;
    if (from.Size > 0) {
      TKwBigStream* from_stream = source.ArchiveStream();
      if (from_stream == nullptr) throw KoruError(Format(kEntryMissingError, from.Name().c_str()));
      from_stream->SetPosition(from.Offset);
      if (from_stream->GetPosition() != from.Offset) throw KoruError(kStreamReadError);
      stream.SetPosition(data_end_);
      // Stored bytes travel as they are, compressed or not.
      stream.CopyFromBig(*from_stream, from.Size);
      data_end_ = stream.GetPosition();
    }
  }
  if (!changed) return false;

  const int end_marker = IndexOf(kEndMarkerName);
  if (end_marker >= 0) Delete(end_marker);
  const std::vector<uint8_t> directory = EncodeDirectory(data_end_);
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  options.write_through = true;
  std::unique_ptr<platform::File> ext =
      files.OpenFile(ChangeFileExt(archive_path_, ".ext"), options);
  ext->WriteExact(directory.data(), static_cast<int64_t>(directory.size()));
  ext->Flush();
  return true;
}

}  // namespace koru
