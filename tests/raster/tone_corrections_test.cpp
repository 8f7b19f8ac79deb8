#include <gtest/gtest.h>

#include <vector>

#include "raster/blend_filters.h"
#include "raster/convolution.h"
#include "raster/tone_lut.h"
#include "platform/memory/memory.h"
#include "support/pixels.h"
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

// A fill rectangle narrower than the image covers its left columns on every
// row; the rest of the fill plane stays cleared (0, which darkens by the
// overlay: 100 - 155 * 128 * 100 / 32640 = 40).
TEST(AutoCorrection, NarrowFillCoversTheLeftColumnsOfEveryRow) {
  const int w = 8, h = 4;
  for (int16_t filtered = 0; filtered <= 1; ++filtered) {
    std::vector<uint32_t> src(w * h, Px(100, 100, 100, 100));
    std::vector<uint32_t> dst(w * h, Px(1, 2, 3, 4));
    std::vector<unsigned char> guide(4 * 4, 255), work(4 * 4, 0);
    ASSERT_EQ(X_AutoCorrect_buffer(0, h, w, src.data(), dst.data(), 4, 4, guide.data(), work.data(),
                                   4, 4, 0, 0, w, h, filtered, 0, 0, 1.0f, 1.0f, 100, 2, 0, 100, 0,
                                   100, nullptr, nullptr, nullptr, nullptr),
              0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const int v = x < 4 ? 160 : 40;
        EXPECT_EQ(dst[y * w + x], Px(v, v, v, v))
            << "filtered " << filtered << " at " << x << "," << y;
      }
    }
  }
}

// The same for the grain correction: where the fill plane holds the flat
// guide's edge weight (255) the destination stays, where it is cleared the
// source comes through. A fill taller than the image loses its rows past the
// bottom rather than writing past the plane.
TEST(GrainCorrection, NarrowFillCoversTheLeftColumnsOfEveryRow) {
  const int w = 8, h = 4;
  for (int fillHeight : {4, 6}) {
    std::vector<uint32_t> src(w * h, Px(100, 100, 100, 100));
    std::vector<uint32_t> dst(w * h, Px(0, 50, 200, 255));
    std::vector<unsigned char> guide(4 * 4, 255), work(4 * 4, 0);
    ASSERT_EQ(X_graincorr_buffer(h, w, src.data(), dst.data(), 4, 4, guide.data(), work.data(),
                                 fillHeight, 4, 0, 0, w, h, 0, 0, 0, 1.0f, 1.0f, 100, 1, 3, 5),
              0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(dst[y * w + x], x < 4 ? Px(0, 50, 200, 255) : Px(100, 100, 100, 100))
            << "fill height " << fillHeight << " at " << x << "," << y;
      }
    }
  }
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

// A picture that is not flat: every byte of every pixel differs.
std::vector<uint32_t> Varied(int w, int h) {
  std::vector<uint32_t> p(static_cast<size_t>(w) * h);
  for (int i = 0; i < w * h; ++i)
    p[i] = Px((i * 37 + 11) % 256, (i * 53 + 90) % 256, (250 - i * 19 % 240), (i * 7 + 60) % 256);
  return p;
}

// The overlay (blend mode 9) of a base a with a blend value b, written out.
int Overlay(int a, int b) {
  const int v =
      b < 129 ? a - (255 - a) * ((128 - b) * a) / 32640 : a + (255 - a) * (a * (b - 128)) / 32640;
  return v < 0 ? 0 : v > 255 ? 255 : v;
}

// The whole automatic correction on a varied picture under a flat guide
// (its blur stays flat): the overlay mixed by the percentage, smoothed with
// the kernel of step 5 and sharpened with that of step sharpen x 750 / 100,
// through the four tables, then taken back towards the source by the two
// amounts, byte by byte.
TEST_F(AutoCorrectionSharpened, VariedPictureThroughSharpenTablesAndAmounts) {
  const int w = 7, h = 6;
  const std::vector<uint32_t> src = Varied(w, h);
  std::vector<uint32_t> dst(w * h, Px(1, 2, 3, 4));
  std::vector<unsigned char> guide(5 * 5, 200), work(5 * 5, 0);
  int16_t lut[4][256];
  for (int v = 0; v < 256; ++v) {
    lut[0][v] = static_cast<int16_t>(255 - v);
    lut[1][v] = static_cast<int16_t>(v / 2 + 40);
    lut[2][v] = static_cast<int16_t>(v < 128 ? 2 * v : 255);
    lut[3][v] = static_cast<int16_t>(v + 256 * 3);  // only the low byte counts
  }
  const int16_t percent = 70, sharpen = 2, amountA = 40, amountB = 70;
  ASSERT_EQ(X_AutoCorrect_buffer(0, h, w, src.data(), dst.data(), 5, 5, guide.data(), work.data(),
                                 h, w, 0, 0, w, h, 0, 0, 0, 1.0f, 1.0f, percent, 3, sharpen,
                                 amountA, 0, amountB, lut[0], lut[1], lut[2], lut[3]),
            0);

  for (int k = 0; k < 4; ++k) {
    std::vector<unsigned char> channel(w * h);
    for (int i = 0; i < w * h; ++i) {
      const int sv = Byte(src[i], k);
      channel[i] =
          static_cast<unsigned char>((Overlay(sv, 200) * percent + (100 - percent) * sv) / 100);
    }
    int32_t kernel[9];
    int16_t divisor = 1;
    Load_matrix(1, 5, kernel, &divisor);
    ASSERT_EQ(X_Mat_Chbuf(w, h, channel.data(), 0, 0, w - 1, h - 1, 0, divisor, kernel, 4096), 0);
    Load_matrix(2, sharpen * 750 / 100, kernel, &divisor);
    ASSERT_EQ(X_Mat_Chbuf(w, h, channel.data(), 0, 0, w - 1, h - 1, 0, divisor, kernel, 4096), 0);
    for (int i = 0; i < w * h; ++i) {
      const int sv = Byte(src[i], k);
      const int ov = lut[k][channel[i]] & 0xFF;
      // Four channels: the high amount is amountB, the low amountA.
      const int d = amountB * (sv - 128) / 128;
      int want;
      if (d >= 1) {
        want = (d * ov + (100 - d) * sv) / 100;
      } else {
        const int e = amountA * (128 - sv) / 128;
        want = (e * ov + (100 - e) * sv) / 100;
      }
      ASSERT_EQ(Byte(dst[i], k), want) << "byte " << k << " pixel " << i;
    }
  }
}

