// vfkit: builds, inspects and checks what the setup program reads (install settings,
// "vf" archives, discs and layered images).
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "tools/cli.h"

#if defined(_WIN32)
#include "tools/win32_console.h"
#else
#include <unistd.h>
#endif

namespace koru::tools {
namespace {

constexpr const char* kUsage =
    "usage: vfkit COMMAND [ARGS...]\n"
    "\n"
    "Install settings:\n"
    "  settings show FILE            print an install.dat as JSON\n"
    "  settings build JSON -o FILE   write an install.dat from JSON\n"
    "Archives:\n"
    "  pack FOLDER -o ARCHIVE        build an archive from a folder\n"
    "  list ARCHIVE                  list the entries\n"
    "  extract ARCHIVE [NAMES] -C DIR  write entries to a folder\n"
    "  cat ARCHIVE NAME              write one entry to stdout\n"
    "  verify ARCHIVE                check every checksum\n"
    "  merge SOURCE INTO-ARCHIVE     merge newer entries, writing the .ext directory\n"
    "  sfx EXE ARCHIVE -o OUT        append an archive to an executable\n"
    "  make-disc GAME SETTINGS -o DIR  lay out a complete disc folder\n"
    "Images:\n"
    "  image info|to-png|from-png    inspect and convert .MUR images\n"
    "\n"
    "Every command takes --help.\n";

int Dispatch(const std::vector<std::string>& args, CommandContext& context) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? context.err : context.out) << kUsage;
    return args.empty() ? kExitUsage : kExitOk;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "settings") return RunSettingsCommand(rest, context);
  if (command == "image") return RunImageCommand(rest, context);
  const auto& archive_commands = ArchiveCommandNames();
  if (std::find(archive_commands.begin(), archive_commands.end(), command) !=
      archive_commands.end()) {
    return RunArchiveCommand(command, rest, context);
  }
  context.err << "vfkit: unknown command '" << command << "'\n" << kUsage;
  return kExitUsage;
}

}  // namespace

int Main(const std::vector<std::string>& args) {
#if defined(_WIN32)
  const bool terminal = StderrIsConsole();
#else
  const bool terminal = isatty(2) != 0;
#endif
  CommandContext context{platform::DefaultEnv(), std::cout, std::cerr, terminal};
  try {
    return Dispatch(args, context);
  } catch (const KoruError& error) {
    context.err << "vfkit: " << error.Utf8() << "\n";
    return kExitError;
  } catch (const std::exception& error) {
    context.err << "vfkit: " << error.what() << "\n";
    return kExitError;
  }
}

}  // namespace koru::tools

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
  const koru::tools::ConsoleUtf8Output console;
  return koru::tools::Main(koru::tools::WideArgsToUtf8(argc, argv));
}
#else
int main(int argc, char** argv) {
  return koru::tools::Main(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
