#pragma once

// Folders of game files as archive entries: listing them as relative entry names and
// choosing entries by name patterns.

#include <string>
#include <vector>

#include "platform/env.h"

namespace koru::tools {

// The files below folder (recursively, folders themselves left out) as entry names
// relative to it, with "\" between folders, in listing order (by name within a folder).
std::vector<std::string> ListRelativeFiles(platform::Env& env, const std::string& folder);

// Name patterns for entries (Shift-JIS, "/" or "\" between folders, letter case ignored):
// "*" matches any run of characters within one folder level, "**" any run across levels,
// "?" one character. A pattern without a folder separator is matched against the last
// part of the name only ("*.ogg" matches "bgm\title.ogg").
bool MatchesNamePattern(const std::string& pattern, const std::string& name);

// Patterns given as --separate values and as lines of --separate-list files (UTF-8
// text; blank lines and lines starting with "#" are skipped).
class NamePatterns {
 public:
  void Add(const std::string& sjis_pattern);
  // Reads a list file; throws KoruError when it cannot be read.
  void AddListFile(platform::Env& env, const std::string& path);
  bool empty() const { return patterns_.empty(); }
  // True when any pattern matches name; counts the use of each pattern.
  bool Matches(const std::string& name);
  // The patterns that matched nothing so far (for a warning).
  std::vector<std::string> Unused() const;

 private:
  std::vector<std::string> patterns_;
  std::vector<int> uses_;
};

}  // namespace koru::tools
