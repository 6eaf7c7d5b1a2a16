// vfkit archive commands: the dispatcher and the helpers they share.
#include <cstdio>
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "platform/dos_time.h"
#include "tools/archive_tool.h"

namespace koru::tools {

const std::vector<std::string>& ArchiveCommandNames() {
  static const std::vector<std::string> names = {"pack",   "list",  "extract", "cat",
                                                 "verify", "merge", "sfx",     "make-disc"};
  return names;
}

int RunArchiveCommand(const std::string& command, const std::vector<std::string>& args,
                      CommandContext& context) {
  try {
    if (command == "list") return RunList(args, context);
    if (command == "cat") return RunCat(args, context);
    if (command == "verify") return RunVerify(args, context);
    if (command == "extract") return RunExtract(args, context);
    if (command == "pack") return RunPack(args, context);
    if (command == "merge") return RunMerge(args, context);
    if (command == "sfx") return RunSfx(args, context);
    if (command == "make-disc") return RunMakeDisc(args, context);
  } catch (const KoruError& error) {
    context.err << "vfkit " << command << ": " << error.Utf8() << "\n";
    return kExitError;
  }
  context.err << "vfkit: unknown command '" << command << "'\n";
  return kExitUsage;
}

std::unique_ptr<ArgParser> ParseCommandLine(const std::vector<std::string>& args,
                                            const CommandSyntax& syntax, CommandContext& context,
                                            int* exit_code) {
  auto parser = std::make_unique<ArgParser>(args, syntax.value_options);
  if (parser->ok() && (parser->Has("help") || parser->Has("h"))) {
    context.out << syntax.usage;
    *exit_code = kExitOk;
    return nullptr;
  }
  std::string problem = parser->error();
  if (problem.empty()) {
    std::vector<std::string> flags = syntax.flags;
    flags.insert(flags.end(), {"help", "h"});
    const std::vector<std::string> unknown = parser->Unknown(flags);
    const size_t count = parser->positional().size();
    if (!unknown.empty()) {
      problem = "unknown option --" + unknown.front();
    } else if (count < syntax.min_positional || count > syntax.max_positional) {
      problem = count < syntax.min_positional ? "missing argument" : "too many arguments";
    }
  }
  if (problem.empty()) return parser;
  context.err << "vfkit " << syntax.name << ": " << problem << "\n" << syntax.usage;
  *exit_code = kExitUsage;
  return nullptr;
}

void OpenExistingArchive(TVrFileCollection& archive, const std::string& path) {
  // OpenArchive takes a missing file for a folder of loose files; a command that reads
  // an archive wants to hear that it is not there.
  if (!archive.env().files().FileExists(path)) {
    throw KoruError(Format("%s: no such archive file", path.c_str()));
  }
  archive.Open(path);
  if (archive.ArchiveStream() == nullptr) {
    throw KoruError(Format("%s: not an archive", path.c_str()));
  }
}

bool IsEndMarkerAt(const TVrFileCollection& archive, int index) {
  return index == archive.Count() - 1 && archive.Entry(index).Name() == kEndMarkerName;
}

bool IsSupersededName(const std::string& name) { return !name.empty() && name[0] == '/'; }

std::string FormatDosTime(uint32_t dos_time) {
  char text[32];
  if (dos_time == 0) return "-";
  const std::optional<platform::CivilTime> t = platform::UnpackDosTime(dos_time);
  if (!t) {
    std::snprintf(text, sizeof text, "invalid(0x%08X)", static_cast<unsigned>(dos_time));
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t->year, t->month, t->day,
                  t->hour, t->minute, t->second);
  }
  return text;
}

std::string DisplayPath(const std::string& sjis_path) {
#if defined(_WIN32)
  return DisplayName(sjis_path);
#else
  const bool has_drive = sjis_path.size() >= 2 && sjis_path[1] == ':';
  return DisplayName(has_drive ? sjis_path : ReplaceChar(sjis_path, '\\', '/'));
#endif
}

std::string DisplayName(const std::string& sjis) {
  std::string utf8 = SjisToUtf8(sjis);
  // Names come from the archive: keep terminal control sequences out of the listing.
  for (char& c : utf8) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return utf8;
}

ArchiveProgressHandler EntryProgress(ProgressBar& bar) {
  return [&bar](TVrFile&, int64_t, int index, int count, bool&) { bar.Update(index + 1, count); };
}

platform::OpenOptions ReadOptions() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kRead;
  options.share = platform::FileShare::kRead;
  return options;
}

platform::OpenOptions CreateOptions() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kRead;
  options.disposition = platform::FileDisposition::kCreateAlways;
  return options;
}

}  // namespace koru::tools
