#include "platform/host/host_file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/dir_entries.h"
#include "platform/dos_time.h"
#include "platform/host/unique_fd.h"
#include "platform/open_file_ledger.h"
#include "platform/windows_path.h"

namespace koru::platform {
namespace {

// Larger single reads and writes are split: Linux moves at most about 2 GiB per call.
constexpr int64_t kMaxChunk = 1 << 30;

// The one place that turns a failed open into the program's message.
KoruError OpenError(bool creating, const std::string& path) {
  return KoruError(
      Format(creating ? "ファイル %s を作成できません" : "ファイル %s を開けません", path.c_str()));
}

// A failed system call's errno as the kind of failure Windows would report.
FileStatus FailureOf(int error) {
  FileFailure failure = FileFailure::kOther;
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      failure = FileFailure::kNotFound;
      break;
    case EBUSY:
    case ETXTBSY:
      failure = FileFailure::kInUse;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
      failure = FileFailure::kAccessDenied;
      break;
    case EEXIST:
      failure = FileFailure::kAlreadyExists;
      break;
    case ENOSPC:
    case EDQUOT:
      failure = FileFailure::kDiskFull;
      break;
  }
  return FileStatus(failure, std::strerror(error));
}

// The status of a system call that returns 0 on success.
FileStatus StatusOf(int result) { return result == 0 ? FileStatus(true) : FailureOf(errno); }

std::optional<struct stat> StatOf(const std::string& native) {
  struct stat st;
  if (::stat(native.c_str(), &st) != 0) return std::nullopt;
  return st;
}

bool Exists(const std::string& native) {
  struct stat st;
  return ::lstat(native.c_str(), &st) == 0;
}

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

OpenFileLedger::Key KeyOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

uint32_t AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return kAttrDirectory;
  return kAttrArchive | (IsReadOnly(st) ? static_cast<uint32_t>(kAttrReadOnly) : 0u);
}

std::optional<uint32_t> DosTimeOf(time_t t) {
  struct tm local;
  if (localtime_r(&t, &local) == nullptr) return std::nullopt;
  return PackDosTime({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec});
}

// True iff two UTF-8 names differ at most in ASCII case. UTF-8 never puts an ASCII byte
// inside a longer character, so this is the Shift-JIS rule (AsciiLower) on the same text.
bool Utf8EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The name in folder that equals utf8_name without regard to ASCII case (the first by
// byte order when several do), in the folder's own spelling.
std::optional<std::string> FindIgnoringCase(const std::string& folder,
                                            const std::string& utf8_name) {
  DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::optional<std::string> found;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || !Utf8EqualsIgnoringAsciiCase(name, utf8_name)) continue;
    if (!found || name < *found) found = name;
  }
  ::closedir(dir);
  return found;
}

