// vfkit image: info, to-png and from-png for ".MUR" layered images.
#include <charconv>
#include <ostream>

#include "base/error.h"
#include "base/sjis.h"
#include "imaging/mura_writer.h"
#include "imaging/png_io.h"
#include "tools/cli.h"
#include "tools/image_info.h"

namespace koru::tools {
namespace {

constexpr const char* kImageUsage =
    "usage: vfkit image info FILE.MUR\n"
    "       vfkit image to-png FILE.MUR -o OUT.png [--frame N | --all-frames] [--code N]\n"
    "       vfkit image from-png IN.png... -o FILE.MUR [options]\n"
    "Run 'vfkit image COMMAND --help' for the options of a command.\n";

constexpr const char* kInfoUsage =
    "usage: vfkit image info FILE.MUR\n"
    "Prints the variant, the version, the header fields and every frame and layer.\n";

constexpr const char* kToPngUsage =
    "usage: vfkit image to-png FILE.MUR -o OUT.png [options]\n"
    "Writes a composed frame as an RGB PNG (RGBA when the frame has an alpha plane).\n"
    "  --frame N      the frame to write (default 0)\n"
    "  --all-frames   every frame, as OUT-000.png, OUT-001.png, ...\n"
    "  --code N       identification code of scrambled images (default 0)\n";

constexpr const char* kFromPngUsage =
    "usage: vfkit image from-png IN.png... -o FILE.MUR [options]\n"
    "Each PNG becomes a frame, or with --layers a layer of one frame.\n"
    "  --variant binary|xml   header variant (default binary)\n"
    "  --version N            binary 0..107 (default 107), xml 0..200 (default 200)\n"
    "  --block-size WxH       block mode with W x H blocks (default 32x32)\n"
    "  --block N              block mode with N x N blocks; 0 = row mode\n"
    "  --comp-type 0|1|2      0 zlib (default), 1 none, 2 JPEG colour planes\n"
    "  --quality N            JPEG quality 1..100 (default 90)\n"
    "  --randomized           store rows or block references scrambled\n"
    "  --code N               identification code of the scrambled order\n"
    "  --bits 24|32|8         bit count of the planes (8: palette or gray PNGs only)\n"
    "  --layers               all inputs are layers of one frame\n";

bool ParseInt(const std::string& text, int64_t* value) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, *value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

// Reads an integer option within [low, high]; false (with a message) when it is not.
bool IntOption(const ArgParser& args, const std::string& name, int64_t low, int64_t high,
               int64_t* value, std::ostream& err) {
  const auto text = args.Value(name);
  if (!text) return true;
  if (!ParseInt(*text, value) || *value < low || *value > high) {
    err << "vfkit image: --" << name << " needs a number from " << low << " to " << high
        << ", not '" << *text << "'\n";
    return false;
  }
  return true;
}

std::vector<uint8_t> ReadWholeFile(platform::Env& env, const std::string& utf8_path) {
  platform::OpenOptions options;
  auto file = env.files().OpenFile(ArgToPath(utf8_path), options);
  const int64_t size = file->GetSize();
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  file->ReadExact(bytes.data(), size);
  return bytes;
}

void WriteWholeFile(platform::Env& env, const std::string& utf8_path,
                    const std::vector<uint8_t>& bytes) {
  platform::OpenOptions options;
  options.access = platform::FileAccess::kWrite;
  options.share = platform::FileShare::kNone;
  options.disposition = platform::FileDisposition::kCreateAlways;
  auto file = env.files().OpenFile(ArgToPath(utf8_path), options);
  file->WriteExact(bytes.data(), static_cast<int64_t>(bytes.size()));
  file->Flush();
}

// Checks the command line: known options only, the positional count, an -o when needed.
bool CheckArgs(const ArgParser& args, const std::vector<std::string>& flags, size_t min_inputs,
               size_t max_inputs, bool needs_output, const char* usage, std::ostream& err) {
  if (!args.ok()) {
    err << "vfkit image: " << args.error() << "\n" << usage;
    return false;
  }
  const auto unknown = args.Unknown(flags);
  if (!unknown.empty()) {
    err << "vfkit image: unknown option --" << unknown[0] << "\n" << usage;
    return false;
  }
  const size_t inputs = args.positional().size();
  if (inputs < min_inputs || inputs > max_inputs) {
    err << "vfkit image: wrong number of input files\n" << usage;
    return false;
  }
  if (needs_output && !args.Value("o")) {
    err << "vfkit image: -o OUT is required\n" << usage;
    return false;
  }
  return true;
}

int RunInfo(const std::vector<std::string>& rest, CommandContext& context) {
  const ArgParser args(rest, {});
  if (args.Has("help")) {
    context.out << kInfoUsage;
    return kExitOk;
  }
  if (!CheckArgs(args, {}, 1, 1, false, kInfoUsage, context.err)) return kExitUsage;
  context.out << DescribeMuraImage(ReadWholeFile(context.env, args.positional()[0]));
  return kExitOk;
}

// "OUT.png" with frame 3 gives "OUT-003.png".
std::string NumberedName(const std::string& path, size_t index) {
  std::string stem = path;
  if (stem.size() > 4 && EqualsIgnoreCase(stem.substr(stem.size() - 4), ".png")) {
    stem.resize(stem.size() - 4);
  }
  return stem + Format("-%03zu.png", index);
}

int RunToPng(const std::vector<std::string>& rest, CommandContext& context) {
  const ArgParser args(rest, {"o", "frame", "code"});
  if (args.Has("help")) {
    context.out << kToPngUsage;
    return kExitOk;
  }
  if (!CheckArgs(args, {"all-frames"}, 1, 1, true, kToPngUsage, context.err)) return kExitUsage;
  int64_t frame = 0;
  int64_t code = 0;
  if (!IntOption(args, "frame", 0, INT32_MAX, &frame, context.err) ||
      !IntOption(args, "code", INT32_MIN, UINT32_MAX, &code, context.err)) {
    return kExitUsage;
  }
  const bool all = args.Has("all-frames");
  if (all && args.Value("frame")) {
    context.err << "vfkit image: --frame and --all-frames exclude each other\n";
    return kExitUsage;
  }
  const auto file = ReadWholeFile(context.env, args.positional()[0]);
  const auto frames =
      DecodeMuraFrames(file, static_cast<uint32_t>(code), /*first_only=*/!all && frame == 0);
  const std::string output = *args.Value("o");
  if (all) {
    for (size_t i = 0; i < frames.size(); ++i) {
      WriteWholeFile(context.env, NumberedName(output, i), WritePng(frames[i]));
    }
    context.out << frames.size() << " frame(s) written\n";
    return kExitOk;
  }
  if (static_cast<size_t>(frame) >= frames.size()) {
    context.err << "vfkit image: the image has " << frames.size() << " frame(s), no frame " << frame
                << "\n";
    return kExitFailure;
  }
  WriteWholeFile(context.env, output, WritePng(frames[static_cast<size_t>(frame)]));
  return kExitOk;
}

bool ParseBlockSize(const std::string& text, int32_t* width, int32_t* height) {
  const size_t x = text.find_first_of("xX");
  int64_t w = 0;
  int64_t h = 0;
  if (x == std::string::npos || !ParseInt(text.substr(0, x), &w) ||
      !ParseInt(text.substr(x + 1), &h) || w < 0 || h < 0 || w > 65535 || h > 65535) {
    return false;
  }
  *width = static_cast<int32_t>(w);
  *height = static_cast<int32_t>(h);
  return true;
}

// The write options of the command line; false (with a message) when one is bad.
bool ReadWriteOptions(const ArgParser& args, MuraWriteOptions* o, int32_t* bits,
                      std::ostream& err) {
  const std::string variant = args.Value("variant").value_or("binary");
  if (variant != "binary" && variant != "xml") {
    err << "vfkit image: --variant is binary or xml, not '" << variant << "'\n";
    return false;
  }
  o->variant = variant == "xml" ? MuraVariant::kXml : MuraVariant::kBinary;
  int64_t version = variant == "xml" ? kMuraXmlVersion : kMuraBinaryVersion;
  int64_t comp_type = 0;
  int64_t quality = o->jpeg_quality;
  int64_t code = 0;
  int64_t block = -1;
  int64_t bit_count = 24;
  if (!IntOption(args, "version", 0, variant == "xml" ? kMuraXmlVersion : kMuraBinaryVersion,
                 &version, err) ||
      !IntOption(args, "comp-type", 0, 2, &comp_type, err) ||
      !IntOption(args, "quality", 1, 100, &quality, err) ||
      !IntOption(args, "code", INT32_MIN, UINT32_MAX, &code, err) ||
      !IntOption(args, "block", 0, 65535, &block, err) ||
      !IntOption(args, "bits", 8, 32, &bit_count, err)) {
    return false;
  }
  if (bit_count != 8 && bit_count != 24 && bit_count != 32) {
    err << "vfkit image: --bits is 24, 32 or 8\n";
    return false;
  }
  o->version = static_cast<int32_t>(version);
  o->comp_type = static_cast<MuraCompType>(comp_type);
  o->jpeg_quality = static_cast<int>(quality);
  o->randomized = args.Has("randomized");
  o->identification_code = static_cast<uint32_t>(code);
  *bits = static_cast<int32_t>(bit_count);
  if (block >= 0) o->block_width = o->block_height = static_cast<int32_t>(block);
  if (const auto size = args.Value("block-size")) {
    if (block >= 0) {
      err << "vfkit image: --block and --block-size exclude each other\n";
      return false;
    }
    if (!ParseBlockSize(*size, &o->block_width, &o->block_height)) {
      err << "vfkit image: --block-size needs WxH, not '" << *size << "'\n";
      return false;
    }
  }
  return true;
}

// File name without folders and extension, as a Shift-JIS layer name.
std::string LayerName(const std::string& utf8_path) {
  std::string name = utf8_path;
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name = name.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return ArgToSjis(name);
}

MuraLayerSource LayerFromPicture(PngPicture&& picture, std::string name) {
  MuraLayerSource layer;
  layer.name = std::move(name);
  layer.pixels = std::move(picture.pixels);
  layer.alpha_plane = std::move(picture.alpha);
  layer.alpha_on = !layer.alpha_plane.empty();
  return layer;
}

MuraFrameSource FrameFromPicture(const PngPicture& picture) {
  MuraFrameSource frame;
  frame.width = picture.width;
  frame.height = picture.height;
  frame.bit_count = picture.bit_count;
  frame.colors = picture.colors;
  return frame;
}

int RunFromPng(const std::vector<std::string>& rest, CommandContext& context) {
  const ArgParser args(rest, {"o", "variant", "version", "block-size", "block", "comp-type",
                              "quality", "code", "bits"});
  if (args.Has("help")) {
    context.out << kFromPngUsage;
    return kExitOk;
  }
  if (!CheckArgs(args, {"randomized", "layers"}, 1, SIZE_MAX, true, kFromPngUsage, context.err)) {
    return kExitUsage;
  }
  MuraWriteOptions options;
  int32_t bits = 24;
  if (!ReadWriteOptions(args, &options, &bits, context.err)) return kExitUsage;

  MuraImageSource image;
  const bool layers = args.Has("layers");
  for (const std::string& input : args.positional()) {
    const auto bytes = ReadWholeFile(context.env, input);
    PngPicture picture = ReadPng(bytes.data(), bytes.size(), bits);
    if (!layers || image.frames.empty()) image.frames.push_back(FrameFromPicture(picture));
    MuraFrameSource& frame = image.frames.back();
    if (picture.width != frame.width || picture.height != frame.height) {
      context.err << "vfkit image: " << input << " is " << picture.width << "x" << picture.height
                  << ", the frame " << frame.width << "x" << frame.height << "\n";
      return kExitFailure;
    }
    if (bits == 8 && picture.colors != frame.colors) {
      context.err << "vfkit image: " << input << " has another colour table than the frame\n";
      return kExitFailure;
    }
    frame.layers.push_back(LayerFromPicture(std::move(picture), LayerName(input)));
  }
  WriteWholeFile(context.env, *args.Value("o"), WriteMura(image, options));
  return kExitOk;
}

}  // namespace

int RunImageCommand(const std::vector<std::string>& args, CommandContext& context) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    (args.empty() ? context.err : context.out) << kImageUsage;
    return args.empty() ? kExitUsage : kExitOk;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (args[0] == "info") return RunInfo(rest, context);
  if (args[0] == "to-png") return RunToPng(rest, context);
  if (args[0] == "from-png") return RunFromPng(rest, context);
  context.err << "vfkit image: unknown command '" << args[0] << "'\n" << kImageUsage;
  return kExitUsage;
}

}  // namespace koru::tools
