#include "imaging/kwxml.h"

#include "base/error.h"
#include "base/kw_int.h"
#include "base/sjis.h"

namespace koru {
namespace {

std::string ReadWholeStream(Stream& stream) {
  const int64_t size = stream.GetSize();
  stream.SetPosition(0);
  std::string text;
  if (size <= 0) return text;
  text.resize(static_cast<size_t>(size));
  const int64_t got = stream.Read(text.data(), size);
  text.resize(static_cast<size_t>(got < 0 ? 0 : got));
  return text;
}

[[noreturn]] void ThrowMissingChild(std::string_view name) {
  throw KoruError(Format("<%s>がありません", std::string(name).c_str()));
}

}  // namespace

TKwXmlElement::TKwXmlElement(TKwXmlElement* parent)
    : parent_(parent), document_(parent != nullptr ? parent->document_ : nullptr) {}

TKwXmlElement::~TKwXmlElement() { FreeChildren(); }

void TKwXmlElement::FreeChildren() {
  // Detaches grandchildren before each child dies, so that freeing a deep tree never
  // recurses.
  std::vector<std::unique_ptr<TKwXmlElement>> pending = std::move(children_);
  children_.clear();
  while (!pending.empty()) {
    std::unique_ptr<TKwXmlElement> element = std::move(pending.back());
    pending.pop_back();
    for (auto& child : element->children_) pending.push_back(std::move(child));
    element->children_.clear();
  }
}

void TKwXmlElement::LoadFromStream(Stream& stream) { LoadFromText(ReadWholeStream(stream)); }

void TKwXmlElement::LoadFromText(std::string_view text) {
  Clear();
  TKwXmlTags tags;
  tags.OnProgress = OnProgress;
  tags.Tokenize(text);
  Build(tags, 0);
}

void TKwXmlElement::Clear() {
  FreeChildren();
  attributes_.clear();
  Name.clear();
  Text.clear();
}

TKwXmlElement* TKwXmlElement::Child(int index) const {
  if (index < 0 || index >= ChildCount()) return nullptr;
  return children_[static_cast<size_t>(index)].get();
}

int TKwXmlElement::IndexOfChild(std::string_view name) const {
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i]->NameIs(name)) return static_cast<int>(i);
  }
  return -1;
}

TKwXmlElement* TKwXmlElement::FindChild(std::string_view name) const {
  const int index = IndexOfChild(name);
  if (index >= 0) return Child(index);
  if (RaiseOnMissing) ThrowMissingChild(name);
  return nullptr;
}

bool TKwXmlElement::NameIs(std::string_view name) const { return EqualsIgnoreCase(Name, name); }

const TKwXmlValue* TKwXmlElement::FindAttribute(std::string_view name) const {
  for (const TKwXmlValue& value : attributes_) {
    if (EqualsIgnoreCase(value.Name, name)) return &value;
  }
  return nullptr;
}

int32_t TKwXmlElement::ReadInteger(std::string_view name, int32_t default_value) const {
  const TKwXmlValue* attribute = FindAttribute(name);
  int32_t value = 0;
  if (attribute == nullptr || !KwStrToInt(attribute->Value, &value)) return default_value;
  return value;
}

std::string TKwXmlElement::ReadString(std::string_view name, std::string_view default_value) const {
  const TKwXmlValue* attribute = FindAttribute(name);
  return attribute != nullptr ? attribute->Value : std::string(default_value);
}

bool TKwXmlElement::ReadBool(std::string_view name, bool default_value) const {
  const TKwXmlValue* attribute = FindAttribute(name);
  return attribute != nullptr ? attribute->Value == "1" : default_value;
}

std::string TKwXmlElement::ReadChildText(std::string_view name,
                                         std::string_view default_value) const {
  const int index = IndexOfChild(name);
  if (index >= 0) return Child(index)->Text;
  if (RaiseOnMissing) ThrowMissingChild(name);
  return std::string(default_value);
}

const TKwXmlValue* TKwXmlElement::Attribute(int index) const {
  if (index < 0 || index >= AttributeCount()) return nullptr;
  return &attributes_[static_cast<size_t>(index)];
}

void TKwXmlElement::AddAttribute(std::string name, std::string value) {
  attributes_.push_back({std::move(name), std::move(value)});
}

TKwXmlElement* TKwXmlElement::AddChild(std::string name) {
  children_.push_back(std::make_unique<TKwXmlElement>(this));
  children_.back()->Name = std::move(name);
  return children_.back().get();
}

void TKwXmlElement::TakeTag(const TKwXmlTag& tag) {
  Name = tag.Name;
  for (const auto& [name, value] : tag.TagAttributes) {
    AddAttribute(name, KwXmlDecodeEntities(value));
  }
}

void TKwXmlElement::Build(const TKwXmlTags& tags, int first) {
  const std::vector<TKwXmlTag>& tokens = tags.Tags();
  const int count = static_cast<int>(tokens.size());
  int index = first;
  while (index < count && !tokens[static_cast<size_t>(index)].IsElementTag()) ++index;
  if (index >= count) return;

  const TKwXmlTag& root_tag = tokens[static_cast<size_t>(index)];
  TakeTag(root_tag);
  ++index;
  if (root_tag.IsClosing()) return;

  // An explicit stack of open elements, so that deep nesting in a damaged header cannot
  // exhaust the call stack.
  std::vector<TKwXmlElement*> open{this};
  while (index < count && !open.empty()) {
    TKwXmlElement* element = open.back();
    if (element->parent_ == nullptr && OnProgress) OnProgress(index, count - 1);
    const TKwXmlTag& token = tokens[static_cast<size_t>(index)];
    ++index;
    if (!token.IsElementTag()) {
      element->Text += KwXmlDecodeEntities(token.RawText);
      continue;
    }
    if (token.IsClosing() && element->NameIs(token.Name)) {
      open.pop_back();
      continue;
    }
    TKwXmlElement* child = element->AddChild("");
    child->TakeTag(token);
    if (!token.IsClosing()) open.push_back(child);
  }
}

TKwXml::TKwXml() : TKwXmlElement(nullptr) { SetDocument(this); }

void TKwXml::LoadFromStream(Stream& stream) { LoadFromDocumentText(ReadWholeStream(stream)); }

void TKwXml::LoadFromDocumentText(std::string_view text) {
  Clear();
  TKwXmlTags tags;
  tags.OnProgress = OnProgress;
  tags.Tokenize(text);
  if (tags.Count() == 0 || !tags.Tags()[0].IsDeclaration()) {
    throw KoruError("未対応のファイル形式です");
  }
  const TKwXmlTag& declaration = tags.Tags()[0];
  const std::string* version = nullptr;
  const std::string* encoding = nullptr;
  for (const auto& [name, value] : declaration.TagAttributes) {
    if (version == nullptr && EqualsIgnoreCase(name, "version")) version = &value;
    if (encoding == nullptr && EqualsIgnoreCase(name, "encoding")) encoding = &value;
  }
  if (version == nullptr || encoding == nullptr) throw KoruError("未対応のファイル形式です");
  if (KwXmlDecodeEntities(*version) != "1.0") throw KoruError("未対応のXML形式です");
  const std::string charset = AsciiLower(KwXmlDecodeEntities(*encoding));
  if (charset != "shift_jis" && charset != "shift-jis") {
    throw KoruError("未対応の文字セットです");
  }
  Build(tags, 1);
}

}  // namespace koru
