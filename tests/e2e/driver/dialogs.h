#pragma once

// Message boxes and other dialog boxes (window class "#32770"). A message box's text is
// the static control with id 65535; its buttons have the ids IDOK, IDYES, ...

#include <string>

#include "e2e/driver/report.h"
#include "e2e/driver/window.h"

namespace e2e {

// The buttons' ids (the values of IDOK ... IDNO in windows.h).
enum class Button : int {
  kOk = 1,
  kCancel = 2,
  kAbort = 3,
  kRetry = 4,
  kIgnore = 5,
  kYes = 6,
  kNo = 7,
};

// The message box's text id.
inline constexpr int kMessageBoxTextId = 65535;

// How to answer a message box.
struct MessageBoxAnswer {
  std::string text;              // Shift-JIS; the box's whole text, or a part of it
  Button button = Button::kOk;   // the button to click
  std::string caption;           // Shift-JIS; empty: any caption
  bool text_contains = false;    // text is a part of the box's text
  unsigned long process_id = 0;  // 0: any process
  int timeout_ms = kDefaultTimeoutMs;
};

// Waits for a dialog box (class "#32770") of that caption (empty: any).
Window WaitForDialog(const std::string& caption = "", unsigned long process_id = 0,
                     int timeout_ms = kDefaultTimeoutMs);

// The text of a message box (its static id 65535).
std::string MessageBoxText(const Window& box);

// Waits for a message box, checks its text, clicks the button and waits until the box is
// gone. Fails (with the dump) when no box appears, the text differs or the button is
// missing. Returns the box's text.
std::string Answer(const MessageBoxAnswer& answer);

}  // namespace e2e
