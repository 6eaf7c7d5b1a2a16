#pragma once

// The removal road's page entries. "uninst" offers to delete the save data; "delete"
// removes the Start-menu folder, the installed files, the save data if asked, the folders
// left empty and the registry key, then shows "exit". The install folder is the wizard's
// first argument (the installed program hands it to its temporary copy).
//
// install.dat lies in a folder the program trusts less than itself (it runs elevated), so
// nothing outside the install folder is deleted because of it: an InstalledFiles name
// that is not a plain relative path (absolute, with a drive, climbing with "..", naming a
// device; '/' separates like '\') is skipped, and so is one that passes through a junction
// or symbolic link. The empty-folder sweep never descends into such a link either.
//
// The copy entry belongs to the copy engine; CombinedPageActions puts both into one
// wizard.

#include <cstdint>
#include <string>

#include "platform/env.h"
#include "wizard/page_actions.h"

namespace koru {

inline constexpr const char* kSaveDataName = "save.dat";
inline constexpr const char* kGameIniName = "game.ini";
inline constexpr const char* kUninstallDoneText = "アンインストールが完了しました";

// The attribute bit of a junction or symbolic link (FILE_ATTRIBUTE_REPARSE_POINT): its
// content may lie outside the folder that holds it.
inline constexpr uint32_t kAttrReparsePoint = 0x400;

class Uninstaller : public PageActions {
 public:
  // Never reached: the removal road enables only "uninst", "delete" and "exit".
  void EnterCopyPage(TFormType&) override {}
  // Shows kIdCheckDelSave, unchecked, iff a save.dat lies in the install folder or in one
  // of the game's per-user folders.
  void EnterUninstPage(TFormType& form) override;
  // The removal. Polls for an abort twice: before the shortcuts go and before the files
  // go; from then on it runs to the end. Failures to delete are ignored.
  void EnterDeletePage(TFormType& form) override;
};

// The folder the removal works in: folder with a trailing backslash, or empty when it is
// not a full path (drive or share) with at least one plain folder below the root. An
// empty or relative folder would name the current folder, and a root would let the
// empty-folder sweep run over a whole drive.
std::string RemovableInstallFolder(const std::string& folder);

// install_folder + name, or empty when name may not be deleted: not a plain relative path
// (IsSafeEntryName), or leading through a junction or symbolic link below install_folder,
// or being one. REQUIRES: install_folder ends with a backslash.
std::string InstalledFilePath(platform::Env& env, const std::string& install_folder,
                              const std::string& name);

// Deletes the Start-menu folder named title: the all-users one on the NT family, the
// user's own otherwise. Throws EShellLinkError when the shell has no such folder.
void RemoveShortcuts(platform::Env& env, const std::string& title);

// Removes folder and the folders below it, bottom-up, where they are empty. A junction
// or symbolic link is neither entered nor removed, and nothing above folder is touched.
void RemoveEmptyFolders(platform::Env& env, const std::string& folder);

}  // namespace koru
