// The sample game's game.exe: a small window that says the game runs. Like a real game
// made with the authoring tool it holds, while it runs, the mutex named after its install
// folder, so that a setup started meanwhile ends silently.
#include <windows.h>

#include <string>

#include "launcher/mutex_names.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"
#include "settings/paths.h"

namespace {

constexpr int kCloseId = 100;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == kCloseId) ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

HWND Child(HWND parent, const wchar_t* window_class, const std::string& text, DWORD style, int id,
           int x, int y, int width, int height, HFONT font) {
  HWND child = ::CreateWindowExW(0, window_class, koru::platform::win32::Wide(text).c_str(),
                                 WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::string folder = koru::ExtractFilePath(koru::platform::win32::NarrowPath(path));
  koru::platform::win32::UniqueHandle running(::CreateMutexW(
      nullptr, FALSE, koru::platform::win32::Wide(koru::RunningGameMutexName(folder)).c_str()));

  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"KoruSampleGame";
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  ::RegisterClassW(&window_class);
  HWND window =
      ::CreateWindowExW(0, L"KoruSampleGame", koru::platform::win32::Wide("サンプルゲーム").c_str(),
                        WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT, CW_USEDEFAULT, 360,
                        160, nullptr, nullptr, instance, nullptr);
  LOGFONTW logfont = {};
  logfont.lfHeight = -12;
  logfont.lfCharSet = SHIFTJIS_CHARSET;
  ::lstrcpyW(logfont.lfFaceName, L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF");
  HFONT font = ::CreateFontIndirectW(&logfont);
  Child(window, L"STATIC", "サンプルゲームが起動しました。", SS_CENTER, 0, 10, 24, 330, 20, font);
  Child(window, L"STATIC", folder, SS_CENTER | SS_NOPREFIX, 0, 10, 48, 330, 20, font);
  Child(window, L"BUTTON", "終了", BS_DEFPUSHBUTTON | WS_TABSTOP, kCloseId, 130, 80, 90, 26, font);
  ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!::IsDialogMessageW(window, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ::DeleteObject(font);
  return 0;
}
