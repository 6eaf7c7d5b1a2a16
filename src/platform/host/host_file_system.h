#pragma once

// Files and folders on the host (Linux), reached with Windows-form paths:
//   "C:\Game\x.dat"  -> <root>/drive_c/Game/x.dat (any drive letter: <root>/drive_<letter>)
//   "\tmp\x", "a\b"  -> /tmp/x, a/b (native paths, '\' turned into '/')
// Names are Shift-JIS in the program and UTF-8 on the disc. When a name does not exist
// exactly, each part is matched without regard to ASCII case against the folder's
// listing, as Windows would find it. Windows rules that the host does not have are
// kept here: read-only files refuse writing, copying over and deletion (even for root),
// open files follow the sharing rules of their OpenOptions within this process and
// cannot be removed or moved.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace koru::platform {

class OpenFileLedger;

class HostFileSystem : public FileSystem {
 public:
  // root: native folder holding drive_c, drive_d, ...; <root>/drive_c is created, at once
  // or, with make_root_on_use, only when a path on a drive is first used (so that work
  // with native paths alone leaves no trace).
  explicit HostFileSystem(std::string root, bool make_root_on_use = false);
  ~HostFileSystem() override;

  std::unique_ptr<File> OpenFile(const std::string& path, const OpenOptions& options) override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  std::optional<uint32_t> GetAttributes(const std::string& path) override;
  FileStatus SetAttributes(const std::string& path, uint32_t attributes) override;
  std::optional<uint32_t> GetFileDosTime(const std::string& path) override;
  FileStatus SetFileDosTime(const std::string& path, uint32_t dos_time) override;
  std::optional<int64_t> GetFileSize(const std::string& path) override;
  FileStatus CopyFileTo(const std::string& source, const std::string& target,
                        bool fail_if_exists) override;
  FileStatus MoveFileTo(const std::string& source, const std::string& target) override;
  FileStatus MoveFileOver(const std::string& source, const std::string& target) override;
  FileStatus RemoveFile(const std::string& path) override;
  FileStatus MakeDirectory(const std::string& path) override;
  FileStatus RemoveDirectoryAt(const std::string& path) override;
  std::vector<DirEntry> ListDirectory(const std::string& folder) override;
  std::optional<uint64_t> FreeBytes(const std::string& path) override;
  std::string ShortPathName(const std::string& path) override;

  // The native (UTF-8) path a Windows-form path stands for, with existing parts in the
  // case they have on the disc; nullopt for an empty path.
  std::optional<std::string> NativePath(const std::string& path) const;
  const std::string& root() const { return root_; }
  // Creates the root (with its parents) and drive_c, once, then runs what was asked for
  // with WhenRootIsMade.
  void MakeRoot() const;
  bool RootIsMade() const { return root_made_; }
  // Runs made() right after the root is made (at once when it is).
  void WhenRootIsMade(std::function<void()> made);

 private:
  mutable bool root_made_ = false;
  std::vector<std::function<void()>> when_root_made_;
  std::string root_;
  std::shared_ptr<OpenFileLedger> ledger_;
};

}  // namespace koru::platform