// The edge-protected sharpen and median on a varied plane equal their steps
// done one by one: the edge map (full opacity, contrast -64) through the
// contrast table of 40 weighs the plane against the filtered copy, inside
// the rectangle only.
TEST_F(EdgeProtectedFilters, MixOnAVariedPlaneFollowsTheEdgeMap) {
  const int w = 11, h = 9;
  std::vector<unsigned char> start(w * h);
  for (int i = 0; i < w * h; ++i) {
    const int x = i % w, y = i / w;
    start[i] = static_cast<unsigned char>((x < 5 ? 40 : 200) + (x * 7 + y * 13) % 23);
  }
  const int l = 1, t = 2, r = 8, b = 7;
  for (int filter = 0; filter < 2; ++filter) {
    std::vector<unsigned char> p = start;
    if (filter == 0) {
      ASSERT_EQ(X_sharp_buffer(w, h, p.data(), l, t, r, b, 80, 2, 20, 1), 0);
    } else {
      ASSERT_EQ(X_medianedg_buf(w, h, p.data(), l, t, r, b, 2, 1), 0);
    }
    std::vector<unsigned char> edges = start, filtered = start;
    ASSERT_EQ(X_FindEdge(edges.data(), nullptr, h, w, 0, 0, w - 1, h - 1, 255, 1, -64, 0), 0);
    int32_t table[256];
    X_lutcontrast(table, 40);
    for (int pass = 0; pass < 2; ++pass) {
      if (filter == 0) {
        int32_t kernel[9];
        int16_t divisor = 1;
        Load_matrix(2, 20, kernel, &divisor);
        ASSERT_EQ(X_Mat_Chbuf(w, h, filtered.data(), 0, 0, w - 1, h - 1, 0, divisor, kernel,
                              static_cast<int32_t>(80 * 40.96 + 0.5)),
                  0);
      } else {
        ASSERT_EQ(X_median_buf(w, h, filtered.data(), 0, 0, w - 1, h - 1, 0), 0);
      }
    }
    std::vector<unsigned char> want = start;
    int mixed = 0;
    for (int y = t; y <= b; ++y) {
      for (int x = l; x <= r; ++x) {
        const int i = y * w + x;
        const int k = table[edges[i]] * 100 / 255;
        want[i] = static_cast<unsigned char>((k * start[i] + (100 - k) * filtered[i]) / 100);
        if (k != 0 && k != 100) ++mixed;
      }
    }
    EXPECT_EQ(p, want) << "filter " << filter;
    EXPECT_NE(p, start) << "filter " << filter;
    EXPECT_GT(mixed, 0) << "filter " << filter;  // edges and flats both present
  }
}

// Failing each allocation in turn (the two copies, then the edge map's and
// the filter's own): either the call succeeds with the sound result, or it
// reports the failure with the plane as it was. A failed edge map is never
// passed off as done.
TEST_F(EdgeProtectedFilters, EveryFailedAllocationIsReportedWithThePlaneUnchanged) {
  const int w = 9, h = 8;
  std::vector<unsigned char> start(w * h);
  for (int i = 0; i < w * h; ++i) start[i] = static_cast<unsigned char>((i * 41) ^ (i >> 2));
  for (int filter = 0; filter < 2; ++filter) {
    auto run = [&](std::vector<unsigned char>* p) {
      return filter == 0 ? X_sharp_buffer(w, h, p->data(), 0, 0, w - 1, h - 1, 100, 1, 30, 2)
                         : X_medianedg_buf(w, h, p->data(), 0, 0, w - 1, h - 1, 1, 2);
    };
    std::vector<unsigned char> sound = start;
    ASSERT_EQ(run(&sound), 0);
    ASSERT_NE(sound, start);
    int failures = 0;
    for (int n = 0; n < 40; ++n) {
      std::vector<unsigned char> p = start;
      plat::FailNthAllocation(n);
      const int32_t rc = run(&p);
      plat::FailNthAllocation(-1);
      if (rc == 0) {
        EXPECT_EQ(p, sound) << "filter " << filter << " failing at " << n;
      } else {
        ++failures;
        EXPECT_EQ(rc, -1);
        EXPECT_EQ(p, start) << "filter " << filter << " failing at " << n;
      }
    }
    EXPECT_GE(failures, 3) << "filter " << filter;  // both copies and the edge map at least
  }
}

}  // namespace
