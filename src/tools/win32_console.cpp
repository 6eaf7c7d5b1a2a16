#include "tools/win32_console.h"

#include <io.h>
#include <windows.h>

#include "base/sjis.h"

namespace koru::tools {

std::vector<std::string> WideArgsToUtf8(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  }
  return args;
}

bool StderrIsConsole() { return _isatty(2) != 0; }

ConsoleUtf8Output::ConsoleUtf8Output() : previous_(GetConsoleOutputCP()) {
  SetConsoleOutputCP(CP_UTF8);
}

ConsoleUtf8Output::~ConsoleUtf8Output() {
  // 0: there was no console to switch.
  if (previous_ != 0) SetConsoleOutputCP(previous_);
}

}  // namespace koru::tools
