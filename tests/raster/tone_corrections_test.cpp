#include <vector>

#include <gtest/gtest.h>

#include "support/pixels.h"

#include "raster/blend_filters.h"
#include "raster/tone_lut.h"
#include "support/session.h"

namespace {

using vmktest::Px;

int Byte(uint32_t p, int k) { return vmktest::PxByte(p, k); }

struct Correction {
  static constexpr int kW = 4, kH = 3;
  std::vector<uint32_t> src = std::vector<uint32_t>(kW * kH, Px(100, 100, 100, 100));
  std::vector<uint32_t> dst = std::vector<uint32_t>(kW * kH, Px(1, 2, 3, 4));
  std::vector<unsigned char> guide = std::vector<unsigned char>(4 * 4, 255);
  std::vector<unsigned char> work = std::vector<unsigned char>(4 * 4, 0);

  int Auto(int16_t three, int16_t percent, int16_t a, int16_t b) {
    return X_AutoCorrect_buffer(three, kH, kW, src.data(), dst.data(), 4, 4, guide.data(),
                                work.data(), kH, kW, 1, 0, 3, 2, 0, 0, 0, 1.0f, 1.0f, percent, 2,
                                0, a, 0, b, nullptr, nullptr, nullptr, nullptr);
  }
};

TEST(AutoCorrection, OverlayOfTheGuideMixedByPercent) {
  Correction c;
  // A white guide lightens by the overlay mode: 100 + 155 * 100 * 127 / 32640.
  EXPECT_EQ(c.Auto(0, 100, 100, 100), 0);
  EXPECT_EQ(c.dst[1], Px(160, 160, 160, 160));
  EXPECT_EQ(c.dst[0], Px(1, 2, 3, 4));  // outside the rectangle (columns 1..2)
  EXPECT_EQ(c.dst[3], Px(1, 2, 3, 4));
  EXPECT_EQ(c.dst[2 * 4 + 1], Px(1, 2, 3, 4));  // bottom row excluded
  // Half the percentage: half way.
  c.Auto(0, 50, 100, 100);
  EXPECT_EQ(c.dst[1], Px(130, 130, 130, 130));
  // Three channels leave byte 3 of the destination alone.
  c.dst.assign(c.dst.size(), Px(1, 2, 3, 4));
  c.Auto(1, 100, 100, 100);
  EXPECT_EQ(c.dst[1], Px(160, 160, 160, 4));
  // A mid-grey guide is neutral.
  c.guide.assign(c.guide.size(), 128);
  c.Auto(0, 100, 100, 100);
  EXPECT_EQ(c.dst[1], c.src[1]);
}

TEST(AutoCorrection, AmountsBlendBackTowardsTheSource) {
  Correction c;
  c.src[1] = Px(200, 50, 128, 10);
  // Amounts 0: the correction is taken back entirely.
  EXPECT_EQ(c.Auto(0, 100, 0, 0), 0);
  EXPECT_EQ(c.dst[1], c.src[1]);
  // Bright samples follow the high amount, dark ones the low amount.
  c.Auto(1, 100, 50, 100);
  unsigned char t = 0;
  X_optionBlend(&t, 9, 200, 255);
  const int d = 50 * (200 - 128) / 128;  // 28
  EXPECT_EQ(Byte(c.dst[1], 0), (d * t + (100 - d) * 200) / 100);
  X_optionBlend(&t, 9, 50, 255);
  const int e = 100 * (128 - 50) / 128;  // 60
  EXPECT_EQ(Byte(c.dst[1], 1), (e * t + (100 - e) * 50) / 100);
}

TEST(GrainCorrection, AmountWeighsSourceAgainstDestination) {
  Correction c;
  c.dst.assign(c.dst.size(), Px(0, 50, 200, 255));
  auto grain = [&](int16_t amount) {
    return X_graincorr_buffer(Correction::kH, Correction::kW, c.src.data(), c.dst.data(), 4, 4,
                              c.guide.data(), c.work.data(), Correction::kH, Correction::kW, 0, 0,
                              4, 3, 0, 0, 0, 1.0f, 1.0f, amount, 1, 3, 5);
  };
  // A flat guide has no edge: the contrast table gives 255 and amount 100
  // keeps the destination; amount 0 takes the source.
  EXPECT_EQ(grain(100), 0);
  EXPECT_EQ(c.dst[5], Px(0, 50, 200, 255));
  EXPECT_EQ(grain(50), 0);
  EXPECT_EQ(c.dst[5], Px(50, 75, 150, 177));
  EXPECT_EQ(grain(0), 0);
  EXPECT_EQ(c.dst[5], c.src[5]);
  // An amount past 100 keeps the destination rather than wrapping bytes.
  c.dst.assign(c.dst.size(), Px(0, 50, 200, 255));
  EXPECT_EQ(grain(300), 0);
  EXPECT_EQ(c.dst[5], Px(0, 50, 200, 255));
}

using AutoCorrectionSharpened = vmktest::SessionTest;

TEST_F(AutoCorrectionSharpened, FlatPictureStaysFlat) {
  Correction c;
  c.guide.assign(c.guide.size(), 128);
  EXPECT_EQ(X_AutoCorrect_buffer(0, Correction::kH, Correction::kW, c.src.data(), c.dst.data(), 4,
                                 4, c.guide.data(), c.work.data(), Correction::kH, Correction::kW,
                                 0, 0, 4, 3, 0, 0, 0, 1.0f, 1.0f, 100, 2, 10, 100, 0, 100,
                                 nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(c.dst, c.src);
  // The same guide rescaled onto the picture instead of sampled.
  c.guide.assign(c.guide.size(), 255);
  c.dst.assign(c.dst.size(), Px(1, 2, 3, 4));
  EXPECT_EQ(X_AutoCorrect_buffer(0, Correction::kH, Correction::kW, c.src.data(), c.dst.data(), 4,
                                 4, c.guide.data(), c.work.data(), Correction::kH, Correction::kW,
                                 0, 0, 4, 3, 1, 0, 0, 1.0f, 1.0f, 100, 2, 0, 100, 0, 100,
                                 nullptr, nullptr, nullptr, nullptr),
            0);
  EXPECT_EQ(c.dst[5], Px(160, 160, 160, 160));
}

using EdgeProtectedFilters = vmktest::SessionTest;

TEST_F(EdgeProtectedFilters, SharpenAndMedian) {
  const int w = 7, h = 7;
  std::vector<unsigned char> flat(w * h, 90);
  std::vector<unsigned char> p = flat;
  EXPECT_EQ(X_sharp_buffer(w, h, p.data(), 0, 0, w - 1, h - 1, 100, 2, 300, 0), 0);
  EXPECT_EQ(p, flat);
  EXPECT_EQ(X_sharp_buffer(w, h, p.data(), 0, 0, w - 1, h - 1, 100, 2, 300, 1), 0);
  EXPECT_EQ(p, flat);

  // A lone bright sample: the sharpen makes it brighter, amount 0 does nothing.
  std::vector<unsigned char> spot(w * h, 90);
  spot[3 * w + 3] = 120;
  p = spot;
  EXPECT_EQ(X_sharp_buffer(w, h, p.data(), 0, 0, w - 1, h - 1, 100, 1, 1, 0), 0);
  EXPECT_GT(p[3 * w + 3], 120);
  p = spot;
  EXPECT_EQ(X_sharp_buffer(w, h, p.data(), 0, 0, w - 1, h - 1, 100, 1, 0, 0), 0);
  EXPECT_EQ(p, spot);

  // The median removes it, inside the rectangle only.
  p = spot;
  EXPECT_EQ(X_medianedg_buf(w, h, p.data(), 1, 1, 5, 5, 1, 0), 0);
  EXPECT_EQ(p, flat);
  p = spot;
  EXPECT_EQ(X_medianedg_buf(w, h, p.data(), 4, 4, 5, 5, 1, 0), 0);
  EXPECT_EQ(p, spot);
  // With edge protection the result mixes only where there is no edge; a
  // flat plane is still flat.
  p = flat;
  EXPECT_EQ(X_medianedg_buf(w, h, p.data(), 0, 0, w - 1, h - 1, 1, 1), 0);
  EXPECT_EQ(p, flat);
}

TEST(EdgeProtectedFiltersOutOfMemory, ReportFailureAndChangeNothing) {
  std::vector<unsigned char> spot(25, 90);
  spot[12] = 120;
  std::vector<unsigned char> p = spot;
  vmktest::NoWorkMemory none;
  EXPECT_EQ(X_medianedg_buf(5, 5, p.data(), 0, 0, 4, 4, 1, 0), -1);
  EXPECT_EQ(X_sharp_buffer(5, 5, p.data(), 0, 0, 4, 4, 100, 1, 1, 1), -1);
  EXPECT_EQ(p, spot);
}

}  // namespace
