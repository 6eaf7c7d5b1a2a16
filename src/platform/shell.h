#pragma once

// The Windows shell: "open" through the shell, shortcut (.lnk) files and the shell's file
// operations.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace koru::platform {

// Show commands as the shell takes them.
inline constexpr int kShowNormal = 1;
inline constexpr int kShowMaximized = 3;
inline constexpr int kShowShow = 5;
inline constexpr int kShowMinNoActive = 7;

// What a shortcut file holds.
struct ShellLinkFields {
  std::string target;
  std::string arguments;
  std::string working_folder;
  std::string description;
  // As IShellLink takes it: low byte the virtual key, 0x100 Shift, 0x200 Ctrl, 0x400 Alt.
  uint16_t hot_key = 0;
  int show_command = kShowNormal;
  std::string icon_path;
  int icon_index = 0;

  bool operator==(const ShellLinkFields&) const = default;
};

enum class ShellLinkResult {
  kSaved,
  kNoLinkObject,  // the shell's link object or its IPersistFile could not be had
  kNotSaved,      // the object refused to save the file
};

// The shell's file operations, with the shell's own codes.
enum class FileOperationCode { kMove = 1, kCopy = 2, kDelete = 3, kRename = 4 };

struct FileOperationRequest {
  FileOperationCode code = FileOperationCode::kCopy;
  std::vector<std::string> from;
  std::vector<std::string> to;
  uint16_t flags = 0;          // FOF_* bits
  std::string progress_title;  // shown only with FOF_SIMPLEPROGRESS
};

class Shell {
 public:
  virtual ~Shell() = default;

  // Shell "open" of a file or folder with parameters and working folder (empty: none);
  // returns the shell's result code, above 32 on success (2 for a missing file).
  virtual int ShellOpen(const std::string& file, const std::string& parameters,
                        const std::string& directory, int show_command) = 0;

  // Writes the shortcut file link_path (its folder must exist), replacing one that is there.
  virtual ShellLinkResult SaveShellLink(const std::string& link_path,
                                        const ShellLinkFields& fields) = 0;
  // The fields of a shortcut file, or nullopt when it cannot be read as one.
  virtual std::optional<ShellLinkFields> LoadShellLink(const std::string& link_path) = 0;

  // Runs a shell file operation without asking the user anything the flags do not allow.
  // Returns true when the user aborted any of the operations.
  virtual bool FileOperation(const FileOperationRequest& request) = 0;
};

}  // namespace koru::platform
