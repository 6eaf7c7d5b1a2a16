#pragma once

// System services on the host: the folders of a Wine-like prefix under the root, mutexes
// as lock files in <root>/mutexes (so two processes with the same root see each other's
// mutexes), real pauses, and the records of SimulatedSystem.

#include <memory>
#include <string>

#include "platform/host/host_file_system.h"
#include "platform/simulated_system.h"

namespace koru::platform {

class HostSystem : public SimulatedSystem {
 public:
  // user_name: the profile name (C:\users\<user_name>); ExecutablePath starts as the
  // running program's native path.
  HostSystem(HostFileSystem& files, MemoryRegistry& registry, std::string user_name);

  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name,
                                               bool* already_existed) override;
  MutexProbe ProbeMutex(const std::string& name) override;
  void SleepMs(uint32_t milliseconds) override;

  // The lock file that stands for a mutex name.
  std::string MutexFile(const std::string& name) const;

 private:
  // Made on the first mutex, so that work without one leaves no folder behind.
  void MakeMutexFolder();

  HostFileSystem& host_files_;
  std::string mutex_folder_;
};

// The user name for the profile folder: the login name when it is a plain name, else
// "user".
std::string HostUserName();

}  // namespace koru::platform
