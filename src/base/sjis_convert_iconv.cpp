// Code page 932 conversion on hosts with iconv (glibc knows "CP932").
#include <errno.h>
#include <iconv.h>

#include <memory>

#include "base/sjis.h"

namespace koru {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts one whole piece; false when iconv refuses any of it.
  bool Convert(std::string_view in, std::string* out) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    char* in_ptr = const_cast<char*>(in.data());
    size_t in_left = in.size();
    const size_t start = out->size();
    out->resize(start + in.size() * 4 + 8);
    char* out_ptr = out->data() + start;
    size_t out_left = out->size() - start;
    const size_t rc = iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
    if (rc == static_cast<size_t>(-1) || rc != 0) {
      out->resize(start);
      return false;
    }
    out->resize(static_cast<size_t>(out_ptr - out->data()));
    return true;
  }

 private:
  iconv_t cd_;
};

Converter& SjisToUtf8Converter() {
  thread_local Converter converter("UTF-8", "CP932");
  return converter;
}

Converter& Utf8ToSjisConverter() {
  thread_local Converter converter("CP932", "UTF-8");
  return converter;
}

size_t Utf8SequenceLength(std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t length = 1;
  if ((c & 0xE0) == 0xC0) length = 2;
  if ((c & 0xF0) == 0xE0) length = 3;
  if ((c & 0xF8) == 0xF0) length = 4;
  return i + length <= s.size() ? length : 1;
}

}  // namespace

bool TrySjisToUtf8(std::string_view sjis, std::string* utf8) {
  utf8->clear();
  if (SjisToUtf8Converter().Convert(sjis, utf8)) return true;
  // Fall back to one character at a time so that one bad byte costs one character.
  utf8->clear();
  bool all_valid = true;
  for (size_t i = 0; i < sjis.size();) {
    const size_t length = CharLengthAt(sjis, i);
    if (!SjisToUtf8Converter().Convert(sjis.substr(i, length), utf8)) {
      utf8->append("\xEF\xBF\xBD");
      all_valid = false;
    }
    i += length;
  }
  return all_valid;
}

bool TryUtf8ToSjis(std::string_view utf8, std::string* sjis) {
  sjis->clear();
  if (Utf8ToSjisConverter().Convert(utf8, sjis)) return true;
  sjis->clear();
  bool all_valid = true;
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = Utf8SequenceLength(utf8, i);
    if (!Utf8ToSjisConverter().Convert(utf8.substr(i, length), sjis)) {
      sjis->push_back('?');
      all_valid = false;
    }
    i += length;
  }
  return all_valid;
}

}  // namespace koru
