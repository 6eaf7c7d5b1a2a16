#pragma once

// Everything in memory with Windows semantics, for the tests of the layers above:
// drive C: (more with files().AddDrive), a registry seeded with one user profile, the
// user "test" (TempFolder C:\users\test\Temp\), mutexes, a restart list, a shell-open
// log, shortcut files, module resources and pauses that are recorded, never slept.
// Deterministic.

#include "platform/env.h"
#include "platform/memory/memory_file_system.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"
#include "platform/simulated_shell.h"

namespace koru::platform {

class MemoryEnv : public Env {
 public:
  MemoryEnv() : system_(files_, registry_), shell_(files_) {}
  MemoryFileSystem& files() override { return files_; }
  MemoryRegistry& registry() override { return registry_; }
  MemorySystem& system() override { return system_; }
  SimulatedShell& shell() override { return shell_; }

 private:
  MemoryFileSystem files_;
  MemoryRegistry registry_;
  MemorySystem system_;
  SimulatedShell shell_;
};

}  // namespace koru::platform
