#include "tools/archive_files.h"

#include "base/error.h"
#include "base/sjis.h"
#include "settings/folders.h"
#include "settings/paths.h"
#include "tools/archive_tool.h"

namespace koru::tools {
namespace {

// Whole characters of a Shift-JIS text, so that a pattern never splits a double-byte
// character and the second byte of ソ (0x5C) is never a separator.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> chars;
  for (size_t i = 0; i < text.size();) {
    const size_t length = CharLengthAt(text, i);
    chars.push_back(AsciiLower(text.substr(i, length)));
    i += length;
  }
  return chars;
}

bool IsSeparator(const std::string& c) { return c == "\\" || c == "/"; }

// Iterative wildcard matching with one back-tracking point per star kind; patterns are
// short, names are short, so the quadratic worst case does not matter.
bool Match(const std::vector<std::string>& p, size_t pi, const std::vector<std::string>& n,
           size_t ni) {
  while (pi < p.size()) {
    if (p[pi] == "*") {
      const bool deep = pi + 1 < p.size() && p[pi + 1] == "*";
      const size_t rest = pi + (deep ? 2 : 1);
      for (size_t k = ni;; ++k) {
        if (Match(p, rest, n, k)) return true;
        if (k >= n.size() || (!deep && IsSeparator(n[k]))) return false;
      }
    }
    if (ni >= n.size()) return false;
    if (p[pi] == "?") {
      if (IsSeparator(n[ni])) return false;
    } else if (!(p[pi] == n[ni] || (IsSeparator(p[pi]) && IsSeparator(n[ni])))) {
      return false;
    }
    ++pi;
    ++ni;
  }
  return ni == n.size();
}

}  // namespace

std::vector<std::string> ListRelativeFiles(platform::Env& env, const std::string& folder) {
  const std::string base = AddBackslash(folder);
  std::vector<std::string> paths;
  ListFolder(env, base, kListAllFilesMask, /*plain=*/true, /*extension=*/"", /*clear=*/false,
             /*mark=*/true, /*recurse=*/true, paths, /*clear_list=*/true);
  std::vector<std::string> names;
  for (const std::string& path : paths) {
    if (EndsWithChar(path, '\\') || path.size() <= base.size()) continue;
    names.push_back(path.substr(base.size()));
  }
  return names;
}

bool MatchesNamePattern(const std::string& pattern, const std::string& name) {
  const std::vector<std::string> p = Characters(pattern);
  bool has_separator = false;
  for (const std::string& c : p) has_separator = has_separator || IsSeparator(c);
  const std::vector<std::string> n = Characters(has_separator ? name : ExtractFileName(name));
  return Match(p, 0, n, 0);
}

void NamePatterns::Add(const std::string& sjis_pattern) {
  patterns_.push_back(sjis_pattern);
  uses_.push_back(0);
}

void NamePatterns::AddListFile(platform::Env& env, const std::string& path) {
  std::unique_ptr<platform::File> file = env.files().OpenFile(path, ReadOptions());
  const int64_t size = file->GetSize();
  constexpr int64_t kMaxListFile = 16 << 20;
  if (size < 0 || size > kMaxListFile) throw KoruError(Format("%s: list too large", path.c_str()));
  std::string text(static_cast<size_t>(size), '\0');
  file->ReadExact(text.data(), size);
  size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a UTF-8 byte order mark
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
      line.pop_back();
    }
    if (!line.empty() && line[0] != '#') Add(Utf8ToSjis(line));
    start = end + 1;
  }
}

bool NamePatterns::Matches(const std::string& name) {
  bool any = false;
  for (size_t i = 0; i < patterns_.size(); ++i) {
    if (MatchesNamePattern(patterns_[i], name)) {
      ++uses_[i];
      any = true;
    }
  }
  return any;
}

std::vector<std::string> NamePatterns::Unused() const {
  std::vector<std::string> unused;
  for (size_t i = 0; i < patterns_.size(); ++i) {
    if (uses_[i] == 0) unused.push_back(patterns_[i]);
  }
  return unused;
}

}  // namespace koru::tools
