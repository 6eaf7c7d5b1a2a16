#pragma once

// The line-oriented tokenizer of the minimal XML reader. Lines are scanned one by one:
// a tag or a text never continues across a line end, text before a line's first tag is
// dropped, and a tag still open at the end of its line is dropped.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace koru {

// Progress callback of a load: (position, last), both indexes.
using TKwXmlProgress = std::function<void(int position, int last)>;

// One token: a tag (RawText from "<" to ">") or a text.
class TKwXmlTag {
 public:
  explicit TKwXmlTag(std::string raw_text);

  // The raw token text; for a tag from "<" to ">", for a text still encoded.
  std::string RawText;
  // Name of an element tag or declaration ("?xml"), trimmed; empty for a text.
  std::string Name;
  // Attributes in document order, values still encoded.
  std::vector<std::pair<std::string, std::string>> TagAttributes;

  // A token starting with "<?".
  bool IsDeclaration() const;
  // A token starting with "<" that is not a declaration.
  bool IsElementTag() const;
  bool IsText() const { return RawText.empty() || RawText[0] != '<'; }
  // An element tag whose second character is "/" (end tag) or whose last character but
  // one is "/" (empty-element tag).
  bool IsClosing() const;

 private:
  void ParseTag();
};

// The token list of one document.
class TKwXmlTags {
 public:
  // Splits text into tokens. A NUL character ends the text.
  void Tokenize(std::string_view text);

  const std::vector<TKwXmlTag>& Tags() const { return tags_; }
  int Count() const { return static_cast<int>(tags_.size()); }

  // Called before each line with (line index, last line index) and once at the end.
  TKwXmlProgress OnProgress;

 private:
  void TokenizeLine(std::string_view line);

  std::vector<TKwXmlTag> tags_;
};

// Decodes numeric character references (&#65; &#x41; ... taken by KwStrToInt, 1..65535,
// values above 255 as two bytes high first) and then the named entities &gt; &lt; &quot;
// &amp;, once and in this order.
std::string KwXmlDecodeEntities(std::string_view text);

}  // namespace koru
