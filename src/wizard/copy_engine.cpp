#include "wizard/copy_engine.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/sjis.h"
#include "platform/user_interface.h"
#include "settings/file_routines.h"
#include "settings/folders.h"
#include "settings/install_set.h"
#include "settings/paths.h"
#include "settings/stream_copy.h"
#include "storage/bigstreams.h"
#include "storage/entry_names.h"
#include "storage/exe_archive.h"
#include "storage/vrfiles.h"
#include "wizard/form_type.h"
#include "wizard/replacement_file.h"
#include "wizard/shell_link.h"

namespace koru {
namespace {

using platform::kResultAbort;
using platform::kResultOk;

constexpr const char* kArchiveName = "game.dat";
constexpr const char* kSettingsName = "install.dat";
constexpr const char* kUninstallerName = "install.exe";
constexpr const char* kProjectEntry = "koru.kpb";
constexpr const char* kOriginalProjectEntry = "/original_koru.kpb";
// The update's entries become loose files in this sub-folder of the work folder. The
// engine's own files (the new executable, its archive, reserved entries) lie beside it,
// so no entry name can ever land on one of them.
constexpr const char* kEntryFolderName = "data\\";
// Reserved entries carried over keep their bytes in work files of these names.
constexpr const char* kReservedFileName = "~reserved%d";

// --- What failed and why -------------------------------------------------------------
// The one place that words a failure of the file layer: what failed (the program's text,
// naming the file) and the system's reason on a line of its own. Results that carry no
// reason give an empty one.

std::string FailureMessage(const std::string& what, const std::string& reason) {
  return reason.empty() ? what : what + "\r\n" + reason;
}
std::string ReasonOf(bool) { return std::string(); }
std::string ReasonOf(const platform::FileStatus& status) { return status.reason(); }
std::string ReasonOf(const KoruError& error) { return error.message(); }

[[noreturn]] void Fail(const std::string& what, const std::string& reason) {
  throw KoruError(FailureMessage(what, reason));
}

// Runs step, which returns a success flag (or status); its failure, or a KoruError it
// throws, becomes an error that says what failed and why.
template <typename Step>
void Require(const std::string& what, Step&& step) {
  std::optional<std::string> reason;
  try {
    const auto result = step();
    if (!result) reason = ReasonOf(result);
  } catch (const KoruError& error) {
    reason = ReasonOf(error);
  }
  if (reason) Fail(what, *reason);
}

// --------------------------------------------------------------------------------------

bool IsSuperseded(const std::string& name) { return !name.empty() && name[0] == '/'; }

int ProgressUnits(int64_t bytes) {
  const int64_t units = bytes / kProgressUnit;
  return static_cast<int>(std::clamp<int64_t>(units, 0, std::numeric_limits<int32_t>::max()));
}

void ShowCopyProgress(TFormType& form) {
  form.view().SetProgress(kIdProgress, ProgressUnits(form.CopiedSize()),
                          ProgressUnits(form.TotalSize()));
}

// A write-only stream that hands everything on to a file and keeps the CRC-32 of what
// went through, so a file is checked while it is written instead of being read back.
// A failure of the file is remembered: it is the target's fault, not the source's.
class TargetWriter : public Stream {
 public:
  explicit TargetWriter(platform::File& file) : file_(file) {}

