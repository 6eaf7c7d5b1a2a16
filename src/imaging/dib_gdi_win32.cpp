#include "imaging/dib_gdi_win32.h"

#include <cstring>

namespace koru {

TDIBBitmapInfo MakeBitmapInfo(const TDIB& dib) {
  TDIBBitmapInfo info;
  std::memset(&info, 0, sizeof(info));
  BITMAPINFOHEADER& h = info.header;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = dib.Width();
  h.biHeight = -dib.Height();  // our rows are stored top row first
  h.biPlanes = 1;
  h.biBitCount = static_cast<WORD>(dib.BitCount());
  h.biSizeImage = static_cast<DWORD>(dib.ImageSize());
  if (dib.BitCount() <= 8) {
    h.biCompression = BI_RGB;
    h.biClrUsed = 1u << dib.BitCount();
    for (DWORD i = 0; i < h.biClrUsed; ++i) {
      const TRGBQuad& entry = dib.ColorTable()[i];
      info.colors[i] = {entry.Blue, entry.Green, entry.Red, 0};
    }
  } else if (dib.BitCount() == 16 || dib.BitCount() == 32) {
    // The masks follow the header in place of a colour table.
    h.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {dib.PixelFormat().RBitMask, dib.PixelFormat().GBitMask,
                            dib.PixelFormat().BBitMask};
    std::memcpy(info.colors, masks, sizeof(masks));
  } else {
    h.biCompression = BI_RGB;
  }
  return info;
}

bool DrawDIBOnDC(HDC dc, int x, int y, int width, int height, const TDIB& dib) {
  if (dib.Empty()) return false;
  const TDIBBitmapInfo info = MakeBitmapInfo(dib);
  // COLORONCOLOR drops rows and columns when shrinking instead of blending them, which
  // keeps palette pictures' colours exact.
  const int old_mode = SetStretchBltMode(dc, COLORONCOLOR);
  const int lines = StretchDIBits(dc, x, y, width, height, /*xSrc=*/0, /*ySrc=*/0, dib.Width(),
                                  dib.Height(), dib.Bits(), info.get(), DIB_RGB_COLORS, SRCCOPY);
  SetStretchBltMode(dc, old_mode);
  return lines > 0;
}

bool DrawDIBPartOnDC(HDC dc, int x, int y, const TDIB& dib, int source_x, int source_y, int width,
                     int height) {
  if (dib.Empty() || width <= 0 || height <= 0) return false;
  TDIBBitmapInfo info = MakeBitmapInfo(dib);
  // Only the part's rows, top-down from its first: a source y of 0 within them leaves no
  // doubt about which end GDI counts rows from.
  info.header.biHeight = -height;
  info.header.biSizeImage = static_cast<DWORD>(dib.RowLength() * static_cast<size_t>(height));
  const int lines = StretchDIBits(dc, x, y, width, height, source_x, /*ySrc=*/0, width, height,
                                  dib.ScanLine(source_y), info.get(), DIB_RGB_COLORS, SRCCOPY);
  return lines > 0;
}

}  // namespace koru
