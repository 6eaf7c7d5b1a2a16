#include "platform/dir_entries.h"

#include <algorithm>

#include "base/sjis.h"

namespace koru::platform {

void SortDirEntries(std::vector<DirEntry>* entries) {
  std::stable_sort(entries->begin(), entries->end(), [](const DirEntry& a, const DirEntry& b) {
    const int order = CompareIgnoreCase(a.name, b.name);
    return order != 0 ? order < 0 : a.name < b.name;
  });
}

}  // namespace koru::platform
