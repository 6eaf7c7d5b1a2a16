#pragma once

// Entry names come from archives, that is from files of unknown origin. Before a name
// becomes a path on disc it must be a plain relative path that stays inside the folder it
// is joined to.

#include <string>

namespace koru {

// True iff name is a relative path made of ordinary components: not empty; no leading
// "\" or "/" (absolute names, the end marker, superseded entries); no ":" (drive letters,
// alternate streams); no empty component, and none made only of dots and blanks ("..",
// or ". " which Windows trims to "."), and none that names a device (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with or without an extension, in any case); no control characters or the
// wildcard and pipe characters * ? " < > |. Both "\" and "/" count as separators; the second byte
// of a double-byte character never does.
bool IsSafeEntryName(const std::string& name);

// folder (a closing "\" added when missing) + name. Throws
// KoruError(Format(kUnsafeEntryNameError, name)) when IsSafeEntryName(name) is false.
// An empty folder gives name itself.
std::string SafeEntryPath(const std::string& folder, const std::string& name);

// Message of a refused entry name; %s is the name.
inline constexpr const char* kUnsafeEntryNameError = "%s:ファイル名が正しくありません";

}  // namespace koru
