#pragma once

// The program's command line, split by the rule of the runtime the program has always
// been built with (not CommandLineToArgvW's, nor the C runtime's): blanks and control
// characters separate arguments; a double quote opens a stretch that runs to the next
// double quote and may hold blanks; the quotes are dropped; a backslash is an ordinary
// character, so a quoted "D:\" yields D:\ and the self-copy's quoted folder comes back
// unchanged. Pairs of double quotes at the start of an argument are skipped, so empty
// arguments do not count.

#include <string>
#include <string_view>
#include <vector>

namespace koru {

// Every argument of a Shift-JIS command line, the program's own name first.
std::vector<std::string> SplitCommandLine(std::string_view command_line);

}  // namespace koru
