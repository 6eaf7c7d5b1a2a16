#pragma once

#include "platform/registry.h"

namespace koru::platform {

// The registry through advapi32's W functions, names converted from code page 932.
class Win32Registry : public Registry {
 public:
  std::unique_ptr<RegistryKey> OpenKey(RegistryRoot root, const std::string& path, bool create,
                                       bool writable) override;
  bool DeleteKeyTree(RegistryRoot root, const std::string& parent,
                     const std::string& name) override;
};

}  // namespace koru::platform
