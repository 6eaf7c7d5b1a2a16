#include "wizard/shell_link.h"

#include <vector>

#include "base/sjis.h"
#include "platform/shell.h"
#include "settings/paths.h"

namespace koru {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks from a name, so a part made of them only would
// name the folder itself or its parent.
bool IsDotsAndBlanks(std::string_view part) {
  return part.find_first_not_of(". ") == std::string_view::npos;
}

// A byte no file name may hold: a control character or one of < > : " | ? *.
bool IsReservedByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 0x20) return true;
  return std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
}

// The parts of a path between single-byte '\' and '/', empty ones kept. Reserved
// single-byte characters make *reserved true.
std::vector<std::string_view> SplitParts(std::string_view path, bool* reserved) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    const size_t length = CharLengthAt(path, i);
    if (length == 1 && IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    } else if (length == 1 && IsReservedByte(path[i])) {
      *reserved = true;
    }
    i += length;
  }
  parts.push_back(path.substr(start));
  return parts;
}

void DeleteTree(platform::FileSystem& files, const std::string& folder) {
  for (const platform::DirEntry& entry : files.ListDirectory(folder)) {
    const std::string path = folder + "\\" + entry.name;
    if ((entry.attributes & platform::kAttrDirectory) != 0) {
      DeleteTree(files, path);
    } else {
      files.RemoveFile(path);
    }
  }
  files.RemoveDirectoryAt(folder);
}

}  // namespace

bool IsSafeSubDir(std::string_view sub_dir) {
  if (sub_dir.empty()) return true;
  bool reserved = false;
  for (std::string_view part : SplitParts(sub_dir, &reserved)) {
    if (IsDotsAndBlanks(part)) return false;
  }
  return !reserved;
}

bool IsSafeLinkName(std::string_view name) {
  bool reserved = false;
  return SplitParts(name, &reserved).size() == 1 && !reserved;
}

void TShellLink::SetFileName(const std::string& path) {
  if (path == file_name_) return;
  file_name_ = path;
  if (Description.empty()) Description = ChangeFileExt(ExtractFileName(path), "");
  if (WorkDir.empty()) {
    const std::string folder = ExtractFilePath(path);
    // "C:\" keeps its backslash: "C:" alone would mean the drive's current folder.
    const bool drive_root = folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
    WorkDir = drive_root ? folder : ExcludeTrailingBackslash(folder);
  }
}

std::string TShellLink::FolderPath() {
  std::string folder;
  try {
    folder = env_.system().SpecialFolder(LinkType);
  } catch (const KoruError&) {
    throw EShellLinkError(kSpecialFolderError);
  }
  folder = AddBackslash(folder);
  if (!SubDir.empty()) folder += AddBackslash(SubDir);
  return folder;
}

uint16_t TShellLink::HotKeyWord() const {
  uint16_t word = HotKey & 0x1FFF;
  if ((HotKey & kHotKeyShift) != 0) word |= 0x100;
  if ((HotKey & kHotKeyCtrl) != 0) word |= 0x200;
  if ((HotKey & kHotKeyAlt) != 0) word |= 0x400;
  return word;
}

int TShellLink::ShowCommand() const {
  switch (WindowState) {
    case TWindowState::wsMinimized:
      // A link file keeps only normal, maximised and SW_SHOWMINNOACTIVE; the shell reads
      // SW_MINIMIZE (6) back as normal.
      return platform::kShowMinNoActive;
    case TWindowState::wsMaximized:
      return platform::kShowMaximized;
    case TWindowState::wsNormal:
      break;
  }
  return platform::kShowNormal;
}

bool TShellLink::CreateLink() {
  if (!IsSafeSubDir(SubDir) || !IsSafeLinkName(Name)) return false;
  if (file_name_.empty()) SetFileName(env_.system().ExecutablePath());
  const std::string folder = FolderPath();
  const std::string link_path = folder + Name + ".lnk";
  // Refused before anything is created: the link object could not save it anyway.
  if (SjisToUtf16(link_path).size() > kMaxLinkPathLength) return false;
  env_.files().MakeDirectories(ExcludeTrailingBackslash(folder));

  platform::ShellLinkFields fields;
  fields.description = Description;
  fields.target = file_name_;
  fields.working_folder = WorkDir;
  fields.arguments = Arguments;
  fields.hot_key = HotKeyWord();
  fields.show_command = ShowCommand();
  fields.icon_path = file_name_;
  fields.icon_index = IconIndex;
  switch (env_.shell().SaveShellLink(link_path, fields)) {
    case platform::ShellLinkResult::kSaved:
      return true;
    case platform::ShellLinkResult::kNoLinkObject:
      throw EShellLinkError(kQueryInterfaceError);
    case platform::ShellLinkResult::kNotSaved:
      break;
  }
  return false;
}

void TShellLink::OpenFolder() {
  if (!IsSafeSubDir(SubDir)) return;
  const std::string folder = FolderPath();
  env_.shell().ShellOpen(folder, "", folder, platform::kShowShow);
}

void TShellLink::DeleteFolder() {
  // An empty SubDir would empty the special folder itself.
  if (SubDir.empty() || !IsSafeSubDir(SubDir)) return;
  DeleteTree(env_.files(), ExcludeTrailingBackslash(FolderPath()));
}

bool CreateShortcut(platform::Env& env, const std::string& name, const std::string& file_name,
                    const std::string& arguments, const std::string& description,
                    const std::string& work_dir, TShellLinkType link_type,
                    const std::string& sub_dir, TWindowState window_state, uint16_t hot_key,
                    int icon_index) {
  TShellLink link(env);
  link.Name = name;
  link.SetFileNameOnly(file_name);
  link.Arguments = arguments;
  link.Description = description;
  link.WorkDir = work_dir;
  link.LinkType = link_type;
  link.SubDir = sub_dir;
  link.WindowState = window_state;
  link.HotKey = hot_key;
  link.IconIndex = icon_index;
  return link.CreateLink();
}

void DeleteShortcutFolder(platform::Env& env, TShellLinkType link_type,
                          const std::string& sub_dir) {
  TShellLink link(env);
  link.LinkType = link_type;
  link.SubDir = sub_dir;
  link.DeleteFolder();
}

void OpenShortcutFolder(platform::Env& env, TShellLinkType link_type, const std::string& sub_dir) {
  TShellLink link(env);
  link.LinkType = link_type;
  link.SubDir = sub_dir;
  link.OpenFolder();
}

}  // namespace koru
