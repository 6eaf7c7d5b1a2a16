#include "base/sjis.h"

namespace koru {

size_t FindLastChar(std::string_view s, char ch) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); i += CharLengthAt(s, i)) {
    if (s[i] == ch && CharLengthAt(s, i) == 1) found = i;
  }
  return found;
}

size_t FindFirstChar(std::string_view s, char ch, size_t from) {
  for (size_t i = 0; i < s.size(); i += CharLengthAt(s, i)) {
    if (i >= from && s[i] == ch && CharLengthAt(s, i) == 1) return i;
  }
  return std::string_view::npos;
}

bool EndsWithChar(std::string_view s, char ch) {
  return !s.empty() && FindLastChar(s, ch) == s.size() - 1;
}

std::string ReplaceChar(std::string_view s, char from, char to) {
  std::string result(s);
  for (size_t i = 0; i < result.size(); i += CharLengthAt(result, i)) {
    if (result[i] == from && CharLengthAt(result, i) == 1) result[i] = to;
  }
  return result;
}

namespace {

template <typename Map>
std::string MapSingleBytes(std::string_view s, Map map) {
  std::string result(s);
  for (size_t i = 0; i < result.size();) {
    const size_t length = CharLengthAt(result, i);
    if (length == 1) result[i] = map(result[i]);
    i += length;
  }
  return result;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

}  // namespace

std::string AsciiLower(std::string_view s) { return MapSingleBytes(s, LowerAscii); }

std::string AsciiUpper(std::string_view s) { return MapSingleBytes(s, UpperAscii); }

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  // Case folding only touches single bytes outside double-byte characters; walking
  // both strings in step is safe because equal prefixes split characters the same way.
  size_t i = 0;
  while (i < n) {
    const size_t la = CharLengthAt(a, i);
    const size_t lb = CharLengthAt(b, i);
    const unsigned char ca = static_cast<unsigned char>(la == 1 ? LowerAscii(a[i]) : a[i]);
    const unsigned char cb = static_cast<unsigned char>(lb == 1 ? LowerAscii(b[i]) : b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;
    if (la == 2) {
      if (i + 1 >= n) break;
      const unsigned char ta = static_cast<unsigned char>(a[i + 1]);
      const unsigned char tb = static_cast<unsigned char>(b[i + 1]);
      if (ta != tb) return ta < tb ? -1 : 1;
    }
    i += la;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::u16string SjisToUtf16(std::string_view sjis) { return Utf8ToUtf16(SjisToUtf8(sjis)); }

std::string Utf16ToSjis(std::u16string_view utf16) { return Utf8ToSjis(Utf16ToUtf8(utf16)); }

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp = 0xFFFD;
    size_t extra = 0;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      extra = 2;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      extra = 3;
    }
    size_t j = 1;
    bool valid = c < 0x80 || extra > 0;
    for (; valid && j <= extra; ++j) {
      if (i + j >= utf8.size() || (static_cast<unsigned char>(utf8[i + j]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + j]) & 0x3F);
    }
    // Overlong forms (a '/' or NUL in disguise), encoded surrogates and code points beyond
    // U+10FFFF are malformed, not characters.
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    if (valid && (cp < kLeast[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)) {
      valid = false;
    }
    if (!valid) {
      cp = 0xFFFD;
      j = 1;
    }
    i += valid ? extra + 1 : 1;
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(cp > 0x10FFFF ? u'\uFFFD' : static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t cp = utf16[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  std::string out;
  TrySjisToUtf8(sjis, &out);
  return out;
}

std::string Utf8ToSjis(std::string_view utf8) {
  std::string out;
  TryUtf8ToSjis(utf8, &out);
  return out;
}

}  // namespace koru
