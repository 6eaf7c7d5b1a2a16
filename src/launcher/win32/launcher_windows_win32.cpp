#include "launcher/win32/launcher_windows_win32.h"

#include <cstdio>
#include <string>

#include "launcher/main_form.h"
#include "launcher/start_form.h"
#include "launcher/win32/background_paint_win32.h"
#include "platform/win32/form_window.h"
#include "platform/win32/win32_handles.h"

namespace koru {
namespace {

using platform::win32::FormOptions;
using platform::win32::FormWindow;

// Test setting: when KORU_REPORT_FIRST_PAINT names a file, the start menu's first paint
// appends the milliseconds since the process was created to it (for the start-up
// benchmark). Nothing is written otherwise.
void ReportFirstPaint() {
  wchar_t path[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"KORU_REPORT_FIRST_PAINT", path, MAX_PATH) == 0) return;
  FILETIME created, exited, kernel, user, now;
  if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  const unsigned long long elapsed_ms = (ticks(now) - ticks(created)) / 10000;
  platform::win32::UniqueHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  char line[32];
  const int length = std::snprintf(line, sizeof(line), "%llu\n", elapsed_ms);
  DWORD written = 0;
  ::WriteFile(file.get(), line, static_cast<DWORD>(length), &written, nullptr);
}

}  // namespace

Win32LauncherWindows::Win32LauncherWindows(platform::Env& env, platform::UserInterface& ui,
                                           WizardRunner run_wizard)
    : env_(env), ui_(ui), run_wizard_(std::move(run_wizard)) {}

StartMenuOutcome Win32LauncherWindows::RunStartMenu(TKoruInstallSet& settings,
                                                    TVrFileCollection& archive) {
  TFormStart form(env_, ui_, settings, archive);
  FormOptions options;
  options.client_width = kStartMenuWidth;
  options.client_height = kStartMenuHeight;
  FormWindow window(form, ui_, TFormStart::Layout(), options);
  // Outside any window procedure: a damaged picture fails out of here to the entry.
  form.FormCreate(window);
  window.OnPaintBackground = [&form](HDC dc, int width, int height) {
    const RECT all = {0, 0, width, height};
    ::FillRect(dc, &all, ::GetSysColorBrush(COLOR_BTNFACE));
    PaintPictureBox(dc, form.PaintBox());
  };
  window.OnFirstPaint = ReportFirstPaint;
  window.ShowModal();
  return {form.ModalResult(), form.LaunchChoice()};
}

void Win32LauncherWindows::RunWizard(TKoruInstallSet& settings, TVrFileCollection* archive,
                                     const std::vector<std::string>& arguments) {
  TFormMain form(ui_, settings, archive);
  FormOptions options;
  options.client_width = kMainFormWidth;
  options.client_height = kMainFormHeight;
  FormWindow window(form, ui_, TFormMain::Layout(), options);
  form.FormCreate(window, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
  window.OnPaintBackground = [&form](HDC dc, int width, int height) {
    PaintGradient(dc, form.GradBox(), width, height);
    PaintPictureBox(dc, form.PaintBox());
  };
  window.Show();
  run_wizard_(window.handle(), settings, archive, arguments);
}

}  // namespace koru
