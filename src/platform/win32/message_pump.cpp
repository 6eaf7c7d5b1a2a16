#include "platform/win32/message_pump.h"

#include <algorithm>
#include <vector>

namespace koru::platform::win32 {
namespace {

constexpr DWORD kPumpIntervalMs = 10;
constexpr DWORD kPaintIntervalMs = 30;

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
  // A long operation pumps after each of thousands of entries. Looking at the queue is a
  // round trip to the window system (under Wine, to its server), so it is looked at no
  // more than every kPumpIntervalMs: a click waits at most that long, which nobody sees.
  // Input, posted and sent messages then run at once; repaints at most every
  // kPaintIntervalMs, as the eye sees no difference above some thirty updates a second.
  static DWORD last_pump = 0;
  static DWORD last_paint = 0;
  const DWORD now = ::GetTickCount();
  if (now - last_pump < kPumpIntervalMs) return true;
  last_pump = now;
  UINT filter = PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
  if (now - last_paint >= kPaintIntervalMs) {
    filter |= PM_QS_PAINT;
    last_paint = now;
  }
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | filter)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    DispatchThreadMessage(message);
  }
  return true;
}

}  // namespace koru::platform::win32
