#pragma once

// Windows console specifics of the tool: UTF-8 command-line arguments and output.

#include <string>
#include <vector>

namespace koru::tools {

// The arguments after the program name, as UTF-8; also switches the console to UTF-8
// output so that names print the same as on other systems.
std::vector<std::string> WideArgsToUtf8(int argc, wchar_t** argv);
bool StderrIsConsole();

}  // namespace koru::tools
