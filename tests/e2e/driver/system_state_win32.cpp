#include <windows.h>
// Shell headers build on windows.h.
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e/driver/report.h"
#include "e2e/driver/system_state.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace e2e {
namespace {

using koru::platform::win32::Narrow;
using koru::platform::win32::SystemMessage;
using koru::platform::win32::UniqueFindHandle;
using koru::platform::win32::UniqueHandle;
using koru::platform::win32::UniqueHkey;
using koru::platform::win32::Wide;

HKEY RootOf(Hive hive) {
  switch (hive) {
    case Hive::kCurrentUser:
      return HKEY_CURRENT_USER;
    case Hive::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case Hive::kClassesRoot:
      return HKEY_CLASSES_ROOT;
  }
  return HKEY_CURRENT_USER;
}

REGSAM ViewOf(RegistryView view) {
  switch (view) {
    case RegistryView::kOwn:
      return 0;
    case RegistryView::k32:
      return KEY_WOW64_32KEY;
    case RegistryView::k64:
      return KEY_WOW64_64KEY;
  }
  return 0;
}

UniqueHkey OpenKey(Hive hive, std::string_view key, RegistryView view) {
  UniqueHkey handle;
  if (::RegOpenKeyExW(RootOf(hive), Wide(key).c_str(), 0, KEY_READ | ViewOf(view),
                      handle.receive()) != ERROR_SUCCESS) {
    return UniqueHkey();
  }
  return handle;
}

std::string Failure(DWORD code) {
  return Utf8(SystemMessage(code)) + " (error " + std::to_string(code) + ")";
}

}  // namespace

bool RegistryKeyExists(Hive hive, std::string_view key, RegistryView view) {
  return static_cast<bool>(OpenKey(hive, key, view));
}

std::optional<std::string> ReadRegistryString(Hive hive, std::string_view key,
                                              std::string_view value, RegistryView view) {
  UniqueHkey handle = OpenKey(hive, key, view);
  if (!handle) return std::nullopt;
  const std::wstring name = Wide(value);
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(handle.get(), name.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(size / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return Narrow(text);
}

std::optional<uint32_t> ReadRegistryDword(Hive hive, std::string_view key, std::string_view value,
                                          RegistryView view) {
  UniqueHkey handle = OpenKey(hive, key, view);
  if (!handle) return std::nullopt;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (::RegQueryValueExW(handle.get(), Wide(value).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS ||
      type != REG_DWORD) {
    return std::nullopt;
  }
  return data;
}

bool FileExists(std::string_view path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> ReadFileBytes(std::string_view path) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  /*security=*/nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  /*template=*/nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

void WriteFileBytes(std::string_view path, std::string_view bytes) {
  UniqueHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, /*security=*/nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, /*template=*/nullptr));
  DWORD written = 0;
  if (!file ||
      !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    throw StepFailed("write " + Utf8(path) + ": " + Failure(::GetLastError()));
  }
}

void MakeDirectories(std::string_view path) {
  const std::wstring wide = Wide(path);
  // Every prefix ending before a separator, then the whole path ("C:" itself is skipped).
  for (size_t i = 0; i <= wide.size(); ++i) {
    if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
    const std::wstring part = wide.substr(0, i);
    if (part.empty() || part.back() == L':') continue;
    if (!::CreateDirectoryW(part.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      throw StepFailed("make the folder " + Utf8(path) + ": " + Failure(::GetLastError()));
    }
  }
}

std::vector<std::string> ListFolder(std::string_view path) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data{};
  UniqueFindHandle find(::FindFirstFileW((Wide(path) + L"\\*").c_str(), &data));
  if (!find) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(Narrow(name));
  } while (::FindNextFileW(find.get(), &data));
  std::sort(names.begin(), names.end());
  return names;
}

void CopyTree(std::string_view from, std::string_view to) {
  MakeDirectories(to);
  for (const std::string& name : ListFolder(from)) {
    const std::string source = std::string(from) + "\\" + name;
    const std::string target = std::string(to) + "\\" + name;
    if (DirectoryExists(source)) {
      CopyTree(source, target);
    } else if (!::CopyFileW(Wide(source).c_str(), Wide(target).c_str(), /*fail_if_exists=*/FALSE)) {
      throw StepFailed("copy " + Utf8(source) + " to " + Utf8(target) + ": " +
                       Failure(::GetLastError()));
    }
  }
}

std::string HostPath(std::string_view unix_path) {
  std::string path = "Z:" + std::string(unix_path);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string SpecialFolder(int csidl) {
  wchar_t buffer[MAX_PATH] = {};
  const HRESULT result =
      ::SHGetFolderPathW(/*owner=*/nullptr, csidl, /*token=*/nullptr, SHGFP_TYPE_CURRENT, buffer);
  if (FAILED(result)) {
    throw StepFailed("the special folder " + std::to_string(csidl) + ": " +
                     Failure(static_cast<DWORD>(result)));
  }
  return Narrow(buffer);
}

std::string EnvironmentVariable(std::string_view name) {
  const std::wstring wide = Wide(name);
  const DWORD size = ::GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
  if (size == 0) return std::string();
  std::wstring value(size, L'\0');
  const DWORD length = ::GetEnvironmentVariableW(wide.c_str(), value.data(), size);
  value.resize(length < size ? length : 0);
  return Narrow(value);
}

std::string DriveType(std::string_view root) {
  switch (::GetDriveTypeW(Wide(root).c_str())) {
    case DRIVE_CDROM:
      return "cdrom";
    case DRIVE_FIXED:
      return "fixed";
    case DRIVE_REMOVABLE:
      return "removable";
    case DRIVE_REMOTE:
      return "remote";
    case DRIVE_RAMDISK:
      return "ramdisk";
    default:
      return "none";
  }
}

}  // namespace e2e
