#pragma once

// Screenshots as PNG files. Each scenario has a folder of its own (KORU_E2E_SHOTS, set by
// scripts/e2e-run to build/<preset>/e2e-shots/<Suite.Case>; run by hand, the scenario main
// picks e2e-shots\<Suite.Case> in the working folder). Shots are numbered in the order
// taken: 01-start.png, 02-...

#include <string>
#include <string_view>

#include "e2e/driver/window.h"

namespace e2e {

// The whole screen (the virtual desktop). Returns the file's Windows path.
std::string Screenshot(std::string_view name);
// Only the window's rectangle, frame included.
std::string Screenshot(const Window& window, std::string_view name);

// The scenario's screenshot folder (Windows path, created on first use).
std::string ScreenshotFolder();
// Chooses the folder (used by the scenario main when KORU_E2E_SHOTS is not set) and
// starts the numbering again.
void SetScreenshotFolder(std::string_view path);

}  // namespace e2e
