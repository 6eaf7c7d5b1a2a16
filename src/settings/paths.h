#pragma once

// Path text in the program's own form: Shift-JIS, '\' between folders, an optional drive
// ("C:"). Every search and test works on whole characters, so the second byte of a
// double-byte character (ソ is 0x83 0x5C) is never taken for a delimiter.

#include <string>
#include <string_view>

namespace koru {

// The path with a trailing backslash, unless its last character already is one. The
// empty string gives a lone backslash.
std::string AddBackslash(std::string_view path);
// The path without one trailing backslash (when it has one).
std::string ExcludeTrailingBackslash(std::string_view path);
// Drops one trailing backslash, then everything from the last backslash on. A text
// without backslash becomes empty. "A\B\C\" gives "A\B".
void StripLastPathPart(std::string& path);

// Up to and including the last '\' or ':' ("C:\Game\a.txt" gives "C:\Game\").
std::string ExtractFilePath(std::string_view path);
// After the last '\' or ':'.
std::string ExtractFileName(std::string_view path);
// The extension with its dot ("a.b.txt" gives ".txt"), or empty. A dot before the last
// delimiter does not count.
std::string ExtractFileExt(std::string_view path);
// The path with its extension replaced by extension (which carries its own dot, or is
// empty to drop the extension).
std::string ChangeFileExt(std::string_view path, std::string_view extension);
// "C:" of "C:\x", "\\server\share" of a UNC path, empty otherwise.
std::string ExtractFileDrive(std::string_view path);

}  // namespace koru
