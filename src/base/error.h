#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace koru {

// The one exception type of the program. It carries the user-facing message as a
// Shift-JIS byte string, exactly as the message boxes show it.
class KoruError : public std::exception {
 public:
  explicit KoruError(std::string sjis_message) : message_(std::move(sjis_message)) {}

  // The Shift-JIS message.
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& message() const noexcept { return message_; }

  std::string Utf8() const;
  std::u16string Utf16() const;

 private:
  std::string message_;
};

// printf-style formatting into a std::string (Shift-JIS in, Shift-JIS out).
#if defined(__MINGW32__)
#define KORU_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define KORU_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#endif
std::string Format(const char* format, ...) KORU_PRINTF_FORMAT(1, 2);

// Message of a stream that ended before the bytes it was asked for.
inline constexpr const char* kStreamReadError = "ストリームの読み込みエラー";
// Message of a stream that refused bytes.
inline constexpr const char* kStreamWriteError = "ストリームの書き込みエラー";
// Messages of a file the system failed to read or to write (its path in place of %s);
// the system's reason follows after "\r\n", on a line of its own.
inline constexpr const char* kFileReadError = "ファイル %s を読み込めません";
inline constexpr const char* kFileWriteError = "ファイル %s に書き込めません";

}  // namespace koru
