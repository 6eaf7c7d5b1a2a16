#pragma once

// Executables that carry an archive: the executable's bytes, a complete archive, the
// 32-bit start of that archive and the marker "kr" (a 6-byte trailer).

#include <string>

#include "platform/env.h"

namespace koru {

// Appends the archive file archive_path and the trailer to the executable exe_path,
// which is opened for reading and writing with other writers shut out. Throws KoruError
// when a file cannot be opened or the executable is 2 GiB or larger (the trailer holds a
// signed 32-bit start).
void AppendArchiveToExe(platform::Env& env, const std::string& exe_path,
                        const std::string& archive_path);

// The executable directly in folder (no subfolders) whose appended archive holds an
// "install.dat" with the given title (compared exactly), or "" when there is none. Every
// ".exe" is examined, in order of name; files without the trailer are passed over. When
// nothing matches and an executable with the trailer could not be read (no
// "install.dat", a damaged archive or settings file), the first such error is thrown.
std::string FindArchiveExe(platform::Env& env, const std::string& folder, const std::string& title);

}  // namespace koru
