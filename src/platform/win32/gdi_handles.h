#pragma once

// Owners of GDI objects, windows and device contexts.

#include <windows.h>

#include "platform/win32/win32_handles.h"

namespace koru::platform::win32 {

struct GdiObjectTraits {
  using Type = HGDIOBJ;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

struct WindowTraits {
  using Type = HWND;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DestroyWindow(h); }
};

struct MemoryDcTraits {
  using Type = HDC;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DeleteDC(h); }
};

using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueHwnd = UniqueResource<WindowTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// Selects an object into a device context for the lifetime of this object.
class ScopedSelect {
 public:
  ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), old_(::SelectObject(dc, object)) {}
  ~ScopedSelect() { ::SelectObject(dc_, old_); }
  ScopedSelect(const ScopedSelect&) = delete;
  ScopedSelect& operator=(const ScopedSelect&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A window's device context (GetDC / ReleaseDC).
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace koru::platform::win32
