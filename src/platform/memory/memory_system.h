#pragma once

// System services in memory: mutexes in a table of this object, pauses recorded
// instead of slept, and everything SimulatedSystem records.

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/simulated_system.h"

namespace koru::platform {

class MemorySystem : public SimulatedSystem {
 public:
  // The user is "test": TempFolder is C:\users\test\Temp\.
  MemorySystem(FileSystem& files, MemoryRegistry& registry);

  std::unique_ptr<NamedMutex> CreateNamedMutex(const std::string& name,
                                               bool* already_existed) override;
  MutexProbe ProbeMutex(const std::string& name) override;
  void SleepMs(uint32_t milliseconds) override;

  // The pauses asked for, in order, and their sum.
  const std::vector<uint32_t>& Sleeps() const { return sleeps_; }
  uint64_t TotalSleepMs() const;

  // Lets a test play another process that holds (or releases) a mutex; with deny_access
  // this user may not open it (ProbeMutex answers kAccessDenied while it is held).
  void HoldMutexElsewhere(const std::string& name, bool held, bool deny_access = false);

 private:
  // Holders per mutex name (case-sensitive, as Windows names objects).
  std::shared_ptr<std::map<std::string, int>> mutexes_ =
      std::make_shared<std::map<std::string, int>>();
  std::set<std::string> denied_mutexes_;
  std::vector<uint32_t> sleeps_;
};

}  // namespace koru::platform
