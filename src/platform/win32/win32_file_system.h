#pragma once

#include "platform/file_system.h"

namespace koru::platform {

// Files and folders through the W functions of kernel32, paths converted from code
// page 932.
class Win32FileSystem : public FileSystem {
 public:
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
};

}  // namespace koru::platform
