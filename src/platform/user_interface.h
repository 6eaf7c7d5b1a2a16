#pragma once

// The application-wide user-interface services the program's logic needs: message boxes,
// the message pump and the application's title. Behind an interface so that the logic
// runs in tests against a scripted double.

#include <string>

namespace koru::platform {

enum class MessageIcon { kWarning, kInformation, kConfirmation, kError };
enum class MessageButtons { kOk, kYesNo, kOkAbort };

// Button ids as Windows numbers them; also the modal results of the program's windows.
enum DialogResult : int {
  kResultNone = 0,
  kResultOk = 1,
  kResultCancel = 2,
  kResultAbort = 3,
  kResultYes = 6,
  kResultNo = 7,
};

inline constexpr const char* kWarningCaption = "警告";
inline constexpr const char* kInformationCaption = "情報";
inline constexpr const char* kConfirmationCaption = "確認";
// Caption of the box that shows a failure nothing else caught before the program ends.
inline constexpr const char* kApplicationErrorCaption = "アプリケーション エラー";

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Shows a modal message box over the program's active window and returns the id of the
  // button chosen (kResultOk, kResultYes, ...). Texts are Shift-JIS.
  virtual int ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon,
                          MessageButtons buttons) = 0;

  // Lets waiting window messages run (repaints, clicks), then returns at once.
  virtual void ProcessMessages() = 0;

  // Shows a failure that reached a window's event handler: error icon, OK, captioned
  // with the application's title.
  virtual void ShowHandlerError(const std::string& text) = 0;

  // The application's title (the taskbar's text and the caption of handler errors).
  virtual void SetApplicationTitle(const std::string& title) = 0;
};

// The boxes the program shows, with their fixed captions and buttons.
inline int ShowWarning(UserInterface& ui, const std::string& text,
                       MessageButtons buttons = MessageButtons::kOk) {
  return ui.ShowMessage(kWarningCaption, text, MessageIcon::kWarning, buttons);
}
inline int ShowInformation(UserInterface& ui, const std::string& text,
                           MessageButtons buttons = MessageButtons::kOk) {
  return ui.ShowMessage(kInformationCaption, text, MessageIcon::kInformation, buttons);
}
// A Yes/No question; true for Yes.
inline bool AskConfirmation(UserInterface& ui, const std::string& text) {
  return ui.ShowMessage(kConfirmationCaption, text, MessageIcon::kConfirmation,
                        MessageButtons::kYesNo) == kResultYes;
}

}  // namespace koru::platform
