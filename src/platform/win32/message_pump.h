#pragma once

// The thread's message loop pieces shared by the modal forms and the pump of long
// operations: keyboard navigation goes to the innermost modal form.

#include <windows.h>

namespace koru::platform::win32 {

// Dispatches one message: dialog navigation (Tab, Enter, Esc, access keys) for the active
// modal form when the message is meant for it, else the usual translate and dispatch.
void DispatchThreadMessage(MSG& message);

// Runs every waiting message and returns; false when WM_QUIT was among them (it is
// posted again for the outer loop).
bool PumpWaitingMessages();

// The innermost modal form's window, registered by the form while it runs modally.
HWND ActiveModalWindow();
void PushModalWindow(HWND window);
void PopModalWindow(HWND window);

}  // namespace koru::platform::win32
