#include "platform/windows_path.h"

#include "base/sjis.h"

namespace koru::platform {
namespace {

bool IsSeparatorAt(std::string_view s, size_t i) {
  return CharLengthAt(s, i) == 1 && (s[i] == '\\' || s[i] == '/');
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

WindowsPath ParseWindowsPath(std::string_view path) {
  WindowsPath result;
  size_t i = 0;
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
    result.drive = AsciiLower(path.substr(0, 1))[0];
    i = 2;
  }
  result.rooted = i < path.size() && IsSeparatorAt(path, i);
  std::string part;
  bool last_was_separator = false;
  while (i < path.size()) {
    const size_t length = CharLengthAt(path, i);
    last_was_separator = IsSeparatorAt(path, i);
    if (last_was_separator) {
      if (!part.empty()) result.parts.push_back(std::move(part));
      part.clear();
    } else {
      part.append(path.substr(i, length));
    }
    i += length;
  }
  if (!part.empty()) result.parts.push_back(std::move(part));
  result.trailing = last_was_separator;
  return result;
}

std::vector<std::string> CollapseDots(const std::vector<std::string>& parts) {
  std::vector<std::string> result;
  for (const std::string& part : parts) {
    if (part == ".") continue;
    if (part == "..") {
      if (!result.empty()) result.pop_back();
      continue;
    }
    result.push_back(part);
  }
  return result;
}

bool IsValidWindowsName(std::string_view name) {
  for (size_t i = 0; i < name.size(); i += CharLengthAt(name, i)) {
    if (CharLengthAt(name, i) == 2) continue;
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || std::string_view("<>:\"|?*").find(name[i]) != std::string_view::npos) {
      return false;
    }
  }
  return true;
}

std::string JoinParts(const std::vector<std::string>& parts, size_t count) {
  std::string result;
  for (size_t i = 0; i < count && i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

}  // namespace koru::platform
