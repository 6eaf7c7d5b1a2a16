#pragma once

// The launcher's two windows as the entry sees them: the start menu and the background
// window that runs the wizard. The program creates real windows; tests record calls.
// Failures of a window's creation (a damaged background picture) propagate to the caller.

#include <string>
#include <vector>

#include "settings/install_set.h"
#include "storage/vrfiles.h"

namespace koru {

// How the start menu was closed: modal result kResultOk with the tag of the button
// (0 start the game, 1 install), or another result when the user left.
struct StartMenuOutcome {
  int modal_result = 0;
  int launch_choice = 0;
};

class LauncherWindows {
 public:
  virtual ~LauncherWindows() = default;

  // Creates the start menu, shows it modally and releases it.
  virtual StartMenuOutcome RunStartMenu(TKoruInstallSet& settings, TVrFileCollection& archive) = 0;

  // Creates and shows the background window, runs the wizard in it modally, releases
  // both. archive is null on the removal road. arguments: the command line's arguments
  // after the program's name (the wizard takes its source folder from the first).
  virtual void RunWizard(TKoruInstallSet& settings, TVrFileCollection* archive,
                         const std::vector<std::string>& arguments) = 0;
};

}  // namespace koru
