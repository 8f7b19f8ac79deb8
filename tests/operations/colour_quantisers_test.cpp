#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "operations/colour_quantisers.h"

namespace {

using Plane = std::vector<unsigned char>;

struct Image {
  Plane r, g, b;
  int32_t w, h;
  int32_t Reduce(int16_t colours, int16_t channels = 3, int16_t opacity = 255,
                 const unsigned char* mask = nullptr, int32_t x0 = 0, int32_t y0 = 0,
                 int32_t x1 = -1, int32_t y1 = -1) {
    return wuReduce(0, opacity, channels, r.data(), g.data(), b.data(), h, w, x0, y0,
                    x1 < 0 ? w - 1 : x1, y1 < 0 ? h - 1 : y1, mask, colours);
  }
};

Image Gradient(int32_t w, int32_t h) {
  Image im{Plane(static_cast<size_t>(w) * h), Plane(static_cast<size_t>(w) * h),
           Plane(static_cast<size_t>(w) * h), w, h};
  for (size_t i = 0; i < im.r.size(); ++i) {
    im.r[i] = static_cast<unsigned char>(i * 7 % 256);
    im.g[i] = static_cast<unsigned char>(i * 13 % 256);
    im.b[i] = static_cast<unsigned char>(255 - i * 3 % 256);
  }
  return im;
}

int32_t Mean(const Plane& p) {
  int64_t s = 0;
  for (unsigned char v : p) s += v;
  return static_cast<int32_t>(s / static_cast<int64_t>(p.size()));
}

TEST(WuQuantiser, OneColourIsTheIntegerMeanAndOutOfRangeCountsAreHeld) {
  for (int16_t k : {1, 0, -5}) {
    Image im = Gradient(9, 7);
    const int32_t mr = Mean(im.r), mg = Mean(im.g), mb = Mean(im.b);
    ASSERT_EQ(im.Reduce(k), 0);
    EXPECT_EQ(im.r, Plane(63, static_cast<unsigned char>(mr))) << k;
    EXPECT_EQ(im.g, Plane(63, static_cast<unsigned char>(mg)));
    EXPECT_EQ(im.b, Plane(63, static_cast<unsigned char>(mb)));
  }
  // More colours than cells: at most 256 boxes, every pixel still mapped.
  Image im = Gradient(64, 64);
  ASSERT_EQ(im.Reduce(1000), 0);
}

TEST(WuQuantiser, OneColourOneBoxTwoClustersTwoMeans) {
  Image flat{Plane(12, 40), Plane(12, 50), Plane(12, 60), 4, 3};
  ASSERT_EQ(flat.Reduce(16), 0);
  EXPECT_EQ(flat.r, Plane(12, 40));
  EXPECT_EQ(flat.b, Plane(12, 60));

  Image two{{10, 12, 200, 202}, {0, 2, 100, 104}, {5, 5, 50, 50}, 4, 1};
  ASSERT_EQ(two.Reduce(2), 0);
  EXPECT_EQ(two.r, (Plane{11, 11, 201, 201}));
  EXPECT_EQ(two.g, (Plane{1, 1, 102, 102}));
  EXPECT_EQ(two.b, (Plane{5, 5, 50, 50}));
}

TEST(WuQuantiser, RegionUsesTheWholeImagesPalette) {
  Image im{{0, 0, 200, 200}, {0, 0, 100, 100}, {0, 0, 40, 40}, 4, 1};
  ASSERT_EQ(im.Reduce(1, 3, 255, nullptr, 0, 0, 1, 0), 0);
  EXPECT_EQ(im.r, (Plane{100, 100, 200, 200}));
  EXPECT_EQ(im.g, (Plane{50, 50, 100, 100}));
  EXPECT_EQ(im.b, (Plane{20, 20, 40, 40}));
}

TEST(WuQuantiser, OpacityMaskAndSingleChannel) {
  Image im = Gradient(8, 8);
  const Image before = im;
  ASSERT_EQ(im.Reduce(4, 3, 0), 0);
  EXPECT_EQ(im.r, before.r);
  EXPECT_EQ(im.g, before.g);
  EXPECT_EQ(im.b, before.b);

  // Half strength through a mask of 255: ((255 - a) * old + a * c) / 255.
  Image one{{100, 140}, {0, 0}, {0, 0}, 2, 1};
  const Plane mask = {255, 0};
  ASSERT_EQ(one.Reduce(1, 1, 128, mask.data()), 0);
  EXPECT_EQ(one.r, (Plane{(127 * 100 + 128 * 120) / 255, 140}));

  // Channels 1 rewrites the first plane only, but the other planes still
  // separate its colours: 100 and 102 share a cell of the first axis.
  Image split{{100, 100, 102, 102}, {0, 0, 255, 255}, {9, 9, 9, 9}, 4, 1};
  ASSERT_EQ(split.Reduce(2, 1), 0);
  EXPECT_EQ(split.r, (Plane{100, 100, 102, 102}));
  EXPECT_EQ(split.g, (Plane{0, 0, 255, 255}));
  Image merged{{100, 100, 102, 102}, {0, 0, 0, 0}, {9, 9, 9, 9}, 4, 1};
  ASSERT_EQ(merged.Reduce(2, 1), 0);
  EXPECT_EQ(merged.r, (Plane{101, 101, 101, 101}));
}

TEST(WuQuantiser, MomentHelpersOnASmallCube) {
  // Cumulative moments of one pixel in cell (1, 1, 1): every entry from
  // (1, 1, 1) up holds it.
  std::vector<int64_t> wt(35937, 0), mr(35937, 0), mg(35937, 0), mb(35937, 0);
  std::vector<float> m2(35937, 0.0f);
  for (int r = 1; r < 33; ++r)
    for (int g = 1; g < 33; ++g)
      for (int b = 1; b < 33; ++b) {
        const int i = r * 1089 + g * 33 + b;
        wt[i] = 1;
        mr[i] = 5;
      }
  const WuMoments m{wt.data(), mr.data(), mg.data(), mb.data(), m2.data()};
  const box whole{0, 32, 0, 32, 0, 32, 0};
  EXPECT_EQ(Vol(&whole, wt.data()), 1);
  const box above{1, 32, 0, 32, 0, 32, 0};
  EXPECT_EQ(Vol(&above, wt.data()), 0);
  EXPECT_EQ(Bottom(&whole, WU_RED, wt.data()), 0);
  EXPECT_EQ(Top(&whole, WU_RED, 1, wt.data()), 1);
  int32_t cut = 7;
  EXPECT_EQ(Maximize(&whole, WU_RED, 1, 32, &cut, 5, 0, 0, 1, m), 0.0f);
  EXPECT_EQ(cut, -1);  // one pixel cannot be split
}

TEST(Octree, KeepsAtMostSixteenLeavesAndMergesByCount) {
  // The eight corners of the cube, colour k taken k + 1 times, fall into
  // the root's eight children in index order.
  Plane r, g, b;
  for (int k = 0; k < 8; ++k) {
    for (int n = 0; n <= k; ++n) {
      r.push_back(k & 4 ? 255 : 0);
      g.push_back(k & 2 ? 255 : 0);
      b.push_back(k & 1 ? 255 : 0);
    }
  }
  const auto w = static_cast<int32_t>(r.size());
  CQuantizer q(4, 8);
  ASSERT_EQ(q.ProcessImage(r.data(), g.data(), b.data(), 1, w, 0, 0, w - 1, 0), 1);
  EXPECT_EQ(q.GetColorCount(), 8u);
  RGBQUAD pal[4] = {};
  q.SetColorTable(pal);
  const uint32_t expected[4][3] = {{0, 0, 170}, {0, 255, 145}, {255, 0, 139}, {255, 255, 136}};
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(pal[j].rgbRed, expected[j][0]) << j;
    EXPECT_EQ(pal[j].rgbGreen, expected[j][1]) << j;
    EXPECT_EQ(pal[j].rgbBlue, expected[j][2]) << j;
    EXPECT_EQ(pal[j].rgbAlpha, 0u);
  }

