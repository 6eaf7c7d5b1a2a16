#pragma once

// The Env of the host (Linux): drive letters are folders under a root, like a Wine
// prefix ("C:\x" is <root>/drive_c/x); paths without a drive letter are native paths.
// The registry lives in memory and can be loaded from and saved to a text file.
// Nothing outside the root is touched unless a native path is given.

#include <string>

#include "platform/env.h"
#include "platform/host/host_file_system.h"
#include "platform/host/host_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/simulated_shell.h"

namespace koru::platform {

class HostEnv : public Env {
 public:
  // root: a native folder; it and <root>/drive_c are created when missing, at once or,
  // with make_root_on_use, when first needed.
  explicit HostEnv(std::string root, std::string user_name = HostUserName(),
                   bool make_root_on_use = false);
  ~HostEnv() override;

  HostFileSystem& files() override { return files_; }
  // Throws the registry file's error when KeepRegistryIn found it damaged.
  MemoryRegistry& registry() override;
  HostSystem& system() override { return system_; }
  SimulatedShell& shell() override { return shell_; }
  const std::string& root() const { return files_.root(); }

  // Replaces the registry by the one saved in a native file. False when the file cannot
  // be read; throws KoruError (kRegistryTextError) when it is not a saved registry.
  bool LoadRegistry(const std::string& native_path);
  // Writes the registry to a native file (through a temporary file and a rename, so an
  // interrupted save leaves the old file); false on failure.
  bool SaveRegistry(const std::string& native_path) const;

  // Loads the registry from native_path when it exists and saves it there when this Env is
  // destroyed, if it changed. A damaged file is kept as it is: the registry is then
  // unusable (registry() throws an error naming the file) and nothing is saved over it.
  void KeepRegistryIn(const std::string& native_path);

 private:
  HostFileSystem files_;
  MemoryRegistry registry_;
  HostSystem system_;
  SimulatedShell shell_;
  std::string registry_file_;
  std::string registry_as_loaded_;
  std::string registry_error_;
};

}  // namespace koru::platform
