#pragma once

// File routines of the copy engine and the entry.

#include <cstdint>
#include <string>

#include "platform/env.h"

namespace koru {

// Has the system delete the file at the next restart. Reports nothing.
void DeleteAtRestart(platform::Env& env, const std::string& path);

// Copies source over target. With compare set, the copy is skipped when the target
// exists with the same modification time stamp and the same size as the source.
// Returns true when the copy succeeded or was skipped. A source that cannot be opened
// leads to a plain copy; a target that exists but cannot be opened for reading throws
// the file layer's KoruError.
platform::FileStatus CopyFileIfChanged(platform::Env& env, const std::string& source,
                                       const std::string& target, bool compare);

// The file's size in bytes, 0 when it cannot be opened. Never throws.
int64_t GetFileSizeSafe(platform::Env& env, const std::string& path);

// Clears the read-only attribute of an existing file or folder; does nothing otherwise.
void ClearReadOnly(platform::Env& env, const std::string& path);

}  // namespace koru