  int64_t Read(void*, int64_t) override { throw KoruError(kStreamReadError); }
  int64_t Write(const void* buffer, int64_t count) override {
    if (file_.GetPosition() != written_) in_order_ = false;
    int64_t n = 0;
    try {
      n = file_.Write(buffer, count);
    } catch (const KoruError& error) {
      failure_ = error;
      throw;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
    for (int64_t done = 0; done < n;) {
      // zlib counts in 32-bit units.
      const uInt piece = static_cast<uInt>(std::min<int64_t>(n - done, 1 << 30));
      crc_ = crc32(crc_, bytes + done, piece);
      done += piece;
    }
    written_ += n;
    return n;
  }
  int64_t GetSize() override { return file_.GetSize(); }
  int64_t GetPosition() override { return file_.GetPosition(); }
  void SetPosition(int64_t position) override { file_.SetPosition(position); }
  void SetSize(int64_t size) override {
    in_order_ = false;
    file_.SetSize(size);
  }

  // The CRC-32 of the file's content.
  uint32_t Crc() {
    if (in_order_ && written_ == file_.GetSize()) return static_cast<uint32_t>(crc_);
    return StreamCrc32(file_);  // written out of order: read back
  }
  const std::optional<KoruError>& failure() const { return failure_; }

 private:
  platform::File& file_;
  uLong crc_ = 0;
  int64_t written_ = 0;
  bool in_order_ = true;
  std::optional<KoruError> failure_;
};

// Runs fill, which writes into writer: a failure of the target becomes what failed and
// why, a failure of the source passes on as it is.
template <typename Fill>
void FillTarget(const std::string& what, TargetWriter& writer, Fill&& fill) {
  try {
    fill();
  } catch (const KoruError&) {
    if (writer.failure()) Fail(what, ReasonOf(*writer.failure()));
    throw;
  }
}

platform::OpenOptions NewFileOptions() {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  return options;
}

// One run of the copy page. The destructor is the clean-up road of every way out: it
// frees the target archive and deletes the work folder.
class CopyRun {
 public:
  explicit CopyRun(TFormType& form)
      : form_(form),
        env_(form.env()),
        files_(form.env().files()),
        settings_(form.settings()),
        source_(form.SourceArchive() != nullptr ? form.SourceArchive() : &no_source_),
        no_source_(form.env()) {}
  ~CopyRun() { CleanUp(); }
  CopyRun(const CopyRun&) = delete;
  CopyRun& operator=(const CopyRun&) = delete;

  void Run();

 private:
  bool Aborted() const { return form_.ModalResult() == kResultAbort; }
  bool Checked(int id) { return form_.Checked(id); }
  void CleanUp() noexcept;

  void PrepareUpdate();
  void DeleteEarlierArchive();
  void OpenTargetArchive();
  bool ProcessDisc(int disc);
  bool ChangeDisc(int disc);
  void ReloadSettings(const std::string& path);
  bool CopyLooseFiles();
  bool CopyLooseFile(const std::string& path, const std::string& rel);
  bool BuildData();
  void UnpackUpdate();
  void CarryOver();
  void ExtractSeparateFiles();
  bool RebuildExe();
  bool Check();
  void Finish();
  void ReplaceExistingExe();
  void SaveSettings();

  // Writes an entry's content into a new file at path and dates it.
  void WriteEntryFile(TVrFileCollection& archive, const TVrFile& entry, const std::string& path);
  void InstallSeparateFile(const TVrFile& entry, const std::string& dest);
  // Saves settings as install.dat in the install folder, replacing the old one whole.
  void SaveSettingsFile(const TKoruInstallSet& settings);
  TVrFile& AddWorkEntry(const TVrFile& from);
  std::string ReservedWorkFile();

