#include "platform/file_system.h"

#include "base/sjis.h"

namespace koru::platform {

bool FileSystem::MakeDirectories(const std::string& path) {
  std::string folder = path;
  while (EndsWithChar(folder, '\\') && folder.size() > 1) folder.pop_back();
  if (folder.empty()) return false;
  if (DirectoryExists(folder)) return true;
  const size_t cut = FindLastChar(folder, '\\');
  // A drive ("C:") or a root has nothing above it to create.
  if (cut != std::string::npos && cut > 0 && !(cut == 2 && folder[1] == ':')) {
    if (!MakeDirectories(folder.substr(0, cut))) return false;
  }
  return MakeDirectory(folder) || DirectoryExists(folder);
}

}  // namespace koru::platform
