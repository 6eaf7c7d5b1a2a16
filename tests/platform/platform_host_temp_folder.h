#pragma once

// A fresh native folder from mkdtemp (below KORU_TEST_TMPDIR when set), removed with
// everything in it when the object goes.

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace koru::platform::testing {

class HostTempFolder {
 public:
  HostTempFolder() {
    const char* base = std::getenv("KORU_TEST_TMPDIR");
    std::string folder = base != nullptr && *base != '\0' ? base : "/tmp";
    ::mkdir(folder.c_str(), 0777);
    std::string pattern = folder + "/koru-platform-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~HostTempFolder() {
    if (!path_.empty()) ::nftw(path_.c_str(), Remove, 16, FTW_DEPTH | FTW_PHYS);
  }
  HostTempFolder(const HostTempFolder&) = delete;
  HostTempFolder& operator=(const HostTempFolder&) = delete;

  // Empty when mkdtemp failed.
  const std::string& path() const { return path_; }

 private:
  static int Remove(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
  }

  std::string path_;
};

}  // namespace koru::platform::testing
