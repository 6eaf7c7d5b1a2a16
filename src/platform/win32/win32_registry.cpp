#include "platform/win32/win32_registry.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/sjis.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::platform {
namespace {

using win32::Narrow;
using win32::UniqueHkey;
using win32::Wide;

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

// "\Software\X" and "Software\X" name the same key; the W functions want no leading '\'.
std::wstring KeyPath(const std::string& path) {
  size_t start = 0;
  while (start < path.size() && path[start] == '\\') ++start;
  return Wide(std::string_view(path).substr(start));
}

std::string StringData(const std::vector<BYTE>& bytes) {
  std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
  std::copy(bytes.begin(), bytes.begin() + text.size() * sizeof(wchar_t),
            reinterpret_cast<BYTE*>(text.data()));
  // Stored strings may or may not carry their terminating NULs.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return Narrow(text);
}

class Win32RegistryKey : public RegistryKey {
 public:
  explicit Win32RegistryKey(UniqueHkey key) : key_(std::move(key)) {}

  std::optional<RegistryValue> ReadValue(const std::string& name) override {
    const std::wstring wide = Wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key_.get(), wide.c_str(), /*reserved=*/nullptr, &type,
                           /*data=*/nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<BYTE> bytes;
    bool read = false;
    // The value may grow between the calls.
    for (int attempt = 0; attempt < 8 && !read; ++attempt) {
      bytes.resize(size);
      DWORD got = size;
      const LSTATUS status = ::RegQueryValueExW(key_.get(), wide.c_str(), nullptr, &type,
                                                bytes.empty() ? nullptr : bytes.data(), &got);
      if (status == ERROR_SUCCESS) {
        bytes.resize(got);
        read = true;
      } else if (status == ERROR_MORE_DATA) {
        size = got;
      } else {
        return std::nullopt;
      }
    }
    if (!read) return std::nullopt;
    RegistryValue value;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      value.type = type == REG_SZ ? RegistryValueType::kString : RegistryValueType::kExpandString;
      value.data = StringData(bytes);
    } else {
      value.type = RegistryValueType::kOther;
      value.data.assign(bytes.begin(), bytes.end());
    }
    return value;
  }

  bool WriteString(const std::string& name, const std::string& value) override {
    return WriteValue(name, {RegistryValueType::kString, value});
  }

  bool WriteValue(const std::string& name, const RegistryValue& value) override {
    if (value.type == RegistryValueType::kOther) {
      return ::RegSetValueExW(key_.get(), Wide(name).c_str(), /*reserved=*/0, REG_BINARY,
                              reinterpret_cast<const BYTE*>(value.data.data()),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }
    const std::wstring text = Wide(value.data);
    const DWORD type = value.type == RegistryValueType::kString ? REG_SZ : REG_EXPAND_SZ;
    return ::RegSetValueExW(
               key_.get(), Wide(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
               static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return ::RegDeleteValueW(key_.get(), Wide(name).c_str()) == ERROR_SUCCESS;
  }

  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    wchar_t buffer[256];  // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
      DWORD length = 256;
      if (::RegEnumKeyExW(key_.get(), index, buffer, &length, /*reserved=*/nullptr,
                          /*class=*/nullptr, /*class_length=*/nullptr,
                          /*last_write=*/nullptr) != ERROR_SUCCESS) {
        break;
      }
      names.push_back(Narrow(std::wstring_view(buffer, length)));
    }
    // One order for every implementation, whatever the system enumerates first.
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return CompareIgnoreCase(a, b) < 0;
    });
    return names;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    DWORD longest = 0;
    if (::RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, &longest, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return names;
    }
    std::wstring buffer(longest + 1, L'\0');
    for (DWORD index = 0;; ++index) {
      DWORD length = static_cast<DWORD>(buffer.size());
      if (::RegEnumValueW(key_.get(), index, buffer.data(), &length, /*reserved=*/nullptr,
                          /*type=*/nullptr, /*data=*/nullptr,
                          /*data_length=*/nullptr) != ERROR_SUCCESS) {
        break;
      }
      names.push_back(Narrow(std::wstring_view(buffer.data(), length)));
    }
    return names;
  }

  size_t SubkeyCount() override {
    DWORD count = 0;
    if (::RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return 0;
    }
    return count;
  }

  size_t ValueCount() override {
    DWORD count = 0;
    if (::RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return 0;
    }
    return count;
  }

 private:
  UniqueHkey key_;
};

// Deletes a key below parent with everything under it. Written out rather than
// RegDeleteTreeW, which older systems lack.
bool DeleteTree(HKEY parent, const std::wstring& name) {
  UniqueHkey key;
  if (::RegOpenKeyExW(parent, name.c_str(), /*options=*/0, KEY_READ | KEY_WRITE, key.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  wchar_t buffer[256];
  // Always take index 0: deleting shifts the others down.
  while (true) {
    DWORD length = 256;
    if (::RegEnumKeyExW(key.get(), 0, buffer, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    if (!DeleteTree(key.get(), std::wstring(buffer, length))) return false;
  }
  key.reset();
  return ::RegDeleteKeyW(parent, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

std::unique_ptr<RegistryKey> Win32Registry::OpenKey(RegistryRoot root, const std::string& path,
                                                    bool create, bool writable) {
  const REGSAM access = KEY_READ | (writable ? KEY_WRITE : 0);
  const std::wstring wide = KeyPath(path);
  UniqueHkey key;
  LSTATUS status;
  if (create) {
    status = ::RegCreateKeyExW(RootKey(root), wide.c_str(), /*reserved=*/0, /*class=*/nullptr,
                               REG_OPTION_NON_VOLATILE, access, /*security=*/nullptr, key.receive(),
                               /*disposition=*/nullptr);
  } else {
    status = ::RegOpenKeyExW(RootKey(root), wide.c_str(), /*options=*/0, access, key.receive());
  }
  if (status != ERROR_SUCCESS) return nullptr;
  return std::make_unique<Win32RegistryKey>(std::move(key));
}

bool Win32Registry::DeleteKeyTree(RegistryRoot root, const std::string& parent,
                                  const std::string& name) {
  const std::wstring wide_name = KeyPath(name);
  if (wide_name.empty()) return false;
  UniqueHkey parent_key;
  if (::RegOpenKeyExW(RootKey(root), KeyPath(parent).c_str(), 0, KEY_READ | KEY_WRITE,
                      parent_key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  return DeleteTree(parent_key.get(), wide_name);
}

}  // namespace koru::platform
