#pragma once

// The implementations the shared suite runs against. Each backend owns a fresh Env and a
// folder to work in (Windows form, no trailing backslash) and removes what it made.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/env.h"
#include "platform/memory/memory_env.h"

namespace koru::platform::testing {

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

 private:
  MemoryEnv env_;
};

using Backends = ::testing::Types<MemoryBackend>;

}  // namespace koru::platform::testing
