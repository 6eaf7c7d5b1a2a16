#pragma once

// The program's user-interface services on Windows: message boxes through MessageBoxW
// (and a dialog of the same look where MessageBoxW has no such buttons: OK and Abort),
// the message pump that lets the active form handle its keyboard, and the handler-error
// box.

#include <string>

#include "platform/user_interface.h"

namespace koru::platform::win32 {

class Win32UserInterface : public UserInterface {
 public:
  int ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon,
                  MessageButtons buttons) override;
  void ProcessMessages() override;
  void ShowHandlerError(const std::string& text) override;
  void SetApplicationTitle(const std::string& title) override { title_ = title; }
  const std::string& ApplicationTitle() const { return title_; }

 private:
  std::string title_;
};

}  // namespace koru::platform::win32
