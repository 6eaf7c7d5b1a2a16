#pragma once

// The Env of Windows: every path and name goes to the W functions, converted from
// code page 932 by the program's own tables.

#include "platform/env.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_system.h"

namespace koru::platform {

class Win32Env : public Env {
 public:
  Win32FileSystem& files() override { return files_; }
  Win32Registry& registry() override { return registry_; }
  Win32System& system() override { return system_; }
  Win32Shell& shell() override { return shell_; }

 private:
  Win32FileSystem files_;
  Win32Registry registry_;
  Win32System system_;
  Win32Shell shell_;
};

}  // namespace koru::platform
