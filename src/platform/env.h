#pragma once

// The platform behind one interface, in the way leveldb's Env works: the program and
// the tests reach files, the registry and the system only through an Env, so the same
// logic runs on Windows, on the host (Linux) and against in-memory doubles.

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace koru::platform {

class Env {
 public:
  virtual ~Env() = default;
  virtual FileSystem& files() = 0;
  virtual Registry& registry() = 0;
  virtual System& system() = 0;
  virtual Shell& shell() = 0;
};

// The Env of the platform the program was built for: Win32 on Windows, the host
// implementation (drives under a root folder, registry in memory) elsewhere.
Env& DefaultEnv();

}  // namespace koru::platform
