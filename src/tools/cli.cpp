#include "tools/cli.h"

#include <algorithm>

#include "base/sjis.h"

namespace koru::tools {

ArgParser::ArgParser(const std::vector<std::string>& args,
                     const std::vector<std::string>& value_options)
    : value_options_(value_options) {
  bool only_positional = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_positional || arg.size() < 2 || arg[0] != '-') {
      positional_.push_back(arg);
      continue;
    }
    if (arg == "--") {
      only_positional = true;
      continue;
    }
    std::string name = arg.substr(arg[1] == '-' ? 2 : 1);
    std::optional<std::string> inline_value;
    if (const size_t eq = name.find('='); eq != std::string::npos) {
      inline_value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const bool takes_value =
        std::find(value_options_.begin(), value_options_.end(), name) != value_options_.end();
    if (takes_value) {
      if (inline_value) {
        options_.emplace(name, *inline_value);
      } else if (i + 1 < args.size()) {
        options_.emplace(name, args[++i]);
      } else {
        error_ = "option --" + name + " needs a value";
      }
    } else if (inline_value) {
      error_ = "option --" + name + " takes no value";
    } else {
      options_.emplace(name, "");
    }
  }
}

bool ArgParser::Has(const std::string& name) const { return options_.count(name) > 0; }

std::optional<std::string> ArgParser::Value(const std::string& name) const {
  const auto it = options_.find(name);
  if (it == options_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::string> ArgParser::Values(const std::string& name) const {
  std::vector<std::string> values;
  const auto [first, last] = options_.equal_range(name);
  for (auto it = first; it != last; ++it) values.push_back(it->second);
  return values;
}

std::vector<std::string> ArgParser::Unknown(const std::vector<std::string>& flags) const {
  std::vector<std::string> unknown;
  for (const auto& [name, value] : options_) {
    const bool known =
        std::find(flags.begin(), flags.end(), name) != flags.end() ||
        std::find(value_options_.begin(), value_options_.end(), name) != value_options_.end();
    if (!known) unknown.push_back(name);
  }
  return unknown;
}

std::string ArgToSjis(const std::string& utf8) { return Utf8ToSjis(utf8); }

std::string ArgToPath(const std::string& utf8) {
  std::string path = Utf8ToSjis(utf8);
  return ReplaceChar(path, '/', '\\');
}

std::string ToDisplay(const std::string& sjis) { return SjisToUtf8(sjis); }

}  // namespace koru::tools
