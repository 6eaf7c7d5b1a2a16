#include "platform/simulated_shell.h"

#include <cstdlib>

#include "base/error.h"

namespace koru::platform {
namespace {

// The first line of a simulated shortcut file; the fields follow, one "key=value" a line.
constexpr const char* kLinkHeader = "[shortcut]";

std::string EncodeLink(const ShellLinkFields& f) {
  std::string text = std::string(kLinkHeader) + "\n";
  auto line = [&](const char* key, const std::string& value) {
    text += key;
    text += '=';
    text += value;
    text += '\n';
  };
  line("target", f.target);
  line("arguments", f.arguments);
  line("working_folder", f.working_folder);
  line("description", f.description);
  line("hot_key", std::to_string(f.hot_key));
  line("show_command", std::to_string(f.show_command));
  line("icon_path", f.icon_path);
  line("icon_index", std::to_string(f.icon_index));
  return text;
}

bool DecodeLink(const std::string& text, ShellLinkFields& f) {
  size_t start = 0;
  bool header = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (header) {
      if (line != kLinkHeader) return false;
      header = false;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = line.substr(0, equals);
    const std::string value = line.substr(equals + 1);
    const long number = std::strtol(value.c_str(), nullptr, 10);
    if (key == "target") f.target = value;
    if (key == "arguments") f.arguments = value;
    if (key == "working_folder") f.working_folder = value;
    if (key == "description") f.description = value;
    if (key == "hot_key") f.hot_key = static_cast<uint16_t>(number);
    if (key == "show_command") f.show_command = static_cast<int>(number);
    if (key == "icon_path") f.icon_path = value;
    if (key == "icon_index") f.icon_index = static_cast<int>(number);
  }
  return !header;
}

}  // namespace

int SimulatedShell::ShellOpen(const std::string& file, const std::string& parameters,
                              const std::string& directory, int show_command) {
  // The shell's answers: 2 (ERROR_FILE_NOT_FOUND) for a missing file, above 32 on success.
  const int result = files_.FileExists(file) || files_.DirectoryExists(file) ? 33 : 2;
  shell_opens_.push_back({file, parameters, directory, show_command, result});
  return result;
}

ShellLinkResult SimulatedShell::SaveShellLink(const std::string& link_path,
                                              const ShellLinkFields& fields) {
  if (link_object_missing_) return ShellLinkResult::kNoLinkObject;
  try {
    OpenOptions options;
    options.access = FileAccess::kWrite;
    options.share = FileShare::kNone;
    options.disposition = FileDisposition::kCreateAlways;
    std::unique_ptr<File> file = files_.OpenFile(link_path, options);
    const std::string text = EncodeLink(fields);
    file->WriteExact(text.data(), static_cast<int64_t>(text.size()));
    return ShellLinkResult::kSaved;
  } catch (const KoruError&) {
    return ShellLinkResult::kNotSaved;
  }
}

std::optional<ShellLinkFields> SimulatedShell::LoadShellLink(const std::string& link_path) {
  try {
    std::unique_ptr<File> file = files_.OpenFile(link_path, OpenOptions{});
    const int64_t size = file->GetSize();
    if (size > 64 * 1024) return std::nullopt;
    std::string text(static_cast<size_t>(size), '\0');
    file->ReadExact(text.data(), size);
    ShellLinkFields fields;
    if (!DecodeLink(text, fields)) return std::nullopt;
    return fields;
  } catch (const KoruError&) {
    return std::nullopt;
  }
}

bool SimulatedShell::FileOperation(const FileOperationRequest& request) {
  file_operations_.push_back(request);
  for (size_t i = 0; i < request.from.size(); ++i) {
    const std::string& from = request.from[i];
    const std::string to = i < request.to.size() ? request.to[i]
                           : request.to.empty()  ? std::string()
                                                 : request.to.front();
    switch (request.code) {
      case FileOperationCode::kCopy:
        files_.CopyFileTo(from, to, /*fail_if_exists=*/false);
        break;
      case FileOperationCode::kMove:
      case FileOperationCode::kRename:
        files_.MoveFileTo(from, to);
        break;
      case FileOperationCode::kDelete:
        files_.RemoveFile(from);
        break;
    }
  }
  return false;
}

}  // namespace koru::platform
