#pragma once

// How the driver reports: one log line per step, and on a failed step an exception whose
// message holds every top-level window and every control the driver could see, so that a
// failing scenario can be diagnosed from the log alone.
//
// Text convention of the whole driver: every narrow string it takes or returns is
// Shift-JIS, like every narrow literal of this project (sources are UTF-8, compiled as
// code page 932). At the Win32 boundary the driver converts explicitly and calls the W
// functions. What it prints (log lines, window dumps, failure messages) is UTF-8, the
// log's encoding.

#include <stdexcept>
#include <string>
#include <string_view>

namespace e2e {

// Default wait of the steps that wait for something to appear or change, in milliseconds.
inline constexpr int kDefaultTimeoutMs = 15000;

// Shift-JIS to UTF-8 for log lines and assertion messages.
std::string Utf8(std::string_view sjis);

// Prints "[e2e] <line>" (line in UTF-8) to standard output at once.
void Log(std::string_view utf8_line);

// A step that could not be carried out. what() holds the step, the reason and the dump.
class StepFailed : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every top-level window (class, caption, process, rectangle, visible, enabled) and, for the
// visible ones, every control below it (class, id, text, rectangle in its parent's client
// coordinates, visible, enabled, checked). UTF-8.
std::string DumpWindows();

// Marks the start of a dump in failure messages (the scenario main prints a dump after a
// failed expectation only when the failure does not carry one already).
inline constexpr const char* kDumpHeader = "==== windows at the failure";

// Throws StepFailed: "<step>: <reason>" (both UTF-8), a screenshot of the screen (named
// "failure") and the dump. Also logs the message.
[[noreturn]] void FailStep(std::string_view step, std::string_view reason);

// Polls check() every 50 ms until it returns true or timeout_ms pass. True iff it did.
template <typename Check>
bool WaitUntil(Check check, int timeout_ms);

// Milliseconds from an arbitrary start, monotonic.
long long NowMs();
// Sleeps for ms milliseconds.
void SleepMs(int ms);

template <typename Check>
bool WaitUntil(Check check, int timeout_ms) {
  const long long deadline = NowMs() + timeout_ms;
  for (;;) {
    if (check()) return true;
    if (NowMs() >= deadline) return false;
    SleepMs(50);
  }
}

}  // namespace e2e
