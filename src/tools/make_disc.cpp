// vfkit make-disc. A disc folder holds install.dat (the settings, with DiscIndex set to
// the disc), game.dat (every game file that is not a loose file, plus "install.dat" as an
// entry for the launcher) and the loose files named in ExtraFiles, copied beside them.
#include "tools/make_disc.h"

#include <nlohmann/json.hpp>
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"
#include "storage/vrfiles.h"
#include "tools/archive_files.h"
#include "tools/archive_tool.h"
#include "tools/settings_json.h"

namespace koru::tools {
namespace {

constexpr const char* kMakeDiscUsage =
    "usage: vfkit make-disc GAME-FOLDER SETTINGS.json -o OUT-DIR [options]\n"
    "\n"
    "Lays out complete disc folders from the game files in GAME-FOLDER and the install\n"
    "settings in SETTINGS.json (the form 'vfkit settings show' prints):\n"
    "  install.dat   the settings, version 108, DiscIndex set to the disc\n"
    "  game.dat      every game file that is not a loose file, plus \"install.dat\"\n"
    "  loose files   the files named in ExtraFiles (relative names, letter case\n"
    "                ignored; written to install.dat in lower case), copied beside them\n"
    "\n"
    "One disc (DiscCount 0 or 1): GAME-FOLDER holds the files and OUT-DIR becomes the disc.\n"
    "Several discs (DiscCount N > 1): GAME-FOLDER holds only the folders disc1 ... discN,\n"
    "each with the files of that disc; OUT-DIR/disc1 ... OUT-DIR/discN are written.\n"
    "\n"
    "Per-disc sizes (DiscProgSizes, DiscDataSizes, DiscSoundSizes, DiscMovieSizes) left 0\n"
    "are measured: what the file takes on the disc (stored bytes in game.dat, file size of\n"
    "a loose file). Sound (.mp2 .mp3 .wma .wav .mid .ogg) and movie (.avi .wmv .asf .mpg\n"
    ".mpeg) by extension; program: other loose files and .exe/.dll entries; data: the\n"
    "rest. Totals (ProgSize ...) left 0 become the sums over the discs. With ExtractFiles\n"
    "the loose files are stored in game.dat too, as separate files.\n"
    "  --setup PROGRAM       lay PROGRAM (the setup program) on every disc as setup.exe,\n"
    "                        and as install.exe among the loose files (added to\n"
    "                        ExtraFiles), so that an installed game has its uninstaller\n"
    "  --separate PATTERN    mark matching game.dat entries as separate files (see pack)\n"
    "  --separate-list FILE  patterns, one a line\n"
    "  --force               write into an OUT-DIR that is not empty\n";

constexpr const char* kSettingsName = "install.dat";
constexpr const char* kArchiveName = "game.dat";
// The setup program on a disc, and its copy among the loose files that an installation
// keeps as the game's uninstaller.
constexpr const char* kSetupName = "setup.exe";
constexpr const char* kUninstallerName = "install.exe";

std::string ReadTextFile(platform::Env& env, const std::string& path) {
  std::unique_ptr<platform::File> file = env.files().OpenFile(path, ReadOptions());
  const int64_t size = file->GetSize();
  constexpr int64_t kMaxSettingsJson = 64 << 20;
  if (size < 0 || size > kMaxSettingsJson) {
    throw KoruError(Format("%s: too large for a settings file", path.c_str()));
  }
  std::string text(static_cast<size_t>(size), '\0');
  file->ReadExact(text.data(), size);
  return text;
}

TKoruInstallSet LoadSettingsJson(platform::Env& env, const std::string& path) {
  nlohmann::json json;
  try {
    json = nlohmann::json::parse(ReadTextFile(env, path));
  } catch (const nlohmann::json::exception& error) {
    throw KoruError(Format("%s: %s", path.c_str(), Utf8ToSjis(error.what()).c_str()));
  }
  TKoruInstallSet settings = InstallSetFromJson(json);
  for (std::string& name : settings.ExtraFiles) name = AsciiLower(ReplaceChar(name, '/', '\\'));
  if (settings.DiscCount < 1) settings.SetDiscCount(1);
  return settings;
}

// Names a loose file may not have: the disc's own files.
bool IsDiscFileName(const std::string& name) {
  const std::string lower = AsciiLower(name);
  if (lower == kSettingsName || lower == kArchiveName || lower == "game.ext" ||
      lower == kSetupName) {
    return true;
  }
  return lower.size() == 8 && lower.compare(0, 5, "game.") == 0 &&
         lower.find_first_not_of("0123456789", 5) == std::string::npos;
}

// A big stream that only counts what is written to it, to learn the stored size of an
// entry without keeping its bytes.
class CountingStream : public TKwBigStream {
 public:
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  int64_t Write(const void*, int64_t count) override { return Count(count); }
  int64_t CopyFromBig(TKwBigStream& source, int64_t count) override {
    if (count == 0) count = source.GetSize();
    source.SetPosition(source.GetPosition() + count);
    return Count(count);
  }
  int64_t CopyFromStream(Stream& source, int64_t count) override {
    if (count == 0) {
      count = source.GetSize();
      source.SetPosition(count);
    } else {
      source.SetPosition(source.GetPosition() + count);
    }
    return Count(count);
  }

