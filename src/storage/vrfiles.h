#pragma once

// The "vf" game archive: a directory of named entries followed by their stored bytes,
// each entry stored as is or as one zlib stream. An archive lives in a data file with its
// 1 GiB volumes (its directory at the start or in a sibling ".ext" file), behind an
// executable (found through a 6-byte trailer ending in "kr"), or in a module resource.
//
// Entry names are Shift-JIS relative paths with "\" between folders, compared without
// regard to ASCII case. Two kinds of names are reserved: the end marker "\EOF\", and names
// beginning with "/", which mark entries superseded by a newer one.
//
// Names found in an archive are untrusted: anything that writes an entry to disk goes
// through SafeEntryPath (entry_names.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/stream.h"
#include "platform/env.h"
#include "storage/bigstreams.h"
#include "storage/hash.h"

namespace koru {

inline constexpr const char* kEndMarkerName = "\\EOF\\";
inline constexpr uint32_t kDirectorySeed = 0x5C2A9D17;
// The format version this system writes.
inline constexpr int32_t kArchiveVersion = 102;
// Content of this size or more is stored as is.
inline constexpr int64_t kCompressionLimit = 0x500000;
// Media that are already compressed and stay as they are.
inline constexpr const char* kUncompressedExtensions = ".WAV.WMA.OGG.AVI.MPG.MPEG.M1V.WMV.ASF.DAT.";
// The largest directory accepted; a count above it is taken as damage.
inline constexpr int32_t kMaxDirectoryEntries = 1000000;
// The most a compressed entry may inflate to in memory. What is loaded into memory is
// install.dat and the background picture; the picture reader's pixel budget (768 MiB in a
// 32-bit process, 2 GiB in a 64-bit one) bounds a picture whose planes are stored
// uncompressed, and 64 MiB leaves room for its headers. A crafted entry that inflates
// further is damaged, not a reason to exhaust the address space.
inline constexpr int64_t kMaxLoadedEntrySize =
    (sizeof(void*) >= 8 ? int64_t{2} << 30 : int64_t{768} << 20) + (int64_t{64} << 20);

// Message of a damaged archive or directory.
inline constexpr const char* kCorruptArchiveError = "ファイルが破壊されています";
// Message of a missing entry; %s is the entry name.
inline constexpr const char* kEntryMissingError = "%s:ファイルがありません";

class TVrFile : public THashCollectionItem {
 public:
  // Absolute position of the stored bytes in the archive's data stream.
  int64_t Offset = 0;
  // In-memory data that replace the loose file when the archive is written.
  std::unique_ptr<Stream> Content;
  // Number of stored bytes (after compression, if any).
  int64_t Size = 0;
  // True: the stored bytes are the content; false: a zlib stream of it.
  bool Uncompressed = false;
  // DOS date and time of the source file; 0 when none was recorded.
  uint32_t FileTime = 0;
  // CRC-32; 0 = none. It covers the stored bytes, or the uncompressed content of a
  // SeparateFile entry.
  uint32_t Crc = 0;
  // The entry is installed as a file of its own.
  bool SeparateFile = false;

  // Copies the name and the directory fields (not the content) of another TVrFile.
  void Assign(const THashCollectionItem& source) override;
};

// Progress and cancel callback of the long operations: the entry, a byte count, the
// entry's position and the number of entries; setting abort cancels.
using ArchiveProgressHandler =
    std::function<void(TVrFile& item, int64_t size, int index, int count, bool& abort)>;
// Receives the one line that SaveTo shows to the user when an entry cannot be written
// ("エラー:" + entry name, Shift-JIS). The program puts it in a message box, the tool on
// stderr; the storage layer itself never opens a window.
using ArchiveErrorHandler = std::function<void(const std::string& sjis_message)>;

class TVrFileCollection : public THashCollection {
 public:
  // An empty collection with Japanese-mode look-ups; files and resources go through env.
  explicit TVrFileCollection(platform::Env& env);
  ~TVrFileCollection() override;

  // REQUIRES: 0 <= index < Count().
  TVrFile& Entry(int index) const { return static_cast<TVrFile&>(ItemAt(index)); }
  // Appends an entry with all fields zero and no content.
  TVrFile& AddEntry(const std::string& name);

  // OpenArchive(file_name, false).
  void Open(const std::string& file_name);
  // Discards the contents and opens an archive file, or a folder of loose files:
  // - empty file_name: closes the archive (Folder keeps its value);
  // - an existing file: Folder := its folder; the directory comes from the sibling ".ext"
  //   file when there is one, from the trailer for ".exe"/".scr", else from the start;
  // - no such file: with treat_as_file, Folder := its folder and no archive (a merge may
  //   create it); otherwise Folder := file_name (a folder of loose files).
  // Throws kCorruptArchiveError for a damaged directory, leaving the collection empty.
  void OpenArchive(const std::string& file_name, bool treat_as_file);
  // Discards the contents and opens the archive held in resource res_name of type res_type
  // of module_name (the program's own module when it names the running executable).
  // A module that cannot be loaded leaves the collection empty without an error; a missing
  // resource throws kResourceNotFoundError, an empty one "リソースが見つかりません".
  void OpenResource(const std::string& module_name, const std::string& res_name,
                    const std::string& res_type);
  // Discards the contents and opens an archive held in the given stream (its offsets
  // relative to the stream's first byte). For archives that live in memory.
  void OpenStream(std::unique_ptr<TKwBigStream> stream);
  // Reads a directory at the stream's position (the archive's first byte) and appends
  // its entries and the end marker. REQUIRES: the collection is empty. Throws
  // kCorruptArchiveError, before allocating anything of size, for impossible counts and
  // lengths, tables that run past the stream's end and negative sizes.
  void ReadDirectory(TKwBigStream& stream);

