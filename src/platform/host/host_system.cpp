#include "platform/host/host_system.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

#include "base/sjis.h"
#include "platform/host/unique_fd.h"

namespace koru::platform {
namespace {

// Holders keep a shared lock on the mutex file; whoever can take an exclusive lock sees
// that nobody holds it. A guard file makes "test, then hold" one step between processes.
class LockGuard {
 public:
  explicit LockGuard(const std::string& guard_file)
      : fd_(::open(guard_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (fd_) ::flock(fd_.get(), LOCK_EX);
  }
  explicit operator bool() const { return static_cast<bool>(fd_); }

 private:
  UniqueFd fd_;  // closing it releases the lock
};

class HostMutex : public NamedMutex {
 public:
  explicit HostMutex(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // holds the shared lock until closed
};

class UnnamedMutex : public NamedMutex {};

// True iff somebody holds a shared lock on the file (the guard must be held).
bool IsHeld(const std::string& file) {
  UniqueFd probe(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!probe) return false;
  if (::flock(probe.get(), LOCK_EX | LOCK_NB) == 0) return false;
  return true;
}

std::string ExecutableNativePath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return "";
  return std::string(buffer, static_cast<size_t>(n));
}

}  // namespace

std::string HostUserName() {
  std::string name;
  if (const passwd* entry = ::getpwuid(::geteuid())) name = entry->pw_name;
  if (name.empty() || name.size() > 64) return "user";
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '.';
    if (!plain) return "user";
  }
  return name;
}

HostSystem::HostSystem(HostFileSystem& files, MemoryRegistry& registry, std::string user_name)
    : SimulatedSystem(files, registry, std::move(user_name), /*make_profile_folder=*/false),
      host_files_(files),
      mutex_folder_(files.root() + "/mutexes") {
  files.WhenRootIsMade([this] { host_files_.MakeDirectories(ProfileFolder()); });
  SetExecutablePath(ReplaceChar(Utf8ToSjis(ExecutableNativePath()), '/', '\\'));
}

void HostSystem::MakeMutexFolder() {
  host_files_.MakeRoot();
  ::mkdir(mutex_folder_.c_str(), 0777);
}

std::string HostSystem::MutexFile(const std::string& name) const {
  // Names are case-sensitive bytes; letters, digits and a few marks stay readable.
  std::string encoded;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-' || c == '.';
    if (plain) {
      encoded += c;
    } else {
      char buffer[4];
      std::snprintf(buffer, sizeof(buffer), "%%%02X", static_cast<unsigned char>(c));
      encoded += buffer;
    }
  }
  if (encoded.size() > 200) {
    // Keep within NAME_MAX: a prefix and a hash of the whole name.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    char buffer[20];
    std::snprintf(buffer, sizeof(buffer), "~%016llx", static_cast<unsigned long long>(hash));
    encoded = encoded.substr(0, 150) + buffer;
  }
  return mutex_folder_ + "/" + encoded + ".lock";
}

std::unique_ptr<NamedMutex> HostSystem::CreateNamedMutex(const std::string& name,
                                                         bool* already_existed) {
  if (already_existed != nullptr) *already_existed = false;
  if (!IsValidMutexName(name)) return nullptr;
  if (name.empty()) return std::make_unique<UnnamedMutex>();
  MakeMutexFolder();
  LockGuard guard(mutex_folder_ + "/.guard");
  if (!guard) return nullptr;
  const std::string file = MutexFile(name);
  const bool held = IsHeld(file);
  UniqueFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!fd || ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0) return nullptr;
  if (already_existed != nullptr) *already_existed = held;
  return std::make_unique<HostMutex>(std::move(fd));
}

MutexProbe HostSystem::ProbeMutex(const std::string& name) {
  if (name.empty() || !IsValidMutexName(name)) return MutexProbe::kAbsent;
  MakeMutexFolder();
  LockGuard guard(mutex_folder_ + "/.guard");
  return guard && IsHeld(MutexFile(name)) ? MutexProbe::kOpened : MutexProbe::kAbsent;
}

void HostSystem::SleepMs(uint32_t milliseconds) {
  // <chrono> cannot be used here: its "µs" literal has no CP932 form.
  struct timespec left = {static_cast<time_t>(milliseconds / 1000),
                          static_cast<long>(milliseconds % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace koru::platform
