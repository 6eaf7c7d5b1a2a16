#pragma once

// A fresh folder below the system's temporary folder (GetTempPathW), removed with
// everything in it, read-only files included, when the object goes.

#include <windows.h>

#include <string>

#include "platform/env.h"

namespace koru::platform::testing {

class Win32TempFolder {
 public:
  explicit Win32TempFolder(Env& env) : env_(env) {
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::string candidate = env_.system().TempFolder() + UniqueName("koru-platform");
      if (env_.files().MakeDirectory(candidate)) path_ = candidate;
    }
  }
  ~Win32TempFolder() {
    if (!path_.empty()) RemoveTree(path_);
  }
  Win32TempFolder(const Win32TempFolder&) = delete;
  Win32TempFolder& operator=(const Win32TempFolder&) = delete;

  const std::string& path() const { return path_; }

  // A name that no other process or earlier test uses.
  static std::string UniqueName(const std::string& prefix) {
    static int counter = 0;
    return prefix + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
  }

 private:
  void RemoveTree(const std::string& folder) {
    for (const DirEntry& entry : env_.files().ListDirectory(folder)) {
      const std::string path = folder + "\\" + entry.name;
      if ((entry.attributes & kAttrDirectory) != 0) {
        RemoveTree(path);
      } else {
        env_.files().SetAttributes(path, kAttrArchive);
        env_.files().RemoveFile(path);
      }
    }
    env_.files().RemoveDirectoryAt(folder);
  }

  Env& env_;
  std::string path_;
};

}  // namespace koru::platform::testing
