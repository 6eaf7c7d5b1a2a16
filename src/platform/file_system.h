#pragma once

// Files and folders. Paths are Shift-JIS byte strings in Windows form ("C:\Game\x.dat",
// or relative); implementations convert them at the OS boundary.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/stream.h"
#include "platform/file_status.h"

namespace koru::platform {

// File attribute bits, with the values Windows gives them.
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolume = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

enum class FileAccess { kRead, kWrite, kReadWrite };
// What other openers of the same file may do meanwhile.
enum class FileShare { kNone, kRead, kWrite, kReadWrite };
enum class FileDisposition {
  kOpenExisting,  // fails when the file does not exist
  kCreateAlways,  // creates, or truncates an existing file
  kOpenAlways,    // opens, or creates an empty file
};

struct OpenOptions {
  FileAccess access = FileAccess::kRead;
  FileShare share = FileShare::kRead;
  FileDisposition disposition = FileDisposition::kOpenExisting;
  // Data reach the disc as they are written (FILE_FLAG_WRITE_THROUGH).
  bool write_through = false;
};

// An open file: an ordinary stream plus flushing.
class File : public Stream {
 public:
  // Forces written data to the disc (FlushFileBuffers).
  virtual void Flush() = 0;
};

// One entry of a folder listing.
struct DirEntry {
  std::string name;  // file name only, Shift-JIS
  uint32_t attributes = 0;
  int64_t size = 0;
  uint32_t dos_time = 0;  // DOS date (high word) and time (low word), local time
};

// The error of a failed read or write of an open file: kFileReadError or kFileWriteError
// with the path, and the system's reason on the next line when there is one.
KoruError FileIoError(const char* format, const std::string& path, const std::string& reason);

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens a file; throws KoruError ("ファイル %s を開けません" or "ファイル %s を作成
  // できません" with the path) when the system refuses.
  virtual std::unique_ptr<File> OpenFile(const std::string& path, const OpenOptions& options) = 0;

  // True iff path names an existing file that is not a folder.
  virtual bool FileExists(const std::string& path) = 0;
  // True iff path names an existing folder.
  virtual bool DirectoryExists(const std::string& path) = 0;
  // The entry's attribute bits, or nullopt when it does not exist.
  virtual std::optional<uint32_t> GetAttributes(const std::string& path) = 0;
  virtual FileStatus SetAttributes(const std::string& path, uint32_t attributes) = 0;
  // The file's last-write time as a DOS date-time (FileAge), or nullopt.
  virtual std::optional<uint32_t> GetFileDosTime(const std::string& path) = 0;
  virtual FileStatus SetFileDosTime(const std::string& path, uint32_t dos_time) = 0;
  // The file's size in bytes, or nullopt when it cannot be read.
  virtual std::optional<int64_t> GetFileSize(const std::string& path) = 0;

  // Copies a file (CopyFile); with fail_if_exists false an existing target is replaced.
  virtual FileStatus CopyFileTo(const std::string& source, const std::string& target,
                                bool fail_if_exists) = 0;
  // Renames or moves a file or folder; never replaces an existing target.
  virtual FileStatus MoveFileTo(const std::string& source, const std::string& target) = 0;
  // Puts the file source in the place of target on the same volume, replacing a file of
  // that name (MoveFileEx with MOVEFILE_REPLACE_EXISTING): afterwards target is either the
  // whole of source or, on failure, what it was before. Fails for a folder on either side,
  // an open source, a read-only or open target and a target on another volume.
  virtual FileStatus MoveFileOver(const std::string& source, const std::string& target) = 0;
  virtual FileStatus RemoveFile(const std::string& path) = 0;
  // Creates one folder; its parent must exist.
  virtual FileStatus MakeDirectory(const std::string& path) = 0;
  // Creates a folder with every missing parent (ForceDirectories); true when it exists after.
  virtual FileStatus MakeDirectories(const std::string& path);
  // Removes an empty folder.
  virtual FileStatus RemoveDirectoryAt(const std::string& path) = 0;

  // The entries of a folder, without "." and "..", sorted by name ignoring ASCII case
  // (CompareIgnoreCase) whatever order the platform enumerates them in. Empty when the
  // folder does not exist.
  virtual std::vector<DirEntry> ListDirectory(const std::string& folder) = 0;

  // Bytes available to the caller on the volume holding path, or nullopt on failure.
  virtual std::optional<uint64_t> FreeBytes(const std::string& path) = 0;
  // The short (8.3) form of an existing path; the path itself where there is none.
  virtual std::string ShortPathName(const std::string& path) = 0;
};

}  // namespace koru::platform
