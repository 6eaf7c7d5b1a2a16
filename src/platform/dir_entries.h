#pragma once

#include <vector>

#include "platform/file_system.h"

namespace koru::platform {

// Sorts a listing by name ignoring ASCII case (CompareIgnoreCase), the one order every
// implementation gives, whatever its OS enumerates first.
void SortDirEntries(std::vector<DirEntry>* entries);

}  // namespace koru::platform
