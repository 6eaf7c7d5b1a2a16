// The wizard's real window at its design size: every control of a page inside the client
// area, none overlapping another of its page, and every text fitting its control in the
// window's font.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "platform/memory/scripted_ui.h"
#include "platform/win32/form_window.h"
#include "platform/win32/win32_env.h"
#include "platform/win32/win32_text.h"
#include "wizard/form_type.h"

namespace koru {
namespace {

using platform::ControlKind;
using platform::ControlRect;

bool Overlap(const ControlRect& a, const ControlRect& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.Title = "サンプルゲーム";
    settings_.MediaName = "CD-ROM";
    settings_.DefaultFolder = "<ProgramFiles>\\Koru\\サンプルゲーム";
    settings_.WelcomeText = "ようこそ";
    settings_.LicenseText = "契約";
    settings_.SetDiscCount(2);
    settings_.ProgSize = 123456789;
    platform::win32::FormOptions options;
    options.caption = kWizardInitialCaption;
    options.client_width = kWizardWidth;
    options.client_height = kWizardHeight;
    options.cancel_id = kIdBtnAbort;
    window_ =
        std::make_unique<platform::win32::FormWindow>(form_, ui_, TFormType::Layout(), options);
    form_.FormCreate(*window_);
  }

  // The width the control's text takes in the window's font, access-key marks excluded.
  int TextWidth(int id) {
    const HWND control = ::GetDlgItem(window_->handle(), id);
    const HDC dc = ::GetDC(control);
    const HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = platform::win32::Wide(window_->Text(id));
    RECT rect = {0, 0, 0, 0};
    ::DrawTextW(dc, text.c_str(), -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return rect.right;
  }

  platform::Win32Env env_;
  platform::ScriptedUserInterface ui_;
  TKoruInstallSet settings_;
  NullPageActions actions_;
  TFormType form_{env_, ui_, settings_, nullptr, {"C:\\"}, actions_};
  std::unique_ptr<platform::win32::FormWindow> window_;
};

TEST_F(WizardWindowTest, EveryPageFitsItsDesignSize) {
  RECT client;
  ::GetClientRect(window_->handle(), &client);
  EXPECT_EQ(client.right, 497);
  EXPECT_EQ(client.bottom, 336);
  EXPECT_EQ(form_.CurrentPage(), kPageHello);

  for (int page = 0; page < kPageCount; ++page) {
    SCOPED_TRACE(page);
    std::vector<int> ids;
    for (const platform::ControlSpec& spec : TFormType::Layout()) {
      if (spec.page == page || spec.page < 0) ids.push_back(spec.id);
    }
    for (size_t i = 0; i < ids.size(); ++i) {
      const ControlRect rect = window_->Bounds(ids[i]);
      SCOPED_TRACE(ids[i]);
      EXPECT_GE(rect.left, 0);
      EXPECT_GE(rect.top, 0);
      EXPECT_LE(rect.left + rect.width, client.right);
      EXPECT_LE(rect.top + rect.height, client.bottom);
      for (size_t j = i + 1; j < ids.size(); ++j) {
        EXPECT_FALSE(Overlap(rect, window_->Bounds(ids[j]))) << "overlaps " << ids[j];
      }
    }
  }

  form_.UpdateSizes();
  form_.UpdateDriveFreeLabel();
  // The check mark or radio dot and its gap take about 16 pixels, a button's frame 8.
  for (const platform::ControlSpec& spec : TFormType::Layout()) {
    int room = window_->Bounds(spec.id).width;
    switch (spec.kind) {
      case ControlKind::kCheckBox:
      case ControlKind::kRadioButton:
        room -= 16;
        break;
      case ControlKind::kButton:
      case ControlKind::kDefaultButton:
        room -= 8;
        break;
      case ControlKind::kLabel:
        break;
      default:
        continue;
    }
    EXPECT_LE(TextWidth(spec.id), room) << spec.id << " " << window_->Text(spec.id).size();
  }
}

}  // namespace
}  // namespace koru
