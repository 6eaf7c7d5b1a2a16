#pragma once

// Files and folders in memory with the rules of a Windows volume: drive letters,
// names that ignore ASCII case, '\' between names, attributes, DOS times, the sharing
// rules of open files, and read-only files that refuse writing and deletion. Every file
// created or written gets the time of a settable clock, so tests are deterministic.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace koru::platform {

class MemoryFileSystem : public FileSystem {
 public:
  static constexpr uint64_t kDefaultFreeBytes = 100ull << 30;
  // 2020-01-01 12:00:00.
  static constexpr uint32_t kDefaultClock = (40u << 25) | (1u << 21) | (1u << 16) | (12u << 11);

  // Starts with drive C: and nothing on it.
  MemoryFileSystem();
  ~MemoryFileSystem() override;

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

  // Adds an empty drive (a disc, a second volume); letter A..Z.
  void AddDrive(char letter, uint64_t free_bytes = kDefaultFreeBytes);
  // Sets what FreeBytes reports for the drive; false when there is no such drive.
  bool SetFreeBytes(char letter, uint64_t free_bytes);
  // The DOS date-time that files get when created or written from now on.
  void SetClock(uint32_t dos_time);
  uint32_t Clock() const;

  // Test helpers. PutFile creates the file (and its missing folders) with the bytes,
  // replacing an existing one; false when the path cannot hold a file.
  bool PutFile(const std::string& path, std::string_view bytes);
  // The whole content of a file, or nullopt when there is none.
  std::optional<std::string> FileContents(const std::string& path);

  struct Node;
  struct State;

 private:
  struct Location;
  std::optional<Location> Locate(const std::string& path);
  Node* Find(const Location& location);
  Node* FindParent(const Location& location);

  std::shared_ptr<State> state_;
};

}  // namespace koru::platform
