#pragma once

// Windows console specifics of the tool: UTF-8 command-line arguments and output.

#include <string>
#include <vector>

namespace koru::tools {

// The arguments after the program name, as UTF-8.
std::vector<std::string> WideArgsToUtf8(int argc, wchar_t** argv);
bool StderrIsConsole();

// Switches the console to UTF-8 output, so that names print the same as on other systems,
// and gives the console its code page back when the tool ends: the console outlives us.
class ConsoleUtf8Output {
 public:
  ConsoleUtf8Output();
  ~ConsoleUtf8Output();
  ConsoleUtf8Output(const ConsoleUtf8Output&) = delete;
  ConsoleUtf8Output& operator=(const ConsoleUtf8Output&) = delete;

 private:
  unsigned int previous_;
};

}  // namespace koru::tools
