// The smallest window a Windows program shows: registered, created, painted once. It
// reports the end of its first paint the way the setup program does under the test
// setting KORU_REPORT_FIRST_PAINT (milliseconds since the process was created, appended
// to that file), so the two start-ups compare like for like.
#include <windows.h>

#include <cstdio>

namespace {

bool g_reported = false;

unsigned long long Ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void ReportFirstPaint() {
  wchar_t path[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"KORU_REPORT_FIRST_PAINT", path, MAX_PATH) == 0) return;
  FILETIME created, exited, kernel, user, now;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  ::GetSystemTimeAsFileTime(&now);
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[32];
  const int length =
      std::snprintf(line, sizeof(line), "%llu\n", (Ticks(now) - Ticks(created)) / 10000);
  DWORD written = 0;
  ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      const HDC dc = ::BeginPaint(window, &paint);
      ::FillRect(dc, &paint.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
      ::EndPaint(window, &paint);
      if (!g_reported) {
        g_reported = true;
        ReportFirstPaint();
      }
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
  }
  return ::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = L"KoruTrivialWindow";
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  ::RegisterClassW(&window_class);
  HWND window =
      ::CreateWindowExW(0, L"KoruTrivialWindow", L"trivial", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 265, 230, nullptr, nullptr, instance, nullptr);
  ::ShowWindow(window, SW_SHOW);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}
