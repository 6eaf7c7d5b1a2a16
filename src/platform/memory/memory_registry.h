#pragma once

// A registry held in memory, with the Windows rules that callers rely on: key and value
// names compare without regard to ASCII case, subkeys enumerate sorted by name, values in
// the order they were first set, and a key object whose key was deleted refuses every
// write. Shared by MemoryEnv and HostEnv; HostEnv saves it to a text file.

#include <memory>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace koru::platform {

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, const std::string& path, bool create,
                                       bool writable) override;
  bool DeleteKeyTree(RegistryRoot root, const std::string& parent,
                     const std::string& name) override;

  // The whole registry as text (Shift-JIS bytes, one key or value per line):
  //   [HKEY_CURRENT_USER\Software\Maker]
  //   "InstallPath"=sz:C:\Game
  //   "Local AppData"=expand:%USERPROFILE%\AppData\Local
  //   "Flags"=hex:01,00,00,00
  // In names and texts, control bytes, '%' and '"' are written as %XX.
  std::string Serialize() const;
  // Replaces the content with the registry Serialize wrote. Throws KoruError
  // (kRegistryTextError) on text it did not write, leaving the content unchanged.
  void Deserialize(std::string_view text);
  // Removes every key and value.
  void Clear();

  struct Node;

 private:
  std::shared_ptr<Node> roots_[3];
};

inline constexpr const char* kRegistryTextError = "レジストリ ファイルが壊れています";

}  // namespace koru::platform