  const Image many = Gradient(64, 64);
  CQuantizer small(4, 8), large(40, 8);
  ASSERT_EQ(small.ProcessImage(many.r.data(), many.g.data(), many.b.data(), 64, 64, 0, 0, 63, 63),
            1);
  ASSERT_EQ(large.ProcessImage(many.r.data(), many.g.data(), many.b.data(), 64, 64, 0, 0, 63, 63),
            1);
  EXPECT_LE(small.GetColorCount(), 16u);
  EXPECT_GT(small.GetColorCount(), 4u);
  EXPECT_LE(large.GetColorCount(), 40u);
  std::vector<RGBQUAD> all(large.GetColorCount());
  large.SetColorTable(all.data());
  EXPECT_EQ(large.ReduceImage(nullptr, nullptr, nullptr, 0, 0, 0, 0, 0, 0), 1);
}

TEST(Octree, PixelIndexOfPackedRows) {
  const CQuantizer q(16, 8);
  const unsigned char image[4] = {0xA5, 0x3C, 0x81, 0x7E};  // two rows of two bytes
  EXPECT_EQ(q.GetPixelIndex(1, 1, 8, 2, image), 0x7E);
  EXPECT_EQ(q.GetPixelIndex(0, 0, 4, 2, image), 0xA);
  EXPECT_EQ(q.GetPixelIndex(1, 0, 4, 2, image), 0x5);
  EXPECT_EQ(q.GetPixelIndex(3, 1, 4, 2, image), 0xE);
  EXPECT_EQ(q.GetPixelIndex(0, 1, 1, 2, image), 1);
  EXPECT_EQ(q.GetPixelIndex(1, 1, 1, 2, image), 0);
  EXPECT_EQ(q.GetPixelIndex(15, 1, 1, 2, image), 0);
  EXPECT_EQ(q.GetPixelIndex(9, 1, 1, 2, image), 1);
  EXPECT_EQ(q.GetPixelIndex(0, 0, 2, 2, image), 0);
}

}  // namespace
