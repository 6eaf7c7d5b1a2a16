// Start-up benchmark: starts each given program RUNS times, alternating between them,
// with KORU_REPORT_FIRST_PAINT pointing at a fresh file, waits until the program reports
// the end of its first paint (milliseconds since its process was created), then ends it.
// Prints every measurement and the median of each program.
//
//   bench_startup RUNS PROGRAM [ARGS] -- PROGRAM [ARGS] ...
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr DWORD kTimeoutMs = 60000;

struct Subject {
  std::wstring command_line;
  std::vector<double> times;
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The reported milliseconds, or -1 when the program did not report within the timeout.
double RunOnce(const Subject& subject, const std::wstring& report) {
  ::DeleteFileW(report.c_str());
  ::SetEnvironmentVariableW(L"KORU_REPORT_FIRST_PAINT", report.c_str());
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  std::wstring command = subject.command_line;
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "cannot start %ls (error %lu)\n", subject.command_line.c_str(),
                 ::GetLastError());
    return -1;
  }
  double result = -1;
  const DWORD started = ::GetTickCount();
  while (::GetTickCount() - started < kTimeoutMs) {
    HANDLE file = ::CreateFileW(report.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      char text[64] = {};
      DWORD read = 0;
      ::ReadFile(file, text, sizeof(text) - 1, &read, nullptr);
      ::CloseHandle(file);
      if (read > 0 && text[read - 1] == '\n') {
        result = std::atof(text);
        break;
      }
    }
    if (::WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  ::TerminateProcess(process.hProcess, 0);
  ::WaitForSingleObject(process.hProcess, kTimeoutMs);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return result;
}

double Median(std::vector<double> values) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_startup RUNS PROGRAM [ARGS] -- PROGRAM [ARGS] ...\n");
    return 2;
  }
  const int runs = _wtoi(argv[1]);
  std::vector<Subject> subjects(1);
  for (int i = 2; i < argc; ++i) {
    if (std::wstring(argv[i]) == L"--") {
      subjects.emplace_back();
      continue;
    }
    std::wstring& line = subjects.back().command_line;
    if (!line.empty()) line += L' ';
    line += Quoted(argv[i]);
  }
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring report = std::wstring(temp) + L"koru-first-paint.txt";
  for (int run = 0; run < runs; ++run) {
    for (Subject& subject : subjects) {
      const double ms = RunOnce(subject, report);
      std::printf("run %d: %ls: %.0f ms\n", run + 1, subject.command_line.c_str(), ms);
      if (ms >= 0) subject.times.push_back(ms);
    }
  }
  for (const Subject& subject : subjects) {
    std::printf("median of %zu: %.0f ms  %ls\n", subject.times.size(), Median(subject.times),
                subject.command_line.c_str());
  }
  return 0;
}
