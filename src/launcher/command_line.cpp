#include "launcher/command_line.h"

namespace koru {
namespace {

// Blanks and control characters; bytes of double-byte characters are all above it.
bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> arguments;
  size_t i = 0;
  while (true) {
    // Separators and leading pairs of quotes ("" stands for nothing).
    while (true) {
      while (i < line.size() && IsSeparator(line[i])) ++i;
      if (i + 1 < line.size() && line[i] == '"' && line[i + 1] == '"') {
        i += 2;
      } else {
        break;
      }
    }
    if (i >= line.size()) break;
    std::string argument;
    bool quoted = false;
    // Quotes toggle; no byte of a Shift-JIS character is a quote or a separator, so
    // walking bytes keeps characters whole.
    while (i < line.size() && (quoted || !IsSeparator(line[i]))) {
      if (line[i] == '"') {
        quoted = !quoted;
      } else {
        argument += line[i];
      }
      ++i;
    }
    // A lone quote at the end leaves nothing: the runtime stops counting there.
    if (argument.empty()) break;
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace koru
