#pragma once

// The wizard window the background window runs.

#include "launcher/win32/launcher_windows_win32.h"

namespace koru {

WizardRunner MakeWizardRunner(platform::Env& env, platform::UserInterface& ui);

}  // namespace koru
