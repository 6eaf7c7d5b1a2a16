#include "tools/image_info.h"

#include <algorithm>
#include <array>
#include <sstream>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/kw_int.h"
#include "imaging/kwxml.h"
#include "imaging/mura.h"
#include "storage/compression.h"
#include "tools/cli.h"

namespace koru::tools {
namespace {

constexpr const char* kDamaged = "ファイルが破壊されています";
// Bound of an inflated XML header, far above any real one.
constexpr size_t kMaxHeaderText = 64u << 20;

// Bounded reads over the file: every length is checked against what is left.
class Walker {
 public:
  explicit Walker(const std::vector<uint8_t>& file) : stream_(file.data(), file.size()) {}
  int32_t Int() { return ReadInt32(stream_); }
  uint8_t Byte() { return ReadUInt8(stream_); }
  std::string Text(int64_t length) {
    Check(length);
    std::string text(static_cast<size_t>(length), '\0');
    stream_.ReadExact(text.data(), length);
    return text;
  }
  void Skip(int64_t length) {
    Check(length);
    stream_.SetPosition(stream_.GetPosition() + length);
  }
  // A length-prefixed payload: returns its length, skipping it.
  int64_t SkipPayload() {
    const int64_t length = Int();
    Skip(length);
    return length;
  }
  std::vector<uint8_t> Bytes(int64_t length) {
    Check(length);
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    stream_.ReadExact(bytes.data(), length);
    return bytes;
  }
  int64_t Position() { return stream_.GetPosition(); }
  void Rewind() { stream_.SetPosition(0); }

