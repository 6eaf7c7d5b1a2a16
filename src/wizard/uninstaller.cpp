#include "wizard/uninstaller.h"

#include <optional>
#include <string_view>
#include <vector>

#include "base/sjis.h"
#include "settings/file_routines.h"
#include "settings/folders.h"
#include "settings/paths.h"
#include "storage/entry_names.h"
#include "wizard/form_type.h"
#include "wizard/shell_link.h"

namespace koru {
namespace {

constexpr uint32_t kShortcutPauseMs = 3000;
constexpr uint32_t kRegistryPauseMs = 1000;

bool IsSeparatorAt(std::string_view path, size_t i) {
  return CharLengthAt(path, i) == 1 && (path[i] == '\\' || path[i] == '/');
}

bool IsDriveLetter(std::string_view drive) {
  return drive.size() == 2 && drive[1] == ':' &&
         ((drive[0] >= 'A' && drive[0] <= 'Z') || (drive[0] >= 'a' && drive[0] <= 'z'));
}

// "\\server\share", both names plain.
bool IsShareRoot(std::string_view drive) {
  if (!drive.starts_with("\\\\")) return false;
  const size_t cut = FindFirstChar(drive, '\\', 2);
  return cut != std::string_view::npos && IsSafeEntryName(std::string(drive.substr(2, cut - 2))) &&
         IsSafeEntryName(std::string(drive.substr(cut + 1)));
}

bool IsLink(platform::FileSystem& files, const std::string& path) {
  const std::optional<uint32_t> attributes = files.GetAttributes(path);
  return attributes && (*attributes & kAttrReparsePoint) != 0;
}

bool IsFolderEntry(const platform::DirEntry& entry) {
  return (entry.attributes & platform::kAttrDirectory) != 0;
}

// The install folder of the running wizard, or empty (see RemovableInstallFolder).
std::string InstallFolder(const TFormType& form) {
  return RemovableInstallFolder(form.SourceFolder());
}

// The game's per-user save-data folders, each with a trailing backslash; links are left
// out, since deleting through one could reach another folder's save.dat.
std::vector<std::string> UserSaveFolders(platform::Env& env, const std::string& title) {
  std::vector<std::string> folders;
  ResolveUserFolders(env, title, folders);
  std::erase_if(folders, [&](const std::string& folder) {
    return IsLink(env.files(), ExcludeTrailingBackslash(folder));
  });
  return folders;
}

bool SaveDataExists(platform::Env& env, const std::string& install_folder,
                    const std::string& title) {
  platform::FileSystem& files = env.files();
  if (!install_folder.empty() && files.FileExists(install_folder + kSaveDataName)) return true;
  for (const std::string& folder : UserSaveFolders(env, title)) {
    if (files.FileExists(folder + kSaveDataName)) return true;
  }
  return false;
}

void DeleteInstalledFiles(platform::Env& env, const TKoruInstallSet& settings,
                          const std::string& install_folder) {
  for (int32_t i = 0; i < settings.InstalledFileCount(); ++i) {
    const std::string path = InstalledFilePath(env, install_folder, settings.InstalledFileAt(i));
    if (path.empty()) continue;
    ClearReadOnly(env, path);
    env.files().RemoveFile(path);
  }
}

void DeleteSaveData(platform::Env& env, const std::string& install_folder,
                    const std::string& title) {
  platform::FileSystem& files = env.files();
  if (!install_folder.empty() && files.FileExists(install_folder + kSaveDataName)) {
    files.RemoveFile(install_folder + kSaveDataName);
  }
  for (const std::string& folder : UserSaveFolders(env, title)) {
    if (!files.FileExists(folder + kSaveDataName)) continue;
    files.RemoveFile(folder + kSaveDataName);
    // Goes only when the save data was all it held.
    files.RemoveDirectoryAt(ExcludeTrailingBackslash(folder));
  }
}

}  // namespace

std::string RemovableInstallFolder(const std::string& folder) {
  const std::string drive = ExtractFileDrive(folder);
  if (!IsDriveLetter(drive) && !IsShareRoot(drive)) return {};
  const std::string_view rest = std::string_view(folder).substr(drive.size());
  if (rest.empty() || !IsSeparatorAt(rest, 0)) return {};
  std::string below(rest.substr(1));
  if (EndsWithChar(below, '\\') || EndsWithChar(below, '/')) below.pop_back();
  if (!IsSafeEntryName(below)) return {};
  return AddBackslash(folder);
}

std::string InstalledFilePath(platform::Env& env, const std::string& install_folder,
                              const std::string& name) {
  if (install_folder.empty() || !IsSafeEntryName(name)) return {};
  platform::FileSystem& files = env.files();
  // Every folder on the way, then the entry itself.
  for (size_t i = 0; i < name.size(); i += CharLengthAt(name, i)) {
    if (IsSeparatorAt(name, i) && IsLink(files, install_folder + name.substr(0, i))) return {};
  }
  const std::string path = install_folder + name;
  return IsLink(files, path) ? std::string() : path;
}

void RemoveShortcuts(platform::Env& env, const std::string& title) {
  DeleteShortcutFolder(env, env.system().IsNtFamily() ? lnkCommonPrograms : lnkPrograms, title);
}

void RemoveEmptyFolders(platform::Env& env, const std::string& folder) {
  platform::FileSystem& files = env.files();
  const std::string base = AddBackslash(folder);
  for (const platform::DirEntry& entry : files.ListDirectory(base)) {
    if (IsFolderEntry(entry) && (entry.attributes & kAttrReparsePoint) == 0) {
      RemoveEmptyFolders(env, base + entry.name);
    }
  }
  if (files.ListDirectory(base).empty()) files.RemoveDirectoryAt(ExcludeTrailingBackslash(base));
}

void Uninstaller::EnterUninstPage(TFormType& form) {
  const bool found = SaveDataExists(form.env(), InstallFolder(form), form.settings().Title);
  form.view().SetVisible(kIdCheckDelSave, found);
  form.view().SetChecked(kIdCheckDelSave, false);
}

void Uninstaller::EnterDeletePage(TFormType& form) {
  platform::Env& env = form.env();
  platform::FormView& view = form.view();
  const TKoruInstallSet& settings = form.settings();

  view.SetText(kIdLabelDelTitle, settings.Title + " を削除しています");
  view.SetVisible(kIdBtnNext, false);
  view.SetText(kIdLabelDel, "ショートカットを削除しています...");
  form.ProcessMessages();
  if (form.ModalResult() == platform::kResultAbort) return;

  RemoveShortcuts(env, settings.Title);
  env.system().SleepMs(kShortcutPauseMs);
  form.BringToFront();

  // The folder choice still shows the install folder, which is about to go.
  const std::string windows = env.system().WindowsFolder();
  if (!windows.empty()) view.SetText(kIdDrive, std::string(1, windows[0]));
  view.SetText(kIdDirectory, windows);

  view.SetText(kIdLabelDel, "ファイルを削除しています...");
  form.ProcessMessages();
  if (form.ModalResult() == platform::kResultAbort) return;

  const std::string install_folder = InstallFolder(form);
  DeleteInstalledFiles(env, settings, install_folder);
  if (view.Visible(kIdCheckDelSave) && view.Checked(kIdCheckDelSave)) {
    DeleteSaveData(env, install_folder, settings.Title);
  }
  if (!install_folder.empty()) {
    env.files().RemoveFile(install_folder + kGameIniName);
    RemoveEmptyFolders(env, install_folder);
  }

  view.SetText(kIdLabelDel, "レジストリを削除しています...");
  form.ProcessMessages();
  settings.DeleteRegistryKey(env);
  env.system().SleepMs(kRegistryPauseMs);

  view.SetText(kIdLabelExit, kUninstallDoneText);
  form.ShowPage(kPageExit);
}

}  // namespace koru
