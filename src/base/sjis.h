#pragma once

// Shift-JIS (code page 932) text. Every string the program keeps is a Shift-JIS byte
// string; these helpers walk such strings by whole characters so that the second byte
// of a double-byte character (which may be 0x5C, the backslash) is never taken alone.

#include <cstddef>
#include <string>
#include <string_view>

namespace koru {

// True iff c is a lead byte of code page 932 (0x81..0x9F, 0xE0..0xFC).
constexpr bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes (1 or 2) of the character that starts at byte i of s.
// A lead byte at the very end counts as a single byte.
inline size_t CharLengthAt(std::string_view s, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

// Byte offset of the last single-byte character ch in s, or npos. A byte that is the
// second half of a double-byte character never matches.
size_t FindLastChar(std::string_view s, char ch);
// Byte offset of the first single-byte character ch at or after from, or npos.
size_t FindFirstChar(std::string_view s, char ch, size_t from = 0);
// True iff the last character of s is the single-byte character ch.
bool EndsWithChar(std::string_view s, char ch);
// Replaces every single-byte character from by to, leaving double-byte characters whole.
std::string ReplaceChar(std::string_view s, char from, char to);

// ASCII-only case mapping: A..Z (or a..z) change, every double-byte character is left
// whole. This is the case rule of every name comparison, hash and mutex name, so the
// program behaves the same whatever the system locale is.
std::string AsciiLower(std::string_view s);
std::string AsciiUpper(std::string_view s);

// Three-way comparison ignoring ASCII case (double-byte characters compare exactly).
int CompareIgnoreCase(std::string_view a, std::string_view b);
inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return CompareIgnoreCase(a, b) == 0;
}

// Conversions at the boundary to the operating system and to the user's terminal.
// Bytes that are not valid Shift-JIS become U+FFFD; characters that code page 932
// cannot hold become '?'.
std::u16string SjisToUtf16(std::string_view sjis);
std::string Utf16ToSjis(std::u16string_view utf16);
std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

// Strict variants: false when a byte is not valid or a character cannot be mapped.
bool TrySjisToUtf8(std::string_view sjis, std::string* utf8);
bool TryUtf8ToSjis(std::string_view utf8, std::string* sjis);

// UTF-8 <-> UTF-16 (no code page involved).
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace koru
