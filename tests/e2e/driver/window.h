#pragma once

// Top-level windows and their controls, as a user sees them. Texts are Shift-JIS (see
// report.h). A Control or Window is a handle to a live window of another process: every
// read asks the window again.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver/report.h"

struct HWND__;  // the HWND of windows.h, without including it

namespace e2e {

using WindowHandle = HWND__*;

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};
// "(left,top)-(right,bottom) WxH", for messages.
std::string ToString(const Rect& rect);

// A child window: a button, check box, edit, static text, list...
class Control {
 public:
  explicit Control(WindowHandle handle) : handle_(handle) {}

  WindowHandle handle() const { return handle_; }
  int Id() const;
  std::string ClassName() const;  // "Button", "Edit", "Static"... (ASCII)
  // The text through WM_GETTEXT (what the control shows, also for edits).
  std::string Text() const;
  // In the client coordinates of the control's parent window.
  Rect Bounds() const;
  bool Visible() const;  // the control and every window above it are visible
  bool Enabled() const;
  // Check boxes and radio buttons: BM_GETCHECK is BST_CHECKED (indeterminate is not).
  bool Checked() const;
  bool Exists() const;

  // Clicks a button, check box or radio button as a user would: waits up to timeout_ms
  // for it to be visible and enabled (fails if it never is), then posts BM_CLICK (a posted
  // click returns at once, also when the click opens a modal dialog).
  void Click(int timeout_ms = kDefaultTimeoutMs) const;
  // Replaces an edit's text by typing: selects everything, then posts one WM_CHAR per
  // character, and waits until the edit shows the text.
  void Type(std::string_view sjis, int timeout_ms = kDefaultTimeoutMs) const;
  // Waits until the text equals sjis; fails with both texts otherwise.
  void WaitForText(std::string_view sjis, int timeout_ms = kDefaultTimeoutMs) const;
  void WaitUntilEnabled(bool enabled = true, int timeout_ms = kDefaultTimeoutMs) const;

  // One line: class, id, text, rectangle, states (UTF-8).
  std::string Describe() const;

 private:
  WindowHandle handle_;
};

// What identifies a top-level window. Empty fields match anything.
struct WindowQuery {
  std::string caption;     // Shift-JIS; the whole caption unless caption_contains
  std::string class_name;  // the window class, for example "#32770" for dialog boxes
  unsigned long process_id = 0;
  bool caption_contains = false;
  bool visible_only = true;
};
std::string ToString(const WindowQuery& query);  // UTF-8, for messages

class Window {
 public:
  explicit Window(WindowHandle handle) : handle_(handle) {}

  // The first top-level window that matches, if any.
  static std::optional<Window> Find(const WindowQuery& query);
  // Waits for a matching top-level window; fails the step after timeout_ms.
  static Window WaitFor(const WindowQuery& query, int timeout_ms = kDefaultTimeoutMs);
  // Every top-level window, visible or not, in Z order.
  static std::vector<Window> All();

  WindowHandle handle() const { return handle_; }
  std::string Caption() const;
  std::string ClassName() const;
  unsigned long ProcessId() const;
  Rect Bounds() const;      // on the screen, frame included
  Rect ClientArea() const;  // the client area on the screen
  bool Visible() const;
  bool Enabled() const;
  bool Exists() const;

  // Every control below this window (children of children too), in creation order.
  std::vector<Control> Controls() const;
  // The control with this id (searched at every depth); fails after timeout_ms.
  Control ById(int id, int timeout_ms = kDefaultTimeoutMs) const;
  // The control showing this text (ampersands of mnemonics ignored), optionally of this
  // class; fails after timeout_ms.
  Control ByText(std::string_view sjis, std::string_view class_name = "",
                 int timeout_ms = kDefaultTimeoutMs) const;
  std::optional<Control> FindById(int id) const;
  std::optional<Control> FindByText(std::string_view sjis, std::string_view class_name = "") const;

  // Shortcut for ById(id).Click().
  void Click(int id, int timeout_ms = kDefaultTimeoutMs) const;
  // Posts WM_CLOSE (what the title bar's close button does).
  void Close() const;
  // Waits until the window is destroyed; fails after timeout_ms.
  void WaitUntilClosed(int timeout_ms = kDefaultTimeoutMs) const;

  // One line: class, caption, process, rectangle, states (UTF-8).
  std::string Describe() const;

 private:
  WindowHandle handle_;
};

}  // namespace e2e
