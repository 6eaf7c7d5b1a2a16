#include "platform/file_system.h"

#include "base/sjis.h"

namespace koru::platform {

KoruError FileIoError(const char* format, const std::string& path, const std::string& reason) {
  std::string message = Format(format, path.c_str());
  if (!reason.empty()) message += "\r\n" + reason;
  return KoruError(std::move(message));
}

FileStatus FileSystem::MakeDirectories(const std::string& path) {
  std::string folder = path;
  while (EndsWithChar(folder, '\\') && folder.size() > 1) folder.pop_back();
  if (folder.empty()) return false;
  if (DirectoryExists(folder)) return true;
  const size_t cut = FindLastChar(folder, '\\');
  // A drive ("C:") or a root has nothing above it to create.
  if (cut != std::string::npos && cut > 0 && !(cut == 2 && folder[1] == ':')) {
    if (FileStatus parent = MakeDirectories(folder.substr(0, cut)); !parent) return parent;
  }
  FileStatus made = MakeDirectory(folder);
  // Someone else may have made it meanwhile.
  if (!made && DirectoryExists(folder)) return true;
  return made;
}

}  // namespace koru::platform
