#include "launcher/win32/wizard_runner_win32.h"

#include "platform/win32/form_window.h"

namespace koru {
namespace {

// Stands in for the install wizard until it is built: a window of the wizard's size with
// a closing button.
class PlaceholderWizard : public platform::FormEvents {
 public:
  void OnClick(int id) override { result_ = platform::kResultOk; }
  void OnCloseBox() override { result_ = platform::kResultCancel; }
  int ModalResult() const override { return result_; }

 private:
  int result_ = 0;
};

constexpr platform::ControlSpec kPlaceholderLayout[] = {
    {1, platform::ControlKind::kLabel, "インストールタイプの選択", {16, 16, 400, 16}},
    {2, platform::ControlKind::kSeparator, "", {8, 292, 481, 2}},
    {3, platform::ControlKind::kDefaultButton, "閉じる(&C)", {406, 302, 75, 25}},
};

}  // namespace

WizardRunner MakeWizardRunner(platform::Env& env, platform::UserInterface& ui) {
  return [&ui](HWND owner, TKoruInstallSet&, TVrFileCollection*, const std::vector<std::string>&) {
    PlaceholderWizard events;
    platform::win32::FormOptions options;
    options.caption = "インストールタイプの選択";
    options.client_width = 497;
    options.client_height = 336;
    options.owner = owner;
    options.cancel_id = 3;
    platform::win32::FormWindow window(events, ui, kPlaceholderLayout, options);
    window.ShowModal();
  };
}

}  // namespace koru
