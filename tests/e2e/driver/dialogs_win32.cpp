#include <string>

#include "base/sjis.h"
#include "e2e/driver/dialogs.h"
#include "e2e/driver/report.h"

namespace e2e {
namespace {

const char* ButtonName(Button button) {
  switch (button) {
    case Button::kOk:
      return "OK";
    case Button::kCancel:
      return "Cancel";
    case Button::kAbort:
      return "Abort";
    case Button::kRetry:
      return "Retry";
    case Button::kIgnore:
      return "Ignore";
    case Button::kYes:
      return "Yes";
    case Button::kNo:
      return "No";
  }
  return "?";
}

}  // namespace

Window WaitForDialog(const std::string& caption, unsigned long process_id, int timeout_ms) {
  return Window::WaitFor({.caption = caption, .class_name = "#32770", .process_id = process_id},
                         timeout_ms);
}

std::string MessageBoxText(const Window& box) {
  std::optional<Control> text = box.FindById(kMessageBoxTextId);
  return text ? text->Text() : std::string();
}

std::string Answer(const MessageBoxAnswer& answer) {
  const std::string step = std::string("answer the message box ") +
                           (answer.text_contains ? "containing \"" : "\"") + Utf8(answer.text) +
                           "\" with " + ButtonName(answer.button);
  // The text appears with the box; a box of the right caption but other text may be an
  // earlier one still closing, so wait for the text itself.
  std::optional<Window> box;
  std::string text;
  const bool found = WaitUntil(
      [&] {
        for (const Window& window : Window::All()) {
          if (!window.Visible() || window.ClassName() != "#32770") continue;
          if (answer.process_id != 0 && window.ProcessId() != answer.process_id) continue;
          if (!answer.caption.empty() && window.Caption() != answer.caption) continue;
          text = MessageBoxText(window);
          // Compared as UTF-16: a Shift-JIS byte search could match half a character.
          const std::u16string shown = koru::SjisToUtf16(text);
          const std::u16string wanted = koru::SjisToUtf16(answer.text);
          const bool same =
              answer.text_contains ? shown.find(wanted) != std::u16string::npos : shown == wanted;
          if (same) {
            box = window;
            return true;
          }
        }
        return false;
      },
      answer.timeout_ms);
  if (!found) {
    FailStep(step, "no such box within " + std::to_string(answer.timeout_ms) + " ms");
  }
  Log(step + ": " + box->Describe());
  std::optional<Control> button = box->FindById(static_cast<int>(answer.button));
  if (!button || !button->Visible())
    FailStep(step, std::string("the box has no button ") + ButtonName(answer.button));
  button->Click(answer.timeout_ms);
  box->WaitUntilClosed(answer.timeout_ms);
  return text;
}

}  // namespace e2e
