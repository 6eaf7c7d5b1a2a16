// vfkit settings show|build: install.dat to JSON and back.
#include <ostream>

#include "base/error.h"
#include "settings/install_set.h"
#include "tools/cli.h"
#include "tools/settings_json.h"

namespace koru::tools {
namespace {

constexpr const char* kSettingsUsage =
    "usage: vfkit settings show FILE\n"
    "       vfkit settings build JSON -o FILE\n"
    "\n"
    "  show    print an install.dat (any version) as JSON\n"
    "  build   write an install.dat (version 108) from JSON\n";

constexpr const char* kShowUsage =
    "usage: vfkit settings show FILE\n"
    "\n"
    "Prints the install settings file FILE as one JSON object: the field names as keys,\n"
    "texts converted from Shift-JIS to UTF-8 (bytes that are no valid Shift-JIS as\n"
    "{\"hex\": \"...\"}), and \"Version\", the version the file declares.\n";

constexpr const char* kBuildUsage =
    "usage: vfkit settings build JSON -o FILE\n"
    "\n"
    "Writes the install settings file FILE (version 108) from the JSON object in JSON,\n"
    "as 'settings show' prints it. Missing keys keep the values of empty settings;\n"
    "\"Version\" is ignored.\n";

// Checks the command line of a subcommand: true when the command should go on, else
// *exit_code holds the code to return.
bool CheckArgs(const ArgParser& args, const char* command, const char* usage, size_t positional,
               CommandContext& context, int* exit_code) {
  if (args.ok() && (args.Has("help") || args.Has("h"))) {
    context.out << usage;
    *exit_code = kExitOk;
    return false;
  }
  std::string problem = args.error();
  if (problem.empty()) {
    const std::vector<std::string> unknown = args.Unknown({"help", "h"});
    if (!unknown.empty()) {
      problem = "unknown option --" + unknown.front();
    } else if (args.positional().size() != positional) {
      problem = "expected " + std::to_string(positional) + " argument(s)";
    }
  }
  if (problem.empty()) return true;
  context.err << "vfkit settings " << command << ": " << problem << "\n" << usage;
  *exit_code = kExitUsage;
  return false;
}

int Show(const std::vector<std::string>& raw, CommandContext& context) {
  const ArgParser args(raw, {});
  int exit_code = kExitOk;
  if (!CheckArgs(args, "show", kShowUsage, 1, context, &exit_code)) return exit_code;
  TKoruInstallSet settings;
  const int version = settings.LoadFromFile(context.env, ArgToPath(args.positional()[0]));
  context.out << InstallSetToJson(settings, version).dump(2) << "\n";
  return kExitOk;
}

std::string ReadWholeFile(platform::Env& env, const std::string& path) {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  const auto file = env.files().OpenFile(path, options);
  const int64_t size = file->GetSize();
  if (size < 0 || static_cast<uint64_t>(size) > std::string().max_size()) {
    throw KoruError(kStreamReadError);
  }
  std::string bytes(static_cast<size_t>(size), '\0');
  file->ReadExact(bytes.data(), size);
  return bytes;
}

int Build(const std::vector<std::string>& raw, CommandContext& context) {
  const ArgParser args(raw, {"o"});
  int exit_code = kExitOk;
  if (!CheckArgs(args, "build", kBuildUsage, 1, context, &exit_code)) return exit_code;
  const std::optional<std::string> output = args.Value("o");
  if (!output || output->empty()) {
    context.err << "vfkit settings build: -o FILE is required\n" << kBuildUsage;
    return kExitUsage;
  }
  const std::string& input = args.positional()[0];
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(ReadWholeFile(context.env, ArgToPath(input)));
  } catch (const nlohmann::json::exception& error) {
    context.err << "vfkit settings build: " << input << ": " << error.what() << "\n";
    return kExitError;
  }
  InstallSetFromJson(json).SaveToFile(context.env, ArgToPath(*output));
  return kExitOk;
}

}  // namespace

int RunSettingsCommand(const std::vector<std::string>& args, CommandContext& context) {
  if (args.empty()) {
    context.err << kSettingsUsage;
    return kExitUsage;
  }
  const std::string& command = args[0];
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  try {
    if (command == "--help" || command == "-h" || command == "help") {
      context.out << kSettingsUsage;
      return kExitOk;
    }
    if (command == "show") return Show(rest, context);
    if (command == "build") return Build(rest, context);
  } catch (const KoruError& error) {
    context.err << "vfkit settings " << command << ": " << error.Utf8() << "\n";
    return kExitError;
  }
  context.err << "vfkit settings: unknown command '" << command << "'\n" << kSettingsUsage;
  return kExitUsage;
}

}  // namespace koru::tools
