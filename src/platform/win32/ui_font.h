#pragma once

// The font of every window of the program.

#include <windows.h>

#include "platform/win32/gdi_handles.h"

namespace koru::platform::win32 {

// Height of the windows' font in pixels (character height, not cell height).
inline constexpr int kUiFontHeight = 12;

// "ＭＳ Ｐゴシック", 12 pixels, Shift-JIS character set, made through the W function so that
// the face name is right whatever the system's code page. Where the face is missing the
// font mapper picks another Japanese one by the character set.
UniqueGdiObject CreateUiFont();

}  // namespace koru::platform::win32
