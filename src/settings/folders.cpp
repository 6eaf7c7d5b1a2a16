#include "settings/folders.h"

#include "base/sjis.h"
#include "settings/paths.h"

namespace koru {
namespace {

using platform::kAttrDirectory;
using platform::kAttrHidden;
using platform::kAttrReadOnly;

// The attributes 0x01 to 0x20: a file with none of them is a "plain" file.
constexpr uint32_t kAttrListed = 0x3F;

bool TakesEntry(const platform::DirEntry& entry, uint32_t mask, bool plain) {
  if (entry.attributes & kAttrDirectory) return (mask & kAttrDirectory) != 0;
  if (mask & entry.attributes) return true;
  return plain && (entry.attributes & kAttrListed) == 0;
}

}  // namespace

void ListFolder(platform::Env& env, const std::string& folder, uint32_t mask, bool plain,
                const std::string& extension, bool clear, bool mark, bool recurse,
                std::vector<std::string>& list, bool clear_list) {
  const std::string base = AddBackslash(folder);
  if (clear_list) list.clear();
  for (const platform::DirEntry& entry : env.files().ListDirectory(base)) {
    if (entry.name == "." || entry.name == "..") continue;
    const bool is_folder = (entry.attributes & kAttrDirectory) != 0;
    std::string path = base + entry.name;
    if (clear) {
      env.files().SetAttributes(path, entry.attributes & ~(kAttrReadOnly | kAttrHidden));
    }
    if (is_folder && mark) path = AddBackslash(path);
    if (TakesEntry(entry, mask, plain) &&
        (is_folder || extension.empty() ||
         EqualsIgnoreCase(ExtractFileExt(entry.name), extension))) {
      list.push_back(path);
    }
    if (recurse && is_folder) {
      ListFolder(env, path, mask, plain, extension, clear, /*mark=*/true, /*recurse=*/true, list,
                 /*clear_list=*/false);
    }
  }
}

std::string GetSpecialFolder(platform::Env& env, int csidl) {
  return ExcludeTrailingBackslash(env.system().SpecialFolder(csidl));
}

std::string GetSystemDriveName(platform::Env& env) {
  return ExtractFileDrive(env.system().SystemFolder());
}

}  // namespace koru
