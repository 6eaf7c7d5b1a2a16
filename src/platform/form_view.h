#pragma once

// A window as the program's logic sees it: a fixed set of controls, each created from a
// row of a layout table and afterwards addressed by its id. The logic classes decide
// every caption, text, place, visible, enabled and checked state; a view only shows them
// (Win32) or records them (tests), and reports what the user changed by calling the
// logic's event handlers. Changes the logic makes through this interface never come back
// as events: a logic that wants its handler to run calls it itself.
//
// The folder choice: the text of a kDirectoryList is the folder it shows (without
// trailing backslash unless a drive root), the text of a kDriveCombo its drive letter.
// Setting a drive letter points the bound directory list at that drive's current folder.

#include <string>

namespace koru::platform {

enum class ControlKind {
  kButton,
  kDefaultButton,  // the button Enter presses
  kCheckBox,
  kRadioButton,
  kLabel,
  kRightLabel,     // right-aligned, white on black (the background window's footer)
  kEdit,           // one editable line
  kRichEdit,       // read-only plain text, vertical scroll bar
  kDirectoryList,  // the folders of the path's ancestors and its sub-folders
  kDriveCombo,     // the drives; bound to a directory list
  kProgressBar,
  kSeparator,  // an etched line
};

struct ControlRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  bool operator==(const ControlRect&) const = default;
};

// One row of a window's layout table, in creation (and tab) order.
struct ControlSpec {
  int id;
  ControlKind kind;
  const char* text;  // Shift-JIS; "" for none
  ControlRect rect;
  int page = -1;  // the notebook page the control lies on; -1 outside the notebook
};

class FormView {
 public:
  virtual ~FormView() = default;

  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetClientSize(int width, int height) = 0;

  virtual void SetText(int id, const std::string& text) = 0;
  virtual std::string Text(int id) = 0;
  virtual void SetBounds(int id, const ControlRect& rect) = 0;
  virtual ControlRect Bounds(int id) = 0;
  virtual void SetVisible(int id, bool visible) = 0;
  virtual bool Visible(int id) = 0;
  virtual void SetEnabled(int id, bool enabled) = 0;
  virtual bool Enabled(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool Checked(int id) = 0;
  virtual void SetFocus(int id) = 0;
  // A progress bar's range (0 to maximum) and position.
  virtual void SetProgress(int id, int position, int maximum) = 0;

  // Shows the controls of one notebook page and hides the others'.
  virtual void ShowNotebookPage(int page) = 0;
  // Redraws the window's painted parts (background picture, gradient).
  virtual void Repaint() = 0;
  // Brings the window to the foreground (SetForegroundWindow).
  virtual void BringToFront() = 0;
};

// What a view reports to the window's logic. Every handler runs on the user-interface
// thread; a view catches whatever a handler throws and shows it (the handler-error box),
// and the window stays open.
class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // A button, check box or radio button was clicked (its check mark already changed).
  virtual void OnClick(int id) = 0;
  // The user changed an edit's text, a directory list's folder or a drive combo's drive.
  virtual void OnChange(int id) {}
  // The window's close box (or Alt+F4) was used. Typically sets the modal result to
  // kResultCancel.
  virtual void OnCloseBox() = 0;
  // The window's modal result: the modal loop ends once it is not 0 and OnCloseQuery
  // agrees.
  virtual int ModalResult() const = 0;
  // Asked when ModalResult became non-zero; false keeps the window open, and the logic
  // then sets its modal result back to 0.
  virtual bool OnCloseQuery() { return true; }
};

}  // namespace koru::platform
