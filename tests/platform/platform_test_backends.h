#pragma once

// The implementations the shared suite runs against. Each backend owns a fresh Env and a
// folder to work in (Windows form, no trailing backslash) and removes what it made.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/env_wrapper.h"
#include "platform/memory/memory_env.h"
#include "platform/simulated_system.h"

#if defined(_WIN32)
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_env.h"
#include "platform_win32_temp_folder.h"
#else
#include "platform/host/host_env.h"
#include "platform_host_temp_folder.h"
#endif

namespace koru::platform::testing {

// What the test program's resource DUMMY (type BINTYPE) holds.
inline constexpr const char* kOwnResource = "vf test resource";

inline void AddTo(SimulatedSystem& system) {
  const std::string bytes = kOwnResource;
  system.AddResource("", "DUMMY", "BINTYPE", std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

class MemoryBackend {
 public:
  // Positions beyond 4 GiB cost nothing here.
  static constexpr int64_t kLargeOffset = 5ll << 30;

  Env& env() { return env_; }
  std::string Base() {
    env_.files().MakeDirectory("C:\\work");
    return "C:\\work";
  }
  // A name no other run uses (every backend but Win32 starts empty).
  std::string UniqueName(const std::string& prefix) { return prefix; }
  // Gives the running program the resource DUMMY of type BINTYPE holding kOwnResource.
  void AddOwnResource() { AddTo(env_.system()); }

 private:
  MemoryEnv env_;
};

// Memory behind an EnvWrapper: every call must reach the target unchanged.
class WrappedMemoryBackend {
 public:
  static constexpr int64_t kLargeOffset = 5ll << 30;

  WrappedMemoryBackend() : wrapper_(memory_) {}
  Env& env() { return wrapper_; }
  std::string Base() {
    wrapper_.files().MakeDirectory("C:\\work");
    return "C:\\work";
  }
  std::string UniqueName(const std::string& prefix) { return prefix; }
  void AddOwnResource() { AddTo(memory_.system()); }

 private:
  MemoryEnv memory_;
  EnvWrapper wrapper_;
};

#if !defined(_WIN32)
class HostBackend {
 public:
  // Sparse files make 5 GiB cheap on the host.
  static constexpr int64_t kLargeOffset = 5ll << 30;

  HostBackend() : env_(temp_.path() + "/root", "tester") {}
  Env& env() { return env_; }
  std::string Base() {
    env_.files().MakeDirectory("C:\\work");
    return "C:\\work";
  }
  std::string UniqueName(const std::string& prefix) { return prefix; }
  void AddOwnResource() { AddTo(env_.system()); }
  const std::string& native_root() const { return temp_.path(); }

 private:
  HostTempFolder temp_;
  HostEnv env_;
};
#endif

#if defined(_WIN32)
class Win32Backend {
 public:
  // Real files are not sparse on Windows; a few MiB still cross 32-bit arithmetic
  // mistakes in the chunking.
  static constexpr int64_t kLargeOffset = (4ll << 20) + 3;

  Env& env() { return env_; }
  std::string Base() { return temp_.path(); }
  std::string UniqueName(const std::string& prefix) { return temp_.UniqueName(prefix); }
  // Compiled in from platform_tests.rc.
  void AddOwnResource() {}

 private:
  // The shell link object is a COM object.
  win32::ComApartment com_;
  Win32Env env_;
  Win32TempFolder temp_{env_};
};

using Backends = ::testing::Types<MemoryBackend, WrappedMemoryBackend, Win32Backend>;
#else
using Backends = ::testing::Types<MemoryBackend, WrappedMemoryBackend, HostBackend>;
#endif

}  // namespace koru::platform::testing
