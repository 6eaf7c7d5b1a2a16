#include "platform/win32/win32_text.h"

#include "base/sjis.h"

namespace koru::platform::win32 {

std::wstring Wide(std::string_view sjis) {
  const std::u16string utf16 = SjisToUtf16(sjis);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view utf16) {
  return Utf16ToSjis(std::u16string(utf16.begin(), utf16.end()));
}

std::string SystemMessage(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      /*source=*/nullptr, code, /*language=*/0, reinterpret_cast<wchar_t*>(&buffer), /*size=*/0,
      /*arguments=*/nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(code);
  return Narrow(text);
}

KoruError Win32Error(DWORD code, const std::string& fixed_message) {
  return KoruError(fixed_message.empty() ? SystemMessage(code) : fixed_message);
}

}  // namespace koru::platform::win32
