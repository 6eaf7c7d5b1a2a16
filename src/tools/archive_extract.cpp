// vfkit extract: writes entries of an archive into a folder. Entry names come from the
// archive, so every one goes through SafeEntryPath before anything is created.
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "storage/entry_names.h"
#include "tools/archive_tool.h"

namespace koru::tools {
namespace {

constexpr const char* kExtractUsage =
    "usage: vfkit extract ARCHIVE [NAMES...] [-C DIR]\n"
    "\n"
    "Writes every entry of ARCHIVE, or only the NAMES given (letter case ignored, \"/\"\n"
    "or \"\\\" between folders), below DIR (default: the current folder), creating\n"
    "folders as needed and giving each file the entry's time. Entries superseded by a\n"
    "merge are skipped. A name that is absolute, carries a drive or climbs out of DIR\n"
    "is refused and nothing is written for it; the exit code is then 3.\n";

void WriteEntryFile(TVrFileCollection& archive, const TVrFile& entry, const std::string& path) {
  platform::FileSystem& files = archive.env().files();
  const std::string folder = ExtractFilePath(path);
  if (!folder.empty() && !files.MakeDirectories(ExcludeTrailingBackslash(folder))) {
    throw KoruError(Format("%s: cannot create the folder", folder.c_str()));
  }
  try {
    std::unique_ptr<platform::File> file = files.OpenFile(path, CreateOptions());
    archive.ExtractEntry(entry, *file);
    file->Flush();
  } catch (...) {
    // A half-written file would look like a good one.
    files.RemoveFile(path);
    throw;
  }
  if (entry.FileTime != 0) files.SetFileDosTime(path, entry.FileTime);
}

// The positions of the entries to write: the named ones (the entry a look-up finds, as
// the setup program would), or every entry that is neither superseded nor the end marker.
std::vector<int> ChooseEntries(const TVrFileCollection& archive,
                               const std::vector<std::string>& names) {
  std::vector<int> chosen;
  if (names.empty()) {
    for (int i = 0; i < archive.Count(); ++i) {
      if (!IsEndMarkerAt(archive, i) && !IsSupersededName(archive.Entry(i).Name())) {
        chosen.push_back(i);
      }
    }
    return chosen;
  }
  for (const std::string& name : names) {
    const int index = archive.IndexOf(name);
    if (index < 0 || IsEndMarkerAt(archive, index)) {
      throw KoruError(Format(kEntryMissingError, name.c_str()));
    }
    chosen.push_back(index);
  }
  return chosen;
}

}  // namespace

int RunExtract(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"extract", kExtractUsage, 1, SIZE_MAX, {"C"}, {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string folder = ArgToPath(args->Value("C").value_or("."));
  if (folder.empty()) {
    context.err << "vfkit extract: -C needs a folder\n" << kExtractUsage;
    return kExitUsage;
  }
  TVrFileCollection archive(context.env);
  OpenExistingArchive(archive, ArgToPath(args->positional()[0]));
  std::vector<std::string> names;
  for (size_t i = 1; i < args->positional().size(); ++i) {
    names.push_back(ArgToPath(args->positional()[i]));
  }
  const std::vector<int> chosen = ChooseEntries(archive, names);

  int64_t total = 0;
  for (int index : chosen) total += archive.Entry(index).Size;
  ProgressBar bar(context.err, context.err_is_terminal, "extract");
  int64_t done = 0;
  int written = 0;
  int refused = 0;
  for (int index : chosen) {
    const TVrFile& entry = archive.Entry(index);
    std::string path;
    try {
      path = SafeEntryPath(folder, entry.Name());
    } catch (const KoruError&) {
      bar.Finish();
      context.err << "vfkit extract: refused unsafe name: " << DisplayName(entry.Name()) << "\n";
      ++refused;
      continue;
    }
    WriteEntryFile(archive, entry, path);
    ++written;
    done += entry.Size;
    bar.Update(done, total);
  }
  bar.Finish();
  context.out << written << " files written to " << DisplayPath(folder) << "\n";
  if (refused > 0) {
    context.err << "vfkit extract: " << refused << " entries with unsafe names were not written\n";
    return kExitError;
  }
  return kExitOk;
}

}  // namespace koru::tools
