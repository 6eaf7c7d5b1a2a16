#include "tools/image_info.h"

#include <sstream>

#include "base/binary_io.h"
#include "base/error.h"
#include "base/kw_int.h"
#include "imaging/kwxml.h"
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

struct Header {
  int32_t version = 0, width = 0, height = 0, bpp = 0, count = 0;
  bool sync_pal = false, randomized = false;
  int comp_type = 0, comp_level = 0;
  uint32_t bg_color = 0;
  int32_t block_width = 0, block_height = 0;
  bool not_fill_bg = false;
};

void PrintHeader(const Header& h, std::ostream& out) {
  out << "header: Version=" << h.version << " Width=" << h.width << " Height=" << h.height
      << " Bpp=" << h.bpp << " Count=" << h.count << " SyncPal=" << h.sync_pal
      << " Randomized=" << h.randomized << " CompType=" << h.comp_type
      << " CompLevel=" << h.comp_level << " BGColor=" << Format("$%06X", h.bg_color)
      << " BlockWidth=" << h.block_width << " BlockHeight=" << h.block_height
      << " NotFillBG=" << h.not_fill_bg << "\n";
  const bool block_mode =
      h.version >= 103 && h.block_width > 0 && h.block_height > 0 && h.comp_type != 2;
  out << "planes: "
      << (h.version < 103 ? "old row mode"
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
  Header h;
  h.version = version;
  if (version < 103) {
    h.count = w.Int();
    w.Byte();
    if (version >= 102) h.bg_color = static_cast<uint32_t>(w.Int());
  } else {
    const int32_t length = w.Int();
    if (length < 0) throw KoruError(kDamaged);
    std::vector<uint8_t> record = w.Bytes(std::min(length, 40));
    if (length > 40) w.Skip(length - 40);
    record.resize(40, 0);
    h.version = LoadInt32(&record[0]);
    h.width = LoadInt32(&record[4]);
    h.height = LoadInt32(&record[8]);
    h.bpp = LoadInt32(&record[12]);
    h.count = LoadInt32(&record[16]);
    h.sync_pal = record[20] != 0;
    h.randomized = record[21] != 0;
    h.comp_type = record[22];
    h.bg_color = LoadUInt32(&record[24]);
    h.block_width = LoadInt32(&record[28]);
    h.block_height = LoadInt32(&record[32]);
    h.not_fill_bg = version >= 105 && record[36] != 0;
    h.comp_level = record[37];
  }
  PrintHeader(h, out);
  for (int32_t f = 0; f < h.count; ++f) {
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
    if (h.version >= 104) {
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
  Header h;
  h.version = root.ReadInteger("Version", 200);
  h.width = root.ReadInteger("Width", 100);
  h.height = root.ReadInteger("Height", 100);
  h.bpp = root.ReadInteger("Bpp", 8);
  h.count = root.ReadInteger("Count", 0);
  h.sync_pal = root.ReadBool("SyncPal", false);
  h.randomized = root.ReadBool("Randomized", false);
  h.comp_type = root.ReadInteger("CompType", 0);
  h.comp_level = root.ReadInteger("CompLevel", 0);
  h.bg_color = static_cast<uint32_t>(root.ReadInteger("BGColor", 0));
  h.block_width = root.ReadInteger("BlockWidth", 32);
  h.block_height = root.ReadInteger("BlockHeight", 32);
  h.not_fill_bg = root.ReadBool("NotFillBG", true);
  out << "version: " << h.version << "\n";
  PrintHeader(h, out);
  for (int32_t f = 0; f < h.count; ++f) {
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
      if (h.version >= 100) {
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