  TFormType& form_;
  platform::Env& env_;
  platform::FileSystem& files_;
  TKoruInstallSet& settings_;
  TVrFileCollection* source_;
  TVrFileCollection no_source_;
  std::unique_ptr<TVrFileCollection> target_;
  std::string target_folder_;
  std::string existing_exe_;
  std::string work_folder_;
  std::string new_exe_;
  int reserved_files_ = 0;
};

void CopyRun::CleanUp() noexcept {
  try {
    target_.reset();
    if (!work_folder_.empty()) DeleteFolderTree(env_, work_folder_);
  } catch (...) {
    // Clean-up failures leave files behind; they never hide the road being taken.
  }
  work_folder_.clear();
}

void CopyRun::Run() {
  platform::FormView& view = form_.view();
  view.SetVisible(kIdBtnBack, false);
  view.SetVisible(kIdBtnNext, false);
  view.SetCaption(kCopyCaption);
  form_.ProcessMessages();
  target_folder_ = form_.TargetFolder();

  PrepareUpdate();
  form_.SetCopiedSize(0);
  ShowCopyProgress(form_);
  DeleteEarlierArchive();
  OpenTargetArchive();

  // The disc range is fixed when the loop starts; a disc change may reload the settings.
  const int disc_count = settings_.DiscCount;
  for (int disc = 0; disc < disc_count; ++disc) {
    if (!Checked(kIdRadioDiskAll) && disc != settings_.DiscIndex) continue;
    if (!ProcessDisc(disc)) return;
  }
  if (!RebuildExe()) return;
  if (!Check()) return;
  Finish();
}

void CopyRun::PrepareUpdate() {
  if (!settings_.UpdateMode || files_.FileExists(target_folder_ + kSettingsName)) return;
  existing_exe_ = FindArchiveExe(env_, target_folder_, settings_.Title);
  work_folder_ = CreateWorkFolder(env_);
}

void CopyRun::DeleteEarlierArchive() {
  if (settings_.UpdateMode) return;
  const std::string archive = target_folder_ + kArchiveName;
  for (const std::string& path : {archive, ChangeFileExt(archive, ".ext")}) {
    if (files_.FileExists(path)) files_.RemoveFile(path);
  }
  // The volumes up to the first gap; one behind a gap is not the archive's.
  for (int n = 1; files_.FileExists(VolumeFileName(archive, n)); ++n) {
    files_.RemoveFile(VolumeFileName(archive, n));
  }
}

void CopyRun::OpenTargetArchive() {
  if (!Checked(kIdCheckData) && !settings_.ExtractFiles && !settings_.UpdateMode) return;
  target_ = std::make_unique<TVrFileCollection>(env_);
  if (!existing_exe_.empty()) {
    const std::string entries = work_folder_ + kEntryFolderName;
    files_.MakeDirectories(entries);
    target_->OpenArchive(entries, false);
  } else {
    target_->OpenArchive(target_folder_ + kArchiveName, true);
  }
  target_->OnProgress = [this](TVrFile&, int64_t size, int index, int count, bool& abort) {
    OnBuildProgress(form_, size, index, count, abort);
  };
  target_->OnError = [this](const std::string& line) { platform::ShowWarning(form_.ui(), line); };
}

bool CopyRun::ProcessDisc(int disc) {
  if (disc != settings_.DiscIndex && !ChangeDisc(disc)) return false;
  if (!settings_.ExtractFiles && !CopyLooseFiles()) return false;
  if ((Checked(kIdCheckData) || settings_.UpdateMode) && !BuildData()) return false;
  if (!existing_exe_.empty()) CarryOver();
  if (settings_.ExtractFiles) ExtractSeparateFiles();
  return true;
}

bool CopyRun::ChangeDisc(int disc) {
  source_->Open("");  // releases the disc
  const std::string settings_path = AddBackslash(form_.SourceFolder()) + kSettingsName;
  while (settings_.DiscIndex != disc) {
    const int answer = platform::ShowInformation(form_.ui(), Format(kDiscPrompt, disc + 1),
                                                 platform::MessageButtons::kOkAbort);
    if (answer == kResultOk) {
      env_.system().SleepMs(kDiscPauseMs);
      if (files_.FileExists(settings_path)) ReloadSettings(settings_path);
    } else if (platform::AskConfirmation(form_.ui(), kAbortInstallQuestion)) {
      form_.SetModalResult(kResultAbort);
      return false;
    }
  }
  source_->Open(AddBackslash(form_.SourceFolder()) + kArchiveName);
  return true;
}

void CopyRun::ReloadSettings(const std::string& path) {
  // The disc's settings replace every value, its (empty) list of installed files too;
  // the names recorded from the earlier discs must survive, or the uninstaller would
  // leave those files behind.
  std::vector<std::string> recorded = settings_.InstalledFiles;
  settings_.LoadFromFile(env_, path);
  std::vector<std::string> loaded = std::move(settings_.InstalledFiles);
  settings_.InstalledFiles = std::move(recorded);
  for (const std::string& name : loaded) settings_.AddInstalledFile(name);
}

bool CopyRun::CopyLooseFiles() {
  // Without a source folder there is nothing to list (and "\" would be a whole drive).
  if (form_.SourceFolder().empty()) return true;
  const std::string source_folder = AddBackslash(form_.SourceFolder());
  std::vector<std::string> listed;
  ListFolder(env_, source_folder, kListAllFilesMask, /*plain=*/true, "", /*clear=*/false,
             /*mark=*/false, /*recurse=*/true, listed, /*clear_list=*/true);
  std::vector<std::string> kept;
  for (const std::string& path : listed) {
    const std::string rel = path.substr(source_folder.size());
    if (!settings_.IsExtraFile(rel)) continue;
    if (!settings_.UpdateMode) {
      const int kind = ClassifyMediaFile(ExtractFileExt(path));
      if (kind == mkSound && !Checked(kIdCheckSound)) continue;
      if (kind == mkMovie && !Checked(kIdCheckMovie)) continue;
    }
    kept.push_back(path);
  }
  for (const std::string& path : kept) {
    if (!CopyLooseFile(path, path.substr(source_folder.size()))) return false;
  }
  return true;
}

bool CopyRun::CopyLooseFile(const std::string& path, const std::string& rel) {
  form_.SetCopiedSize(form_.CopiedSize() + GetFileSizeSafe(env_, path));
  ShowCopyProgress(form_);
  form_.view().SetText(kIdLabelCopy, Format(kCopyingLabel, ExtractFileName(path).c_str()));
  form_.ProcessMessages();
  if (Aborted()) return false;

  const std::string dest = target_folder_ + rel;
  if (!files_.MakeDirectories(ExtractFilePath(dest))) {
    platform::ShowWarning(form_.ui(), kNoFolderMessage);
    form_.SetModalResult(kResultOk);
    return false;
  }
  // A file that did not arrive is an error, and is not recorded as installed.
  Require(path + " --> " + dest + kCannotCopy,
          [&] { return CopyFileIfChanged(env_, path, dest, /*compare=*/false); });
  ClearReadOnly(env_, dest);
  settings_.AddInstalledFile(rel);
  return true;
}

bool CopyRun::BuildData() {
  if (target_->IndexOf(kOriginalProjectEntry) < 0) {
    const int project = target_->IndexOf(kProjectEntry);
    if (project >= 0) target_->Entry(project).SetName(kOriginalProjectEntry);
  }
  files_.MakeDirectories(target_folder_);
  if (!existing_exe_.empty()) {
    UnpackUpdate();
  } else if (target_->MergeFrom(*source_)) {
    settings_.AddInstalledFile(ChangeFileExt(kArchiveName, ".ext"));
  }
  if (Aborted()) return false;
  if (Checked(kIdCheckData) && !settings_.UpdateMode) settings_.DataInstalled = true;
  return true;
}

TVrFile& CopyRun::AddWorkEntry(const TVrFile& from) {
  TVrFile& added = target_->AddEntry(from.Name());
  added.FileTime = from.FileTime;
  added.Size = from.Size;
  added.Uncompressed = from.Uncompressed;
  added.Crc = from.Crc;
  return added;
}

void CopyRun::UnpackUpdate() {
  for (int i = 0; i < source_->Count(); ++i) {
    const TVrFile& entry = source_->Entry(i);
    // The end marker is no file, and an entry the update itself superseded is dead data.
    if (entry.SeparateFile || entry.Name() == kEndMarkerName || IsSuperseded(entry.Name())) {
      continue;
    }
    WriteEntryFile(*source_, entry, SafeEntryPath(target_->Folder(), entry.Name()));
    AddWorkEntry(entry);
  }
}

std::string CopyRun::ReservedWorkFile() {
  std::string path;
  do {
    path = work_folder_ + Format(kReservedFileName, ++reserved_files_);
  } while (files_.FileExists(path));
  return path;
}

void CopyRun::CarryOver() {
  TVrFileCollection installed(env_);
  installed.Open(existing_exe_);
  for (int i = 0; i < installed.Count(); ++i) {
    const TVrFile& entry = installed.Entry(i);
    if (entry.Name() == kEndMarkerName || target_->IndexOf(entry.Name()) >= 0) continue;
    if (IsSuperseded(entry.Name())) {
      // A reserved name is no path: its bytes wait in a work file of ours and travel as
      // the entry's content.
      const std::string path = ReservedWorkFile();
      WriteEntryFile(installed, entry, path);
      platform::OpenOptions options;
      options.access = platform::FileAccess::kRead;
      options.share = platform::FileShare::kRead;
      AddWorkEntry(entry).Content = files_.OpenFile(path, options);
    } else {
      WriteEntryFile(installed, entry, SafeEntryPath(target_->Folder(), entry.Name()));
      AddWorkEntry(entry);
    }
  }
}

void CopyRun::WriteEntryFile(TVrFileCollection& archive, const TVrFile& entry,
                             const std::string& path) {
  const std::string what = path + "\r\n" + kCannotCreateFile;
  files_.MakeDirectories(ExtractFilePath(path));
  {
    std::unique_ptr<platform::File> file;
    Require(what, [&] { return (file = files_.OpenFile(path, NewFileOptions())) != nullptr; });
    TargetWriter writer(*file);
    FillTarget(what, writer, [&] { archive.ExtractEntry(entry, writer); });
  }
  files_.SetFileDosTime(path, entry.FileTime);
}

void CopyRun::ExtractSeparateFiles() {
  const std::string exe_name = ExtractFileName(existing_exe_);
  for (int i = 0; i < source_->Count(); ++i) {
    const TVrFile& entry = source_->Entry(i);
    const std::string& name = entry.Name();
    if (!entry.SeparateFile || name == kSettingsName || IsSuperseded(name) ||
        name == kEndMarkerName || (!exe_name.empty() && EqualsIgnoreCase(name, exe_name))) {
      continue;
    }
    const std::string dest = SafeEntryPath(target_folder_, name);
    if (settings_.InstallType != 2 && files_.FileExists(dest)) {
      const std::optional<uint32_t> time = files_.GetFileDosTime(dest);
      if (time && static_cast<int32_t>(*time) >= static_cast<int32_t>(entry.FileTime)) {
        settings_.AddInstalledFile(name);
        continue;
      }
    }
    files_.MakeDirectories(ExtractFilePath(dest));
    InstallSeparateFile(entry, dest);
    settings_.AddInstalledFile(name);
  }
}

void CopyRun::InstallSeparateFile(const TVrFile& entry, const std::string& dest) {
  const std::string what = dest + "\r\n" + kCannotCreateFile;
  ReplacementFile replacement(env_, dest);
  platform::File* file = nullptr;
  Require(what, [&] { return (file = &replacement.Create()) != nullptr; });
  TargetWriter writer(*file);
  FillTarget(what, writer, [&] { source_->ExtractEntry(entry, writer); });
  // A damaged entry never replaces a file that is there.
  if (writer.Crc() != entry.Crc) throw KoruError(kBrokenFileError);
  Require(what, [&] { return replacement.PutInPlace(entry.FileTime); });
}

bool CopyRun::RebuildExe() {
  if (existing_exe_.empty()) return true;
  const std::string name = ExtractFileName(existing_exe_);
  new_exe_ = work_folder_ + "~" + name;
  if (source_->IndexOf(name) < 0) {
    // The executable part of the installed file: its bytes before the appended archive.
    platform::OpenOptions read;
    read.access = platform::FileAccess::kRead;
    read.share = platform::FileShare::kRead;
    std::unique_ptr<platform::File> exe = files_.OpenFile(existing_exe_, read);
    const int64_t size = exe->GetSize();
    if (size < 6) throw KoruError(kCorruptArchiveError);
    uint8_t start_bytes[4] = {};
    exe->SetPosition(size - 6);
    exe->ReadExact(start_bytes, 4);
    const int32_t start = LoadInt32(start_bytes);
    if (start < 0 || start > size - 6) throw KoruError(kCorruptArchiveError);
    const std::string what = new_exe_ + "\r\n" + kCannotCreateFile;
    std::unique_ptr<platform::File> out;
    Require(what, [&] { return (out = files_.OpenFile(new_exe_, NewFileOptions())) != nullptr; });
    TargetWriter writer(*out);
    exe->SetPosition(0);
    if (start > 0) FillTarget(what, writer, [&] { CopyStreamData(writer, *exe, start); });
  } else {
    WriteEntryFile(*source_, source_->Entry(source_->IndexOf(name)), new_exe_);
  }
  const std::string pack = work_folder_ + kUpdatePackName;
  {
    TKwBigFileStream out(files_, pack, kModeCreate);
    if (!target_->SaveTo(out)) return false;  // cancelled: the modal result is 3
  }
  AppendArchiveToExe(env_, new_exe_, pack);
  target_->Open(new_exe_);
  return true;
}

bool CopyRun::Check() {
  // No archive was written (separate files only): there is nothing to check.
  if (target_ == nullptr || target_->ArchiveStream() == nullptr) return true;
  target_->OnProgress = [this](TVrFile&, int64_t, int index, int count, bool& abort) {
    OnCheckProgress(form_, index, count, abort);
  };
  form_.view().SetText(kIdLabelCopyCap, kCheckCaption);
  if (!target_->VerifyChecksums()) {
    platform::ShowWarning(form_.ui(), kBadDataMessage);
    form_.SetModalResult(kResultAbort);
    return false;
  }
  return !Aborted();
}

void CopyRun::Finish() {
  if (!existing_exe_.empty()) ReplaceExistingExe();
  if (target_ != nullptr) {
    if (const TKwBigFileStream* stream = target_->ArchiveFileStream()) {
      for (int v = 0; v < stream->VolumeCount(); ++v) {
        settings_.AddInstalledFile(ExtractFileName(stream->VolumeFileName(v)));
      }
    }
  }
  CleanUp();

  if (settings_.InstallType != 2 && existing_exe_.empty()) {
    platform::FormView& view = form_.view();
    settings_.Uninstaller = true;
    settings_.AddInstalledFile(kSettingsName);
    SaveSettings();
    if (!settings_.UpdateMode) {
      view.SetText(kIdLabelCopyCap, kShortcutCaption);
      view.SetVisible(kIdLabelCopy, false);
      view.SetVisible(kIdProgress, false);
      form_.ProcessMessages();
      CreateShortcuts(form_);
      env_.system().SleepMs(kShortcutPauseMs);
      form_.BringToFront();
    }
    settings_.WriteRegValue(env_, kRegInstallPath, target_folder_);
    view.SetText(kIdLabelCopyCap, kRegistryCaption);
    form_.ProcessMessages();
    env_.system().SleepMs(kRegistryPauseMs);
  }
  OpenReadme(form_);
  form_.ShowPage(form_.CurrentPage() + 1);
}

void CopyRun::ReplaceExistingExe() {
  // The new executable is copied whole beside the old one and then takes its place, so a
  // failure (a full disc, the game running) leaves the old one working.
  const std::string what = new_exe_ + " --> " + existing_exe_ + kCannotCopy;
  ClearReadOnly(env_, existing_exe_);
  ReplacementFile replacement(env_, existing_exe_);
  Require(what, [&] { return replacement.CopyFrom(new_exe_); });
  Require(what, [&] { return replacement.PutInPlace(); });
}

void CopyRun::SaveSettings() {
  const std::string path = target_folder_ + kSettingsName;
  if (settings_.UpdateMode && files_.FileExists(path)) {
    TKoruInstallSet installed;
    installed.LoadFromFile(env_, path);
    for (const std::string& name : settings_.InstalledFiles) installed.AddInstalledFile(name);
    SaveSettingsFile(installed);
  } else {
    SaveSettingsFile(settings_);
  }
}

void CopyRun::SaveSettingsFile(const TKoruInstallSet& settings) {
  const std::string path = target_folder_ + kSettingsName;
  // An install of the program component whose loose files are all elsewhere (a
  // self-contained package) has created no folder yet; its uninstaller needs one.
  files_.MakeDirectories(ExcludeTrailingBackslash(target_folder_));
  ReplacementFile replacement(env_, path);
  Require(path + "\r\n" + kCannotCreateFile, [&] {
    settings.SaveToStream(replacement.Create());
    return replacement.PutInPlace();
  });
}

}  // namespace

int ClassifyMediaFile(std::string_view extension) {
  if (extension.empty()) return mkOther;
  const std::string lower = AsciiLower(extension);
  if (std::string_view(kSoundExtensions).find(lower) != std::string_view::npos) return mkSound;
  if (std::string_view(kMovieExtensions).find(lower) != std::string_view::npos) return mkMovie;
  return mkOther;
}

void DeleteFolderTree(platform::Env& env, const std::string& folder) {
  std::vector<std::string> entries;
  ListFolder(env, folder, kListAllFilesMask | platform::kAttrDirectory, /*plain=*/true, "",
             /*clear=*/false, /*mark=*/true, /*recurse=*/false, entries, /*clear_list=*/true);
  for (const std::string& entry : entries) {
    if (EndsWithChar(entry, '\\')) {
      DeleteFolderTree(env, entry);
    } else {
      env.files().RemoveFile(entry);
    }
  }
  env.files().RemoveDirectoryAt(ExcludeTrailingBackslash(folder));
}

std::string CreateWorkFolder(platform::Env& env) {
  platform::FileSystem& files = env.files();
  const std::string temp = AddBackslash(env.system().TempFolder());
  std::string folder = temp + kWorkFolderName + "\\";
  for (int n = 2; files.DirectoryExists(folder); ++n) {
    if (n > kMaxWorkFolderNumber) throw KoruError(kWorkFolderError);
    folder = temp + Format("%s%d\\", kWorkFolderName, n);
  }
  files.MakeDirectories(folder);
  if (!files.DirectoryExists(folder)) throw KoruError(kWorkFolderError);
  return folder;
}

void OnBuildProgress(TFormType& form, int64_t size, int index, int count, bool& abort) {
  form.SetCopiedSize(form.CopiedSize() + size);
  // Repainting for each of many small entries would slow the merge down.
  if (index % 10 != 9 && size <= kLargeEntrySize) return;
  ShowCopyProgress(form);
  form.view().SetText(kIdLabelCopy, Format(kBuildingLabel, index + 1, count));
  form.ProcessMessages();
  abort = form.ModalResult() == kResultAbort;
}

void OnCheckProgress(TFormType& form, int index, int count, bool& abort) {
  form.view().SetProgress(kIdProgress, index, count - 1);
  form.view().SetText(kIdLabelCopy, Format(kCheckingLabel, index + 1, count));
  form.ProcessMessages();
  abort = form.ModalResult() == kResultAbort;
}

void CreateShortcuts(TFormType& form) {
  platform::Env& env = form.env();
  const TKoruInstallSet& settings = form.settings();
  const TShellLinkType kind = env.system().IsNtFamily() ? lnkCommonPrograms : lnkPrograms;
  const std::string folder = form.TargetFolder();
  auto link = [&](const std::string& name, const std::string& target, int icon_index) {
    CreateShortcut(env, name, target, /*arguments=*/"", /*description=*/name, folder, kind,
                   settings.Title, TWindowState::wsNormal, /*hot_key=*/0, icon_index);
  };
  link(settings.Title, folder + settings.ExeFile, 0);
  // Icon 1 of the setup program (install.exe) is its uninstall icon.
  link(settings.Title + kUninstallLinkSuffix, folder + kUninstallerName, 1);
  if (!settings.ReadmeFile.empty()) link(kReadmeLinkName, folder + settings.ReadmeFile, 0);
  OpenShortcutFolder(env, kind, settings.Title);
}

void OpenReadme(TFormType& form) {
  const TKoruInstallSet& settings = form.settings();
  if (settings.ReadmeFile.empty() || !settings.ShowReadme) return;
  const std::string folder = form.TargetFolder();
  form.env().shell().ShellOpen(folder + settings.ReadmeFile, "", folder, platform::kShowShow);
  form.env().system().SleepMs(kReadmePauseMs);
  form.BringToFront();
}

void CopyEngine::EnterCopyPage(TFormType& form) {
  CopyRun run(form);
  run.Run();
}

}  // namespace koru
