#pragma once

// Shared pieces of the vfkit command-line tool: the context a command runs in, argument
// parsing and the conversion of command-line text to the program's own strings.

#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/env.h"

namespace koru::tools {

struct CommandContext {
  platform::Env& env;
  std::ostream& out;
  std::ostream& err;
  // True when stderr is a terminal (progress bars are drawn only then).
  bool err_is_terminal = false;
};

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a check failed (verify: a checksum mismatch)
inline constexpr int kExitUsage = 2;    // bad command line
inline constexpr int kExitError = 3;    // an input could not be read or written

// A parsed command line: positional arguments and options. Options are "--name value",
// "--name=value", "-o value" or flags ("--json"); which options take a value is given.
class ArgParser {
 public:
  // value_options: option names (without dashes) that take a value, e.g. {"o", "frame"}.
  ArgParser(const std::vector<std::string>& args, const std::vector<std::string>& value_options);

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::vector<std::string>& positional() const { return positional_; }
  bool Has(const std::string& name) const;
  std::optional<std::string> Value(const std::string& name) const;
  // All values of an option given several times, in order.
  std::vector<std::string> Values(const std::string& name) const;
  // Options given that are not in the allowed list (value options are always allowed).
  std::vector<std::string> Unknown(const std::vector<std::string>& flags) const;

 private:
  std::vector<std::string> positional_;
  std::multimap<std::string, std::string> options_;
  std::vector<std::string> value_options_;
  std::string error_;
};

// A command-line path (UTF-8, '/' or '\' separated) as a Shift-JIS path in the
// program's own form, with '\' between folders.
std::string ArgToPath(const std::string& utf8);
// A Shift-JIS path or name for display on the terminal (UTF-8; '\' kept).
std::string ToDisplay(const std::string& sjis);
// Shift-JIS text from command-line text.
std::string ArgToSjis(const std::string& utf8);

// The command groups; each returns the process exit code. args excludes the command
// word itself.
int RunSettingsCommand(const std::vector<std::string>& args, CommandContext& context);
int RunImageCommand(const std::vector<std::string>& args, CommandContext& context);
// Archive commands: pack, list, extract, cat, verify, merge, sfx, make-disc.
int RunArchiveCommand(const std::string& command, const std::vector<std::string>& args,
                      CommandContext& context);
// Names of the archive commands, for the dispatcher.
const std::vector<std::string>& ArchiveCommandNames();

}  // namespace koru::tools