bool WriteAll(int fd, const char* data, int64_t count, int64_t position) {
  while (count > 0) {
    const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(std::min(count, kMaxChunk)),
                               static_cast<off_t>(position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    count -= n;
    position += n;
  }
  return true;
}

// Copies size bytes, leaving the holes of a sparse source as holes.
bool CopyData(int in, int out, int64_t size) {
  std::vector<char> buffer(1 << 20);
  off_t position = 0;
  while (position < size) {
    off_t data = ::lseek(in, position, SEEK_DATA);
    if (data < 0) {
      if (errno == ENXIO) break;  // only a hole is left
      data = position;
    }
    off_t hole = ::lseek(in, data, SEEK_HOLE);
    if (hole < 0) hole = static_cast<off_t>(size);
    for (off_t at = data; at < hole;) {
      const ssize_t n = ::pread(in, buffer.data(),
                                static_cast<size_t>(std::min<off_t>(hole - at, buffer.size())), at);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      if (n == 0) break;
      if (!WriteAll(out, buffer.data(), n, at)) return false;
      at += n;
    }
    position = hole;
  }
  return ::ftruncate(out, static_cast<off_t>(size)) == 0;
}

class HostFile : public File {
 public:
  HostFile(std::string path, UniqueFd fd, std::unique_ptr<LedgerTicket> ticket, bool writable,
           bool write_through)
      : path_(std::move(path)),
        fd_(std::move(fd)),
        ticket_(std::move(ticket)),
        writable_(writable),
        write_through_(write_through) {}

  // Write-through is kept by one fsync when the file closes: O_DSYNC would wait for the
  // disc on every write and makes copying archives of several GiB many times slower.
  ~HostFile() override {
    if (write_through_ && written_) ::fsync(fd_.get());
  }

  int64_t Read(void* buffer, int64_t count) override {
    char* out = static_cast<char*>(buffer);
    int64_t done = 0;
    while (done < count) {
      const ssize_t n =
          ::pread(fd_.get(), out + done, static_cast<size_t>(std::min(count - done, kMaxChunk)),
                  static_cast<off_t>(position_ + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw Failed(kFileReadError);
      if (n == 0) break;
      done += n;
    }
    position_ += done;
    return done;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    errno = 0;
    if (position_ > std::numeric_limits<int64_t>::max() - count ||
        !WriteAll(fd_.get(), static_cast<const char*>(buffer), count, position_)) {
      throw Failed(kFileWriteError);
    }
    written_ = true;
    position_ += count;
    return count;
  }

  int64_t GetSize() override {
    struct stat st;
    if (::fstat(fd_.get(), &st) != 0) throw Failed(kFileReadError);
    return static_cast<int64_t>(st.st_size);
  }

  int64_t GetPosition() override { return position_; }
  void SetPosition(int64_t position) override { position_ = std::max<int64_t>(position, 0); }

  void SetSize(int64_t size) override {
    errno = 0;
    if (!writable_ || size < 0 || ::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0) {
      throw Failed(kFileWriteError);
    }
    written_ = true;
    if (position_ > size) position_ = size;
  }

  void Flush() override {
    if (writable_ && ::fsync(fd_.get()) != 0) throw Failed(kFileWriteError);
  }

 private:
  // The error naming this file, with errno's reason when the system gave one.
  KoruError Failed(const char* format) const {
    return FileIoError(format, path_, errno != 0 ? std::strerror(errno) : "");
  }

  std::string path_;
  UniqueFd fd_;
  std::unique_ptr<LedgerTicket> ticket_;
  bool writable_;
  bool write_through_;
  bool written_ = false;
  int64_t position_ = 0;
};

}  // namespace

HostFileSystem::HostFileSystem(std::string root, bool make_root_on_use)
    : root_(std::move(root)), ledger_(std::make_shared<OpenFileLedger>()) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
  if (!make_root_on_use) MakeRoot();
}

void HostFileSystem::MakeRoot() const {
  if (root_made_) return;
  root_made_ = true;
  for (size_t slash = root_.find('/', 1); slash != std::string::npos;
       slash = root_.find('/', slash + 1)) {
    ::mkdir(root_.substr(0, slash).c_str(), 0777);
  }
  ::mkdir(root_.c_str(), 0777);
  ::mkdir((root_ + "/drive_c").c_str(), 0777);
  for (const auto& made : when_root_made_) made();
}

void HostFileSystem::WhenRootIsMade(std::function<void()> made) {
  if (root_made_) {
    made();
  } else {
    when_root_made_.push_back(std::move(made));
  }
}

HostFileSystem::~HostFileSystem() = default;

std::optional<std::string> HostFileSystem::NativePath(const std::string& path) const {
  if (path.empty()) return std::nullopt;
  const WindowsPath parsed = ParseWindowsPath(path);
  std::string result;
  std::vector<std::string> parts;
  if (parsed.drive != 0) {
    // Names Windows refuses are refused here too, so that what works on the host works
    // on Windows.
    for (const std::string& part : parsed.parts) {
      if (!IsValidWindowsName(part)) return std::nullopt;
    }
    MakeRoot();
    result = root_ + "/drive_" + parsed.drive;
    parts = CollapseDots(parsed.parts);
  } else {
    result = parsed.rooted ? "" : ".";
    parts = parsed.parts;
  }
  bool missing = false;
  for (const std::string& part : parts) {
    const std::string name = SjisToUtf8(part);
    std::string candidate = result + "/" + name;
    if (!missing && part != "." && part != ".." && !Exists(candidate)) {
      if (auto match = FindIgnoringCase(result, name)) {
        candidate = result + "/" + *match;
      } else {
        missing = true;  // nothing below a missing folder can exist
      }
    }
    result = std::move(candidate);
  }
  if (result.empty()) return "/";
  // Kept so that "x.txt\" names no file, as on Windows.
  if (parsed.trailing && !parts.empty()) result += '/';
  return result;
}

std::unique_ptr<File> HostFileSystem::OpenFile(const std::string& path,
                                               const OpenOptions& options) {
  const bool creating = options.disposition != FileDisposition::kOpenExisting;
  const auto native = NativePath(path);
  if (!native) throw OpenError(creating, path);
  const OpenRecord record = MakeOpenRecord(options);
  const auto existing = StatOf(*native);
  if (existing) {
    if (S_ISDIR(existing->st_mode)) throw OpenError(creating, path);
    if (record.write && IsReadOnly(*existing)) throw OpenError(creating, path);
  } else if (!creating) {
    throw OpenError(creating, path);
  }
  int flags = O_CLOEXEC | (creating ? O_CREAT : 0);
  if (record.read && record.write) {
    flags |= O_RDWR;
  } else {
    flags |= record.write ? O_WRONLY : O_RDONLY;
  }
  UniqueFd fd(::open(native->c_str(), flags, 0666));
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) throw OpenError(creating, path);
  auto ticket = ledger_->TryOpen(KeyOf(st), record);
  if (!ticket) throw OpenError(creating, path);
  // Truncated only now that the sharing rules allow this opener.
  if (options.disposition == FileDisposition::kCreateAlways && ::ftruncate(fd.get(), 0) != 0) {
    throw OpenError(creating, path);
  }
  return std::make_unique<HostFile>(path, std::move(fd), std::move(ticket), record.write,
                                    options.write_through);
}

