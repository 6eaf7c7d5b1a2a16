#pragma once

// The launcher's windows on Windows: the start menu and the background window, made from
// their logic's layout tables, with the wizard run modally over the background window.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "launcher/launcher_windows.h"
#include "platform/env.h"
#include "platform/user_interface.h"

namespace koru {

// Runs the wizard window modally over owner.
using WizardRunner =
    std::function<void(HWND owner, TKoruInstallSet& settings, TVrFileCollection* archive,
                       const std::vector<std::string>& arguments)>;

class Win32LauncherWindows : public LauncherWindows {
 public:
  Win32LauncherWindows(platform::Env& env, platform::UserInterface& ui, WizardRunner run_wizard);

  StartMenuOutcome RunStartMenu(TKoruInstallSet& settings, TVrFileCollection& archive) override;
  void RunWizard(TKoruInstallSet& settings, TVrFileCollection* archive,
                 const std::vector<std::string>& arguments) override;

 private:
  platform::Env& env_;
  platform::UserInterface& ui_;
  WizardRunner run_wizard_;
};

}  // namespace koru
