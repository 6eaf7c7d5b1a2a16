#include "platform/win32/ui_font.h"

namespace koru::platform::win32 {

UniqueGdiObject CreateUiFont() {
  LOGFONTW font = {};
  font.lfHeight = -kUiFontHeight;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  // "ＭＳ Ｐゴシック" in UTF-16, spelled out so the source's narrow charset plays no part.
  static const wchar_t kFace[] = L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF";
  ::lstrcpynW(font.lfFaceName, kFace, LF_FACESIZE);
  return UniqueGdiObject(::CreateFontIndirectW(&font));
}

}  // namespace koru::platform::win32
