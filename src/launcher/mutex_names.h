#pragma once

// Names of the two mutexes through which launchers and games see each other.

#include <string>
#include <string_view>

namespace koru {

// The mutex a running game holds, named after its install folder: upper-cased the way
// code page 932 upper-cases (ASCII letters only, double-byte characters whole, so the
// name matches the one a game on a Japanese system creates whatever this system's code
// page is), a backslash appended unless there is one, every backslash replaced by "-".
// "c:\Game\Title" gives "C:-GAME-TITLE-". The second byte of a double-byte character is
// never taken for a backslash.
std::string RunningGameMutexName(std::string_view install_path);

}  // namespace koru
