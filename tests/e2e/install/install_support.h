#pragma once

// Walking the setup program through an installation and checking what it left: files,
// install.dat, the registry, the shortcuts, the restart list.

#include <string>
#include <vector>

#include "e2e/launcher/launcher_support.h"
#include "settings/install_set.h"

namespace koru::e2e_launcher {

// The sample's install folder below Program Files, as this prefix names it.
std::string SampleInstallFolder();
// The all-users program menu's folder of the game's shortcuts.
std::string ShortcutFolder();

// Answers the wizard's pages from the first to the copy page: Next on every page, the
// licence accepted, on "インストール先の選択" the folder given (or the default kept),
// "インストール" on the confirmation. Returns the wizard once its copy page is shown.
e2e::Window WalkToCopy(const e2e::Process& setup, const std::string& first_caption,
                       const std::string& folder = "");
// Waits for the exit page ("完了") and closes the wizard with its button; the process then
// ends with exit code 0. Then closes what the install opened in the shell (the shortcuts'
// folder, the readme), as a player would. Screenshots on the way, named after prefix.
void FinishWizard(const e2e::Process& setup, const std::string& prefix);

// Closes the shell's folder windows and the text editor.
void CloseShellWindows();
// The settings in folder\install.dat.
TKoruInstallSet InstalledSettings(const std::string& folder);
// Checks that every InstalledFiles name exists in folder.
void ExpectInstalledFilesExist(const std::string& folder, const TKoruInstallSet& settings);
// Checks the three shortcuts of an installation into folder (the readme's only when
// with_readme): targets, working folder, icon index.
void ExpectShortcuts(const std::string& folder, bool with_readme);
// True iff the temporary copy named copy is recorded for deletion at restart.
bool PendingDeletion(const std::string& copy);
// The temporary copy's path, "~kinstall.exe" in the temporary folder.
std::string TemporaryCopy();

}  // namespace koru::e2e_launcher
