#include "platform/simulated_system.h"

#include "base/error.h"
#include "base/sjis.h"

namespace koru::platform {
namespace {

class TableResource : public ResourceData {
 public:
  explicit TableResource(std::shared_ptr<const std::vector<uint8_t>> bytes)
      : bytes_(std::move(bytes)) {}
  const uint8_t* data() const override { return bytes_->data(); }
  size_t size() const override { return bytes_->size(); }

 private:
  std::shared_ptr<const std::vector<uint8_t>> bytes_;
};

// A string as Windows keeps it in a REG_MULTI_SZ: UTF-16LE with a terminating NUL.
std::string Utf16Bytes(const std::string& sjis) {
  std::string bytes;
  for (const char16_t unit : SjisToUtf16(sjis)) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  bytes.append(2, '\0');
  return bytes;
}

}  // namespace

SimulatedSystem::SimulatedSystem(FileSystem& files, MemoryRegistry& registry, std::string user_name,
                                 bool make_profile_folder)
    : files_(files), registry_(registry), user_name_(std::move(user_name)) {
  const std::string profile_list =
      "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + std::string(kUserSid);
  if (auto key = registry_.OpenKey(RegistryRoot::kLocalMachine, profile_list, true, true)) {
    key->WriteString("ProfileImagePath", ProfileFolder());
  }
  const std::string shell_folders = std::string(kUserSid) +
                                    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                    "User Shell Folders";
  if (auto key = registry_.OpenKey(RegistryRoot::kUsers, shell_folders, true, true)) {
    key->WriteValue("Local AppData",
                    {RegistryValueType::kExpandString, "%USERPROFILE%\\AppData\\Local"});
  }
  if (make_profile_folder) files_.MakeDirectories(ProfileFolder());
}

std::string SimulatedSystem::ProfileFolder() const { return "C:\\users\\" + user_name_; }

std::string SimulatedSystem::TempFolder() {
  const std::string folder = ProfileFolder() + "\\Temp";
  files_.MakeDirectories(folder);
  return folder + "\\";
}

std::string SimulatedSystem::WindowsFolder() { return "C:\\windows"; }

std::string SimulatedSystem::SystemFolder() { return "C:\\windows\\system32"; }

std::string SimulatedSystem::SpecialFolder(int csidl) {
  std::string folder;
  switch (csidl) {
    case kCsidlPrograms:
      folder = ProfileFolder() + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
      break;
    case kCsidlCommonPrograms:
      folder = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
      break;
    case kCsidlLocalAppData:
      folder = ProfileFolder() + "\\AppData\\Local";
      break;
    case kCsidlProgramFiles:
      folder = "C:\\Program Files";
      break;
    default:
      // What the shell answers for an identifier it does not know (E_INVALIDARG).
      throw KoruError("パラメーターが間違っています。");
  }
  files_.MakeDirectories(folder);
  return folder;
}

std::string SimulatedSystem::ExecutablePath() { return executable_path_; }

bool SimulatedSystem::IsNtFamily() { return true; }

bool SimulatedSystem::IsUserAdmin() { return user_admin_; }

bool SimulatedSystem::DeleteAtRestart(const std::string& path) {
  if (path.empty()) return false;
  auto key = registry_.OpenKey(RegistryRoot::kLocalMachine, kSessionManagerKey, true, true);
  if (!key) return false;
  // Pairs of NUL-terminated names (source, empty target), the list ending in one more NUL.
  std::string list;
  if (auto old = key->ReadValue(kPendingRenameValue)) {
    list = old->data;
    if (list.size() >= 2) list.resize(list.size() - 2);
  }
  list += Utf16Bytes("\\??\\" + path) + Utf16Bytes("");
  list.append(2, '\0');
  if (!key->WriteValue(kPendingRenameValue, {RegistryValueType::kOther, list})) return false;
  restart_deletions_.push_back(path);
  return true;
}

std::unique_ptr<ResourceData> SimulatedSystem::LoadModuleResource(const std::string& module_path,
                                                                  const std::string& name,
                                                                  const std::string& type,
                                                                  bool* module_loaded) {
  // The program's own executable named by its path is the own module too.
  const std::string module =
      EqualsIgnoreCase(module_path, executable_path_) ? std::string() : AsciiLower(module_path);
  bool loaded = module.empty() || files_.FileExists(module_path);
  for (const auto& entry : resources_) {
    if (std::get<0>(entry.first) == module) loaded = true;
  }
  if (module_loaded != nullptr) *module_loaded = loaded;
  if (!loaded) return nullptr;
  auto it = resources_.find({module, AsciiUpper(type), AsciiUpper(name)});
  if (it == resources_.end()) return nullptr;
  return std::make_unique<TableResource>(it->second);
}

void SimulatedSystem::SetExecutablePath(std::string path) { executable_path_ = std::move(path); }

void SimulatedSystem::SetUserAdmin(bool admin) { user_admin_ = admin; }

void SimulatedSystem::AddResource(const std::string& module, const std::string& name,
                                  const std::string& type, std::vector<uint8_t> bytes) {
  resources_[{AsciiLower(module), AsciiUpper(type), AsciiUpper(name)}] =
      std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}

bool SimulatedSystem::IsValidMutexName(const std::string& name) {
  if (name.size() > 260) return false;
  std::string_view rest = name;
  for (std::string_view prefix : {"Global\\", "Local\\"}) {
    if (rest.substr(0, prefix.size()) == prefix) {
      rest.remove_prefix(prefix.size());
      break;
    }
  }
  return FindFirstChar(rest, '\\') == std::string_view::npos;
}

}  // namespace koru::platform
