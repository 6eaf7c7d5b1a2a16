#pragma once

// The launcher's copy of itself in the temporary folder: the disc can then be changed,
// and an installed copy can delete itself, while the copy runs.

#include <optional>
#include <string>

#include "platform/env.h"

namespace koru {

// A program to start through the shell at the end, with its parameters.
struct LaunchRequest {
  std::string file;
  std::string parameters;
};

// Copies the running executable to "~kinstall.exe" in the temporary folder, or, when
// that name is taken by a copy still running, to "~kinstall0.exe", "~kinstall1.exe", ...
// (100 attempts in all; an earlier copy's read-only attribute is cleared first). Returns
// the copy with the program's folder (trailing backslash) in double quotes as its
// parameter, or nullopt when every attempt failed.
std::optional<LaunchRequest> CopySelfToTemp(platform::Env& env);

}  // namespace koru
