// Code page 932 conversion through the Windows API. The code page is named explicitly,
// so the result does not depend on the system's ANSI code page.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "base/sjis.h"

namespace koru {
namespace {

constexpr UINT kShiftJis = 932;

// Converts one piece strictly; false when any byte is invalid.
bool SjisPieceToUtf16(std::string_view in, std::u16string* out) {
  if (in.empty()) return true;
  const int length = MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, in.data(),
                                         static_cast<int>(in.size()), nullptr, 0);
  if (length <= 0) return false;
  const size_t start = out->size();
  out->resize(start + static_cast<size_t>(length));
  MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()),
                      reinterpret_cast<wchar_t*>(out->data() + start), length);
  return true;
}

bool Utf16PieceToSjis(std::u16string_view in, std::string* out) {
  if (in.empty()) return true;
  BOOL used_default = FALSE;
  const auto* wide = reinterpret_cast<const wchar_t*>(in.data());
  const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide,
                                         static_cast<int>(in.size()), nullptr, 0,
                                         /*default_char=*/"?", &used_default);
  if (length <= 0) return false;
  const size_t start = out->size();
  out->resize(start + static_cast<size_t>(length));
  WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, wide, static_cast<int>(in.size()),
                      out->data() + start, length, /*default_char=*/"?", &used_default);
  return used_default == FALSE;
}

}  // namespace

bool TrySjisToUtf8(std::string_view sjis, std::string* utf8) {
  std::u16string wide;
  bool all_valid = SjisPieceToUtf16(sjis, &wide);
  if (!all_valid) {
    // One character at a time, so one bad byte costs one character.
    wide.clear();
    for (size_t i = 0; i < sjis.size();) {
      const size_t length = CharLengthAt(sjis, i);
      if (!SjisPieceToUtf16(sjis.substr(i, length), &wide)) wide.push_back(u'\uFFFD');
      i += length;
    }
  }
  *utf8 = Utf16ToUtf8(wide);
  return all_valid;
}

bool TryUtf8ToSjis(std::string_view utf8, std::string* sjis) {
  sjis->clear();
  const std::u16string wide = Utf8ToUtf16(utf8);
  if (Utf16PieceToSjis(wide, sjis)) return true;
  // One code point at a time, so that a character without a code costs one '?' (the
  // system would write one per UTF-16 unit of a surrogate pair).
  sjis->clear();
  for (size_t i = 0; i < wide.size();) {
    const bool pair = wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() &&
                      wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF;
    const size_t length = pair ? 2 : 1;
    std::string piece;
    if (Utf16PieceToSjis(std::u16string_view(wide).substr(i, length), &piece)) {
      sjis->append(piece);
    } else {
      sjis->push_back('?');
    }
    i += length;
  }
  return false;
}

}  // namespace koru
