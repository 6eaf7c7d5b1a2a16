#include "platform/win32/win32_user_interface.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/gdi_handles.h"
#include "platform/win32/message_pump.h"
#include "platform/win32/ui_font.h"
#include "platform/win32/win32_text.h"

namespace koru::platform::win32 {
namespace {

// The id MessageBoxW gives its text, kept so that tools read both kinds of box alike.
constexpr int kTextId = 0xFFFF;
constexpr int kIconId = 0xFFFE;
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr int kButtonGap = 8;
constexpr int kMaxTextWidth = 420;

UINT IconFlag(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return MB_ICONWARNING;
    case MessageIcon::kInformation:
      return MB_ICONINFORMATION;
    case MessageIcon::kConfirmation:
      return MB_ICONQUESTION;
    case MessageIcon::kError:
      return MB_ICONERROR;
  }
  return 0;
}

const wchar_t* IconResource(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return IDI_WARNING;
    case MessageIcon::kInformation:
      return IDI_INFORMATION;
    case MessageIcon::kConfirmation:
      return IDI_QUESTION;
    case MessageIcon::kError:
      return IDI_ERROR;
  }
  return IDI_INFORMATION;
}

// The box with OK and Abort that MessageBoxW does not offer: a dialog of the same layout
// (icon, text, buttons right below), built in code.
struct OkAbortBox {
  std::wstring caption;
  std::wstring text;
  MessageIcon icon;
  UniqueGdiObject font;
};

HWND AddChild(HWND dialog, const wchar_t* window_class, const wchar_t* text, DWORD style, int id,
              HFONT font) {
  HWND child = ::CreateWindowExW(0, window_class, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                 dialog, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), /*param=*/nullptr);
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return child;
}

void LayOutOkAbortBox(HWND dialog, OkAbortBox& box) {
  const HFONT font = static_cast<HFONT>(box.font.get());
  ::SetWindowTextW(dialog, box.caption.c_str());
  HWND icon = AddChild(dialog, L"STATIC", nullptr, SS_ICON, kIconId, font);
  ::SendMessageW(icon, STM_SETICON,
                 reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IconResource(box.icon))), 0);
  HWND text = AddChild(dialog, L"STATIC", box.text.c_str(), SS_LEFT | SS_NOPREFIX, kTextId, font);
  HWND ok =
      AddChild(dialog, L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, IDOK, font);
  // "中止(&A)": the Japanese label of the abort button.
  HWND abort =
      AddChild(dialog, L"BUTTON", L"\x4E2D\x6B62(&A)", BS_PUSHBUTTON | WS_TABSTOP, IDABORT, font);

  RECT measured = {0, 0, kMaxTextWidth, 0};
  {
    WindowDc dc(dialog);
    ScopedSelect select(dc.get(), font);
    ::DrawTextW(dc.get(), box.text.c_str(), -1, &measured,
                DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  }
  const int text_left = kMargin + kIconSize + kMargin;
  const int text_height = std::max<int>(measured.bottom, kIconSize);
  const int buttons_width = 2 * kButtonWidth + kButtonGap;
  const int client_width =
      std::max<int>(text_left + measured.right + kMargin, buttons_width + 2 * kMargin);
  const int buttons_top = kMargin + text_height + kMargin;
  const int client_height = buttons_top + kButtonHeight + kMargin;
  ::MoveWindow(icon, kMargin, kMargin, kIconSize, kIconSize, FALSE);
  ::MoveWindow(text, text_left, kMargin + (text_height - measured.bottom) / 2, measured.right,
               measured.bottom, FALSE);
  const int buttons_left = (client_width - buttons_width) / 2;
  ::MoveWindow(ok, buttons_left, buttons_top, kButtonWidth, kButtonHeight, FALSE);
  ::MoveWindow(abort, buttons_left + kButtonWidth + kButtonGap, buttons_top, kButtonWidth,
               kButtonHeight, FALSE);

  // Size the frame around that client area and centre it on the owner, as message boxes do.
  RECT frame = {0, 0, client_width, client_height};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT area;
  HWND owner = ::GetWindow(dialog, GW_OWNER);
  if (owner == nullptr || !::GetWindowRect(owner, &area)) {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  ::SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::MessageBeep(MB_ICONINFORMATION);
  ::SetFocus(ok);
}

INT_PTR CALLBACK OkAbortProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      LayOutOkAbortBox(dialog, *reinterpret_cast<OkAbortBox*>(lparam));
      return FALSE;  // focus set by the layout
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case IDOK:
          ::EndDialog(dialog, IDOK);
          return TRUE;
        case IDABORT:
        case IDCANCEL:  // Esc and the close box mean Abort
          ::EndDialog(dialog, IDABORT);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

int ShowOkAbortBox(HWND owner, OkAbortBox& box) {
  // An empty template: the children are made and placed in WM_INITDIALOG.
  struct alignas(4) Template {
    DLGTEMPLATE header;
    WORD menu = 0;
    WORD window_class = 0;
    WORD title = 0;
  } templ = {};
  templ.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  return static_cast<int>(::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), &templ.header,
                                                    owner, OkAbortProc,
                                                    reinterpret_cast<LPARAM>(&box)));
}

// The window the box belongs to: the active one of this thread, else the innermost modal
// form (the box is then modal to it).
HWND BoxOwner() {
  HWND active = ::GetActiveWindow();
  return active != nullptr ? active : ActiveModalWindow();
}

}  // namespace

int Win32UserInterface::ShowMessage(const std::string& caption, const std::string& text,
                                    MessageIcon icon, MessageButtons buttons) {
  if (buttons == MessageButtons::kOkAbort) {
    OkAbortBox box{Wide(caption), Wide(text), icon, CreateUiFont()};
    return ShowOkAbortBox(BoxOwner(), box);
  }
  const UINT button_flags = buttons == MessageButtons::kYesNo ? MB_YESNO : MB_OK;
  return ::MessageBoxW(BoxOwner(), Wide(text).c_str(), Wide(caption).c_str(),
                       button_flags | IconFlag(icon) | MB_SETFOREGROUND);
}

void Win32UserInterface::ProcessMessages() { PumpWaitingMessages(); }

void Win32UserInterface::ShowHandlerError(const std::string& text) {
  ShowMessage(title_, text, MessageIcon::kError, MessageButtons::kOk);
}

}  // namespace koru::platform::win32
