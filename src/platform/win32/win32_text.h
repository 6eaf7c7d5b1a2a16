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

// The system's message for an error code (Shift-JIS, without the final line break).
std::string SystemMessage(DWORD code);

// The one mapping from a failed call to the program's error: the fixed message of what
// failed when the caller has one (file messages are part of the program's texts), else
// the system's message for the code.
KoruError Win32Error(DWORD code, const std::string& fixed_message = std::string());

}  // namespace koru::platform::win32
