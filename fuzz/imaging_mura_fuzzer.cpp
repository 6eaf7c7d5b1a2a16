// Fuzz target of the layered image reader and the XML reader under it. Built with
// -DKORU_LIBFUZZER and -fsanitize=fuzzer it is a libFuzzer target; otherwise its main()
// replays the files (or every file of the folders) named on the command line, so a
// corpus also runs as an ordinary program under gcc, mingw and Wine.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "base/error.h"
#include "base/stream.h"
#include "imaging/kwxml.h"
#include "imaging/mura.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every option combination reaches different code: layer references, finishing.
  for (int options = 0; options < 4; ++options) {
    koru::ReadOnlyMemoryStream stream(data, static_cast<int64_t>(size));
    koru::TMuraFrameList list(/*identification_code=*/1);
    list.MaxTotalBytes = int64_t{64} << 20;  // keeps each run fast
    if (options == 3) list.ConvertBitCount = 8;
    try {
      list.LoadFromStream(stream, /*first_frame_only=*/options == 0,
                          /*keep_layers=*/(options & 1) != 0, /*finish=*/options >= 2);
    } catch (const koru::KoruError&) {
      // Damaged input: a clean error is the expected outcome.
    }
  }
  koru::TKwXmlElement element;
  element.LoadFromText(std::string_view(reinterpret_cast<const char*>(data), size));
  koru::TKwXml document;
  try {
    document.LoadFromDocumentText(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const koru::KoruError&) {
  }
  return 0;
}

#ifndef KORU_LIBFUZZER
namespace {

int Replay(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", path.string().c_str());
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int failures = 0;
  int runs = 0;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path(argv[i]);
    if (std::filesystem::is_directory(path)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file()) failures += Replay(entry.path()), ++runs;
      }
    } else {
      failures += Replay(path), ++runs;
    }
  }
  std::printf("%d inputs replayed\n", runs);
  return failures == 0 ? 0 : 1;
}
#endif
