// The setup program's entry on Windows: prepares the process (DLL search, error mode,
// COM, common controls), splits the command line and hands over to InstallEntry. A
// failure that reaches this point is shown in the "アプリケーション エラー" box and ends the
// program with exit code 1.
#include <windows.h>
// Common controls after windows.h.
#include <commctrl.h>

#include <exception>
#include <string>

#include "launcher/command_line.h"
#include "launcher/install_entry.h"
#include "launcher/win32/launcher_windows_win32.h"
#include "launcher/win32/wizard_runner_win32.h"
#include "platform/env.h"
#include "platform/win32/win32_com.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/win32_user_interface.h"

namespace {

// The program runs elevated, often from a download folder: DLLs loaded by name come from
// the system folder only, never from beside the program. Looked up rather than imported,
// so that a system without the call still starts.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr) {
    set_default(LOAD_LIBRARY_SEARCH_SYSTEM32);
  } else {
    // Older systems: at least take the current folder out of the search.
    ::SetDllDirectoryW(L"");
  }
}

int Run() {
  using namespace koru;
  platform::win32::ComApartment com;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);

  platform::win32::Win32UserInterface ui;
  platform::Env& env = platform::DefaultEnv();
  Win32LauncherWindows windows(env, ui, MakeWizardRunner(env, ui));
  try {
    const std::vector<std::string> arguments =
        SplitCommandLine(platform::win32::Narrow(::GetCommandLineW()));
    return InstallEntry(env, ui, windows).Run(arguments);
  } catch (const std::exception& error) {
    ui.ShowMessage(platform::kApplicationErrorCaption, error.what(), platform::MessageIcon::kError,
                   platform::MessageButtons::kOk);
    return 1;
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  RestrictDllSearch();
  // Drives without a disc answer "not ready" instead of asking the user to insert one.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  return Run();
}
