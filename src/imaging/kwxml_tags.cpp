#include "imaging/kwxml_tags.h"

#include "base/kw_int.h"
#include "base/sjis.h"

namespace koru {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

void ReplaceAll(std::string& s, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  while (true) {
    const size_t hit = s.find(from, pos);
    if (hit == std::string::npos) break;
    out.append(s, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(s, pos, std::string::npos);
  s = std::move(out);
}

}  // namespace

TKwXmlTag::TKwXmlTag(std::string raw_text) : RawText(std::move(raw_text)) {
  if (IsDeclaration() || IsElementTag()) ParseTag();
}

bool TKwXmlTag::IsDeclaration() const {
  return RawText.size() >= 2 && RawText[0] == '<' && RawText[1] == '?';
}

bool TKwXmlTag::IsElementTag() const {
  return !RawText.empty() && RawText[0] == '<' && !IsDeclaration();
}

bool TKwXmlTag::IsClosing() const {
  if (!IsElementTag() || RawText.size() < 2) return false;
  return RawText[1] == '/' || RawText[RawText.size() - 2] == '/';
}

void TKwXmlTag::ParseTag() {
  const std::string_view raw = RawText;
  const size_t name_start = (raw.size() >= 2 && raw[1] == '/') ? 2 : 1;
  // The name ends at the first "/", ">" or space from the third character on.
  size_t name_end = raw.size();
  for (size_t i = 2; i < raw.size(); i += CharLengthAt(raw, i)) {
    if (raw[i] == '/' || raw[i] == '>' || raw[i] == ' ') {
      name_end = i;
      break;
    }
  }
  if (name_end < name_start) name_end = name_start;
  Name = std::string(TrimBlanks(raw.substr(name_start, name_end - name_start)));
  if (name_end >= raw.size() || raw[name_end] != ' ') return;

  enum class State { kBetween, kName, kAfterEquals, kValue } state = State::kBetween;
  size_t start = 0;
  const size_t end = raw.size() - 1;  // the closing ">" is not scanned
  for (size_t i = name_end + 1; i < end; i += CharLengthAt(raw, i)) {
    const char c = raw[i];
    switch (state) {
      case State::kBetween:
        if (c == '=') {
          TagAttributes.emplace_back("", "");
          state = State::kAfterEquals;
        } else if (c != ' ') {
          start = i;
          state = State::kName;
        }
        break;
      case State::kName:
        if (c == '=') {
          TagAttributes.emplace_back(std::string(TrimBlanks(raw.substr(start, i - start))), "");
          state = State::kAfterEquals;
        }
        break;
      case State::kAfterEquals:
        if (c == '"') {
          start = i + 1;
          state = State::kValue;
        }
        break;
      case State::kValue:
        if (c == '"') {
          TagAttributes.back().second = std::string(raw.substr(start, i - start));
          state = State::kBetween;
        }
        break;
    }
  }
}

void TKwXmlTags::Tokenize(std::string_view text) {
  tags_.clear();
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);

  std::vector<std::string_view> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    if (pos == text.size()) break;  // a final line break opens no further line
  }
  const int last = static_cast<int>(lines.size()) - 1;
  for (int i = 0; i <= last; ++i) {
    if (OnProgress) OnProgress(i, last);
    TokenizeLine(lines[static_cast<size_t>(i)]);
  }
  if (OnProgress) OnProgress(last, last);
}

void TKwXmlTags::TokenizeLine(std::string_view line) {
  enum class State { kOutside, kTag, kQuoted } state = State::kOutside;
  constexpr size_t kNone = std::string_view::npos;
  size_t pending = kNone;  // start of text after the last closed tag
  size_t tag_start = 0;
  for (size_t i = 0; i < line.size(); i += CharLengthAt(line, i)) {
    const char c = line[i];
    switch (state) {
      case State::kOutside:
        if (c == '<') {
          if (pending != kNone && i > pending) {
            tags_.emplace_back(std::string(line.substr(pending, i - pending)));
          }
          pending = kNone;
          tag_start = i;
          state = State::kTag;
        }
        break;
      case State::kTag:
        if (c == '>') {
          tags_.emplace_back(std::string(line.substr(tag_start, i + 1 - tag_start)));
          pending = i + 1;
          state = State::kOutside;
        } else if (c == '"') {
          state = State::kQuoted;
        }
        break;
      case State::kQuoted:
        if (c == '"') state = State::kTag;
        break;
    }
  }
  if (pending != kNone) tags_.emplace_back(std::string(line.substr(pending)));
}

std::string KwXmlDecodeEntities(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '#') {
      const size_t semicolon = text.find(';', i + 2);
      int32_t value = 0;
      if (semicolon != std::string_view::npos &&
          KwStrToInt(text.substr(i + 2, semicolon - i - 2), &value) && value >= 1 &&
          value <= 65535) {
        if (value >= 256) out.push_back(static_cast<char>(value >> 8));
        out.push_back(static_cast<char>(value & 0xFF));
        i = semicolon + 1;
        continue;
      }
    }
    out.push_back(text[i]);
    ++i;
  }
  ReplaceAll(out, "&gt;", ">");
  ReplaceAll(out, "&lt;", "<");
  ReplaceAll(out, "&quot;", "\"");
  ReplaceAll(out, "&amp;", "&");
  return out;
}

}  // namespace koru