  // The open data stream, or null.
  TKwBigStream* ArchiveStream() const { return archive_stream_.get(); }
  // The data stream as a volume file stream (for VolumeCount/VolumeFileName), or null.
  TKwBigFileStream* ArchiveFileStream() const;
  // Folder of loose files; ends with "\" when not empty.
  const std::string& Folder() const { return folder_; }
  void SetFolder(const std::string& folder);
  // The path last given to OpenArchive.
  const std::string& ArchivePath() const { return archive_path_; }
  platform::Env& env() const { return env_; }

  // Puts the uncompressed content of entry into dest at its position. A memory stream gets
  // at most MaxLoadedEntrySize bytes (more is refused as damaged); other streams get the
  // content in pieces, whatever its size.
  // REQUIRES: entry belongs to this collection and an archive is open.
  void ExtractEntry(const TVrFile& entry, Stream& dest);
  // The CRC-32 of entry's uncompressed content, computed in pieces.
  uint32_t ContentCrc32(const TVrFile& entry);

  // --- Writing (vrfile_write.cpp) ---

  // Writes the whole archive (version 102, directory then data) into out, which the caller
  // has just created. Returns false when OnProgress cancels; out is then not readable.
  // An error while an entry is written reports "エラー:" + name through OnError and
  // propagates.
  bool SaveTo(TKwBigStream& out);
  // Writes one entry's stored bytes at out's position: its Content, else the loose file
  // Folder + Name, else its bytes in this collection's archive. Sets Uncompressed, Crc
  // and, for a loose file, FileTime.
  void WriteEntryData(TVrFile& entry, TKwBigStream& out);
  // Appends to this collection's archive (ArchivePath) the entries of source that are new
  // or newer, superseding older ones, and writes the directory into the ".ext" file.
  // Returns true when anything was appended. The data file only grows; new data start at
  // the recorded end of the old data, so bytes left by a cancelled merge are overwritten
  // and never counted into an entry.
  bool MergeFrom(TVrFileCollection& source);
  // True when the bytes of every entry that carries a checksum match it (stored bytes, or
  // the uncompressed content of SeparateFile entries). False when no archive is open, on
  // a mismatch, or when an entry cannot be read; true when OnProgress cancels.
  bool VerifyChecksums();

  // Reports progress and lets the caller cancel; may be empty.
  ArchiveProgressHandler OnProgress;
  // Shows SaveTo's error line; may be empty.
  ArchiveErrorHandler OnError;
  // The bound of ExtractEntry into memory; the fuzz target lowers it to keep every input's
  // work small.
  int64_t MaxLoadedEntrySize = kMaxLoadedEntrySize;

 protected:
  std::unique_ptr<THashCollectionItem> CreateItem() override;

 private:
  // Empties the collection and closes the data stream.
  void Reset();
  // Reads the directory of archive_stream_ at position; on failure leaves Reset().
  void ReadDirectoryOrReset(TKwBigStream& stream, int64_t position);
  // Calls OnProgress when set; returns true when the caller asked to cancel.
  bool Progress(TVrFile& item, int64_t size, int index, int count);
  // The directory bytes of the current entries with end offset data_end ("vf", version
  // 102, scrambled names and offsets, flag tables).
  std::vector<uint8_t> EncodeDirectory(int64_t data_end) const;

  platform::Env& env_;
  std::string folder_;
  std::string archive_path_;
  std::unique_ptr<TKwBigStream> archive_stream_;
  // Absolute end of the entries' data as the directory records it; -1 when unknown.
  int64_t data_end_ = -1;
};

// Puts the uncompressed content of the named entry, or of the loose file Folder + name
// when the archive lacks it, into dest and sets dest's position to 0. An in-memory dest is
// emptied first. Throws Format(kEntryMissingError, name) when neither exists; a loose
// file is only taken for a safe relative name and never the archive file itself.
void LoadEntry(TVrFileCollection& collection, Stream& dest, const std::string& name);

// Whether a source file is worth compressing under entry's name: by extension and size,
// and for ".MUR" pictures by whether their planes are stored without compression.
bool ShouldCompress(Stream& source, const TVrFile& entry);
// Whether a picture of the layered image format stores its planes without compression
// (version above 102 and CompType 1). Throws KwStrToIntOrThrow's error when the version
// characters are not a number.
bool IsUncompressedImage(Stream& stream);

// CRC-32 (zlib) of the whole stream; the position is left at the end.
uint32_t StreamCrc32(Stream& stream);
// CRC-32 of count bytes from the stream's position, read through buffer. Throws
// KoruError(kStreamReadError) when the stream ends before count bytes.
uint32_t BigStreamCrc32(TKwBigStream& stream, int64_t count, void* buffer, int64_t buffer_size);

}  // namespace koru
