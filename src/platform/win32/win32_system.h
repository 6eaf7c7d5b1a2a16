#pragma once

#include "platform/system.h"

namespace koru::platform {

// System services through kernel32, shell32 and user32's W functions.
class Win32System : public System {
 public:
  std::string TempFolder() override;
  std::string WindowsFolder() override;
  std::string SystemFolder() override;
  std::string SpecialFolder(int csidl) override;
  std::string ExecutablePath() override;
  bool IsNtFamily() override;
  bool IsUserAdmin() override;
  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name,
                                               bool* already_existed) override;
  MutexProbe ProbeMutex(const std::string& name) override;
  bool DeleteAtRestart(const std::string& path) override;
  void SleepMs(uint32_t milliseconds) override;
  std::unique_ptr<ResourceData> LoadModuleResource(const std::string& module_path,
                                                   const std::string& name, const std::string& type,
                                                   bool* module_loaded) override;
};

}  // namespace koru::platform
