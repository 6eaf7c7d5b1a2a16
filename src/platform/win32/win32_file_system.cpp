#include "platform/win32/win32_file_system.h"

#include <windows.h>

#include <algorithm>
#include <limits>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/dir_entries.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::platform {
namespace {

using win32::Narrow;
using win32::UniqueFindHandle;
using win32::UniqueHandle;
using win32::Wide;

// ReadFile and WriteFile on network files fail above 64 MiB per call, so transfers are
// chunked.
constexpr int64_t kMaxChunk = 64ll << 20;

// The attribute bits SetFileAttributesW accepts from us.
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

DWORD DesiredAccess(FileAccess access) {
  switch (access) {
    case FileAccess::kRead:
      return GENERIC_READ;
    case FileAccess::kWrite:
      return GENERIC_WRITE;
    case FileAccess::kReadWrite:
      return GENERIC_READ | GENERIC_WRITE;
  }
  return GENERIC_READ;
}

DWORD ShareMode(FileShare share) {
  switch (share) {
    case FileShare::kNone:
      return 0;
    case FileShare::kRead:
      return FILE_SHARE_READ;
    case FileShare::kWrite:
      return FILE_SHARE_WRITE;
    case FileShare::kReadWrite:
      return FILE_SHARE_READ | FILE_SHARE_WRITE;
  }
  return 0;
}

DWORD CreationDisposition(FileDisposition disposition) {
  switch (disposition) {
    case FileDisposition::kOpenExisting:
      return OPEN_EXISTING;
    case FileDisposition::kCreateAlways:
      return CREATE_ALWAYS;
    case FileDisposition::kOpenAlways:
      return OPEN_ALWAYS;
  }
  return OPEN_EXISTING;
}

std::optional<uint32_t> DosTimeOf(const FILETIME& utc) {
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToDosDateTime(&local, &date, &time)) {
    return std::nullopt;
  }
  return (static_cast<uint32_t>(date) << 16) | time;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> AttributeData(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    return std::nullopt;
  }
  return data;
}

bool IsFolder(const WIN32_FILE_ATTRIBUTE_DATA& data) {
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// An open file. Reads of archives come entry by entry, each a few KiB, so the system is
// asked as little as possible: the file pointer is moved only when it is not already at
// the position, and the size is kept while nobody else may write the file (the handle
// shares no writing, so no other writer can exist while it is open).
class Win32File : public File {
 public:
  Win32File(std::string path, UniqueHandle handle, bool writable, bool sole_writer)
      : path_(std::move(path)),
        handle_(std::move(handle)),
        writable_(writable),
        sole_writer_(sole_writer) {}

  int64_t Read(void* buffer, int64_t count) override {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    Seek(position_, kFileReadError);
    while (done < count) {
      DWORD n = 0;
      const DWORD wanted = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      system_position_ = -1;  // unknown until the call has succeeded
      if (!::ReadFile(handle_.get(), out + done, wanted, &n, /*overlapped=*/nullptr)) {
        throw Failed(kFileReadError);
      }
      system_position_ = position_ + done + n;
      if (n == 0) break;
      done += n;
    }
    position_ += done;
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (position_ > std::numeric_limits<int64_t>::max() - count) {
      ::SetLastError(ERROR_NEGATIVE_SEEK);
      throw Failed(kFileWriteError);
    }
    const char* in = static_cast<const char*>(buffer);
    Seek(position_, kFileWriteError);
    const int64_t size = size_;
    int64_t done = 0;
    while (done < count) {
      DWORD n = 0;
      const DWORD wanted = static_cast<DWORD>(std::min(count - done, kMaxChunk));
      system_position_ = -1;
      size_ = -1;
      if (!::WriteFile(handle_.get(), in + done, wanted, &n, /*overlapped=*/nullptr)) {
        throw Failed(kFileWriteError);
      }
      if (n == 0) {
        ::SetLastError(ERROR_DISK_FULL);
        throw Failed(kFileWriteError);
      }
      system_position_ = position_ + done + n;
      done += n;
    }
    position_ += done;
    if (size >= 0) size_ = std::max(size, position_);
    return done;
  }

  int64_t GetSize() override {
    if (size_ >= 0) return size_;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handle_.get(), &size)) throw Failed(kFileReadError);
    if (sole_writer_) size_ = size.QuadPart;
    return size.QuadPart;
  }

  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = std::max<int64_t>(position, 0); }

  void SetSize(int64_t size) override {
    if (!writable_ || size < 0) {
      ::SetLastError(ERROR_ACCESS_DENIED);
      throw Failed(kFileWriteError);
    }
    Seek(size, kFileWriteError);
    size_ = -1;
    if (!::SetEndOfFile(handle_.get())) throw Failed(kFileWriteError);
    if (position_ > size) position_ = size;
  }

  void Flush() override {
    if (writable_ && !::FlushFileBuffers(handle_.get())) throw Failed(kFileWriteError);
  }

 private:
  // Moves the system's file pointer; a failure is one of the read or write it serves.
  void Seek(int64_t position, const char* failure_format) {
    if (position == system_position_) return;
    LARGE_INTEGER at;
    at.QuadPart = position;
    system_position_ = -1;
    if (!::SetFilePointerEx(handle_.get(), at, /*new_position=*/nullptr, FILE_BEGIN)) {
      throw Failed(failure_format);
    }
    system_position_ = position;
  }

  // The error naming this file, with the system's reason for the last failed call.
  KoruError Failed(const char* format) const {
    return FileIoError(format, path_, win32::SystemMessage(::GetLastError()));
  }

  std::string path_;
  UniqueHandle handle_;
  bool writable_;
  bool sole_writer_;
  int64_t position_ = 0;
  // Where the system's file pointer stands, -1 when unknown.
  int64_t system_position_ = -1;
  // The size while it cannot change behind our back, -1 when it must be asked for.
  int64_t size_ = -1;
};

}  // namespace

