#pragma once

// The registry: the three roots the program touches, string values and key trees.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace koru::platform {

enum class RegistryRoot { kCurrentUser, kLocalMachine, kUsers };

enum class RegistryValueType { kString, kExpandString, kOther };

struct RegistryValue {
  RegistryValueType type = RegistryValueType::kString;
  std::string data;  // Shift-JIS text for the string types; raw bytes otherwise
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // The value, or nullopt when it does not exist.
  virtual std::optional<RegistryValue> ReadValue(const std::string& name) = 0;
  // Sets a REG_SZ value; false when the system refuses.
  virtual bool WriteString(const std::string& name, const std::string& value) = 0;
  // Sets a value of any type: kString as REG_SZ, kExpandString as REG_EXPAND_SZ, kOther
  // as REG_BINARY with the raw bytes. False when the system refuses.
  virtual bool WriteValue(const std::string& name, const RegistryValue& value) = 0;
  // Removes a value; false when it did not exist or could not be removed.
  virtual bool DeleteValue(const std::string& name) = 0;
  // Names in the order the system enumerates them (subkeys sorted by name).
  virtual std::vector<std::string> SubkeyNames() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
  virtual size_t SubkeyCount() = 0;
  virtual size_t ValueCount() = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens root\path ("Software\Maker\Game"; a leading backslash is ignored). With create
  // set, every missing key on the way is created. nullptr when it cannot be opened.
  virtual std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, const std::string& path,
                                               bool create, bool writable) = 0;
  // Deletes root\parent\name with all its subkeys and values (name may itself hold
  // several levels, "Maker\Game"); false when it did not exist or could not be removed.
  virtual bool DeleteKeyTree(RegistryRoot root, const std::string& parent,
                             const std::string& name) = 0;
};

}  // namespace koru::platform
