// vfkit pack and merge: the commands that write archives from folders and archives.
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "tools/archive_files.h"
#include "tools/archive_tool.h"

namespace koru::tools {
namespace {

constexpr const char* kPackUsage =
    "usage: vfkit pack FOLDER -o ARCHIVE [--separate PATTERN]... [--separate-list FILE]\n"
    "\n"
    "Writes every file below FOLDER into ARCHIVE (format version 102), named relative to\n"
    "FOLDER with \"\\\" between folders. Files are compressed when that saves a tenth,\n"
    "except media (.wav .wma .ogg .avi .mpg .mpeg .m1v .wmv .asf .dat) and files of 5 MiB\n"
    "or more; .MUR pictures are compressed when their planes are not.\n"
    "  --separate PATTERN    mark matching entries as installed separate files; \"*\" within\n"
    "                        a folder, \"**\" across folders, \"?\" one character; a pattern\n"
    "                        without \"/\" or \"\\\" matches the file name (\"*.ogg\")\n"
    "  --separate-list FILE  patterns, one a line (UTF-8; \"#\" starts a comment line)\n";

constexpr const char* kMergeUsage =
    "usage: vfkit merge SOURCE INTO-ARCHIVE\n"
    "\n"
    "Appends to INTO-ARCHIVE the entries of SOURCE that it lacks or that are newer (by\n"
    "their DOS time), as the setup program installs a disc: the data file only grows,\n"
    "older entries stay as superseded \"/\" entries, separate-file entries are not\n"
    "taken, and the directory is written to the \".ext\" file beside INTO-ARCHIVE.\n"
    "INTO-ARCHIVE is created when it does not exist.\n";

bool IsExecutablePath(const std::string& path) {
  const std::string ext = AsciiUpper(ExtractFileExt(path));
  return ext == ".EXE" || ext == ".SCR";
}

// The files that make up the archive file path: its volumes and its ".ext" directory.
bool IsPartOfArchive(const std::string& file, const std::string& archive) {
  if (EqualsIgnoreCase(file, ChangeFileExt(archive, ".ext"))) return true;
  for (int volume = 0; volume < 1000; ++volume) {
    if (EqualsIgnoreCase(file, VolumeFileName(archive, volume))) return true;
  }
  return false;
}

void RemoveArchiveFiles(platform::FileSystem& files, const std::string& archive) {
  files.RemoveFile(archive);
  for (int volume = 1; files.FileExists(VolumeFileName(archive, volume)); ++volume) {
    files.RemoveFile(VolumeFileName(archive, volume));
  }
}

int Pack(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"pack", kPackUsage, 1, 1, {"o", "separate", "separate-list"},
                                    {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string output = ArgToPath(args->Value("o").value_or(""));
  if (output.empty()) {
    context.err << "vfkit pack: -o ARCHIVE is required\n" << kPackUsage;
    return kExitUsage;
  }
  platform::FileSystem& files = context.env.files();
  const std::string folder = ArgToPath(args->positional()[0]);
  if (!files.DirectoryExists(folder)) {
    throw KoruError(Format("%s: no such folder", folder.c_str()));
  }
  NamePatterns separate;
  for (const std::string& pattern : args->Values("separate")) separate.Add(ArgToPath(pattern));
  for (const std::string& list : args->Values("separate-list")) {
    separate.AddListFile(context.env, ArgToPath(list));
  }

  TVrFileCollection archive(context.env);
  archive.SetFolder(folder);
  const std::string base = AddBackslash(folder);
  int marked = 0;
  for (const std::string& name : ListRelativeFiles(context.env, folder)) {
    // An archive written into the folder it packs must not swallow itself.
    if (IsPartOfArchive(base + name, output)) continue;
    TVrFile& entry = archive.AddEntry(name);
    if (separate.Matches(name)) {
      entry.SeparateFile = true;
      ++marked;
    }
  }
  for (const std::string& pattern : separate.Unused()) {
    context.err << "vfkit pack: warning: --separate " << ToDisplay(pattern) << " matches no file\n";
  }
  archive.OnError = [&context](const std::string& line) {
    context.err << "vfkit pack: " << SjisToUtf8(line) << "\n";
  };

  // A directory left from an earlier merge would be read instead of the new one.
  const std::string stale_directory = ChangeFileExt(output, ".ext");
  if (files.FileExists(stale_directory) && !files.RemoveFile(stale_directory)) {
    throw KoruError(Format("%s: cannot remove the old directory file", stale_directory.c_str()));
  }
  const std::string output_folder = ExtractFilePath(output);
  if (!output_folder.empty()) files.MakeDirectories(ExcludeTrailingBackslash(output_folder));
  try {
    TKwBigFileStream out(files, output, kModeCreate);
    ProgressBar bar(context.err, context.err_is_terminal, "pack");
    archive.OnProgress = EntryProgress(bar);
    archive.SaveTo(out);
  } catch (...) {
    RemoveArchiveFiles(files, output);
    throw;
  }
  context.out << archive.Count() << " entries (" << marked << " separate files) written to "
              << DisplayPath(output) << "\n";
  return kExitOk;
}

int Merge(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"merge", kMergeUsage, 2, 2, {}, {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string source_path = ArgToPath(args->positional()[0]);
  const std::string into_path = ArgToPath(args->positional()[1]);
  if (EqualsIgnoreCase(source_path, into_path)) {
    throw KoruError("an archive cannot be merged into itself");
  }
  if (IsExecutablePath(into_path)) {
    throw KoruError(Format("%s: cannot merge into an executable (build it with pack and sfx)",
                           into_path.c_str()));
  }
  TVrFileCollection source(context.env);
  OpenExistingArchive(source, source_path);
  platform::FileSystem& files = context.env.files();
  const std::string into_folder = ExtractFilePath(into_path);
  if (!into_folder.empty() && !files.FileExists(into_path)) {
    files.MakeDirectories(ExcludeTrailingBackslash(into_folder));
  }
  TVrFileCollection into(context.env);
  into.OpenArchive(into_path, /*treat_as_file=*/true);
  const int before = into.Count();
  bool changed = false;
  {
    ProgressBar bar(context.err, context.err_is_terminal, "merge");
    into.OnProgress = EntryProgress(bar);
    changed = into.MergeFrom(source);
  }
  if (!changed) {
    context.out << "nothing to merge: " << DisplayPath(into_path) << " already holds every entry\n";
    return kExitOk;
  }
  // The end marker is gone after a change, so the new entries are all behind the old ones.
  const int end_marker = before > 0 ? 1 : 0;
  context.out << (into.Count() - before + end_marker) << " entries merged into "
              << DisplayPath(into_path) << "; directory in "
              << DisplayPath(ChangeFileExt(into_path, ".ext")) << "\n";
  return kExitOk;
}

}  // namespace

int RunPack(const std::vector<std::string>& args, CommandContext& context) {
  return Pack(args, context);
}
int RunMerge(const std::vector<std::string>& args, CommandContext& context) {
  return Merge(args, context);
}

}  // namespace koru::tools
