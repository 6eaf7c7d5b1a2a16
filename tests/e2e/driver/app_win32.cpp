#include <windows.h>
// After windows.h.
#include <tlhelp32.h>

#include <optional>
#include <string>
#include <utility>

#include "e2e/driver/app.h"
#include "e2e/driver/report.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace e2e {
namespace {

using koru::platform::win32::Narrow;
using koru::platform::win32::SystemMessage;
using koru::platform::win32::UniqueHandle;
using koru::platform::win32::Wide;

std::wstring LowerAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return text;
}

std::string FileNameOf(std::string_view path) {
  const std::wstring wide = Wide(path);
  const size_t slash = wide.find_last_of(L"\\/");
  return Narrow(slash == std::wstring::npos ? wide : wide.substr(slash + 1));
}

std::string LastError() {
  const DWORD code = ::GetLastError();
  return Utf8(SystemMessage(code)) + " (error " + std::to_string(code) + ")";
}

struct FoundProcess {
  DWORD id = 0;
  std::string name;
};

// The first running process of that executable name (and parent, unless 0).
std::optional<FoundProcess> FindProcess(std::string_view exe_name, DWORD parent_id) {
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return std::nullopt;
  const std::wstring wanted = LowerAscii(Wide(exe_name));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (LowerAscii(entry.szExeFile) != wanted) continue;
    if (parent_id != 0 && entry.th32ParentProcessID != parent_id) continue;
    return FoundProcess{entry.th32ProcessID, Narrow(entry.szExeFile)};
  }
  return std::nullopt;
}

}  // namespace

Process::Process(void* handle, unsigned long id, std::string name)
    : handle_(handle), id_(id), name_(std::move(name)) {}

Process::~Process() {
  if (handle_ != nullptr) ::CloseHandle(handle_);
}

Process::Process(Process&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      id_(other.id_),
      name_(std::move(other.name_)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) ::CloseHandle(handle_);
    handle_ = std::exchange(other.handle_, nullptr);
    id_ = other.id_;
    name_ = std::move(other.name_);
  }
  return *this;
}

Process Process::WaitFor(std::string_view exe_name, unsigned long parent_id, int timeout_ms) {
  std::optional<FoundProcess> found;
  HANDLE handle = nullptr;
  const bool appeared = WaitUntil(
      [&] {
        found = FindProcess(exe_name, parent_id);
        if (!found) return false;
        // SYNCHRONIZE to wait, the query right for the exit code; a process that ended
        // between the snapshot and here is looked for again.
        handle = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE,
                               /*inherit=*/FALSE, found->id);
        return handle != nullptr;
      },
      timeout_ms);
  const std::string what = "wait for the process " + Utf8(exe_name) +
                           (parent_id != 0 ? " started by " + std::to_string(parent_id) : "");
  if (!appeared) FailStep(what, "none ran within " + std::to_string(timeout_ms) + " ms");
  Log(what + ": process " + std::to_string(found->id));
  return Process(handle, found->id, found->name);
}

bool Process::IsRunning(std::string_view exe_name) { return FindProcess(exe_name, 0).has_value(); }

bool Process::Running() const { return ::WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT; }

unsigned long Process::WaitForExit(int timeout_ms) const {
  const std::string what =
      "wait for " + Utf8(name_) + " (process " + std::to_string(id_) + ") to exit";
  if (::WaitForSingleObject(handle_, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) {
    FailStep(what, "it still ran after " + std::to_string(timeout_ms) + " ms");
  }
  DWORD code = 0;
  if (!::GetExitCodeProcess(handle_, &code)) FailStep(what, "no exit code: " + LastError());
  Log(what + ": exit code " + std::to_string(code));
  return code;
}

void Process::Kill() const {
  if (Running()) {
    Log("kill " + Utf8(name_) + " (process " + std::to_string(id_) + ")");
    ::TerminateProcess(handle_, 255);
    ::WaitForSingleObject(handle_, 5000);
  }
}

Window Process::WaitForWindow(WindowQuery query, int timeout_ms) const {
  query.process_id = id_;
  return Window::WaitFor(query, timeout_ms);
}

App App::Start(std::string_view program, const StartOptions& options) {
  std::wstring command_line = L"\"" + Wide(program) + L"\"";
  if (!options.arguments.empty()) command_line += L" " + Wide(options.arguments);
  std::wstring folder = Wide(options.working_directory);
  if (folder.empty()) {
    const std::wstring path = Wide(program);
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) folder = path.substr(0, slash);
  }
  // No STARTF_USESTDHANDLES and no inheritance: the program gets none of our handles.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  const std::string what =
      "start " + Utf8(program) + (options.arguments.empty() ? "" : " " + Utf8(options.arguments));
  if (!::CreateProcessW(/*application=*/nullptr, command_line.data(), /*process=*/nullptr,
                        /*thread=*/nullptr, /*inherit=*/FALSE, /*flags=*/0,
                        /*environment=*/nullptr, folder.empty() ? nullptr : folder.c_str(),
                        &startup, &info)) {
    FailStep(what, LastError());
  }
  ::CloseHandle(info.hThread);
  Log(what + ": process " + std::to_string(info.dwProcessId));
  return App(info.hProcess, info.dwProcessId, FileNameOf(program));
}

App::~App() {
  if (HasHandle() && !keep_running_) Kill();
}

}  // namespace e2e
