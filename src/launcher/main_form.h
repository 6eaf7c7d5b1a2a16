#pragma once

// The background window behind the install or removal wizard: a blue gradient, the
// game's background picture and a footer line. It runs the wizard modally.

#include <span>
#include <string>

#include "imaging/grad_box.h"
#include "launcher/dx_paint_box.h"
#include "platform/form_view.h"
#include "platform/user_interface.h"
#include "settings/install_set.h"
#include "storage/vrfiles.h"

namespace koru {

enum MainFormControl : int {
  kIdLabelRight = 1101,
};

// Client size at design time.
inline constexpr int kMainFormWidth = 444;
inline constexpr int kMainFormHeight = 283;
// Windows colour values (red in the low byte) of the gradient's ends.
inline constexpr uint32_t kColorBlue = 0xFF0000;
inline constexpr uint32_t kColorNavy = 0x800000;

class TFormMain : public platform::FormEvents {
 public:
  static std::span<const platform::ControlSpec> Layout();

  // archive: the current archive, or null on the removal road (no picture then).
  TFormMain(platform::UserInterface& ui, const TKoruInstallSet& settings,
            TVrFileCollection* archive);

  // The creation steps against a view made from Layout(): client size from the screen
  // (at least 600 x 400, else the screen less 100 x 200), caption, picture and footer.
  // Throws the picture's errors.
  void FormCreate(platform::FormView& view, int screen_width, int screen_height);

  // FormEvents: the window has no controls to click, and while the wizard runs over it
  // its close box is disabled with it.
  void OnClick(int id) override {}
  void OnCloseBox() override {}
  int ModalResult() const override { return 0; }

  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  TGradBox& GradBox() { return grad_box_; }
  TDXPaintBox& PaintBox() { return paint_box_; }

 private:
  platform::UserInterface& ui_;
  const TKoruInstallSet& settings_;
  TVrFileCollection* archive_;
  TGradBox grad_box_;
  TDXPaintBox paint_box_;
  int client_width_ = kMainFormWidth;
  int client_height_ = kMainFormHeight;
};

}  // namespace koru
