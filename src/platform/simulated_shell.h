#pragma once

// The shell of the implementations that stand in for Windows (memory, host): "open" is
// recorded and answered the way the shell answers, shortcuts are small text files that
// LoadShellLink reads back, file operations are recorded and carried out for copy,
// move, delete and rename of plain files.

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/shell.h"

namespace koru::platform {

class SimulatedShell : public Shell {
 public:
  explicit SimulatedShell(FileSystem& files) : files_(files) {}

  int ShellOpen(const std::string& file, const std::string& parameters,
                const std::string& directory, int show_command) override;
  ShellLinkResult SaveShellLink(const std::string& link_path,
                                const ShellLinkFields& fields) override;
  std::optional<ShellLinkFields> LoadShellLink(const std::string& link_path) override;
  bool FileOperation(const FileOperationRequest& request) override;

  struct ShellOpenCall {
    std::string file;
    std::string parameters;
    std::string directory;
    int show_command = 0;
    int result = 0;
  };
  // Every "open", in order.
  const std::vector<ShellOpenCall>& ShellOpens() const { return shell_opens_; }
  // Every file operation, in order.
  const std::vector<FileOperationRequest>& FileOperations() const { return file_operations_; }

  // Makes SaveShellLink answer as a shell without a link object does.
  void SetLinkObjectMissing(bool missing) { link_object_missing_ = missing; }

 private:
  FileSystem& files_;
  bool link_object_missing_ = false;
  std::vector<ShellOpenCall> shell_opens_;
  std::vector<FileOperationRequest> file_operations_;
};

}  // namespace koru::platform
