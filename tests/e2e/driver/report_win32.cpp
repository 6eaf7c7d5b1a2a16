#include <windows.h>

#include <cstdio>
#include <string>

#include "base/sjis.h"
#include "e2e/driver/report.h"
#include "e2e/driver/screenshot.h"
#include "e2e/driver/window.h"

namespace e2e {

std::string Utf8(std::string_view sjis) { return koru::SjisToUtf8(sjis); }

void Log(std::string_view utf8_line) {
  std::fwrite("[e2e] ", 1, 6, stdout);
  std::fwrite(utf8_line.data(), 1, utf8_line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

long long NowMs() { return static_cast<long long>(::GetTickCount64()); }

void SleepMs(int ms) { ::Sleep(static_cast<DWORD>(ms)); }

std::string DumpWindows() {
  std::string out = kDumpHeader;
  const std::vector<Window> windows = Window::All();
  int visible = 0;
  for (const Window& window : windows) visible += window.Visible() ? 1 : 0;
  out += " (" + std::to_string(windows.size()) + " top-level, " + std::to_string(visible) +
         " visible)\n";
  for (const Window& window : windows) {
    out += window.Describe() + "\n";
    // Hidden windows are mostly Wine's and the system's own; their controls are noise.
    if (!window.Visible()) continue;
    for (const Control& control : window.Controls()) out += "    " + control.Describe() + "\n";
  }
  out += "==== end of windows";
  return out;
}

void FailStep(std::string_view step, std::string_view reason) {
  std::string message = std::string(step) + ": " + std::string(reason);
  Log("FAILED " + message);
  std::string shot;
  try {
    shot = Screenshot("failure");
  } catch (const StepFailed&) {
    shot = "(none: the screen could not be read)";
  }
  message += "\nscreenshot: " + Utf8(shot) + "\n" + DumpWindows();
  throw StepFailed(message);
}

}  // namespace e2e
