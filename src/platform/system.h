#pragma once

// Process-wide services: folders of the system, mutexes, rights, restart deletion,
// pauses and module resources. The shell has an interface of its own (shell.h).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace koru::platform {

// Shell folder identifiers (CSIDL values) the program uses.
enum Csidl : int {
  kCsidlPrograms = 2,
  kCsidlCommonPrograms = 23,
  kCsidlLocalAppData = 28,
  kCsidlProgramFiles = 38,
};

// The answer of ProbeMutex.
enum class MutexProbe {
  kAbsent,        // no mutex of that name (or the name is refused)
  kOpened,        // it exists and could be opened
  kAccessDenied,  // it exists, but this user may not open it (another user's, or elevated)
};

class NamedMutex {
 public:
  // Releasing the object releases and closes the mutex.
  virtual ~NamedMutex() = default;
};

// The bytes of a module resource, valid as long as this object lives.
class ResourceData {
 public:
  virtual ~ResourceData() = default;
  virtual const uint8_t* data() const = 0;
  virtual size_t size() const = 0;
};

class System {
 public:
  virtual ~System() = default;

  // Folders, each without trailing backslash except where noted.
  virtual std::string TempFolder() = 0;  // with trailing backslash, as GetTempPath gives it
  virtual std::string WindowsFolder() = 0;
  virtual std::string SystemFolder() = 0;
  // The folder of a CSIDL; throws KoruError with the system's message when it has none.
  virtual std::string SpecialFolder(int csidl) = 0;
  // Full path of the running program's executable.
  virtual std::string ExecutablePath() = 0;
  // True on the Windows NT family (always, on every supported system).
  virtual bool IsNtFamily() = 0;
  // True when the user has administrator rights (the shell's IsUserAnAdmin).
  virtual bool IsUserAdmin() = 0;

  // Creates a named mutex, not initially owned. nullptr when the system refuses the name.
  // *already_existed tells whether another holder had it.
  virtual std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name,
                                                       bool* already_existed) = 0;
  // What opening a mutex of that name with full access (OpenMutex, MUTEX_ALL_ACCESS)
  // finds. The handle is closed at once.
  virtual MutexProbe ProbeMutex(const std::string& name) = 0;

  // Has the system delete the file at the next restart.
  virtual bool DeleteAtRestart(const std::string& path) = 0;
  virtual void SleepMs(uint32_t milliseconds) = 0;

  // The resource name/type of a module ("" = the running program's own module). nullptr
  // when the module cannot be loaded or has no such resource; *module_loaded tells which.
  virtual std::unique_ptr<ResourceData> LoadModuleResource(const std::string& module_path,
                                                           const std::string& name,
                                                           const std::string& type,
                                                           bool* module_loaded) = 0;
};

}  // namespace koru::platform
