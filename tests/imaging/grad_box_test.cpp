#include "imaging/grad_box.h"

#include <gtest/gtest.h>

namespace koru {
namespace {

TEST(GradBoxTest, VerticalBandsAndTheFillBelowThem) {
  TGradBox box;
  box.SetColor(1, 0xFF0000);  // blue
  box.SetColor(2, 0x800000);  // navy
  std::vector<TGradBand> bands = box.Bands(444, 283);
  ASSERT_EQ(bands.size(), 131u);  // 130 bands and the fill
  EXPECT_EQ(bands[0], (TGradBand{0, 0, 444, 2, 0xFF0000}));
  EXPECT_EQ(bands[129], (TGradBand{0, 258, 444, 260, 0x800000}));
  EXPECT_EQ(bands[130], (TGradBand{0, 260, 444, 283, 0x800000}));
  // Band 1: 255 + round(-127 / 129) = 254.
  EXPECT_EQ(bands[1].color, 0xFE0000u);
  // With 261 rows the last row stays unpainted: 260 + 2 is not below 261.
  EXPECT_EQ(box.Bands(444, 261).size(), 130u);
}

TEST(GradBoxTest, ZeroStepsOneBandFillsTheControl) {
  TGradBox box;
  box.SetGradStep(0);
  std::vector<TGradBand> bands = box.Bands(50, 40);
  ASSERT_EQ(bands.size(), 2u);
  EXPECT_EQ(bands[0], (TGradBand{0, 0, 50, 40, 0xFFFFFF}));
  EXPECT_EQ(bands[1].top, 40);
  EXPECT_EQ(bands[1].color, 0u);
}

TEST(GradBoxTest, CentredAndHorizontalBands) {
  TGradBox box;
  box.SetColor(1, 0x00FF00);
  box.SetColor(0, 0x000000);
  box.SetDirection(gdHorzCenter);
  std::vector<TGradBand> bands = box.Bands(1300, 10);
  ASSERT_EQ(bands.size(), 130u);  // no fill for the centred direction
  EXPECT_EQ(bands[64].color, 0x00FF00u);
  EXPECT_EQ(bands[129].color, 0u);
  EXPECT_EQ(bands[0].color, 0x000400u);  // one step short of the end: 255 - round(255/65*64)
  EXPECT_EQ(bands[1].left, 10);
  box.SetDirection(gdHorizontal);
  bands = box.Bands(1300, 10);
  EXPECT_EQ(bands.front().color, 0x00FF00u);
  EXPECT_EQ(bands[129].color, 0u);
  ASSERT_EQ(bands.size(), 130u);  // 10-pixel bands reach the edge: no fill
  EXPECT_EQ(bands.back(), (TGradBand{1290, 0, 1300, 10, 0}));
  // Colours go through the canvas's nearest-colour mapping first.
  bands = box.Bands(1300, 10, [](uint32_t c) { return c & 0xF0F0F0; });
  EXPECT_EQ(bands.front().color, 0x00F000u);
}

TEST(GradBoxTest, SettersReportChanges) {
  TGradBox box;
  int changes = 0;
  box.OnChange = [&] { ++changes; };
  box.SetDirection(gdVertical);  // unchanged: no event
  EXPECT_EQ(changes, 0);
  box.SetGradStep(128);  // unchanged, yet an event
  box.SetDirection(gdHorizontal);
  box.SetColor(7, 0x123456);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(box.EndColor(), 0x123456u);
}

}  // namespace
}  // namespace koru
