#include "imaging/kwxml.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace koru {
namespace {

std::string ErrorOf(TKwXml& xml, const std::string& text) {
  try {
    xml.LoadFromDocumentText(text);
  } catch (const KoruError& e) {
    return e.message();
  }
  return "";
}

TEST(KwXmlTagsTest, LineRulesDropLeadingAndUnclosedText) {
  TKwXmlTags tags;
  tags.Tokenize("lost<a>kept</a>tail\r\n<b\nfree text\r<c x=\">\">t");
  std::vector<std::string> raw;
  for (const TKwXmlTag& tag : tags.Tags()) raw.push_back(tag.RawText);
  EXPECT_EQ(raw, (std::vector<std::string>{"<a>", "kept", "</a>", "tail", "<c x=\">\">", "t"}));
}

TEST(KwXmlTagsTest, EmptyPendingTextBecomesAToken) {
  TKwXmlTags tags;
  tags.Tokenize("<a><b>");
  ASSERT_EQ(tags.Count(), 3);
  EXPECT_TRUE(tags.Tags()[2].IsText());
  EXPECT_EQ(tags.Tags()[2].RawText, "");
}

TEST(KwXmlTagsTest, NulEndsTheTextAndProgressCoversEveryLine) {
  TKwXmlTags tags;
  std::vector<std::pair<int, int>> calls;
  tags.OnProgress = [&](int position, int last) { calls.emplace_back(position, last); };
  tags.Tokenize(std::string_view("<a>\n<b>\0<c>", 11));
  EXPECT_EQ(tags.Count(), 4);  // <a>, "", <b>, ""
  EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{0, 1}, {1, 1}, {1, 1}}));
}

TEST(KwXmlTagsTest, DoubleByteTrailIsNeverADelimiter) {
  // 0x81 0x3C is not valid Shift-JIS, but a lead byte still takes the next byte with it.
  TKwXmlTags tags;
  tags.Tokenize("<a>\x81<x</a>");
  ASSERT_EQ(tags.Count(), 4);
  EXPECT_EQ(tags.Tags()[1].RawText, "\x81<x");
}

TEST(KwXmlTagTest, ParsesNamesAttributesAndKinds) {
  TKwXmlTag open("<Layer  Name=\"a b\" Alpha = \"128\" bare x='1'>");
  EXPECT_EQ(open.Name, "Layer");
  EXPECT_FALSE(open.IsClosing());
  ASSERT_EQ(open.TagAttributes.size(), 3u);
  EXPECT_EQ(open.TagAttributes[0], (std::pair<std::string, std::string>{"Name", "a b"}));
  EXPECT_EQ(open.TagAttributes[1], (std::pair<std::string, std::string>{"Alpha", "128"}));
  // "bare x" has no quote after its "=": it keeps an empty value.
  EXPECT_EQ(open.TagAttributes[2], (std::pair<std::string, std::string>{"bare x", ""}));

  EXPECT_TRUE(TKwXmlTag("</Layer>").IsClosing());
  EXPECT_EQ(TKwXmlTag("</Layer>").Name, "Layer");
  EXPECT_TRUE(TKwXmlTag("<RGB/>").IsClosing());
  EXPECT_EQ(TKwXmlTag("<RGB/>").Name, "RGB");
  EXPECT_TRUE(TKwXmlTag("<?xml version=\"1.0\"?>").IsDeclaration());
  EXPECT_TRUE(TKwXmlTag("text").IsText());
}

TEST(KwXmlEntitiesTest, NumericThenNamedOnce) {
  EXPECT_EQ(KwXmlDecodeEntities("&#65;&#x41;&#$41;"), "AAA");
  EXPECT_EQ(KwXmlDecodeEntities("&#33;"), "!");
  EXPECT_EQ(KwXmlDecodeEntities("&#33088;"), "\x81\x40");
  EXPECT_EQ(KwXmlDecodeEntities("&#0;&#70000;&#65"), "&#0;&#70000;&#65");
  EXPECT_EQ(KwXmlDecodeEntities("a&gt;b&lt;c&quot;d&amp;e"), "a>b<c\"d&e");
  EXPECT_EQ(KwXmlDecodeEntities("&amp;lt;"), "&lt;");
  EXPECT_EQ(KwXmlDecodeEntities("&GT;"), "&GT;");
}

