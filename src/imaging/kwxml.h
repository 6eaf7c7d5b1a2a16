#pragma once

// The minimal XML reader of the layered image header: an element tree with named
// attributes and text, built leniently from the tokenizer's output (malformed markup
// never raises; it yields the tree the token rules imply). Names match without regard to
// ASCII case; values compare exactly. All text is Shift-JIS.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/stream.h"
#include "imaging/kwxml_tags.h"

namespace koru {

class TKwXml;

// One attribute, its value already decoded.
struct TKwXmlValue {
  std::string Name;
  std::string Value;
};

class TKwXmlElement {
 public:
  // An empty element; its document is the parent's (none for a free-standing element).
  explicit TKwXmlElement(TKwXmlElement* parent = nullptr);
  virtual ~TKwXmlElement();
  TKwXmlElement(const TKwXmlElement&) = delete;
  TKwXmlElement& operator=(const TKwXmlElement&) = delete;

  // Clears the element and builds it and its subtree from the first element tag of the
  // whole stream (read from position 0 to its size). No element tag: stays empty.
  virtual void LoadFromStream(Stream& stream);
  // Same from text in memory.
  void LoadFromText(std::string_view text);
  // Frees children and attributes and empties Name and Text.
  void Clear();

  int ChildCount() const { return static_cast<int>(children_.size()); }
  // The child at a 0-based index, nullptr when out of range.
  TKwXmlElement* Child(int index) const;
  // Position of the first child with that name, -1 when none.
  int IndexOfChild(std::string_view name) const;
  // The first child with that name; when none, throws "<name>がありません" if
  // RaiseOnMissing is set, otherwise returns nullptr.
  TKwXmlElement* FindChild(std::string_view name) const;
  bool NameIs(std::string_view name) const;

  // Typed reads of the first attribute with that name; default when there is none (or,
  // for ReadInteger, when it does not convert). ReadBool is true only for "1".
  int32_t ReadInteger(std::string_view name, int32_t default_value) const;
  std::string ReadString(std::string_view name, std::string_view default_value) const;
  bool ReadBool(std::string_view name, bool default_value) const;
  // Text of the first child with that name; when none, throws like FindChild if
  // RaiseOnMissing is set, otherwise returns the default.
  std::string ReadChildText(std::string_view name, std::string_view default_value) const;

  int AttributeCount() const { return static_cast<int>(attributes_.size()); }
  // nullptr when out of range.
  const TKwXmlValue* Attribute(int index) const;
  void AddAttribute(std::string name, std::string value);
  // Appends a new child whose Parent is this element.
  TKwXmlElement* AddChild(std::string name);

  TKwXmlElement* Parent() const { return parent_; }
  TKwXml* Document() const { return document_; }

  // Tag name as written.
  std::string Name;
  // All text directly inside the element, decoded and concatenated, without line breaks.
  std::string Text;
  // FindChild and ReadChildText throw on a missing child.
  bool RaiseOnMissing = false;
  // Called while a root element (no parent) is built: (token index, last token index).
  // Also handed to the tokenizer, which reports lines.
  TKwXmlProgress OnProgress;

 protected:
  // Builds from the tokens, starting the search for the first element tag at first.
  void Build(const TKwXmlTags& tags, int first);
  void SetDocument(TKwXml* document) { document_ = document; }

 private:
  const TKwXmlValue* FindAttribute(std::string_view name) const;
  void FreeChildren();
  void TakeTag(const TKwXmlTag& tag);

  std::vector<std::unique_ptr<TKwXmlElement>> children_;
  std::vector<TKwXmlValue> attributes_;
  TKwXmlElement* parent_;
  TKwXml* document_;
};

// A document: like an element, but the text must begin with an XML declaration with
// version "1.0" and encoding "shift_jis" or "shift-jis" (any case).
class TKwXml : public TKwXmlElement {
 public:
  TKwXml();
  // Throws "未対応のファイル形式です" (no declaration, or no version or encoding),
  // "未対応のXML形式です" (version not "1.0") or "未対応の文字セットです".
  void LoadFromStream(Stream& stream) override;
  void LoadFromDocumentText(std::string_view text);
};

}  // namespace koru
