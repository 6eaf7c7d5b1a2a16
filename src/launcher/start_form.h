#pragma once

// The start menu: start the installed game, install, run the DirectX or media player
// setup found on the disc, or leave. The logic of the window; a FormView shows it.

#include <span>
#include <string>

#include "launcher/dx_paint_box.h"
#include "platform/env.h"
#include "platform/form_view.h"
#include "platform/user_interface.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"

namespace koru {

// Control ids of the start menu (stable: tests and the end-to-end driver use them).
enum StartMenuControl : int {
  kIdBtnStart = 1001,
  kIdBtnInstall = 1002,
  kIdBtnDirectX = 1003,
  kIdBtnWinMedia = 1004,
  kIdBtnExit = 1005,
};

// Client size at design time.
inline constexpr int kStartMenuWidth = 265;
inline constexpr int kStartMenuHeight = 230;

class TFormStart : public platform::FormEvents {
 public:
  // The layout at design size, in creation and tab order.
  static std::span<const platform::ControlSpec> Layout();

  TFormStart(platform::Env& env, platform::UserInterface& ui, const TKoruInstallSet& settings,
             TVrFileCollection& archive);

  // Runs the creation steps against a view made from Layout() at design size: caption,
  // the game button's state, the background picture, and the runtime buttons hidden
  // with the buttons below moved up. Throws the picture's errors.
  void FormCreate(platform::FormView& view);

  // Event handlers; tag is the clicked button's tag (0 start, 1 install).
  void btnStartClick(int tag);
  void btnExitClick();
  void btnDirectXClick();
  void btnWinMediaClick();
  // Routes a click on the control id to its handler.
  void Click(int id);

  // FormEvents: clicks go to their handlers; the close box leaves like "終了".
  void OnClick(int id) override { Click(id); }
  void OnCloseBox() override { modal_result_ = platform::kResultCancel; }
  // kResultOk once a launch button was clicked, kResultCancel after "終了", else 0.
  int ModalResult() const override { return modal_result_; }
  // The tag of the button that closed the window with kResultOk.
  int LaunchChoice() const { return launch_choice_; }
  int ClientHeight() const { return client_height_; }
  TDXPaintBox& PaintBox() { return paint_box_; }

 private:
  void HideRuntimeButton(platform::FormView& view, int id, std::span<const int> below, int step);
  bool OffersSetup(const std::string& relative_path) const;
  void OpenSetup(const std::string& folder, const std::string& program);

  platform::Env& env_;
  platform::UserInterface& ui_;
  const TKoruInstallSet& settings_;
  TVrFileCollection& archive_;
  std::string folder_;
  TDXPaintBox paint_box_;
  int client_height_ = kStartMenuHeight;
  int modal_result_ = 0;
  int launch_choice_ = 0;
};

}  // namespace koru
