// vfkit sfx: an executable that carries its archive behind it.
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "storage/exe_archive.h"
#include "tools/archive_tool.h"

namespace koru::tools {
namespace {

constexpr const char* kSfxUsage =
    "usage: vfkit sfx EXE ARCHIVE -o OUT\n"
    "\n"
    "Copies the executable EXE to OUT and appends ARCHIVE (a complete archive as pack\n"
    "writes it: its directory at its start, one volume, no \".ext\") with the 6-byte\n"
    "trailer, so that OUT carries its archive (vfkit list OUT reads it).\n";

bool IsExecutablePath(const std::string& path) {
  const std::string ext = AsciiUpper(ExtractFileExt(path));
  return ext == ".EXE" || ext == ".SCR";
}

int Sfx(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{"sfx", kSfxUsage, 2, 2, {"o"}, {}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string output = ArgToPath(args->Value("o").value_or(""));
  if (output.empty()) {
    context.err << "vfkit sfx: -o OUT is required\n" << kSfxUsage;
    return kExitUsage;
  }
  const std::string exe = ArgToPath(args->positional()[0]);
  const std::string archive_path = ArgToPath(args->positional()[1]);
  if (EqualsIgnoreCase(output, exe) || EqualsIgnoreCase(output, archive_path)) {
    throw KoruError("OUT must differ from EXE and ARCHIVE");
  }
  platform::FileSystem& files = context.env.files();
  if (!files.FileExists(exe)) throw KoruError(Format("%s: no such file", exe.c_str()));
  // Only a self-contained archive file can stand behind an executable: its offsets
  // count from its own first byte.
  if (files.FileExists(ChangeFileExt(archive_path, ".ext")) || IsExecutablePath(archive_path)) {
    throw KoruError(Format("%s: not a self-contained archive (its directory is elsewhere)",
                           archive_path.c_str()));
  }
  {
    TVrFileCollection archive(context.env);
    OpenExistingArchive(archive, archive_path);
    const TKwBigFileStream* stream = archive.ArchiveFileStream();
    if (stream != nullptr && stream->VolumeCount() > 1) {
      throw KoruError(
          Format("%s: an archive of several volumes cannot be appended", archive_path.c_str()));
    }
  }
  const std::string output_folder = ExtractFilePath(output);
  if (!output_folder.empty()) files.MakeDirectories(ExcludeTrailingBackslash(output_folder));
  if (!files.CopyFileTo(exe, output, /*fail_if_exists=*/false)) {
    throw KoruError(Format("%s: cannot copy to %s", exe.c_str(), output.c_str()));
  }
  try {
    AppendArchiveToExe(context.env, output, archive_path);
    TVrFileCollection check(context.env);
    OpenExistingArchive(check, output);
  } catch (...) {
    files.RemoveFile(output);
    throw;
  }
  context.out << DisplayPath(output) << ": " << DisplayPath(exe) << " with "
              << DisplayPath(archive_path) << " appended\n";
  return kExitOk;
}

}  // namespace

int RunSfx(const std::vector<std::string>& args, CommandContext& context) {
  return Sfx(args, context);
}

}  // namespace koru::tools