 private:
  void Check(int64_t length) {
    if (length < 0 || length > stream_.Remaining()) throw KoruError(kDamaged);
  }
  ReadOnlyMemoryStream stream_;
};

std::string Quoted(const std::string& sjis) { return "\"" + ToDisplay(sjis) + "\""; }

void PrintHeader(const TMuraHeader& h, std::ostream& out) {
  out << "header: Version=" << h.Version << " Width=" << h.Width << " Height=" << h.Height
      << " Bpp=" << h.Bpp << " Count=" << h.Count << " SyncPal=" << h.SyncPal
      << " Randomized=" << h.Randomized << " CompType=" << int{h.CompType}
      << " CompLevel=" << int{h.CompLevel} << " BGColor=" << Format("$%06X", h.BGColor)
      << " BlockWidth=" << h.BlockWidth << " BlockHeight=" << h.BlockHeight
      << " NotFillBG=" << h.NotFillBG << "\n";
  const bool block_mode =
      h.Version >= 103 && h.BlockWidth > 0 && h.BlockHeight > 0 && h.CompType != 2;
  out << "planes: "
      << (h.Version < 103 ? "old row mode"
          : block_mode    ? "block mode"
                          : "row mode")
      << "\n";
}

void PrintFrame(std::ostream& out, int index, const std::string& name, int32_t width,
                int32_t height, int32_t bits, int32_t trans, int32_t delay, int disposal,
                int32_t layers) {
  out << "frame " << index << ": " << Quoted(name) << " " << width << "x" << height << " " << bits
      << " bits, TransColor " << trans << ", Delay " << delay << ", Disposal " << disposal << ", "
      << layers << " layer(s)\n";
}

void PrintLayer(std::ostream& out, int index, const std::string& name, bool visible, int32_t trans,
                int32_t alpha, bool alpha_on, int64_t color_bytes, int64_t alpha_bytes) {
  out << "  layer " << index << ": " << Quoted(name) << (visible ? " visible" : " hidden")
      << ", TransColor " << trans << ", Alpha " << alpha << ", AlphaOn " << alpha_on
      << ", colour payload " << color_bytes << " bytes, alpha payload " << alpha_bytes
      << " bytes\n";
}

void DescribeBinary(Walker& w, std::ostream& out) {
  int32_t version = 0;
  const std::string magic = w.Text(7);
  if (magic.compare(0, 4, "Mura") == 0) {
    version = KwStrToIntOrThrow(magic.substr(4));
  } else {
    w.Rewind();
  }
  out << "variant: binary\nversion: " << version << (version == 0 ? " (no magic)" : "") << "\n";
  TMuraHeader h;
  h.Version = version;
  if (version < 103) {
    h.Count = w.Int();
    w.Byte();
    if (version >= 102) h.BGColor = static_cast<uint32_t>(w.Int());
  } else {
    const int32_t length = w.Int();
    if (length < 0) throw KoruError(kDamaged);
    std::vector<uint8_t> record = w.Bytes(std::min(length, 40));
    if (length > 40) w.Skip(length - 40);
    record.resize(TMuraHeader::kSize, 0);
    std::array<uint8_t, TMuraHeader::kSize> bytes;
    std::copy(record.begin(), record.end(), bytes.begin());
    h = TMuraHeader::FromBytes(bytes);
    h.NotFillBG = version >= 105 && h.NotFillBG;  // older readers take no NotFillBG
  }
  PrintHeader(h, out);
  for (int32_t f = 0; f < h.Count; ++f) {
    const std::string name = w.Text(w.Int());
    const int32_t trans = w.Int();
    const int32_t delay = w.Int();
    const int disposal = w.Byte();
    w.Skip(4);
    const int32_t layers = w.Int();
    const int32_t width = w.Int();
    const int32_t height = w.Int();
    const int32_t bits = w.Int();
    PrintFrame(out, f, name, width, height, bits, trans, delay, disposal, layers);
    if (bits >= 1 && bits <= 8) w.Skip(int64_t{4} << bits);
    for (int32_t l = 0; l < layers; ++l) {
      w.Skip(8);
      const bool visible = w.Byte() != 0;
      const int32_t layer_trans = w.Int();
      const int32_t alpha = w.Int();
      const bool alpha_on = version >= 101 && w.Byte() != 0;
      const std::string layer_name = w.Text(w.Int());
      const int64_t color_bytes = w.SkipPayload();
      const int64_t alpha_bytes = version >= 100 ? w.SkipPayload() : 0;
      PrintLayer(out, l, layer_name, visible, layer_trans, alpha, alpha_on, color_bytes,
                 alpha_bytes);
    }
    if (h.Version >= 104) {
      const int32_t aux1 = w.Int();
      if (aux1 > 0) w.Skip(int64_t{16} * aux1);
      const int32_t aux2 = w.Int();
      if (aux2 > 0) w.Skip(int64_t{16} * aux2);
      out << "  aux records: " << std::max(aux1, 0) << " + " << std::max(aux2, 0) << "\n";
    }
  }
}

void DescribeXml(Walker& w, std::ostream& out) {
  const std::string magic = w.Text(8);
  out << "variant: xml (" << magic << ")\n";
  const uint32_t length = static_cast<uint32_t>(w.Int());
  const std::vector<uint8_t> packed = w.Bytes(length);
  std::vector<uint8_t> text;
  InflateBytes(packed.data(), packed.size(), &text, kMaxHeaderText);
  TKwXmlElement root;
  root.LoadFromText(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
  const TMuraHeader h = TMuraHeader::FromXml(root);
  out << "version: " << h.Version << "\n";
  PrintHeader(h, out);
  for (int32_t f = 0; f < h.Count; ++f) {
    const TKwXmlElement* frame = root.Child(f);
    if (frame == nullptr || !frame->NameIs("Frame")) {
      if (f == 0) throw KoruError(kDamaged);
      break;
    }
    const TKwXmlElement* layers = frame->FindChild("Layers");
    if (layers == nullptr) throw KoruError("レイヤーがありません");
    const int32_t count = layers->ReadInteger("Count", 0);
    PrintFrame(out, f, frame->ReadString("Name", ""), layers->ReadInteger("Width", 100),
               layers->ReadInteger("Height", 100), layers->ReadInteger("Bpp", 8),
               frame->ReadInteger("TransColor", -1), frame->ReadInteger("Delay", 0),
               frame->ReadInteger("Disposal", 0), count);
    const int first = layers->IndexOfChild("Layer");
    for (int32_t l = 0; l < count; ++l) {
      const TKwXmlElement* layer = first < 0 ? nullptr : layers->Child(first + l);
      if (layer == nullptr || !layer->NameIs("Layer")) throw KoruError(kDamaged);
      const int64_t color_bytes = static_cast<uint32_t>(w.Int());
      w.Skip(color_bytes);
      int64_t alpha_bytes = 0;
      if (h.Version >= 100) {
        alpha_bytes = static_cast<uint32_t>(w.Int());
        w.Skip(alpha_bytes);
      }
      PrintLayer(out, l, layer->ReadString("Name", ""), layer->ReadBool("Visible", true),
                 layer->ReadInteger("TransColor", -1), layer->ReadInteger("Alpha", 255),
                 layer->ReadBool("AlphaOn", false), color_bytes, alpha_bytes);
    }
  }
}

}  // namespace

std::string DescribeMuraImage(const std::vector<uint8_t>& file) {
  Walker walker(file);
  std::ostringstream out;
  const bool xml = file.size() >= 5 && std::string(file.begin(), file.begin() + 5) == "MuraX";
  if (xml) {
    DescribeXml(walker, out);
  } else {
    DescribeBinary(walker, out);
  }
  out << "size: " << file.size() << " bytes";
  const int64_t rest = static_cast<int64_t>(file.size()) - walker.Position();
  if (rest > 0) out << " (" << rest << " bytes after the image)";
  out << "\n";
  return out.str();
}

}  // namespace koru::tools