TEST(KwXmlElementTest, BuildsTreeWithTextAndAttributes) {
  TKwXmlElement root;
  root.LoadFromText(
      "<Mura Width=\"640\" width=\"1\" Flag=\"true\" On=\"1\" Q='5'>\n"
      "  <Layers Count=\" 42\">\n"
      "    <RGB>0000FF</RGB>\n"
      "    <Other>\n"
      "    ignored line\n"
      "    </Other>\n"
      "  </Layers>\n"
      "</MURA>\n");
  EXPECT_EQ(root.Name, "Mura");
  EXPECT_EQ(root.ReadInteger("WIDTH", 0), 640);
  EXPECT_FALSE(root.ReadBool("Flag", true));
  EXPECT_TRUE(root.ReadBool("on", false));
  EXPECT_TRUE(root.ReadBool("missing", true));
  EXPECT_EQ(root.ReadInteger("Q", -9), -9);
  EXPECT_EQ(root.ReadString("missing", "d"), "d");
  ASSERT_EQ(root.ChildCount(), 1);
  TKwXmlElement* layers = root.FindChild("layers");
  ASSERT_NE(layers, nullptr);
  EXPECT_EQ(layers->Parent(), &root);
  EXPECT_EQ(layers->ReadInteger("count", 0), 42);
  EXPECT_EQ(layers->ReadChildText("rgb", ""), "0000FF");
  EXPECT_EQ(layers->ReadChildText("other", "x"), "");
  EXPECT_EQ(layers->IndexOfChild("Other"), 1);
  EXPECT_EQ(layers->Child(2), nullptr);
  EXPECT_EQ(root.Document(), nullptr);
}

TEST(KwXmlElementTest, LenientStructures) {
  TKwXmlElement root;
  // A mismatched end tag becomes an empty child; <a/> inside <a> closes it.
  root.LoadFromText("<a>x&amp;y</b><a/><c>late</c>");
  EXPECT_EQ(root.Text, "x&y");
  ASSERT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.Child(0)->Name, "b");
  EXPECT_EQ(root.Child(0)->ChildCount(), 0);

  // "<!" opens an element that never closes.
  root.LoadFromText("<r><!x><y/></r>");
  ASSERT_EQ(root.ChildCount(), 1);
  EXPECT_EQ(root.Child(0)->Name, "!x");
  EXPECT_EQ(root.Child(0)->ChildCount(), 2);

  root.LoadFromText("only text");
  EXPECT_EQ(root.Name, "");
  EXPECT_EQ(root.ChildCount(), 0);
}

TEST(KwXmlElementTest, DeepNestingDoesNotRecurse) {
  std::string text;
  for (int i = 0; i < 30000; ++i) text += "<a>";
  TKwXmlElement root;
  root.LoadFromText(text);
  int depth = 0;
  for (TKwXmlElement* e = &root; e->ChildCount() > 0; e = e->Child(0)) ++depth;
  EXPECT_EQ(depth, 29999);
}

TEST(KwXmlElementTest, MissingChildRaisesWhenAsked) {
  TKwXmlElement root;
  root.LoadFromText("<a><b>t</b></a>");
  EXPECT_EQ(root.FindChild("c"), nullptr);
  EXPECT_EQ(root.ReadChildText("c", "d"), "d");
  root.RaiseOnMissing = true;
  EXPECT_NE(root.FindChild("B"), nullptr);
  try {
    root.ReadChildText("Layers", "");
    FAIL();
  } catch (const KoruError& e) {
    EXPECT_EQ(e.message(), "<Layers>がありません");
  }
  EXPECT_THROW(root.FindChild("c"), KoruError);
}

TEST(KwXmlDocumentTest, DeclarationChecks) {
  TKwXml xml;
  EXPECT_EQ(ErrorOf(xml, "<?xml version=\"1.0\" encoding=\"SHIFT_jis\"?>\n<r a=\"1\"/>"), "");
  EXPECT_EQ(xml.Name, "r");
  EXPECT_EQ(xml.Document(), &xml);
  EXPECT_EQ(ErrorOf(xml, "<?xml version=\"1.0\" encoding=\"Shift-JIS\"?><r><c/></r>"), "");
  ASSERT_EQ(xml.ChildCount(), 1);
  EXPECT_EQ(xml.Child(0)->Document(), &xml);

  EXPECT_EQ(ErrorOf(xml, ""), "未対応のファイル形式です");
  EXPECT_EQ(ErrorOf(xml, "<r/>"), "未対応のファイル形式です");
  EXPECT_EQ(ErrorOf(xml, "<?xml version=\"1.0\"?>"), "未対応のファイル形式です");
  EXPECT_EQ(ErrorOf(xml, "<?xml version=\"1.1\" encoding=\"shift_jis\"?>"), "未対応のXML形式です");
  EXPECT_EQ(ErrorOf(xml, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), "未対応の文字セットです");
}

TEST(KwXmlDocumentTest, LoadsFromStreamFromPositionZero) {
  MemoryStream stream;
  const std::string text = "<?xml version=\"1.0\" encoding=\"shift_jis\"?><r>日本語</r>";
  stream.WriteExact(text.data(), static_cast<int64_t>(text.size()));
  TKwXml xml;
  xml.LoadFromStream(stream);
  EXPECT_EQ(xml.Text, "日本語");
}

}  // namespace
}  // namespace koru
