#pragma once

// Owners of Win32 handles. UniqueHandle treats both INVALID_HANDLE_VALUE (what
// CreateFileW returns on failure) and null (what CreateMutexW returns) as empty.

#include <windows.h>

namespace koru::platform::win32 {

template <typename Traits>
class UniqueResource {
 public:
  using Type = typename Traits::Type;

  UniqueResource() = default;
  explicit UniqueResource(Type value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  Type get() const { return value_; }
  explicit operator bool() const { return Traits::IsValid(value_); }
  Type release() {
    Type value = value_;
    value_ = Traits::Empty();
    return value;
  }
  void reset(Type value = Traits::Empty()) {
    if (Traits::IsValid(value_)) Traits::Close(value_);
    value_ = value;
  }
  // For out-parameters (RegOpenKeyExW(..., key.receive())). REQUIRES: empty.
  Type* receive() { return &value_; }

 private:
  Type value_ = Traits::Empty();
};

struct HandleTraits {
  using Type = HANDLE;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::CloseHandle(h); }
};

struct FindHandleTraits {
  using Type = HANDLE;
  static Type Empty() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Type h) { ::FindClose(h); }
};

struct HkeyTraits {
  using Type = HKEY;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::RegCloseKey(h); }
};

struct ModuleTraits {
  using Type = HMODULE;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueResource<HandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueHkey = UniqueResource<HkeyTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;

}  // namespace koru::platform::win32
