// vfkit image info / to-png / from-png against the in-memory Env.
#include <gtest/gtest.h>

#include <sstream>

#include "base/error.h"
#include "imaging/mura_writer.h"
#include "imaging/png_io.h"
#include "platform/memory/memory_env.h"
#include "tools/cli.h"

namespace koru::tools {
namespace {

PngPicture Pattern(int32_t width, int32_t height, bool alpha, int salt) {
  PngPicture p;
  p.width = width;
  p.height = height;
  const int64_t stride = MuraRowBytes(width, 24);
  p.pixels.assign(static_cast<size_t>(stride * height), 0);
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* px = &p.pixels[y * stride + x * 3];
      px[0] = static_cast<uint8_t>((x / 4) * 40 + salt);
      px[1] = static_cast<uint8_t>(y * 3);
      px[2] = static_cast<uint8_t>(x * y + salt);
    }
  }
  if (alpha) {
    const int64_t astride = MuraRowBytes(width, 8);
    p.alpha.assign(static_cast<size_t>(astride * height), 0);
    for (int32_t y = 0; y < height; ++y) {
      for (int32_t x = 0; x < width; ++x) p.alpha[y * astride + x] = static_cast<uint8_t>(x * 9);
    }
  }
  return p;
}

class ImageCommandTest : public ::testing::Test {
 protected:
  int Run(const std::vector<std::string>& args) {
    out_.str("");
    err_.str("");
    CommandContext context{env_, out_, err_};
    return RunImageCommand(args, context);
  }
  void PutPng(const std::string& path, const PngPicture& picture) {
    const auto bytes = WritePng(picture);
    ASSERT_TRUE(env_.files().PutFile(path, std::string(bytes.begin(), bytes.end())));
  }
  PngPicture GetPng(const std::string& path, int32_t bits = 24) {
    const auto text = env_.files().FileContents(path);
    if (!text) throw KoruError("missing " + path);
    return ReadPng(reinterpret_cast<const uint8_t*>(text->data()), text->size(), bits);
  }

  platform::MemoryEnv env_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ImageCommandTest, FromPngThenToPngIsPixelExactForLosslessSettings) {
  PutPng("C:\\a.png", Pattern(45, 30, false, 0));
  PutPng("C:\\b.png", Pattern(45, 30, true, 7));
  const std::vector<std::vector<std::string>> settings = {
      {},
      {"--variant", "xml"},
      {"--version", "102"},
      {"--block", "0", "--comp-type", "1"},
      {"--block-size", "16x8", "--randomized", "--code", "4711"},
      {"--variant", "xml", "--version", "103", "--randomized", "--code", "-5"},
      {"--bits", "32"},
  };
  for (const auto& extra : settings) {
    std::vector<std::string> args = {"from-png", "C:/a.png", "C:/b.png", "-o", "C:/out.mur"};
    args.insert(args.end(), extra.begin(), extra.end());
    ASSERT_EQ(Run(args), kExitOk) << err_.str();
    std::string code = "0";
    for (size_t i = 0; i + 1 < extra.size(); ++i) {
      if (extra[i] == "--code") code = extra[i + 1];
    }
    ASSERT_EQ(Run({"to-png", "C:/out.mur", "-o", "C:/all.png", "--all-frames", "--code", code}),
              kExitOk)
        << err_.str();
    EXPECT_EQ(GetPng("C:\\all-000.png").pixels, Pattern(45, 30, false, 0).pixels);
    const PngPicture second = GetPng("C:\\all-001.png");
    EXPECT_EQ(second.pixels, Pattern(45, 30, true, 7).pixels);
    EXPECT_EQ(second.alpha, Pattern(45, 30, true, 7).alpha);  // the frame's alpha plane

    ASSERT_EQ(Run({"to-png", "C:/out.mur", "-o", "C:/one.png", "--frame", "1", "--code", code}),
              kExitOk);
    EXPECT_EQ(GetPng("C:\\one.png").pixels, second.pixels);
  }
}

