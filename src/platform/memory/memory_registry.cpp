#include "platform/memory/memory_registry.h"

#include <cstdio>
#include <map>
#include <utility>
#include <vector>

#include "base/error.h"
#include "base/sjis.h"

namespace koru::platform {

struct MemoryRegistry::Node {
  std::string name;
  std::map<std::string, std::shared_ptr<Node>> subkeys;  // by AsciiLower(name)
  std::vector<std::pair<std::string, RegistryValue>> values;
  bool deleted = false;

  RegistryValue* FindValue(const std::string& value_name) {
    for (auto& value : values) {
      if (EqualsIgnoreCase(value.first, value_name)) return &value.second;
    }
    return nullptr;
  }
};

namespace {

using Node = MemoryRegistry::Node;

constexpr const char* kRootNames[3] = {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

std::vector<std::string> SplitKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t cut = FindFirstChar(path, '\\', start);
    if (cut == std::string_view::npos) cut = path.size();
    if (cut > start) parts.emplace_back(path.substr(start, cut - start));
    start = cut + 1;
  }
  return parts;
}

std::shared_ptr<Node> Walk(std::shared_ptr<Node> node, const std::vector<std::string>& parts,
                           bool create) {
  for (const std::string& part : parts) {
    const std::string key = AsciiLower(part);
    auto it = node->subkeys.find(key);
    if (it == node->subkeys.end()) {
      if (!create) return nullptr;
      auto child = std::make_shared<Node>();
      child->name = part;
      it = node->subkeys.emplace(key, std::move(child)).first;
    }
    node = it->second;
  }
  return node;
}

void MarkDeleted(Node& node) {
  node.deleted = true;
  for (auto& subkey : node.subkeys) MarkDeleted(*subkey.second);
}

class MemoryRegistryKey : public RegistryKey {
 public:
  MemoryRegistryKey(std::shared_ptr<Node> node, bool writable)
      : node_(std::move(node)), writable_(writable) {}

  std::optional<RegistryValue> ReadValue(const std::string& name) override {
    if (node_->deleted) return std::nullopt;
    const RegistryValue* value = node_->FindValue(name);
    if (value == nullptr) return std::nullopt;
    return *value;
  }

  bool WriteString(const std::string& name, const std::string& value) override {
    return WriteValue(name, RegistryValue{RegistryValueType::kString, value});
  }

  bool WriteValue(const std::string& name, const RegistryValue& value) override {
    if (!writable_ || node_->deleted) return false;
    RegistryValue* existing = node_->FindValue(name);
    if (existing != nullptr) {
      *existing = value;
    } else {
      node_->values.emplace_back(name, value);
    }
    return true;
  }

  bool DeleteValue(const std::string& name) override {
    if (!writable_ || node_->deleted) return false;
    auto& values = node_->values;
    for (auto it = values.begin(); it != values.end(); ++it) {
      if (EqualsIgnoreCase(it->first, name)) {
        values.erase(it);
        return true;
      }
    }
    return false;
  }

  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& subkey : node_->subkeys) names.push_back(subkey.second->name);
    return names;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& value : node_->values) names.push_back(value.first);
    return names;
  }

  size_t SubkeyCount() override { return node_->deleted ? 0 : node_->subkeys.size(); }
  size_t ValueCount() override { return node_->deleted ? 0 : node_->values.size(); }

 private:
  std::shared_ptr<Node> node_;
  bool writable_;
};

// --- text form ---

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '%' || c == '"') {
      char buffer[4];
      std::snprintf(buffer, sizeof(buffer), "%%%02X", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size() || HexDigit(text[i + 1]) < 0 || HexDigit(text[i + 2]) < 0) {
      throw KoruError(kRegistryTextError);
    }
    out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
    i += 2;
  }
  return out;
}

std::string HexBytes(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char buffer[4];
    std::snprintf(buffer, sizeof(buffer), i == 0 ? "%02x" : ",%02x",
                  static_cast<unsigned char>(bytes[i]));
    out += buffer;
  }
  return out;
}

std::string ParseHexBytes(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (i + 1 >= text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0) {
      throw KoruError(kRegistryTextError);
    }
    out += static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
    i += 2;
    if (i < text.size()) {
      if (text[i] != ',') throw KoruError(kRegistryTextError);
      ++i;
    }
  }
  return out;
}

