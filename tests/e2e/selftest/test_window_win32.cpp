// The driver's self-test target: a small window with Japanese texts in the shape of the
// setup program's windows (fixed layout from a table, a stable id per control).
//
//   koru_e2e_test_window            the main window "テスト窓 - セットアップ"
//   koru_e2e_test_window --child    a second window "子プロセス" that exits with code 7
//
// Main window: a name edit, a consent check box that enables "次へ", two radio buttons,
// "確認" asks a Yes/No message box and shows the answer, "子を起動" starts the child,
// "終了" stores the name (HKCU\Software\KoruE2eTest Name, %TEMP%\koru-e2e-test.txt) and
// exits with 10 + 1 (consent) + 2 (custom).

#include <windows.h>

#include <iterator>
#include <string>

#include "platform/win32/win32_text.h"

namespace {

using koru::platform::win32::Narrow;
using koru::platform::win32::Wide;

enum ControlId : int {
  kNameLabel = 100,
  kNameEdit = 101,
  kConsent = 102,
  kStandard = 103,
  kCustom = 104,
  kNext = 105,
  kConfirm = 106,
  kAnswer = 107,
  kStartChild = 108,
  kFinish = 109,
  kChildClose = 201,
};

struct ControlSpec {
  int id;
  const wchar_t* class_name;
  const char* text;  // Shift-JIS
  int left, top, width, height;
  DWORD style;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
const ControlSpec kMainControls[] = {
    {kNameLabel, L"Static", "お名前：", 16, 18, 80, 20, kChild},
    {kNameEdit, L"Edit", "", 100, 14, 220, 24, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL},
    {kConsent, L"Button", "規約に同意する", 16, 50, 240, 24, kChild | WS_TABSTOP | BS_AUTOCHECKBOX},
    {kStandard, L"Button", "標準インストール", 16, 80, 240, 24,
     kChild | WS_GROUP | BS_AUTORADIOBUTTON},
    {kCustom, L"Button", "カスタム", 16, 108, 240, 24, kChild | BS_AUTORADIOBUTTON},
    {kNext, L"Button", "次へ", 16, 150, 100, 28, kChild | WS_GROUP | WS_DISABLED | BS_PUSHBUTTON},
    {kConfirm, L"Button", "確認", 124, 150, 100, 28, kChild | BS_PUSHBUTTON},
    {kStartChild, L"Button", "子を起動", 232, 150, 100, 28, kChild | BS_PUSHBUTTON},
    {kFinish, L"Button", "終了", 340, 150, 100, 28, kChild | BS_PUSHBUTTON},
    {kAnswer, L"Static", "", 16, 196, 420, 20, kChild},
};
const ControlSpec kChildControls[] = {
    {kChildClose, L"Button", "閉じる", 16, 16, 100, 28, kChild | BS_PUSHBUTTON},
};

constexpr wchar_t kClassName[] = L"KoruE2eTestWindow";

bool child_mode = false;
HFONT font = nullptr;

std::wstring TextOf(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

void CreateControls(HWND window, const ControlSpec* begin, const ControlSpec* end) {
  for (const ControlSpec* spec = begin; spec != end; ++spec) {
    HWND control = ::CreateWindowExW(0, spec->class_name, Wide(spec->text).c_str(), spec->style,
                                     spec->left, spec->top, spec->width, spec->height, window,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec->id)),
                                     ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

bool IsChecked(HWND window, int id) {
  return ::SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void StartChild() {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --child";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
}

// The name goes where the driver's registry and file reads can check it.
void StoreName(const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\KoruE2eTest", 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                     static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
  }
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::string bytes = Narrow(name);
  HANDLE file = ::CreateFileW((std::wstring(temp) + L"koru-e2e-test.txt").c_str(), GENERIC_WRITE, 0,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
  }
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case kConsent:
      ::EnableWindow(::GetDlgItem(window, kNext), IsChecked(window, kConsent));
      break;
    case kNext:
      ::SetDlgItemTextW(window, kAnswer, Wide("次へ進みました").c_str());
      break;
    case kConfirm: {
      const int answer = ::MessageBoxW(window, Wide("設定を保存しますか？").c_str(),
                                       Wide("確認").c_str(), MB_YESNO | MB_ICONQUESTION);
      ::SetDlgItemTextW(window, kAnswer, Wide(answer == IDYES ? "はい" : "いいえ").c_str());
      break;
    }
    case kStartChild:
      StartChild();
      break;
    case kFinish:
      StoreName(TextOf(::GetDlgItem(window, kNameEdit)));
      ::PostQuitMessage(10 + (IsChecked(window, kConsent) ? 1 : 0) +
                        (IsChecked(window, kCustom) ? 2 : 0));
      break;
    case kChildClose:
      ::PostQuitMessage(7);
      break;
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CREATE:
      if (child_mode) {
        CreateControls(window, std::begin(kChildControls), std::end(kChildControls));
      } else {
        CreateControls(window, std::begin(kMainControls), std::end(kMainControls));
        ::SendDlgItemMessageW(window, kStandard, BM_SETCHECK, BST_CHECKED, 0);
      }
      return 0;
    case WM_COMMAND:
      if (HIWORD(w) == BN_CLICKED) OnCommand(window, LOWORD(w));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(child_mode ? 7 : 1);
      return 0;
  }
  return ::DefWindowProcW(window, message, w, l);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  child_mode = std::wstring(::GetCommandLineW()).find(L"--child") != std::wstring::npos;
  // The program's texts ask for this face; the test prefix substitutes a Japanese font.
  font = ::CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, Wide("ＭＳ Ｐゴシック").c_str());
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  ::RegisterClassW(&window_class);
  RECT frame{0, 0, child_mode ? 240 : 460, child_mode ? 80 : 230};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  ::AdjustWindowRect(&frame, style, FALSE);
  HWND window = ::CreateWindowExW(
      0, kClassName, Wide(child_mode ? "子プロセス" : "テスト窓 - セットアップ").c_str(), style,
      child_mode ? 400 : 40, child_mode ? 360 : 40, frame.right - frame.left,
      frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(window, show);
  ::UpdateWindow(window);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!::IsDialogMessageW(window, &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  ::DeleteObject(font);
  return static_cast<int>(message.wParam);
}
