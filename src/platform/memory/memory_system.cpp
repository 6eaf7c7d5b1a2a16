#include "platform/memory/memory_system.h"

namespace koru::platform {
namespace {

class MemoryMutex : public NamedMutex {
 public:
  MemoryMutex(std::shared_ptr<std::map<std::string, int>> table, std::string name)
      : table_(std::move(table)), name_(std::move(name)) {
    if (!name_.empty()) ++(*table_)[name_];
  }
  ~MemoryMutex() override {
    if (name_.empty()) return;
    auto it = table_->find(name_);
    if (it != table_->end() && --it->second <= 0) table_->erase(it);
  }

 private:
  std::shared_ptr<std::map<std::string, int>> table_;
  std::string name_;
};

}  // namespace

MemorySystem::MemorySystem(FileSystem& files, MemoryRegistry& registry)
    : SimulatedSystem(files, registry, "test") {}

std::unique_ptr<NamedMutex> MemorySystem::CreateNamedMutex(const std::string& name,
                                                           bool* already_existed) {
  if (already_existed != nullptr) *already_existed = false;
  if (!IsValidMutexName(name)) return nullptr;
  // An empty name makes an unnamed mutex that nobody else can find.
  if (already_existed != nullptr && !name.empty()) *already_existed = mutexes_->count(name) != 0;
  return std::make_unique<MemoryMutex>(mutexes_, name);
}

MutexProbe MemorySystem::ProbeMutex(const std::string& name) {
  if (name.empty() || mutexes_->count(name) == 0) return MutexProbe::kAbsent;
  return denied_mutexes_.count(name) != 0 ? MutexProbe::kAccessDenied : MutexProbe::kOpened;
}

void MemorySystem::SleepMs(uint32_t milliseconds) { sleeps_.push_back(milliseconds); }

uint64_t MemorySystem::TotalSleepMs() const {
  uint64_t total = 0;
  for (const uint32_t sleep : sleeps_) total += sleep;
  return total;
}

void MemorySystem::HoldMutexElsewhere(const std::string& name, bool held, bool deny_access) {
  if (deny_access) denied_mutexes_.insert(name);
  if (held) {
    ++(*mutexes_)[name];
    return;
  }
  auto it = mutexes_->find(name);
  if (it != mutexes_->end() && --it->second <= 0) mutexes_->erase(it);
}

}  // namespace koru::platform