 private:
  int64_t Count(int64_t count) {
    size_ += count;
    return count;
  }
  int64_t size_ = 0;
};

struct DiscFile {
  std::string name;  // relative, "\" between folders
  bool loose = false;
  bool in_archive = false;
  bool separate = false;
  // Where the file comes from when not from the disc's game folder (the setup program).
  std::string source;
};

struct Disc {
  std::string source;  // folder of the disc's game files, with "\"
  std::string target;  // disc folder to write, with "\"
  std::vector<DiscFile> files;
  DiscSizes sizes;
};

class DiscMaker {
 public:
  DiscMaker(CommandContext& context, TKoruInstallSet settings, NamePatterns separate,
            std::string setup_program)
      : context_(context),
        files_(context.env.files()),
        settings_(std::move(settings)),
        separate_(std::move(separate)),
        setup_program_(std::move(setup_program)) {
    if (!setup_program_.empty() && !settings_.IsExtraFile(kUninstallerName)) {
      settings_.ExtraFiles.push_back(kUninstallerName);
    }
  }

  void Plan(const std::string& game_folder, const std::string& out_folder);
  void Measure();
  void Write(uint32_t settings_time);
  void Warn();
  void Report(std::ostream& out) const;
  const TKoruInstallSet& settings() const { return settings_; }

 private:
  void PlanDisc(Disc& disc);
  std::unique_ptr<TVrFileCollection> ArchiveOf(const Disc& disc, const std::string* settings_bytes,
                                               uint32_t settings_time);
  void CopyLooseFiles(const Disc& disc);
  static std::string SourceOf(const Disc& disc, const DiscFile& file) {
    return file.source.empty() ? disc.source + file.name : file.source;
  }
  void Warning(const std::string& text) {
    context_.err << "vfkit make-disc: warning: " << text << "\n";
  }

