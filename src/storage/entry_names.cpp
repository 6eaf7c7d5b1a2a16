#include "storage/entry_names.h"

#include <string_view>

#include "base/error.h"
#include "base/sjis.h"
#include "settings/paths.h"

namespace koru {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsForbiddenByte(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
      return true;
    default:
      return false;
  }
}

// A component that Windows would read as "." or ".." after trimming dots and blanks.
bool IsDotsOnly(std::string_view component) {
  for (char c : component) {
    if (c != '.' && c != ' ') return false;
  }
  return true;
}

// A component that Windows opens as a device whatever the folder: CON, PRN, AUX, NUL,
// COM1 to COM9 and LPT1 to LPT9, in any case, also with an extension ("nul.txt") and with
// blanks around it ("CON .txt"; Windows trims the trailing ones, and leading ones are
// refused too rather than trusted).
bool IsDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  while (!base.empty() && base.front() == ' ') base.remove_prefix(1);
  const std::string lowered = AsciiLower(base);
  if (lowered == "con" || lowered == "prn" || lowered == "aux" || lowered == "nul") return true;
  return lowered.size() == 4 &&
         (lowered.compare(0, 3, "com") == 0 || lowered.compare(0, 3, "lpt") == 0) &&
         lowered[3] >= '1' && lowered[3] <= '9';
}

}  // namespace

bool IsSafeEntryName(const std::string& name) {
  if (name.empty()) return false;
  size_t component_start = 0;
  for (size_t i = 0; i <= name.size();) {
    const bool at_end = i == name.size();
    const size_t length = at_end ? 1 : CharLengthAt(name, i);
    const bool separator = at_end || (length == 1 && IsSeparator(name[i]));
    if (separator) {
      const std::string_view component(name.data() + component_start, i - component_start);
      if (component.empty() || IsDotsOnly(component) || IsDeviceName(component)) return false;
      component_start = i + 1;
    } else if (length == 1 && IsForbiddenByte(static_cast<unsigned char>(name[i]))) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string SafeEntryPath(const std::string& folder, const std::string& name) {
  if (!IsSafeEntryName(name)) throw KoruError(Format(kUnsafeEntryNameError, name.c_str()));
  return folder.empty() ? name : AddBackslash(folder) + name;
}

}  // namespace koru
