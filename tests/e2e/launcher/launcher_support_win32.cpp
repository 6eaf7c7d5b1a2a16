#include <windows.h>

#include <fstream>
#include <sstream>

#include "base/sjis.h"
#include "e2e/launcher/launcher_support.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_text.h"

namespace koru::e2e_launcher {

using platform::win32::Narrow;
using platform::win32::Wide;

std::string Fixture(std::string_view name) {
  return e2e::HostPath(KORU_E2E_FIXTURES) + "\\" + std::string(name);
}

void PutSampleDisc(std::string_view folder) { e2e::CopyTree(Fixture("sample-disc"), folder); }

void RunVfkit(const std::string& arguments) {
  e2e::App vfkit = e2e::App::Start(e2e::HostPath(KORU_VFKIT), {.arguments = arguments});
  ASSERT_EQ(vfkit.WaitForExit(60000), 0u) << "vfkit " << SjisToUtf8(arguments);
}

void WriteSettings(std::string_view folder, std::string_view extra_json_members) {
  // The sample's own settings, with the members given appended: a later member of the
  // same name replaces the earlier one when vfkit reads the JSON.
  const std::optional<std::string> sample = e2e::ReadFileBytes(e2e::HostPath(KORU_SAMPLE_SETTINGS));
  ASSERT_TRUE(sample.has_value());
  std::string json = *sample;
  const size_t close = json.rfind('}');
  ASSERT_NE(close, std::string::npos);
  if (!extra_json_members.empty()) {
    json.insert(close, ",\n" + std::string(extra_json_members) + "\n");
  }
  const std::string json_path = std::string(folder) + "\\settings.json";
  e2e::WriteFileBytes(json_path, json);
  RunVfkit("settings build \"" + json_path + "\" -o \"" + std::string(folder) + "\\install.dat\"");
}

void SetGameValue(const std::string& name, const std::string& value) {
  platform::win32::UniqueHkey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, Wide(kGameKey).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, key.receive(), nullptr),
            ERROR_SUCCESS);
  const std::wstring data = Wide(value);
  ASSERT_EQ(::RegSetValueExW(key.get(), Wide(name).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

std::vector<std::string> PendingDeletions() {
  std::vector<std::string> files;
  platform::win32::UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) {
    return files;
  }
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr,
                         &size) != ERROR_SUCCESS) {
    return files;
  }
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  ::RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr,
                     reinterpret_cast<BYTE*>(data.data()), &size);
  // Pairs of names (source, target); an empty target means "delete".
  std::vector<std::wstring> names;
  for (size_t start = 0; start < data.size();) {
    const size_t end = data.find(L'\0', start);
    if (end == std::wstring::npos) break;
    names.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  for (size_t i = 0; i + 1 < names.size(); i += 2) {
    if (names[i].empty() || !names[i + 1].empty()) continue;
    std::wstring name = names[i];
    if (name.rfind(L"\\??\\", 0) == 0) name = name.substr(4);
    files.push_back(Narrow(name));
  }
  return files;
}

}  // namespace koru::e2e_launcher
