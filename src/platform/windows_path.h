#pragma once

// Splitting of Windows-form paths ("C:\Game\x.dat", "..\data", "\tmp") into their
// parts, for the implementations that map them onto something else (memory, host).
// Separators are '\' and '/' as single-byte characters: the second byte of a Shift-JIS
// character (ソ is 0x83 0x5C) never splits a name.

#include <string>
#include <string_view>
#include <vector>

namespace koru::platform {

struct WindowsPath {
  char drive = 0;                  // lower-case drive letter, or 0 when the path names none
  bool rooted = false;             // the part after the drive starts with a separator
  bool trailing = false;           // the path ends with a separator
  std::vector<std::string> parts;  // the names between separators, empty ones dropped
};

WindowsPath ParseWindowsPath(std::string_view path);

// Resolves "." and ".." the way Windows does for full paths: ".." at the top stays at
// the top.
std::vector<std::string> CollapseDots(const std::vector<std::string>& parts);

// False for a name Windows refuses: control characters or one of < > : " | ? *.
bool IsValidWindowsName(std::string_view name);

// Joins parts with '\' (no leading or trailing separator).
std::string JoinParts(const std::vector<std::string>& parts, size_t count);

}  // namespace koru::platform
