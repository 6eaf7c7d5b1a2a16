#include "settings/paths.h"

#include "base/sjis.h"

namespace koru {
namespace {

// Offset of the last single-byte character of s that is one of chars, or npos.
size_t FindLastOf(std::string_view s, std::string_view chars) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLengthAt(s, i)) {
    if (CharLengthAt(s, i) == 1 && chars.find(s[i]) != std::string_view::npos) found = i;
  }
  return found;
}

// Offset just after the last '\' or ':' (0 when there is none).
size_t NameStart(std::string_view path) {
  const size_t cut = FindLastOf(path, "\\:");
  return cut == std::string_view::npos ? 0 : cut + 1;
}

// Offset of the extension's dot, or npos.
size_t ExtensionStart(std::string_view path) {
  const size_t cut = FindLastOf(path, ".\\:");
  if (cut == std::string_view::npos || path[cut] != '.') return std::string_view::npos;
  return cut;
}

}  // namespace

std::string AddBackslash(std::string_view path) {
  std::string result(path);
  if (!EndsWithChar(result, '\\')) result.push_back('\\');
  return result;
}

std::string ExcludeTrailingBackslash(std::string_view path) {
  if (EndsWithChar(path, '\\')) path.remove_suffix(1);
  return std::string(path);
}

void StripLastPathPart(std::string& path) {
  if (path.empty()) return;
  if (EndsWithChar(path, '\\')) path.pop_back();
  const size_t cut = FindLastChar(path, '\\');
  path.resize(cut == std::string::npos ? 0 : cut);
}

std::string ExtractFilePath(std::string_view path) {
  return std::string(path.substr(0, NameStart(path)));
}

std::string ExtractFileName(std::string_view path) {
  return std::string(path.substr(NameStart(path)));
}

std::string ExtractFileExt(std::string_view path) {
  const size_t dot = ExtensionStart(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
  const size_t dot = ExtensionStart(path);
  std::string result(path.substr(0, dot == std::string_view::npos ? path.size() : dot));
  result.append(extension);
  return result;
}

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':' && static_cast<unsigned char>(path[0]) < 0x80) {
    return std::string(path.substr(0, 2));
  }
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share: up to the backslash after the share name.
    const size_t server_end = FindFirstChar(path, '\\', 2);
    if (server_end == std::string_view::npos) return std::string(path);
    const size_t share_end = FindFirstChar(path, '\\', server_end + 1);
    return std::string(
        path.substr(0, share_end == std::string_view::npos ? path.size() : share_end));
  }
  return std::string();
}

}  // namespace koru
