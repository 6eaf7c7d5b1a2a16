#include "platform/win32/win32_shell.h"

// The shell headers build on windows.h, so it comes first.
#include <windows.h>
// Shell headers.
#include <shellapi.h>
#include <shlobj.h>

#include "platform/win32/win32_com.h"
#include "platform/win32/win32_text.h"

namespace koru::platform {
namespace {

using win32::ComPtr;
using win32::Narrow;
using win32::Wide;

// The shell link object with its IPersistFile, or two empty pointers.
struct LinkObject {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;

  bool Create() {
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, /*outer=*/nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellLinkW, link.receive()))) {
      return false;
    }
    return SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.receive()));
  }
};

// A list as SHFileOperationW takes it: each name ended by a NUL, the list by one more.
std::wstring DoubleNullList(const std::vector<std::string>& names) {
  std::wstring list;
  for (const std::string& name : names) {
    list += Wide(name);
    list += L'\0';
  }
  list += L'\0';
  return list;
}

}  // namespace

int Win32Shell::ShellOpen(const std::string& file, const std::string& parameters,
                          const std::string& directory, int show_command) {
  const std::wstring wide_file = Wide(file);
  const std::wstring wide_parameters = Wide(parameters);
  const std::wstring wide_directory = Wide(directory);
  const HINSTANCE result = ::ShellExecuteW(
      /*owner=*/nullptr, L"open", wide_file.c_str(),
      parameters.empty() ? nullptr : wide_parameters.c_str(),
      directory.empty() ? nullptr : wide_directory.c_str(), show_command);
  return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

ShellLinkResult Win32Shell::SaveShellLink(const std::string& link_path,
                                          const ShellLinkFields& fields) {
  LinkObject object;
  if (!object.Create()) return ShellLinkResult::kNoLinkObject;
  // The setters' results say nothing the saved file would not; a field the object refuses
  // simply stays empty.
  object.link->SetDescription(Wide(fields.description).c_str());
  object.link->SetPath(Wide(fields.target).c_str());
  object.link->SetWorkingDirectory(Wide(fields.working_folder).c_str());
  object.link->SetArguments(Wide(fields.arguments).c_str());
  object.link->SetHotkey(fields.hot_key);
  object.link->SetShowCmd(fields.show_command);
  object.link->SetIconLocation(Wide(fields.icon_path).c_str(), fields.icon_index);
  const HRESULT saved = object.file->Save(Wide(link_path).c_str(), /*remember=*/TRUE);
  return SUCCEEDED(saved) ? ShellLinkResult::kSaved : ShellLinkResult::kNotSaved;
}

std::optional<ShellLinkFields> Win32Shell::LoadShellLink(const std::string& link_path) {
  LinkObject object;
  if (!object.Create()) return std::nullopt;
  if (FAILED(object.file->Load(Wide(link_path).c_str(), STGM_READ))) return std::nullopt;
  ShellLinkFields fields;
  wchar_t buffer[INFOTIPSIZE] = {};
  if (SUCCEEDED(object.link->GetPath(buffer, MAX_PATH, /*data=*/nullptr, 0))) {
    fields.target = Narrow(buffer);
  }
  buffer[0] = L'\0';
  if (SUCCEEDED(object.link->GetArguments(buffer, INFOTIPSIZE))) fields.arguments = Narrow(buffer);
  buffer[0] = L'\0';
  if (SUCCEEDED(object.link->GetWorkingDirectory(buffer, MAX_PATH))) {
    fields.working_folder = Narrow(buffer);
  }
  buffer[0] = L'\0';
  if (SUCCEEDED(object.link->GetDescription(buffer, INFOTIPSIZE))) {
    fields.description = Narrow(buffer);
  }
  WORD hot_key = 0;
  if (SUCCEEDED(object.link->GetHotkey(&hot_key))) fields.hot_key = hot_key;
  int show = 0;
  if (SUCCEEDED(object.link->GetShowCmd(&show))) fields.show_command = show;
  buffer[0] = L'\0';
  int icon = 0;
  if (SUCCEEDED(object.link->GetIconLocation(buffer, MAX_PATH, &icon))) {
    fields.icon_path = Narrow(buffer);
    fields.icon_index = icon;
  }
  return fields;
}

bool Win32Shell::FileOperation(const FileOperationRequest& request) {
  const std::wstring from = DoubleNullList(request.from);
  const std::wstring to = DoubleNullList(request.to);
  const std::wstring title = Wide(request.progress_title);
  SHFILEOPSTRUCTW operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = static_cast<UINT>(request.code);
  operation.pFrom = from.c_str();
  operation.pTo = request.to.empty() ? nullptr : to.c_str();
  operation.fFlags = request.flags;
  operation.lpszProgressTitle = (request.flags & FOF_SIMPLEPROGRESS) ? title.c_str() : nullptr;
  ::SHFileOperationW(&operation);
  return operation.fAnyOperationsAborted != FALSE;
}

}  // namespace koru::platform
