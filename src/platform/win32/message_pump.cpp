#include "platform/win32/message_pump.h"

#include <algorithm>
#include <vector>

namespace koru::platform::win32 {
namespace {

// Only the user-interface thread touches this.
std::vector<HWND>& ModalStack() {
  static std::vector<HWND> stack;
  return stack;
}

}  // namespace

HWND ActiveModalWindow() { return ModalStack().empty() ? nullptr : ModalStack().back(); }

void PushModalWindow(HWND window) { ModalStack().push_back(window); }

void PopModalWindow(HWND window) {
  auto& stack = ModalStack();
  stack.erase(std::remove(stack.begin(), stack.end(), window), stack.end());
}

void DispatchThreadMessage(MSG& message) {
  const HWND form = ActiveModalWindow();
  if (form != nullptr && ::IsWindow(form) && ::IsDialogMessageW(form, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

bool PumpWaitingMessages() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    DispatchThreadMessage(message);
  }
  return true;
}

}  // namespace koru::platform::win32
