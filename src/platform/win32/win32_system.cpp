#include "platform/win32/win32_system.h"

// The shell headers build on windows.h, so it comes first.
#include <windows.h>
// Shell headers.
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>

#include "base/error.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::platform {
namespace {

using win32::NarrowPath;
using win32::UniqueHandle;
using win32::UniqueModule;
using win32::Wide;

// Calls fill(buffer, size) -> length until the buffer is large enough (the folder APIs
// return the needed size when it is not). A folder whose name code page 932 cannot hold (a
// user name with "é") comes back in its short form.
template <typename Fill>
std::string QueryText(Fill fill) {
  std::wstring buffer(512, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return NarrowPath(std::wstring(buffer.data(), length));
    buffer.assign(static_cast<size_t>(length) + 1, L'\0');
  }
  return std::string();
}

class Win32Mutex : public NamedMutex {
 public:
  explicit Win32Mutex(UniqueHandle handle) : handle_(std::move(handle)) {}
  // Not owned unless someone waited on it; ReleaseMutex then simply fails.
  ~Win32Mutex() override { ::ReleaseMutex(handle_.get()); }

 private:
  UniqueHandle handle_;
};

class Win32Resource : public ResourceData {
 public:
  Win32Resource(UniqueModule module, const uint8_t* data, size_t size)
      : module_(std::move(module)), data_(data), size_(size) {}
  const uint8_t* data() const override { return data_; }
  size_t size() const override { return size_; }

 private:
  UniqueModule module_;  // empty for the program's own module, which is never freed
  const uint8_t* data_;
  size_t size_;
};

// A resource name or type given as text: "#123" is the number 123, anything else a name.
struct ResourceId {
  explicit ResourceId(const std::string& text) : name(Wide(text)) {
    if (text.size() > 1 && text[0] == '#') {
      char* end = nullptr;
      const unsigned long number = std::strtoul(text.c_str() + 1, &end, 10);
      if (end != nullptr && *end == '\0' && number > 0 && number <= 0xFFFF) {
        id = static_cast<WORD>(number);
      }
    }
  }
  const wchar_t* get() const { return id != 0 ? MAKEINTRESOURCEW(id) : name.c_str(); }

  std::wstring name;
  WORD id = 0;
};

}  // namespace

std::string Win32System::TempFolder() {
  return QueryText([](wchar_t* buffer, DWORD size) { return ::GetTempPathW(size, buffer); });
}

std::string Win32System::WindowsFolder() {
  return QueryText(
      [](wchar_t* buffer, DWORD size) { return ::GetWindowsDirectoryW(buffer, size); });
}

std::string Win32System::SystemFolder() {
  return QueryText([](wchar_t* buffer, DWORD size) { return ::GetSystemDirectoryW(buffer, size); });
}

std::string Win32System::SpecialFolder(int csidl) {
  LPITEMIDLIST list = nullptr;
  const HRESULT result = ::SHGetSpecialFolderLocation(/*owner=*/nullptr, csidl, &list);
  if (FAILED(result) || list == nullptr) {
    throw win32::Win32Error(static_cast<DWORD>(result));
  }
  wchar_t buffer[MAX_PATH] = {};
  const BOOL found = ::SHGetPathFromIDListW(list, buffer);
  ::CoTaskMemFree(list);
  if (!found) throw win32::Win32Error(ERROR_PATH_NOT_FOUND);
  return NarrowPath(buffer);
}

std::string Win32System::ExecutablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  // GetModuleFileNameW truncates silently; a full buffer means it may have.
  while (buffer.size() <= 32768) {
    const DWORD length =
        ::GetModuleFileNameW(/*module=*/nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::string();
    if (length < buffer.size()) return NarrowPath(std::wstring(buffer.data(), length));
    buffer.assign(buffer.size() * 2, L'\0');
  }
  return std::string();
}

bool Win32System::IsNtFamily() { return true; }

bool Win32System::IsUserAdmin() {
  // IsUserAnAdmin is exported by ordinal 680 only; a shell without it counts as "no".
  UniqueModule shell(::LoadLibraryW(L"shell32.dll"));
  if (!shell) return false;
  using IsUserAnAdminFunction = BOOL(WINAPI*)();
  const auto function = reinterpret_cast<IsUserAnAdminFunction>(
      reinterpret_cast<void*>(::GetProcAddress(shell.get(), MAKEINTRESOURCEA(680))));
  return function != nullptr && function() != FALSE;
}

std::unique_ptr<NamedMutex> Win32System::CreateNamedMutex(const std::string& name,
                                                          bool* already_existed) {
  const std::wstring wide = Wide(name);
  UniqueHandle handle(::CreateMutexW(/*security=*/nullptr, /*initial_owner=*/FALSE,
                                     name.empty() ? nullptr : wide.c_str()));
  const DWORD error = ::GetLastError();
  if (already_existed != nullptr) *already_existed = handle && error == ERROR_ALREADY_EXISTS;
  if (!handle) return nullptr;
  return std::make_unique<Win32Mutex>(std::move(handle));
}

MutexProbe Win32System::ProbeMutex(const std::string& name) {
  if (name.empty()) return MutexProbe::kAbsent;
  UniqueHandle handle(::OpenMutexW(MUTEX_ALL_ACCESS, /*inherit=*/FALSE, Wide(name).c_str()));
  if (handle) return MutexProbe::kOpened;
  return ::GetLastError() == ERROR_ACCESS_DENIED ? MutexProbe::kAccessDenied : MutexProbe::kAbsent;
}

bool Win32System::DeleteAtRestart(const std::string& path) {
  return ::MoveFileExW(Wide(path).c_str(), /*new_name=*/nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

void Win32System::SleepMs(uint32_t milliseconds) { ::Sleep(milliseconds); }

std::unique_ptr<ResourceData> Win32System::LoadModuleResource(const std::string& module_path,
                                                              const std::string& name,
                                                              const std::string& type,
                                                              bool* module_loaded) {
  UniqueModule owned;
  HMODULE module = ::GetModuleHandleW(nullptr);
  if (!module_path.empty()) {
    // As a data file: its code is never run and its imports are not loaded.
    owned.reset(
        ::LoadLibraryExW(Wide(module_path).c_str(), /*file=*/nullptr, LOAD_LIBRARY_AS_DATAFILE));
    module = owned.get();
  }
  if (module_loaded != nullptr) *module_loaded = module != nullptr;
  if (module == nullptr) return nullptr;
  const ResourceId resource_name(name);
  const ResourceId resource_type(type);
  HRSRC found = ::FindResourceW(module, resource_name.get(), resource_type.get());
  if (found == nullptr) return nullptr;
  HGLOBAL loaded = ::LoadResource(module, found);
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return nullptr;
  const DWORD size = ::SizeofResource(module, found);
  return std::make_unique<Win32Resource>(std::move(owned), static_cast<const uint8_t*>(data), size);
}

}  // namespace koru::platform
