#include "platform/win32/win32_text.h"

#include "base/sjis.h"

namespace koru::platform::win32 {
namespace {

// True iff code page 932 holds every character of text exactly.
bool FitsShiftJis(const std::wstring& text) {
  if (text.empty()) return true;
  BOOL used_default = FALSE;
  const int length = ::WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0,
                                           /*default_char=*/"?", &used_default);
  return length > 0 && used_default == FALSE;
}

}  // namespace

std::wstring Wide(std::string_view sjis) {
  const std::u16string utf16 = SjisToUtf16(sjis);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view utf16) {
  return Utf16ToSjis(std::u16string(utf16.begin(), utf16.end()));
}

std::string NarrowPath(const std::wstring& path) {
  if (FitsShiftJis(path)) return Narrow(path);
  std::wstring buffer(path.size() + 1, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length =
        ::GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) break;
    if (length < buffer.size()) {
      const std::wstring short_path(buffer.data(), length);
      if (FitsShiftJis(short_path)) return Narrow(short_path);
      break;
    }
    buffer.assign(static_cast<size_t>(length) + 1, L'\0');
  }
  return Narrow(path);
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
