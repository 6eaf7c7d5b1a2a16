#pragma once

// Pieces shared by the archive commands of vfkit (pack, list, extract, cat, verify, merge,
// sfx, make-disc). Each command lives in its own file and is reached through
// RunArchiveCommand (cli.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "storage/vrfiles.h"
#include "tools/cli.h"
#include "tools/progress.h"

namespace koru::tools {

// What a command accepts on its command line.
struct CommandSyntax {
  const char* name;                        // "list"
  const char* usage;                       // shown by --help and after a usage error
  size_t min_positional;                   // fewest positional arguments
  size_t max_positional;                   // most positional arguments (SIZE_MAX: no limit)
  std::vector<std::string> value_options;  // options taking a value ("o", "C")
  std::vector<std::string> flags;          // options without value ("json")
};

// Parses args for syntax. Returns the parser when the command should run; otherwise writes
// the help (exit 0) or the usage error (exit kExitUsage) and sets *exit_code.
std::unique_ptr<ArgParser> ParseCommandLine(const std::vector<std::string>& args,
                                            const CommandSyntax& syntax, CommandContext& context,
                                            int* exit_code);

// Opens an existing archive (data file with volumes and ".ext", or an executable with a
// trailer) for reading. Throws KoruError when there is no such file or it cannot be read.
void OpenExistingArchive(TVrFileCollection& archive, const std::string& path);

// True for the end marker that the reader appends behind the last entry.
bool IsEndMarkerAt(const TVrFileCollection& archive, int index);
// True for names of superseded entries ("/" + the name).
bool IsSupersededName(const std::string& name);
// The DOS date-time as "YYYY-MM-DD hh:mm:ss", "-" for 0, "invalid(0x...)" otherwise.
std::string FormatDosTime(uint32_t dos_time);
// A file path (Shift-JIS, program form) for the terminal in the form the user typed it: a
// path without drive letter is a native one on the host, so it is shown with '/' there.
std::string DisplayPath(const std::string& sjis_path);
// A Shift-JIS name for the terminal: UTF-8, control characters shown as '?'.
std::string DisplayName(const std::string& sjis);

// An ArchiveProgressHandler that moves bar by entry index.
ArchiveProgressHandler EntryProgress(ProgressBar& bar);

platform::OpenOptions ReadOptions();
platform::OpenOptions CreateOptions();

int RunList(const std::vector<std::string>& args, CommandContext& context);
int RunCat(const std::vector<std::string>& args, CommandContext& context);
int RunVerify(const std::vector<std::string>& args, CommandContext& context);
int RunExtract(const std::vector<std::string>& args, CommandContext& context);
int RunPack(const std::vector<std::string>& args, CommandContext& context);
int RunMerge(const std::vector<std::string>& args, CommandContext& context);
int RunSfx(const std::vector<std::string>& args, CommandContext& context);
int RunMakeDisc(const std::vector<std::string>& args, CommandContext& context);

}  // namespace koru::tools
