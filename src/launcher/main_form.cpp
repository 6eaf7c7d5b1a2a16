#include "launcher/main_form.h"

#include <algorithm>
#include <cstdlib>

#include "launcher/back_image.h"

namespace koru {
namespace {

using platform::ControlKind;
using platform::ControlSpec;

// The label's place is set at creation, from the client size.
constexpr ControlSpec kLayout[] = {
    {kIdLabelRight, ControlKind::kRightLabel, "", {0, 0, kMainFormWidth, 12}},
};

// The window's font is 12 pixels high; the label is as high as its font.
constexpr int kFontHeight = -12;
constexpr int kFooterMargin = 8;

}  // namespace

std::span<const ControlSpec> TFormMain::Layout() { return kLayout; }

TFormMain::TFormMain(platform::UserInterface& ui, const TKoruInstallSet& settings,
                     TVrFileCollection* archive)
    : ui_(ui), settings_(settings), archive_(archive) {
  grad_box_.SetColor(1, kColorBlue);
  grad_box_.SetColor(2, kColorNavy);
  grad_box_.SetGradStep(128);
}

void TFormMain::FormCreate(platform::FormView& view, int screen_width, int screen_height) {
  ui_.SetApplicationTitle(settings_.Title);
  client_width_ = std::max(600, screen_width - 100);
  client_height_ = std::max(400, screen_height - 200);
  view.SetClientSize(client_width_, client_height_);
  paint_box_.SetClientSize(client_width_, client_height_);
  view.SetCaption(settings_.Uninstaller ? settings_.Title + "の削除" : settings_.GetSetupCaption());
  if (archive_ != nullptr) PaintBackImage(settings_, *archive_, paint_box_);

  view.SetText(kIdLabelRight, settings_.FooterText + " ");
  const int label_height = std::abs(kFontHeight);
  view.SetBounds(kIdLabelRight,
                 {0, client_height_ - label_height - kFooterMargin, client_width_, label_height});
}

}  // namespace koru