void SerializeNode(const Node& node, const std::string& path, std::string* out) {
  if (!node.values.empty() || node.subkeys.empty()) {
    *out += "[" + Escape(path) + "]\n";
    for (const auto& [name, value] : node.values) {
      *out += "\"" + Escape(name) + "\"=";
      switch (value.type) {
        case RegistryValueType::kString:
          *out += "sz:" + Escape(value.data);
          break;
        case RegistryValueType::kExpandString:
          *out += "expand:" + Escape(value.data);
          break;
        case RegistryValueType::kOther:
          *out += "hex:" + HexBytes(value.data);
          break;
      }
      *out += "\n";
    }
  }
  for (const auto& subkey : node.subkeys) {
    SerializeNode(*subkey.second, path + "\\" + subkey.second->name, out);
  }
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

RegistryValue ParseValueData(std::string_view data) {
  auto starts = [&](std::string_view prefix) { return data.substr(0, prefix.size()) == prefix; };
  if (starts("sz:")) return {RegistryValueType::kString, Unescape(data.substr(3))};
  if (starts("expand:")) return {RegistryValueType::kExpandString, Unescape(data.substr(7))};
  if (starts("hex:")) return {RegistryValueType::kOther, ParseHexBytes(data.substr(4))};
  throw KoruError(kRegistryTextError);
}

}  // namespace

MemoryRegistry::MemoryRegistry() { Clear(); }

MemoryRegistry::~MemoryRegistry() = default;

void MemoryRegistry::Clear() {
  for (auto& root : roots_) {
    if (root) MarkDeleted(*root);
    root = std::make_shared<Node>();
  }
}

std::unique_ptr<RegistryKey> MemoryRegistry::OpenKey(RegistryRoot root, const std::string& path,
                                                     bool create, bool writable) {
  std::shared_ptr<Node> node = Walk(roots_[static_cast<int>(root)], SplitKeyPath(path), create);
  if (!node) return nullptr;
  return std::make_unique<MemoryRegistryKey>(std::move(node), writable);
}

bool MemoryRegistry::DeleteKeyTree(RegistryRoot root, const std::string& parent,
                                   const std::string& name) {
  std::vector<std::string> parts = SplitKeyPath(name);
  if (parts.empty()) return false;
  const std::string last = AsciiLower(parts.back());
  parts.pop_back();
  std::shared_ptr<Node> node = Walk(roots_[static_cast<int>(root)], SplitKeyPath(parent), false);
  if (node) node = Walk(node, parts, false);
  if (!node) return false;
  auto it = node->subkeys.find(last);
  if (it == node->subkeys.end()) return false;
  MarkDeleted(*it->second);
  node->subkeys.erase(it);
  return true;
}

std::string MemoryRegistry::Serialize() const {
  std::string out = "; korusetup registry 1\n";
  for (int i = 0; i < 3; ++i) {
    for (const auto& subkey : roots_[i]->subkeys) {
      SerializeNode(*subkey.second, std::string(kRootNames[i]) + "\\" + subkey.second->name, &out);
    }
  }
  return out;
}

void MemoryRegistry::Deserialize(std::string_view text) {
  std::shared_ptr<Node> fresh[3] = {std::make_shared<Node>(), std::make_shared<Node>(),
                                    std::make_shared<Node>()};
  std::shared_ptr<Node> current;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') throw KoruError(kRegistryTextError);
      std::vector<std::string> parts = SplitKeyPath(Unescape(line.substr(1, line.size() - 2)));
      if (parts.empty()) throw KoruError(kRegistryTextError);
      int root = -1;
      for (int i = 0; i < 3; ++i) {
        if (EqualsIgnoreCase(parts[0], kRootNames[i])) root = i;
      }
      if (root < 0) throw KoruError(kRegistryTextError);
      parts.erase(parts.begin());
      current = Walk(fresh[root], parts, true);
      continue;
    }
    const size_t equals = line.find("\"=", 1);
    if (!current || line.front() != '"' || equals == std::string_view::npos) {
      throw KoruError(kRegistryTextError);
    }
    const std::string name = Unescape(line.substr(1, equals - 1));
    RegistryValue value = ParseValueData(line.substr(equals + 2));
    RegistryValue* existing = current->FindValue(name);
    if (existing != nullptr) {
      *existing = std::move(value);
    } else {
      current->values.emplace_back(name, std::move(value));
    }
  }
  for (int i = 0; i < 3; ++i) {
    MarkDeleted(*roots_[i]);
    roots_[i] = fresh[i];
  }
}

}  // namespace koru::platform