std::unique_ptr<File> Win32FileSystem::OpenFile(const std::string& path,
                                                const OpenOptions& options) {
  const bool creating = options.disposition != FileDisposition::kOpenExisting;
  const std::string message =
      Format(creating ? "ファイル %s を作成できません" : "ファイル %s を開けません", path.c_str());
  const std::wstring wide = Wide(path);
  // Windows refuses to write a read-only file; Wine running as root would not, because
  // it maps the attribute to Unix permissions, which root ignores.
  const DWORD existing = ::GetFileAttributesW(wide.c_str());
  const bool writing =
      options.access != FileAccess::kRead || options.disposition == FileDisposition::kCreateAlways;
  if (writing && existing != INVALID_FILE_ATTRIBUTES &&
      (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) ==
          FILE_ATTRIBUTE_READONLY) {
    throw win32::Win32Error(ERROR_ACCESS_DENIED, message);
  }
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (options.write_through ? FILE_FLAG_WRITE_THROUGH : 0);
  UniqueHandle handle(::CreateFileW(wide.c_str(), DesiredAccess(options.access),
                                    ShareMode(options.share), /*security=*/nullptr,
                                    CreationDisposition(options.disposition), flags,
                                    /*template=*/nullptr));
  if (!handle) throw win32::Win32Error(::GetLastError(), message);
  const bool writable = options.access != FileAccess::kRead;
  const bool sole_writer = options.share == FileShare::kNone || options.share == FileShare::kRead;
  return std::make_unique<Win32File>(path, std::move(handle), writable, sole_writer);
}

namespace {

// The last error of a failed call as a file operation's status.
FileStatus LastFailure() {
  const DWORD code = ::GetLastError();
  FileFailure failure = FileFailure::kOther;
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      failure = FileFailure::kNotFound;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      failure = FileFailure::kInUse;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      failure = FileFailure::kAccessDenied;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      failure = FileFailure::kAlreadyExists;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      failure = FileFailure::kDiskFull;
      break;
  }
  return FileStatus(failure, win32::SystemMessage(code));
}

// The status of a call that returns nonzero on success.
FileStatus StatusOf(BOOL succeeded) { return succeeded ? FileStatus(true) : LastFailure(); }

}  // namespace

bool Win32FileSystem::FileExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32FileSystem::DirectoryExists(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<uint32_t> Win32FileSystem::GetAttributes(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  return attributes;
}

FileStatus Win32FileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  DWORD bits = attributes & kSettableAttributes;
  if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
  return StatusOf(::SetFileAttributesW(Wide(path).c_str(), bits));
}

std::optional<uint32_t> Win32FileSystem::GetFileDosTime(const std::string& path) {
  const auto data = AttributeData(path);
  if (!data || IsFolder(*data)) return std::nullopt;
  return DosTimeOf(data->ftLastWriteTime);
}

FileStatus Win32FileSystem::SetFileDosTime(const std::string& path, uint32_t dos_time) {
  const auto data = AttributeData(path);
  if (!data) return FileFailure::kNotFound;
  if (IsFolder(*data)) return false;
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(static_cast<WORD>(dos_time >> 16),
                               static_cast<WORD>(dos_time & 0xFFFF), &local) ||
      !::LocalFileTimeToFileTime(&local, &utc)) {
    return false;
  }
  // Attribute access alone is not subject to the sharing of other openers, and works on
  // read-only files.
  UniqueHandle handle(::CreateFileW(Wide(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    /*security=*/nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                    /*template=*/nullptr));
  if (!handle) return LastFailure();
  return StatusOf(::SetFileTime(handle.get(), /*creation=*/nullptr, /*last_access=*/nullptr, &utc));
}