bool HostFileSystem::FileExists(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  return st && !S_ISDIR(st->st_mode);
}

bool HostFileSystem::DirectoryExists(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  return st && S_ISDIR(st->st_mode);
}

std::optional<uint32_t> HostFileSystem::GetAttributes(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st) return std::nullopt;
  return AttributesOf(*st);
}

FileStatus HostFileSystem::SetAttributes(const std::string& path, uint32_t attributes) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st) return FileFailure::kNotFound;
  // Only read-only has a host equivalent (the owner's write bit); the others are dropped.
  if (S_ISDIR(st->st_mode)) return true;
  const mode_t mode =
      (attributes & kAttrReadOnly) != 0 ? (st->st_mode & ~0222) : (st->st_mode | S_IWUSR);
  return StatusOf(::chmod(native->c_str(), mode & 07777));
}

std::optional<uint32_t> HostFileSystem::GetFileDosTime(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st || S_ISDIR(st->st_mode)) return std::nullopt;
  return DosTimeOf(st->st_mtim.tv_sec);
}

FileStatus HostFileSystem::SetFileDosTime(const std::string& path, uint32_t dos_time) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  const auto civil = UnpackDosTime(dos_time);
  if (!st) return FileFailure::kNotFound;
  if (S_ISDIR(st->st_mode) || !civil) return false;
  struct tm local = {};
  local.tm_year = civil->year - 1900;
  local.tm_mon = civil->month - 1;
  local.tm_mday = civil->day;
  local.tm_hour = civil->hour;
  local.tm_min = civil->minute;
  local.tm_sec = civil->second;
  local.tm_isdst = -1;
  const time_t t = ::mktime(&local);
  if (t == static_cast<time_t>(-1)) return false;
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  return StatusOf(::utimensat(AT_FDCWD, native->c_str(), times, 0));
}

std::optional<int64_t> HostFileSystem::GetFileSize(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st || S_ISDIR(st->st_mode)) return std::nullopt;
  return static_cast<int64_t>(st->st_size);
}

