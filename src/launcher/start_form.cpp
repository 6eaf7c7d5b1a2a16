#include "launcher/start_form.h"

#include "launcher/back_image.h"
#include "settings/paths.h"

namespace koru {
namespace {

using platform::ControlKind;
using platform::ControlSpec;

constexpr ControlSpec kLayout[] = {
    {kIdBtnStart, ControlKind::kButton, "ゲームスタート", {28, 12, 213, 29}},
    {kIdBtnInstall, ControlKind::kButton, "インストール", {28, 64, 213, 29}},
    {kIdBtnDirectX, ControlKind::kButton, "DirectXをインストール", {28, 100, 213, 29}},
    {kIdBtnWinMedia, ControlKind::kButton, "WindowsMediaPlayerをインストール", {28, 136, 213, 29}},
    {kIdBtnExit, ControlKind::kButton, "終了", {28, 188, 213, 29}},
};

constexpr const char* kDirectXFolder = "directx\\";
constexpr const char* kDirectXProgram = "dxsetup.exe";
constexpr const char* kWinMediaFolder = "winmedia\\";
constexpr const char* kWinMediaProgram = "mp71.exe";

}  // namespace

std::span<const ControlSpec> TFormStart::Layout() { return kLayout; }

TFormStart::TFormStart(platform::Env& env, platform::UserInterface& ui,
                       const TKoruInstallSet& settings, TVrFileCollection& archive)
    : env_(env), ui_(ui), settings_(settings), archive_(archive) {
  paint_box_.SetClientSize(kStartMenuWidth, kStartMenuHeight);
}

void TFormStart::FormCreate(platform::FormView& view) {
  folder_ = AddBackslash(ExtractFilePath(env_.system().ExecutablePath()));
  ui_.SetApplicationTitle(settings_.Title);
  view.SetCaption(settings_.Title);
  view.SetEnabled(kIdBtnStart, settings_.IsInstalled(env_));
  PaintBackImage(settings_, archive_, paint_box_);

  // The step is taken from the unmoved buttons, so hiding both moves "終了" up twice.
  const int step = view.Bounds(kIdBtnDirectX).top - view.Bounds(kIdBtnInstall).top;
  if (!OffersSetup(std::string(kDirectXFolder) + kDirectXProgram)) {
    const int below[] = {kIdBtnWinMedia, kIdBtnExit};
    HideRuntimeButton(view, kIdBtnDirectX, below, step);
  }
  if (!OffersSetup(std::string(kWinMediaFolder) + kWinMediaProgram)) {
    const int below[] = {kIdBtnExit};
    HideRuntimeButton(view, kIdBtnWinMedia, below, step);
  }
}

bool TFormStart::OffersSetup(const std::string& relative_path) const {
  return settings_.OfferRuntimeSetup && env_.files().FileExists(folder_ + relative_path);
}

void TFormStart::HideRuntimeButton(platform::FormView& view, int id, std::span<const int> below,
                                   int step) {
  view.SetVisible(id, false);
  for (const int other : below) {
    platform::ControlRect rect = view.Bounds(other);
    rect.top -= step;
    view.SetBounds(other, rect);
  }
  client_height_ -= step;
  view.SetClientSize(kStartMenuWidth, client_height_);
}

void TFormStart::btnStartClick(int tag) {
  launch_choice_ = tag;
  modal_result_ = platform::kResultOk;
}

void TFormStart::btnExitClick() { modal_result_ = platform::kResultCancel; }

void TFormStart::btnDirectXClick() { OpenSetup(kDirectXFolder, kDirectXProgram); }

void TFormStart::btnWinMediaClick() { OpenSetup(kWinMediaFolder, kWinMediaProgram); }

void TFormStart::OpenSetup(const std::string& folder, const std::string& program) {
  // A setup that cannot be started gives no message; the menu stays open.
  env_.shell().ShellOpen(folder_ + folder + program, "", "", platform::kShowShow);
}

void TFormStart::Click(int id) {
  switch (id) {
    case kIdBtnStart:
      btnStartClick(0);
      break;
    case kIdBtnInstall:
      btnStartClick(1);
      break;
    case kIdBtnDirectX:
      btnDirectXClick();
      break;
    case kIdBtnWinMedia:
      btnWinMediaClick();
      break;
    case kIdBtnExit:
      btnExitClick();
      break;
    default:
      break;
  }
}

}  // namespace koru