std::optional<int64_t> Win32FileSystem::GetFileSize(const std::string& path) {
  const auto data = AttributeData(path);
  if (!data || IsFolder(*data)) return std::nullopt;
  return (static_cast<int64_t>(data->nFileSizeHigh) << 32) | data->nFileSizeLow;
}

FileStatus Win32FileSystem::CopyFileTo(const std::string& source, const std::string& target,
                                       bool fail_if_exists) {
  const std::wstring wide_target = Wide(target);
  // As in OpenFile: Wine running as root would replace a read-only target.
  const DWORD existing = ::GetFileAttributesW(wide_target.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(fail_if_exists ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED);
    return LastFailure();
  }
  return StatusOf(::CopyFileW(Wide(source).c_str(), wide_target.c_str(), fail_if_exists));
}

FileStatus Win32FileSystem::MoveFileTo(const std::string& source, const std::string& target) {
  // Files may change volume (copy and delete); an existing target is never replaced.
  return StatusOf(::MoveFileExW(Wide(source).c_str(), Wide(target).c_str(), MOVEFILE_COPY_ALLOWED));
}

FileStatus Win32FileSystem::MoveFileOver(const std::string& source, const std::string& target) {
  // MoveFileEx would also rename a folder; only files are meant here.
  const DWORD attributes = ::GetFileAttributesW(Wide(source).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastFailure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileFailure::kAccessDenied;
  // Windows refuses to replace a read-only file, Wine does not: the rule is kept here.
  const DWORD target_attributes = ::GetFileAttributesW(Wide(target).c_str());
  if (target_attributes != INVALID_FILE_ATTRIBUTES &&
      (target_attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return LastFailure();
  }
  // Without MOVEFILE_COPY_ALLOWED a move never copies, so the replacement is one rename;
  // write-through makes it reach the disc before the call returns.
  return StatusOf(::MoveFileExW(Wide(source).c_str(), Wide(target).c_str(),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

FileStatus Win32FileSystem::RemoveFile(const std::string& path) {
  return StatusOf(::DeleteFileW(Wide(path).c_str()));
}

FileStatus Win32FileSystem::MakeDirectory(const std::string& path) {
  return StatusOf(::CreateDirectoryW(Wide(path).c_str(), /*security=*/nullptr));
}

FileStatus Win32FileSystem::RemoveDirectoryAt(const std::string& path) {
  return StatusOf(::RemoveDirectoryW(Wide(path).c_str()));
}

std::vector<DirEntry> Win32FileSystem::ListDirectory(const std::string& folder) {
  std::vector<DirEntry> entries;
  std::string pattern = folder;
  if (!pattern.empty() && !EndsWithChar(pattern, '\\') && !EndsWithChar(pattern, '/')) {
    pattern += '\\';
  }
  pattern += '*';
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW(Wide(pattern).c_str(), &data));
  if (!find) return entries;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    DirEntry entry;
    entry.name = Narrow(name);
    entry.attributes = data.dwFileAttributes;
    entry.size = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                     ? 0
                     : (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    entry.dos_time = DosTimeOf(data.ftLastWriteTime).value_or(0);
    entries.push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  SortDirEntries(&entries);
  return entries;
}

std::optional<uint64_t> Win32FileSystem::FreeBytes(const std::string& path) {
  // A folder that does not exist yet (an install folder being chosen) answers for the
  // volume of its nearest existing parent.
  std::string at = path;
  while (true) {
    ULARGE_INTEGER available;
    if (::GetDiskFreeSpaceExW(Wide(at).c_str(), &available, /*total=*/nullptr,
                              /*total_free=*/nullptr)) {
      return available.QuadPart;
    }
    while (at.size() > 3 && EndsWithChar(at, '\\')) at.pop_back();
    const size_t cut = FindLastChar(at, '\\');
    if (cut == std::string::npos || cut + 1 >= at.size()) return std::nullopt;
    at.resize(cut + 1);
  }
}

std::string Win32FileSystem::ShortPathName(const std::string& path) {
  const std::wstring wide = Wide(path);
  std::wstring buffer(512, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        ::GetShortPathNameW(wide.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return path;
    if (length < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
    buffer.assign(length + 1, L'\0');
  }
  return path;
}

}  // namespace koru::platform
