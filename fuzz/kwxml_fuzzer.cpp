// The image header's XML reader: a free-standing element (lenient, never raises) and a
// document (raises KoruError without a proper declaration), then a walk over the tree
// with the typed reads the image reader uses.

#include "base/error.h"
#include "base/stream.h"
#include "fuzz_target.h"
#include "imaging/kwxml.h"

namespace {

void Walk(const koru::TKwXmlElement& root) {
  std::vector<const koru::TKwXmlElement*> pending = {&root};
  while (!pending.empty()) {
    const koru::TKwXmlElement* element = pending.back();
    pending.pop_back();
    element->ReadInteger("Width", 0);
    element->ReadString("Name", "");
    element->ReadBool("Visible", true);
    element->ReadChildText("RGB", "");
    for (int i = 0; i < element->AttributeCount(); ++i) {
      KORU_FUZZ_CHECK(element->Attribute(i) != nullptr);
    }
    KORU_FUZZ_CHECK(element->Attribute(element->AttributeCount()) == nullptr);
    for (int i = 0; i < element->ChildCount(); ++i) {
      const koru::TKwXmlElement* child = element->Child(i);
      KORU_FUZZ_CHECK(child != nullptr && child->Parent() == element);
      pending.push_back(child);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > koru::fuzz::kMaxInputSize) return 0;
  {
    koru::MemoryStream stream(std::vector<uint8_t>(data, data + size));
    koru::TKwXmlElement root;
    try {
      root.LoadFromStream(stream);
    } catch (const koru::KoruError&) {
      // Lenient by contract, but a clean error is still no crash.
      KORU_FUZZ_CHECK(!"a free-standing element raised");
    }
    Walk(root);
  }
  {
    koru::MemoryStream stream(std::vector<uint8_t>(data, data + size));
    koru::TKwXml document;
    try {
      document.LoadFromStream(stream);
      Walk(document);
    } catch (const koru::KoruError&) {
    }
  }
  return 0;
}