TEST_F(ImageCommandTest, LayersMakeOneFrameAndInfoListsThem) {
  PutPng("C:\\base.png", Pattern(20, 10, false, 1));
  PutPng("C:\\top.png", Pattern(20, 10, true, 2));
  ASSERT_EQ(Run({"from-png", "C:/base.png", "C:/top.png", "--layers", "-o", "C:/l.mur"}), kExitOk)
      << err_.str();
  ASSERT_EQ(Run({"info", "C:/l.mur"}), kExitOk) << err_.str();
  const std::string info = out_.str();
  EXPECT_NE(info.find("variant: binary"), std::string::npos) << info;
  EXPECT_NE(info.find("version: 107"), std::string::npos);
  EXPECT_NE(info.find("Count=1"), std::string::npos);
  EXPECT_NE(info.find("BlockWidth=32 BlockHeight=32"), std::string::npos);
  EXPECT_NE(info.find("frame 0: \"\" 20x10 24 bits"), std::string::npos);
  EXPECT_NE(info.find("2 layer(s)"), std::string::npos);
  EXPECT_NE(info.find("layer 1: \"top\" visible"), std::string::npos);
  EXPECT_NE(info.find("AlphaOn 1"), std::string::npos);

  ASSERT_EQ(Run({"from-png", "C:/base.png", "--variant", "xml", "-o", "C:/x.mur"}), kExitOk);
  ASSERT_EQ(Run({"info", "C:/x.mur"}), kExitOk);
  EXPECT_NE(out_.str().find("variant: xml (MuraX200)"), std::string::npos) << out_.str();
  EXPECT_NE(out_.str().find("layer 0: \"base\""), std::string::npos);

  PutPng("C:\\small.png", Pattern(5, 5, false, 0));
  EXPECT_EQ(Run({"from-png", "C:/base.png", "C:/small.png", "--layers", "-o", "C:/bad.mur"}),
            kExitFailure);
  EXPECT_NE(err_.str().find("5x5"), std::string::npos);
}

TEST_F(ImageCommandTest, BadCommandLinesAreUsageErrorsOnStderr) {
  PutPng("C:\\a.png", Pattern(4, 4, false, 0));
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate"},
      {"info"},
      {"info", "a", "b"},
      {"to-png", "C:/x.mur"},
      {"to-png", "C:/x.mur", "-o", "y.png", "--frame", "one"},
      {"to-png", "C:/x.mur", "-o", "y.png", "--frame", "1", "--all-frames"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--variant", "json"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--block-size", "16"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--bits", "16"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--version", "300"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--quality", "0"},
      {"from-png", "C:/a.png", "-o", "C:/o.mur", "--colour"},
      {"from-png", "-o", "C:/o.mur"},
  };
  for (const auto& args : bad) {
    EXPECT_EQ(Run(args), kExitUsage) << (args.empty() ? "" : args[0]);
    EXPECT_FALSE(err_.str().empty());
    EXPECT_TRUE(out_.str().empty());
  }
  for (const char* command : {"info", "to-png", "from-png"}) {
    EXPECT_EQ(Run({command, "--help"}), kExitOk);
    EXPECT_NE(out_.str().find("usage: vfkit image"), std::string::npos);
  }
}

TEST_F(ImageCommandTest, OptionsTheFormatCannotHoldAndMissingFramesFail) {
  PutPng("C:\\a.png", Pattern(4, 4, true, 0));
  EXPECT_THROW(Run({"from-png", "C:/a.png", "-o", "C:/o.mur", "--version", "99"}), KoruError);
  EXPECT_THROW(Run({"from-png", "C:/a.png", "-o", "C:/o.mur", "--bits", "8"}), KoruError);
  EXPECT_THROW(Run({"from-png", "C:/missing.png", "-o", "C:/o.mur"}), KoruError);
  ASSERT_EQ(Run({"from-png", "C:/a.png", "-o", "C:/o.mur"}), kExitOk);
  EXPECT_EQ(Run({"to-png", "C:/o.mur", "-o", "C:/o.png", "--frame", "3"}), kExitFailure);
  EXPECT_NE(err_.str().find("no frame 3"), std::string::npos);
}

TEST_F(ImageCommandTest, InfoOnEveryTruncatedPrefixFailsCleanly) {
  PutPng("C:\\a.png", Pattern(6, 6, true, 0));
  for (const char* variant : {"binary", "xml"}) {
    ASSERT_EQ(Run({"from-png", "C:/a.png", "C:/a.png", "--variant", variant, "-o", "C:/o.mur"}),
              kExitOk);
    const std::string whole = *env_.files().FileContents("C:\\o.mur");
    for (size_t n = 0; n < whole.size(); ++n) {
      ASSERT_TRUE(env_.files().PutFile("C:\\cut.mur", whole.substr(0, n)));
      EXPECT_THROW(Run({"info", "C:/cut.mur"}), KoruError) << variant << " " << n;
    }
  }
}

}  // namespace
}  // namespace koru::tools