FileStatus HostFileSystem::CopyFileTo(const std::string& source, const std::string& target,
                                      bool fail_if_exists) {
  const auto from = NativePath(source);
  const auto to = NativePath(target);
  const auto source_stat = from ? StatOf(*from) : std::nullopt;
  if (!source_stat) return FileFailure::kNotFound;
  if (S_ISDIR(source_stat->st_mode) || !to) return false;
  if (const auto target_stat = StatOf(*to)) {
    if (fail_if_exists) return FileFailure::kAlreadyExists;
    if (S_ISDIR(target_stat->st_mode) || IsReadOnly(*target_stat))
      return FileFailure::kAccessDenied;
    if (KeyOf(*target_stat) == KeyOf(*source_stat)) return false;
    if (ledger_->IsOpen(KeyOf(*target_stat))) return FileFailure::kInUse;
  }
  // Others may keep the source open for reading and writing meanwhile.
  OpenRecord reader;
  reader.read = reader.share_read = reader.share_write = true;
  auto reading = ledger_->TryOpen(KeyOf(*source_stat), reader);
  if (!reading) return FileFailure::kInUse;
  UniqueFd in(::open(from->c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) return FailureOf(errno);
  UniqueFd out(::open(to->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!out) return FailureOf(errno);
  struct timespec times[2] = {source_stat->st_atim, source_stat->st_mtim};
  if (!CopyData(in.get(), out.get(), static_cast<int64_t>(source_stat->st_size)) ||
      ::futimens(out.get(), times) != 0 || ::fchmod(out.get(), source_stat->st_mode & 07777) != 0) {
    // Like CopyFile, a failed copy leaves no half-written target.
    const FileStatus failed = FailureOf(errno);
    out.reset();
    ::unlink(to->c_str());
    return failed;
  }
  return true;
}

FileStatus HostFileSystem::MoveFileTo(const std::string& source, const std::string& target) {
  const auto from = NativePath(source);
  const auto to = NativePath(target);
  if (!from || !to) return false;
  struct stat source_stat;
  if (::lstat(from->c_str(), &source_stat) != 0) return FailureOf(errno);
  if (!S_ISDIR(source_stat.st_mode) && ledger_->IsOpen(KeyOf(source_stat)))
    return FileFailure::kInUse;
  struct stat target_stat;
  if (::lstat(to->c_str(), &target_stat) == 0) {
    if (KeyOf(target_stat) != KeyOf(source_stat)) return FileFailure::kAlreadyExists;
    // The same entry under another case: a rename to the case as given.
    const size_t cut = to->find_last_of('/');
    const WindowsPath parsed = ParseWindowsPath(target);
    if (cut == std::string::npos || parsed.parts.empty()) return false;
    const std::string given = to->substr(0, cut + 1) + SjisToUtf8(parsed.parts.back());
    return StatusOf(::rename(from->c_str(), given.c_str()));
  }
  if (::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno == EINVAL && ::access(to->c_str(), F_OK) != 0) {
    // A file system without RENAME_NOREPLACE; the target was checked above.
    if (::rename(from->c_str(), to->c_str()) == 0) return true;
  }
  if (errno != EXDEV || S_ISDIR(source_stat.st_mode)) return FailureOf(errno);
  // Another volume: files move by copy and delete, as MoveFile does.
  if (FileStatus copied = CopyFileTo(source, target, true); !copied) return copied;
  return StatusOf(::unlink(from->c_str()));
}

FileStatus HostFileSystem::MoveFileOver(const std::string& source, const std::string& target) {
  const auto from = NativePath(source);
  const auto to = NativePath(target);
  if (!from || !to) return false;
  struct stat source_stat;
  if (::lstat(from->c_str(), &source_stat) != 0) return FailureOf(errno);
  if (S_ISDIR(source_stat.st_mode)) return FileFailure::kAccessDenied;
  if (ledger_->IsOpen(KeyOf(source_stat))) return FileFailure::kInUse;
  struct stat target_stat;
  if (::lstat(to->c_str(), &target_stat) == 0 && KeyOf(target_stat) != KeyOf(source_stat)) {
    // Windows refuses to replace these; rename(2) would not.
    if (S_ISDIR(target_stat.st_mode) || IsReadOnly(target_stat)) return FileFailure::kAccessDenied;
    if (ledger_->IsOpen(KeyOf(target_stat))) return FileFailure::kInUse;
  }
  // rename(2) replaces atomically and fails with EXDEV across volumes, as wanted.
  return StatusOf(::rename(from->c_str(), to->c_str()));
}

FileStatus HostFileSystem::RemoveFile(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st) return FileFailure::kNotFound;
  if (S_ISDIR(st->st_mode) || IsReadOnly(*st)) return FileFailure::kAccessDenied;
  if (ledger_->IsOpen(KeyOf(*st))) return FileFailure::kInUse;
  return StatusOf(::unlink(native->c_str()));
}

FileStatus HostFileSystem::MakeDirectory(const std::string& path) {
  const auto native = NativePath(path);
  if (!native) return false;
  return StatusOf(::mkdir(native->c_str(), 0777));
}

FileStatus HostFileSystem::RemoveDirectoryAt(const std::string& path) {
  const auto native = NativePath(path);
  const auto st = native ? StatOf(*native) : std::nullopt;
  if (!st) return FileFailure::kNotFound;
  if (!S_ISDIR(st->st_mode)) return false;
  return StatusOf(::rmdir(native->c_str()));
}

std::vector<DirEntry> HostFileSystem::ListDirectory(const std::string& folder) {
  std::vector<DirEntry> entries;
  const auto native = NativePath(folder);
  if (!native) return entries;
  DIR* dir = ::opendir(native->c_str());
  if (dir == nullptr) return entries;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) != 0 &&
        ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
      continue;
    }
    DirEntry item;
    item.name = Utf8ToSjis(name);
    item.attributes = AttributesOf(st);
    item.size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
    item.dos_time = DosTimeOf(st.st_mtim.tv_sec).value_or(0);
    entries.push_back(std::move(item));
  }
  ::closedir(dir);
  SortDirEntries(&entries);
  return entries;
}

std::optional<uint64_t> HostFileSystem::FreeBytes(const std::string& path) {
  const auto native = NativePath(path);
  if (!native) return std::nullopt;
  // A folder that does not exist yet (an install folder being chosen) answers for the
  // volume of its nearest existing parent.
  std::string at = *native;
  while (true) {
    struct statvfs info;
    if (::statvfs(at.c_str(), &info) == 0) {
      return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
    }
    const size_t cut = at.find_last_of('/');
    if (cut == std::string::npos || cut == 0 || at.size() <= 1) return std::nullopt;
    at.resize(cut);
  }
}

std::string HostFileSystem::ShortPathName(const std::string& path) { return path; }

}  // namespace koru::platform
