#include "base/error.h"

#include <cstdarg>
#include <cstdio>

#include "base/sjis.h"

namespace koru {

std::string KoruError::Utf8() const { return SjisToUtf8(message_); }

std::u16string KoruError::Utf16() const { return SjisToUtf16(message_); }

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(result.data(), result.size(), format, args);
    result.resize(static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

}  // namespace koru
