#pragma once

// Processes: the program under test, started by the scenario, and processes it starts in
// turn (found by their executable's name). Paths are Windows paths in Shift-JIS.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "e2e/driver/report.h"
#include "e2e/driver/window.h"

namespace e2e {

// A process the driver holds a handle to, so that its exit code stays readable after it
// ends. Ending the object does not end the process.
class Process {
 public:
  ~Process();
  Process(Process&&) noexcept;
  Process& operator=(Process&&) noexcept;

  // Waits for a running process whose executable's file name is exe_name (ASCII case
  // ignored), optionally a child of parent_id; fails after timeout_ms.
  static Process WaitFor(std::string_view exe_name, unsigned long parent_id = 0,
                         int timeout_ms = kDefaultTimeoutMs);
  // True iff a process of that executable name runs now.
  static bool IsRunning(std::string_view exe_name);

  unsigned long Id() const { return id_; }
  const std::string& Name() const { return name_; }
  bool Running() const;
  // Waits for the process to end and returns its exit code; fails after timeout_ms.
  unsigned long WaitForExit(int timeout_ms = kDefaultTimeoutMs) const;
  // Ends the process at once (exit code 255).
  void Kill() const;

  // A top-level window of this process.
  Window WaitForWindow(WindowQuery query, int timeout_ms = kDefaultTimeoutMs) const;

 protected:
  Process(void* handle, unsigned long id, std::string name);
  bool HasHandle() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;  // HANDLE
  unsigned long id_ = 0;
  std::string name_;
};

struct StartOptions {
  std::string arguments;          // the command line after the program's quoted path
  std::string working_directory;  // empty: the program's own folder
};

// The program under test. Started without inheriting the driver's standard handles (a
// child holding them would keep the test's output open after the test ends).
class App : public Process {
 public:
  // Starts program (a Windows path); fails the step if it cannot be started.
  static App Start(std::string_view program, const StartOptions& options = {});

  // Ends the process if it still runs when the scenario lets go of it (unless told to keep
  // it running).
  ~App();
  App(App&&) noexcept = default;
  App& operator=(App&&) noexcept = default;

  void KeepRunning() { keep_running_ = true; }

 private:
  using Process::Process;
  bool keep_running_ = false;
};

}  // namespace e2e
