// The save-data folders of a game on every user profile of the machine, found through
// the registry's profile list and each user's shell folders.
#include <optional>
#include <string_view>
#include <utility>

#include "base/sjis.h"
#include "settings/folders.h"
#include "settings/paths.h"

namespace koru {
namespace {

using platform::RegistryRoot;

constexpr const char* kProfileListKey =
    "\\Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr const char* kProfileImagePath = "ProfileImagePath";
constexpr const char* kShellFoldersTail =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr const char* kDefaultUser = ".Default";
constexpr const char* kLocalAppData = "Local AppData";
constexpr std::string_view kSystemDriveVariable = "%SystemDrive%";
constexpr std::string_view kUserProfileVariable = "%USERPROFILE%";

// Characters a folder name cannot hold, in the order they are replaced.
constexpr char kUnsafeNameChars[] = {'\\', '/', ':', ',', ';', '*', '?', '"', '<', '>', '|'};

std::string CleanFolderName(const std::string& name) {
  std::string cleaned = name;
  for (const char c : kUnsafeNameChars) cleaned = ReplaceChar(cleaned, c, '_');
  return cleaned;
}

// A name of dots and blanks only ("..") would name the folder above the application
// data folder (Windows drops trailing dots and blanks), and save data is deleted there.
bool NamesParentFolder(const std::string& name) {
  return name.find_first_not_of(". ") == std::string::npos;
}

// The string value, or nullopt when there is none of a string type.
std::optional<std::string> StringValue(platform::RegistryKey& key, const std::string& name) {
  const auto value = key.ReadValue(name);
  if (!value || value->type == platform::RegistryValueType::kOther) return std::nullopt;
  return value->data;
}

std::optional<std::string> ReadString(platform::Registry& registry, RegistryRoot root,
                                      const std::string& key_path, const std::string& name) {
  const auto key = registry.OpenKey(root, key_path, /*create=*/false, /*writable=*/false);
  if (!key) return std::nullopt;
  return StringValue(*key, name);
}

// Replaces variable by replacement when text starts with it; false when it does not.
bool ExpandLeading(std::string& text, std::string_view variable, const std::string& replacement) {
  if (!std::string_view(text).starts_with(variable)) return false;
  text.replace(0, variable.size(), replacement);
  return true;
}

struct Profile {
  std::string folder;    // without trailing backslash
  std::string user_key;  // the user's key name below the profile list and HKEY_USERS
};

std::vector<Profile> ExistingProfiles(platform::Env& env,
                                      const std::vector<std::string>& user_keys) {
  std::vector<Profile> profiles;
  for (const std::string& user : user_keys) {
    std::optional<std::string> folder =
        ReadString(env.registry(), RegistryRoot::kLocalMachine,
                   std::string(kProfileListKey) + "\\" + user, kProfileImagePath);
    if (!folder || folder->empty()) continue;
    // Only the system drive is expanded; a path that starts with any other variable
    // stays as it is and fails the folder test.
    ExpandLeading(*folder, kSystemDriveVariable, GetSystemDriveName(env));
    if (env.files().DirectoryExists(*folder)) {
      profiles.push_back({ExcludeTrailingBackslash(*folder), user});
    }
  }
  return profiles;
}

std::optional<std::string> LocalAppDataOf(platform::Env& env, const std::string& user) {
  platform::Registry& registry = env.registry();
  auto key = registry.OpenKey(RegistryRoot::kUsers, "\\" + user + kShellFoldersTail,
                              /*create=*/false, /*writable=*/false);
  if (!key) {
    key =
        registry.OpenKey(RegistryRoot::kUsers, std::string("\\") + kDefaultUser + kShellFoldersTail,
                         /*create=*/false, /*writable=*/false);
  }
  if (!key) return std::nullopt;
  return StringValue(*key, kLocalAppData);
}

}  // namespace

int ResolveUserFolders(platform::Env& env, const std::string& folder_name,
                       std::vector<std::string>& list) {
  if (!env.system().IsNtFamily() || folder_name.empty()) return 0;
  const std::string name = CleanFolderName(folder_name);
  if (NamesParentFolder(name)) return 0;

  std::vector<std::string> user_keys;
  {
    const auto profile_list =
        env.registry().OpenKey(RegistryRoot::kLocalMachine, kProfileListKey, false, false);
    if (!profile_list) return 0;
    user_keys = profile_list->SubkeyNames();
  }

  for (const Profile& profile : ExistingProfiles(env, user_keys)) {
    std::optional<std::string> folder = LocalAppDataOf(env, profile.user_key);
    if (!folder || !ExpandLeading(*folder, kUserProfileVariable, profile.folder)) continue;
    const std::string save_folder = AddBackslash(*folder) + name + "\\";
    if (env.files().DirectoryExists(save_folder)) list.push_back(save_folder);
  }
  return static_cast<int>(list.size());
}

}  // namespace koru
