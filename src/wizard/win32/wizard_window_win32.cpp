#include "wizard/win32/wizard_window_win32.h"

#include "platform/win32/form_window.h"
#include "wizard/form_type.h"

namespace koru {

int RunWizardWindow(HWND owner, platform::Env& env, platform::UserInterface& ui,
                    TKoruInstallSet& settings, TVrFileCollection* archive,
                    const std::vector<std::string>& arguments, PageActions& actions) {
  TFormType form(env, ui, settings, archive, arguments, actions);
  platform::win32::FormOptions options;
  options.caption = kWizardInitialCaption;
  options.client_width = kWizardWidth;
  options.client_height = kWizardHeight;
  options.owner = owner;
  options.cancel_id = kIdBtnAbort;
  platform::win32::FormWindow window(form, ui, TFormType::Layout(), options);
  // Outside any window procedure, before the window is shown.
  form.FormCreate(window);
  return window.ShowModal();
}

}  // namespace koru
