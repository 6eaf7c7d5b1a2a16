#pragma once

// The wizard's window on Windows: a FormWindow made from TFormType's layout, centred on
// its owner (the background window), run modally.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/user_interface.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"
#include "wizard/page_actions.h"

namespace koru {

// Creates the wizard over owner, runs its set-up (whose errors pass to the caller, as
// nothing has been shown yet), shows it modally and returns its modal result.
int RunWizardWindow(HWND owner, platform::Env& env, platform::UserInterface& ui,
                    TKoruInstallSet& settings, TVrFileCollection* archive,
                    const std::vector<std::string>& arguments, PageActions& actions);

}  // namespace koru
