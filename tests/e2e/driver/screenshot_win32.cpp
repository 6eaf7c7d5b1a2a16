#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error.h"
#include "e2e/driver/report.h"
#include "e2e/driver/screenshot.h"
#include "e2e/driver/system_state.h"
#include "imaging/mura_writer.h"
#include "imaging/png_io.h"

namespace e2e {
namespace {

std::string folder;  // chosen on first use, or by SetScreenshotFolder
int shots_taken = 0;

// Copies a rectangle of the screen. Wine's screen DC reads the X server, and with the
// virtual desktop the whole desktop window, so windows of every process are in it.
koru::PngPicture Grab(const Rect& area) {
  koru::PngPicture picture;
  picture.width = area.width();
  picture.height = area.height();
  picture.bit_count = 24;
  if (picture.width <= 0 || picture.height <= 0) {
    throw StepFailed("screenshot: empty rectangle " + ToString(area));
  }
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = picture.width;
  info.bmiHeader.biHeight = -picture.height;  // top row first, like the PNG writer's planes
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    copied = ::BitBlt(memory, 0, 0, picture.width, picture.height, screen, area.left, area.top,
                      SRCCOPY | CAPTUREBLT) != FALSE;
    ::GdiFlush();
    if (copied) {
      const size_t size = static_cast<size_t>(koru::MuraRowBytes(picture.width, 24)) *
                          static_cast<size_t>(picture.height);
      const auto* begin = static_cast<const uint8_t*>(bits);
      picture.pixels.assign(begin, begin + size);
    }
    ::SelectObject(memory, old);
  }
  if (bitmap != nullptr) ::DeleteObject(bitmap);
  if (memory != nullptr) ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  if (!copied) throw StepFailed("screenshot: the screen could not be copied");
  return picture;
}

std::string Save(const koru::PngPicture& picture, std::string_view name) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d-", ++shots_taken);
  const std::string path = ScreenshotFolder() + "\\" + number + std::string(name) + ".png";
  std::vector<uint8_t> png;
  try {
    png = koru::WritePng(picture, /*compression_level=*/1);
  } catch (const koru::KoruError& error) {
    throw StepFailed("screenshot: " + Utf8(error.message()));
  }
  WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  Log("screenshot " + Utf8(path));
  return path;
}

}  // namespace

std::string ScreenshotFolder() {
  if (folder.empty()) {
    const std::string given = EnvironmentVariable("KORU_E2E_SHOTS");
    folder = given.empty() ? "e2e-shots" : (given[0] == '/' ? HostPath(given) : given);
  }
  MakeDirectories(folder);
  return folder;
}

void SetScreenshotFolder(std::string_view path) {
  folder = std::string(path);
  shots_taken = 0;
}

std::string Screenshot(std::string_view name) {
  const Rect screen{::GetSystemMetrics(SM_XVIRTUALSCREEN), ::GetSystemMetrics(SM_YVIRTUALSCREEN),
                    ::GetSystemMetrics(SM_XVIRTUALSCREEN) + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                    ::GetSystemMetrics(SM_YVIRTUALSCREEN) + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  return Save(Grab(screen), name);
}

std::string Screenshot(const Window& window, std::string_view name) {
  const Rect bounds = window.Bounds();
  const Rect screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  // Only the part on the screen can be read.
  const Rect visible{std::max(bounds.left, screen.left), std::max(bounds.top, screen.top),
                     std::min(bounds.right, screen.right), std::min(bounds.bottom, screen.bottom)};
  return Save(Grab(visible), name);
}

}  // namespace e2e
