#pragma once

// A window of the program on Windows: a fixed frame whose controls are made from a layout
// table (ControlSpec rows), shown through the FormView interface and reporting to
// FormEvents. One window procedure serves every form; it stops every exception and shows
// it in the handler-error box, so nothing is thrown through Windows' frames.

#include <windows.h>

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "platform/form_view.h"
#include "platform/user_interface.h"
#include "platform/win32/gdi_handles.h"

namespace koru::platform::win32 {

struct FormOptions {
  std::string caption;
  int client_width = 0;
  int client_height = 0;
  // Centred on the owner when there is one, else on the desktop's work area.
  HWND owner = nullptr;
  // The control that Esc clicks; 0 for none.
  int cancel_id = 0;
};

class FormWindow : public FormView {
 public:
  // Creates the window (hidden) and its controls in table order, which is the tab order.
  FormWindow(FormEvents& events, UserInterface& ui, std::span<const ControlSpec> layout,
             const FormOptions& options);
  ~FormWindow() override;
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND handle() const { return hwnd_; }

  // Paints what lies under the controls (client coordinates); empty: the face colour.
  std::function<void(HDC dc, int width, int height)> OnPaintBackground;
  // Called once, after the first WM_PAINT has been drawn.
  std::function<void()> OnFirstPaint;

  // Centres the window and shows it without waiting.
  void Show();
  // Centres and shows the window with its owner disabled, runs messages until the
  // events' modal result is set and OnCloseQuery agrees, hides the window and returns
  // the modal result.
  int ShowModal();

  // FormView.
  void SetCaption(const std::string& caption) override;
  void SetClientSize(int width, int height) override;
  void SetText(int id, const std::string& text) override;
  std::string Text(int id) override;
  void SetBounds(int id, const ControlRect& rect) override;
  ControlRect Bounds(int id) override;
  void SetVisible(int id, bool visible) override;
  bool Visible(int id) override;
  void SetEnabled(int id, bool enabled) override;
  bool Enabled(int id) override;
  void SetChecked(int id, bool checked) override;
  bool Checked(int id) override;
  void SetFocus(int id) override;
  void SetProgress(int id, int position, int maximum) override;
  void ShowNotebookPage(int page) override;
  void Repaint() override;
  void BringToFront() override;

 private:
  struct Control {
    ControlSpec spec;
    HWND window = nullptr;
    bool visible = true;
    // Directory lists: the folder shown and the full path of every item.
    std::string folder;
    std::vector<std::string> item_paths;
    // Drive combos: the bound directory list's id.
    int bound_list = 0;
    // Labels and progress bars: when what they show last changed, and a newer text or
    // position still to show (-1: none).
    DWORD text_shown_at = 0;
    int pending_position = -1;
    int bar_width = 0;
    std::string pending_text;
    bool has_pending_text = false;
    // Progress bars: the range and the pixel column shown, -1 before the first.
    int maximum = -1;
    int shown_pixel = -1;
  };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControl(const ControlSpec& spec);
  void OnCommand(int id, int code);
  void Paint();
  void SetLabelText(Control& control, const std::string& text);
  void ShowPosition(Control& control, int position);
  // Changes held back (label texts, bar positions) go out with the next timer tick.
  void ArmChangeTimer();
  void ShowPendingChanges();
  void CenterWindow();
  void UpdateVisibility(Control& control);
  Control& At(int id);
  // Runs a handler, showing what it throws.
  template <typename Handler>
  void Guard(Handler handler);

  // The folder choice.
  void FillDirectoryList(Control& list);
  void FillDriveCombo(Control& combo);
  void SelectDrive(Control& combo, char letter);
  void OnDirectoryDoubleClick(Control& list);
  void OnDriveSelected(Control& combo);
  LRESULT DrawDirectoryItem(const DRAWITEMSTRUCT& item);

  FormEvents& events_;
  UserInterface& ui_;
  FormOptions options_;
  UniqueGdiObject font_;
  UniqueGdiObject black_brush_;
  HWND hwnd_ = nullptr;  // known from WM_NCCREATE on, before window_ owns it
  UniqueHwnd window_;
  std::map<int, Control> controls_;
  std::vector<int> order_;
  int page_ = -1;
  int default_id_ = 0;
  HWND last_focus_ = nullptr;
  bool first_paint_done_ = false;
  bool change_timer_armed_ = false;
  // Set while the form changes a control itself, so that the change is not reported.
  bool updating_ = false;
};

}  // namespace koru::platform::win32
