#pragma once

// Text at the Win32 boundary. Every path and name goes to the W functions converted
// from code page 932 by our own tables, never through the A functions: those would use
// the system's code page, and the program must behave the same on a Windows of any
// code page.

#include <windows.h>

#include <string>
#include <string_view>

#include "base/error.h"

namespace koru::platform::win32 {

std::wstring Wide(std::string_view sjis);
std::string Narrow(std::wstring_view utf16);

// An existing path the system handed over, in a form code page 932 can hold: the path
// itself when it converts exactly, else its short (8.3) form, which is plain ASCII. Where
// the volume keeps no short names the lossy conversion is returned: its '?' makes every
// later use of the path fail, rather than reach some other file.
std::string NarrowPath(const std::wstring& path);

// The system's message for an error code (Shift-JIS, without the final line break).
std::string SystemMessage(DWORD code);

// The one mapping from a failed call to the program's error: the fixed message of what
// failed when the caller has one (file messages are part of the program's texts), else
// the system's message for the code.
KoruError Win32Error(DWORD code, const std::string& fixed_message = std::string());

}  // namespace koru::platform::win32
