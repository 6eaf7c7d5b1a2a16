#pragma once

// The system services of the implementations that stand in for Windows (memory, host):
// the folders of a Wine-like prefix, a restart list kept the way Windows keeps it
// (PendingFileRenameOperations), module resources from a
// table, and a registry seeded with the one user profile that Wine lists (ProfileImagePath
// a REG_SZ "C:\users\<user>", "Local AppData" a REG_EXPAND_SZ below %USERPROFILE%).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/system.h"

namespace koru::platform {

// Where Windows records deletions at the next restart (HKEY_LOCAL_MACHINE).
inline constexpr const char* kSessionManagerKey =
    "System\\CurrentControlSet\\Control\\Session Manager";
inline constexpr const char* kPendingRenameValue = "PendingFileRenameOperations";
// The security identifier of the one user of a prefix (Wine's first user).
inline constexpr const char* kUserSid = "S-1-5-21-0-0-0-1000";

class SimulatedSystem : public System {
 public:
  // Seeds the profile list and the user's shell folders into registry and creates the
  // profile folder C:\users\<user_name>.
  SimulatedSystem(FileSystem& files, MemoryRegistry& registry, std::string user_name,
                  bool make_profile_folder = true);

  std::string TempFolder() override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string SpecialFolder(int csidl) override;
  std::string ExecutablePath() override;
  bool IsNtFamily() override;
  bool IsUserAdmin() override;
  bool DeleteAtRestart(const std::string& path) override;
  std::unique_ptr<ResourceData> LoadModuleResource(const std::string& module_path,
                                                   const std::string& name, const std::string& type,
                                                   bool* module_loaded) override;

  void SetExecutablePath(std::string path);
  void SetUserAdmin(bool admin);
  // Adds a resource to a module's table; module "" is the running program's own.
  void AddResource(const std::string& module, const std::string& name, const std::string& type,
                   std::vector<uint8_t> bytes);

  // The files given to DeleteAtRestart, in order.
  const std::vector<std::string>& RestartDeletions() const { return restart_deletions_; }

  const std::string& UserName() const { return user_name_; }
  // "C:\users\<user>".
  std::string ProfileFolder() const;

 protected:
  // False for names Windows refuses for a named object: a '\' other than after the
  // "Global\" or "Local\" prefix, or more than 260 bytes.
  static bool IsValidMutexName(const std::string& name);

  FileSystem& files_;
  MemoryRegistry& registry_;

 private:
  using ResourceKey = std::tuple<std::string, std::string, std::string>;

  std::string user_name_;
  std::string executable_path_ = "C:\\setup\\install.exe";
  bool user_admin_ = true;
  std::vector<std::string> restart_deletions_;
  std::map<ResourceKey, std::shared_ptr<const std::vector<uint8_t>>> resources_;
};

}  // namespace koru::platform