  CommandContext& context_;
  platform::FileSystem& files_;
  TKoruInstallSet settings_;
  NamePatterns separate_;
  std::string setup_program_;
  std::vector<Disc> discs_;
};

void DiscMaker::Plan(const std::string& game_folder, const std::string& out_folder) {
  const std::string game = AddBackslash(game_folder);
  const std::string out = AddBackslash(out_folder);
  const int count = settings_.DiscCount;
  if (count == 1) {
    discs_.push_back({game, out, {}, {}});
  } else {
    // Several discs: the game folder holds nothing but disc1 ... discN.
    for (const platform::DirEntry& entry : files_.ListDirectory(game)) {
      const bool is_folder = (entry.attributes & platform::kAttrDirectory) != 0;
      bool known = false;
      for (int i = 1; i <= count && !known; ++i) {
        known = is_folder && EqualsIgnoreCase(entry.name, "disc" + std::to_string(i));
      }
      if (!known) {
        throw KoruError(
            Format("%s: with DiscCount %d the game folder may hold only the "
                   "folders disc1 to disc%d",
                   (game + entry.name).c_str(), count, count));
      }
    }
    for (int i = 1; i <= count; ++i) {
      const std::string name = "disc" + std::to_string(i);
      if (!files_.DirectoryExists(game + name)) {
        throw KoruError(Format("%s: missing (DiscCount is %d)", (game + name).c_str(), count));
      }
      discs_.push_back({game + name + "\\", out + name + "\\", {}, {}});
    }
  }
  for (Disc& disc : discs_) PlanDisc(disc);
}

void DiscMaker::PlanDisc(Disc& disc) {
  for (const std::string& name : ListRelativeFiles(context_.env, disc.source)) {
    if (!setup_program_.empty() && EqualsIgnoreCase(name, kUninstallerName)) {
      throw KoruError(
          Format("%s: --setup lays the setup program there itself", (disc.source + name).c_str()));
    }
    DiscFile file{name, settings_.IsExtraFile(name), false, false, {}};
    if (file.loose && IsDiscFileName(name)) {
      throw KoruError(Format("%s: a loose file may not have the name of the disc's own files",
                             (disc.source + name).c_str()));
    }
    if (!file.loose && EqualsIgnoreCase(name, kSettingsName)) {
      Warning(DisplayPath(disc.source + name) +
              " is left out: install.dat is built from the settings");
      continue;
    }
    file.in_archive = !file.loose || settings_.ExtractFiles;
    // In ExtractFiles mode the setup program unpacks separate-file entries instead of
    // copying the loose files, so the loose files travel in the archive as such.
    file.separate = file.in_archive && (file.loose || separate_.Matches(name));
    disc.files.push_back(file);
  }
  if (!setup_program_.empty()) {
    const bool extract = settings_.ExtractFiles;
    disc.files.push_back({kUninstallerName, true, extract, extract, setup_program_});
  }
}

std::unique_ptr<TVrFileCollection> DiscMaker::ArchiveOf(const Disc& disc,
                                                        const std::string* settings_bytes,
                                                        uint32_t settings_time) {
  auto archive_object = std::make_unique<TVrFileCollection>(context_.env);
  TVrFileCollection& archive = *archive_object;
  archive.SetFolder(disc.source);
  if (settings_bytes != nullptr) {
    TVrFile& entry = archive.AddEntry(kSettingsName);
    entry.Content = std::make_unique<MemoryStream>(
        std::vector<uint8_t>(settings_bytes->begin(), settings_bytes->end()));
    entry.FileTime = settings_time;
  }
  for (const DiscFile& file : disc.files) {
    if (!file.in_archive) continue;
    TVrFile& entry = archive.AddEntry(file.name);
    entry.SeparateFile = file.separate;
    if (!file.source.empty()) {
      // Not in the game folder: the entry carries the file's bytes and date itself.
      std::unique_ptr<platform::File> source = files_.OpenFile(file.source, ReadOptions());
      auto content = std::make_unique<MemoryStream>();
      content->SetSize(source->GetSize());
      source->ReadExact(content->Data(), content->GetSize());
      entry.Content = std::move(content);
      entry.FileTime = files_.GetFileDosTime(file.source).value_or(0);
    }
  }
  return archive_object;
}

void DiscMaker::Measure() {
  bool any_unknown = false;
  for (const std::vector<int64_t>* sizes : {&settings_.DiscProgSizes, &settings_.DiscDataSizes,
                                            &settings_.DiscSoundSizes, &settings_.DiscMovieSizes}) {
    for (int64_t size : *sizes) any_unknown = any_unknown || size == 0;
  }
  // The stored size of an entry is known only once it is compressed: each entry is
  // written once into a counter, the same way SaveTo will write it.
  for (Disc& disc : discs_) {
    if (!any_unknown) break;
    const std::unique_ptr<TVrFileCollection> archive = ArchiveOf(disc, nullptr, 0);
    int index = 0;
    for (const DiscFile& file : disc.files) {
      if (!file.in_archive) {
        disc.sizes.Add(ComponentOf(file.name, true),
                       files_.GetFileSize(SourceOf(disc, file)).value_or(0));
        continue;
      }
      TVrFile& entry = archive->Entry(index++);
      if (file.loose) {
        // A loose file that also travels as a separate file counts once, as installed.
        disc.sizes.Add(ComponentOf(file.name, true),
                       files_.GetFileSize(SourceOf(disc, file)).value_or(0));
        continue;
      }
      CountingStream counter;
      archive->WriteEntryData(entry, counter);
      disc.sizes.Add(ComponentOf(file.name, false), counter.GetSize());
    }
  }
  std::vector<DiscSizes> measured;
  for (const Disc& disc : discs_) measured.push_back(disc.sizes);
  FillComponentSizes(settings_, measured);
}

void DiscMaker::CopyLooseFiles(const Disc& disc) {
  for (const DiscFile& file : disc.files) {
    if (!file.loose) continue;
    const std::string source = SourceOf(disc, file);
    const std::string target = disc.target + file.name;
    files_.MakeDirectories(ExcludeTrailingBackslash(ExtractFilePath(target)));
    if (!files_.CopyFileTo(source, target, /*fail_if_exists=*/false)) {
      throw KoruError(Format("%s: cannot copy to %s", source.c_str(), target.c_str()));
    }
    if (std::optional<uint32_t> time = files_.GetFileDosTime(source)) {
      files_.SetFileDosTime(target, *time);
    }
  }
}

void DiscMaker::Write(uint32_t settings_time) {
  for (size_t i = 0; i < discs_.size(); ++i) {
    Disc& disc = discs_[i];
    TKoruInstallSet disc_settings = settings_;
    disc_settings.DiscIndex = static_cast<int32_t>(i);
    MemoryStream settings_stream;
    disc_settings.SaveToStream(settings_stream);
    const std::string settings_bytes(settings_stream.Bytes().begin(),
                                     settings_stream.Bytes().end());

    if (!files_.MakeDirectories(ExcludeTrailingBackslash(disc.target))) {
      throw KoruError(Format("%s: cannot create the folder", disc.target.c_str()));
    }
    disc_settings.SaveToFile(context_.env, disc.target + kSettingsName);
    const std::string archive_path = disc.target + kArchiveName;
    const std::unique_ptr<TVrFileCollection> archive =
        ArchiveOf(disc, &settings_bytes, settings_time);
    archive->OnError = [this](const std::string& line) {
      context_.err << "vfkit make-disc: " << SjisToUtf8(line) << "\n";
    };
    {
      TKwBigFileStream out(files_, archive_path, kModeCreate);
      ProgressBar bar(context_.err, context_.err_is_terminal, "disc" + std::to_string(i + 1));
      archive->OnProgress = EntryProgress(bar);
      archive->SaveTo(out);
    }
    CopyLooseFiles(disc);
    if (!setup_program_.empty() &&
        !files_.CopyFileTo(setup_program_, disc.target + kSetupName, /*fail_if_exists=*/false)) {
      throw KoruError(Format("%s: cannot copy to %s", setup_program_.c_str(),
                             (disc.target + kSetupName).c_str()));
    }

    // Read the disc back as the setup program will, so that a bad disc is caught here.
    TVrFileCollection check(context_.env);
    OpenExistingArchive(check, archive_path);
    if (!check.VerifyChecksums()) {
      throw KoruError(Format("%s: the written archive does not verify", archive_path.c_str()));
    }
  }
}

void DiscMaker::Warn() {
  auto on_disc = [this](const std::string& name, bool loose_only) {
    for (const Disc& disc : discs_) {
      for (const DiscFile& file : disc.files) {
        if (EqualsIgnoreCase(file.name, name) && (!loose_only || file.loose)) return true;
      }
    }
    return false;
  };
  for (const std::string& name : settings_.ExtraFiles) {
    if (!on_disc(name, true))
      Warning("ExtraFiles names " + ToDisplay(name) + ", which is on no disc");
  }
  if (!settings_.ExeFile.empty() && !on_disc(settings_.ExeFile, true)) {
    Warning("ExeFile " + ToDisplay(settings_.ExeFile) +
            " is not a loose file (list it in ExtraFiles), so it will not be installed");
  }
  if (!settings_.ReadmeFile.empty() && !on_disc(settings_.ReadmeFile, true)) {
    Warning("ReadmeFile " + ToDisplay(settings_.ReadmeFile) + " is not a loose file");
  }
  if (!settings_.BackImage.empty()) {
    bool found = false;
    for (const DiscFile& file : discs_.front().files) {
      found = found || (file.in_archive && EqualsIgnoreCase(file.name, settings_.BackImage));
    }
    if (!found) {
      Warning("BackImage " + ToDisplay(settings_.BackImage) +
              " is not in the first disc's archive");
    }
  }
  for (const std::string& pattern : separate_.Unused()) {
    Warning("--separate " + ToDisplay(pattern) + " matches no file");
  }
}

void DiscMaker::Report(std::ostream& out) const {
  static constexpr const char* kNames[4] = {"program", "data", "sound", "movie"};
  for (size_t i = 0; i < discs_.size(); ++i) {
    const Disc& disc = discs_[i];
    int loose = 0;
    int entries = 1;  // install.dat
    for (const DiscFile& file : disc.files) {
      loose += file.loose ? 1 : 0;
      entries += file.in_archive ? 1 : 0;
    }
    out << "disc " << (i + 1) << ": " << DisplayPath(disc.target) << " (" << entries
        << " entries in game.dat, " << loose << " loose files)";
    const std::vector<int64_t>* arrays[4] = {&settings_.DiscProgSizes, &settings_.DiscDataSizes,
                                             &settings_.DiscSoundSizes, &settings_.DiscMovieSizes};
    for (int c = 0; c < 4; ++c) out << " " << kNames[c] << " " << (*arrays[c])[i];
    out << "\n";
  }
}

}  // namespace

int ClassifyMediaFile(const std::string& extension) {
  if (extension.empty()) return 0;
  const std::string lower = AsciiLower(extension);
  if (std::string_view(".mp2.mp3.wma.wav.mid.ogg").find(lower) != std::string::npos) return 1;
  if (std::string_view(".avi.wmv.asf.mpg.mpeg").find(lower) != std::string::npos) return 2;
  return 0;
}

Component ComponentOf(const std::string& name, bool loose) {
  const std::string ext = ExtractFileExt(name);
  switch (ClassifyMediaFile(ext)) {
    case 1:
      return Component::kSound;
    case 2:
      return Component::kMovie;
    default:
      break;
  }
  if (loose || EqualsIgnoreCase(ext, ".exe") || EqualsIgnoreCase(ext, ".dll")) {
    return Component::kProgram;
  }
  return Component::kData;
}

void FillComponentSizes(TKoruInstallSet& settings, const std::vector<DiscSizes>& measured) {
  std::vector<int64_t>* arrays[4] = {&settings.DiscProgSizes, &settings.DiscDataSizes,
                                     &settings.DiscSoundSizes, &settings.DiscMovieSizes};
  int64_t* totals[4] = {&settings.ProgSize, &settings.DataSize, &settings.SoundSize,
                        &settings.MovieSize};
  for (int c = 0; c < 4; ++c) {
    int64_t sum = 0;
    for (size_t i = 0; i < arrays[c]->size() && i < measured.size(); ++i) {
      int64_t& value = (*arrays[c])[i];
      if (value == 0) value = measured[i].bytes[c];
      sum += value;
    }
    if (*totals[c] == 0) *totals[c] = sum;
  }
}

int RunMakeDisc(const std::vector<std::string>& raw, CommandContext& context) {
  static const CommandSyntax syntax{
      "make-disc", kMakeDiscUsage, 2, 2, {"o", "separate", "separate-list", "setup"}, {"force"}};
  int exit_code = kExitOk;
  const auto args = ParseCommandLine(raw, syntax, context, &exit_code);
  if (!args) return exit_code;
  const std::string out_folder = ArgToPath(args->Value("o").value_or(""));
  if (out_folder.empty()) {
    context.err << "vfkit make-disc: -o OUT-DIR is required\n" << kMakeDiscUsage;
    return kExitUsage;
  }
  platform::FileSystem& files = context.env.files();
  const std::string game_folder = ArgToPath(args->positional()[0]);
  const std::string settings_path = ArgToPath(args->positional()[1]);
  if (!files.DirectoryExists(game_folder)) {
    throw KoruError(Format("%s: no such folder", game_folder.c_str()));
  }
  if (files.FileExists(out_folder) ||
      (!args->Has("force") && !files.ListDirectory(AddBackslash(out_folder)).empty())) {
    throw KoruError(Format("%s: not an empty folder (--force writes into it)", out_folder.c_str()));
  }
  NamePatterns separate;
  for (const std::string& pattern : args->Values("separate")) separate.Add(ArgToPath(pattern));
  for (const std::string& list : args->Values("separate-list")) {
    separate.AddListFile(context.env, ArgToPath(list));
  }

  const std::string setup_program = ArgToPath(args->Value("setup").value_or(""));
  if (!setup_program.empty() && !files.FileExists(setup_program)) {
    throw KoruError(Format("%s: no such file", setup_program.c_str()));
  }
  DiscMaker maker(context, LoadSettingsJson(context.env, settings_path), std::move(separate),
                  setup_program);
  maker.Plan(game_folder, out_folder);
  maker.Measure();
  maker.Write(files.GetFileDosTime(settings_path).value_or(0));
  maker.Warn();
  maker.Report(context.out);
  return kExitOk;
}

}  // namespace koru::tools
