#include "launcher/win32/wizard_runner_win32.h"

#include "wizard/combined_page_actions.h"
#include "wizard/copy_engine.h"
#include "wizard/uninstaller.h"
#include "wizard/win32/wizard_window_win32.h"

namespace koru {

WizardRunner MakeWizardRunner(platform::Env& env, platform::UserInterface& ui) {
  return [&env, &ui](HWND owner, TKoruInstallSet& settings, TVrFileCollection* archive,
                     const std::vector<std::string>& arguments) {
    CopyEngine copy;
    Uninstaller removal;
    CombinedPageActions pages(copy, removal);
    RunWizardWindow(owner, env, ui, settings, archive, arguments, pages);
  };
}

}  // namespace koru
