// koru-drive: the driver from the command line, to look at a running program by hand.
// Run it in the program's prefix (scripts/wine-run build/<preset>/tests/e2e/koru-drive.exe).
//
//   koru-drive dump                           every window and control
//   koru-drive start PROGRAM [ARGUMENTS]      starts a program, prints its process id
//   koru-drive wait CAPTION                   waits for a top-level window
//   koru-drive text CAPTION ID                prints a control's text
//   koru-drive click CAPTION ID               clicks a control
//   koru-drive type CAPTION ID TEXT           types into an edit
//   koru-drive answer TEXT ok|yes|no|cancel   answers a message box containing TEXT
//   koru-drive shot NAME                      screenshot of the screen
// Exit code 0 on success, 1 when the step failed (the window dump is printed), 2 on misuse.

#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e/driver/e2e.h"
#include "platform/win32/win32_text.h"

namespace {

using koru::platform::win32::Narrow;

int Usage() {
  std::puts(
      "usage: koru-drive dump | start PROGRAM [ARGUMENTS] | wait CAPTION | text CAPTION ID |\n"
      "       click CAPTION ID | type CAPTION ID TEXT | answer TEXT ok|yes|no|cancel |\n"
      "       shot NAME");
  return 2;
}

e2e::Button ButtonNamed(const std::string& name) {
  if (name == "yes") return e2e::Button::kYes;
  if (name == "no") return e2e::Button::kNo;
  if (name == "cancel") return e2e::Button::kCancel;
  return e2e::Button::kOk;
}

// Arguments as Shift-JIS (the driver's convention), from the wide command line.
std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Narrow(wide[i]));
  ::LocalFree(wide);
  return args;
}

int Run(const std::vector<std::string>& a) {
  const size_t n = a.size();
  if (n == 0) return Usage();
  const std::string& command = a[0];
  if (command == "dump" && n == 1) {
    std::puts(e2e::DumpWindows().c_str());
  } else if (command == "start" && (n == 2 || n == 3)) {
    e2e::App app = e2e::App::Start(a[1], {.arguments = n == 3 ? a[2] : ""});
    std::printf("%lu\n", app.Id());
    // Left running on purpose: this tool only starts it.
    app.KeepRunning();
  } else if (command == "wait" && n == 2) {
    e2e::Window::WaitFor({.caption = a[1]});
  } else if (command == "text" && n == 3) {
    std::puts(
        e2e::Utf8(e2e::Window::WaitFor({.caption = a[1]}).ById(std::atoi(a[2].c_str())).Text())
            .c_str());
  } else if (command == "click" && n == 3) {
    e2e::Window::WaitFor({.caption = a[1]}).Click(std::atoi(a[2].c_str()));
  } else if (command == "type" && n == 4) {
    e2e::Window::WaitFor({.caption = a[1]}).ById(std::atoi(a[2].c_str())).Type(a[3]);
  } else if (command == "answer" && n == 3) {
    e2e::Answer({.text = a[1], .button = ButtonNamed(a[2]), .text_contains = true});
  } else if (command == "shot" && n == 2) {
    std::puts(e2e::Utf8(e2e::Screenshot(a[1])).c_str());
  } else {
    return Usage();
  }
  return 0;
}

}  // namespace

int main() {
  try {
    return Run(Arguments());
  } catch (const e2e::StepFailed& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
}
