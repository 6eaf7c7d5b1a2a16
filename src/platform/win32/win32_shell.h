#pragma once

#include "platform/shell.h"

namespace koru::platform {

// The shell through shell32's W functions and the shell link object. COM must be
// initialised on the calling thread for the shortcut calls.
class Win32Shell : public Shell {
 public:
  int ShellOpen(const std::string& file, const std::string& parameters,
                const std::string& directory, int show_command) override;
  ShellLinkResult SaveShellLink(const std::string& link_path,
                                const ShellLinkFields& fields) override;
  std::optional<ShellLinkFields> LoadShellLink(const std::string& link_path) override;
  bool FileOperation(const FileOperationRequest& request) override;
};

}  // namespace koru::platform
