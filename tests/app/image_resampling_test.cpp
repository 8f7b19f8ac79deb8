// Exact sampling of the picture reader: a picture read at its own size comes
// back pixel for pixel, scaled reads take every equal share of the source the
// same way at both edges, one-pixel sides and rectangles of the source map
// the same way, in every output mode and turned.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/image_import.h"
#include "platform/parallel/parallel.h"
#include "support/image_fixtures.h"
#include "support/session.h"

namespace io = plat::imageio;

namespace {

// Where a destination sample came from: the source column and row.
struct At {
  int x = -1, y = -1;
  bool operator==(const At&) const = default;
};

void PrintTo(const At& a, std::ostream* os) { *os << "(" << a.x << ", " << a.y << ")"; }

// Each destination sample's source pixel, indexed [j][i] by destination row j
// (buffer row dstH - 1 - j) and column i.
using Origins = std::vector<std::vector<At>>;

class PictureSampling : public vmktest::SessionTest {
 protected:
  // A PNG whose pixel (x, y) is red x, green y, blue 7, opaque.
  fichier Coordinates(uint32_t w, uint32_t h) {
    vmktest::RawImage im = vmktest::SolidImage(w, h, 0, 0, 7);
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        im.row(y)[4 * x] = static_cast<uint8_t>(x);
        im.row(y)[4 * x + 1] = static_cast<uint8_t>(y);
      }
    const std::string path = dir_.file("xy" + std::to_string(w) + "x" + std::to_string(h) + ".png");
    vmktest::WriteImageFile(path, io::kTypePNG, im);
    fichier f;
    EXPECT_TRUE(SetFicFromPosix(&f, path));
    return f;
  }

  // Loads the rectangle into dstW x dstH 4-byte pixels (turned: mode 91) and
  // reads back each sample's origin; empty when the load fails.
  static Origins Load(fichier f, int32_t l, int32_t t, int32_t r, int32_t b, int32_t dstW,
                      int32_t dstH, bool turned = false) {
    std::vector<uint8_t> px(static_cast<size_t>(dstW) * dstH * 4, 0xEE);
    if (LoadImaInBuf(2, 0, turned ? kLoadPixels90 : kLoadPixels, &f, nullptr, nullptr, l, t, r, b,
                     dstW, dstH, dstW, dstH, px.data(), nullptr, nullptr, nullptr, nullptr) != 0)
      return {};
    Origins o(dstH, std::vector<At>(dstW));
    for (int32_t j = 0; j < dstH; ++j)
      for (int32_t i = 0; i < dstW; ++i) {
        const uint8_t* p = &px[(static_cast<size_t>(dstH - 1 - j) * dstW + i) * 4];
        EXPECT_EQ(p[2], 7);
        EXPECT_EQ(p[3], 0xEE);
        o[j][i] = At{p[0], p[1]};
      }
    return o;
  }

  // The origins a map of columns and a map of rows give.
  static Origins Expected(const std::vector<int>& columns, const std::vector<int>& rows) {
    Origins o(rows.size(), std::vector<At>(columns.size()));
    for (size_t j = 0; j < rows.size(); ++j)
      for (size_t i = 0; i < columns.size(); ++i) o[j][i] = At{columns[i], rows[j]};
    return o;
  }
  static std::vector<int> Run(int first, int count) {
    std::vector<int> v(count);
    for (int k = 0; k < count; ++k) v[k] = first + k;
    return v;
  }

  vmktest::TempDir dir_;
};

TEST_F(PictureSampling, APictureReadAtItsOwnSizeComesBackPixelForPixel) {
  fichier f = Coordinates(32, 5);
  const Origins same = Expected(Run(0, 32), Run(0, 5));
  // Right and bottom inclusive, or given as the picture's width and height.
  EXPECT_EQ(Load(f, 0, 0, 31, 4, 32, 5), same);
  EXPECT_EQ(Load(f, 0, 0, 32, 5, 32, 5), same);
  // Through the content loader, whole picture and named rectangle alike.
  for (int16_t whole : {1, 0}) {
    std::vector<uint8_t> r(32 * 5, 0), g(r), b(r);
    ASSERT_EQ(AS_GetResizedImage(&f, whole, 0, 0, 31, 4, 32, 5, 0, 0, 31, 4, 3, r.data(),
                                 g.data(), b.data(), nullptr),
              0);
    for (int j = 0; j < 5; ++j)
      for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(r[(4 - j) * 32 + i], i) << whole;
        ASSERT_EQ(g[(4 - j) * 32 + i], j) << whole;
      }
  }
}

TEST_F(PictureSampling, EveryOutputModeTakesTheSamePixels) {
  // Grey of (x, y, 7) is (x + 2y) / 3: distinct for the first and last columns.
  fichier f = Coordinates(6, 3);
  std::vector<uint8_t> g8(18, 0), alpha(18, 0);
  std::vector<uint16_t> g16(18, 0);
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey8, &f, nullptr, nullptr, 0, 0, 5, 2, 6, 3, 6, 3,
                         g8.data(), nullptr, nullptr, nullptr, alpha.data()),
            0);
  ASSERT_EQ(LoadImaInBuf(2, 0, kLoadGrey16, &f, nullptr, nullptr, 0, 0, 5, 2, 6, 3, 6, 3,
                         g16.data(), nullptr, nullptr, nullptr, nullptr),
            0);
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 6; ++i) {
      const size_t at = static_cast<size_t>(2 - j) * 6 + i;
      EXPECT_EQ(g8[at], GreyOf(static_cast<uint8_t>(i), static_cast<uint8_t>(j))) << i;
      EXPECT_EQ(g16[at], Grey16Of(static_cast<uint8_t>(i), static_cast<uint8_t>(j))) << i;
    }
  EXPECT_EQ(alpha, std::vector<uint8_t>(18, 255));
}

TEST_F(PictureSampling, HalvingTakesTheFirstPixelOfEveryPairAtBothEdges) {
  fichier f = Coordinates(8, 6);
  EXPECT_EQ(Load(f, 0, 0, 7, 5, 4, 3), Expected({0, 2, 4, 6}, {0, 2, 4}));
  // A third, and an uneven share: 7 columns into 3 take 0, 2, 4.
  EXPECT_EQ(Load(f, 0, 0, 5, 5, 2, 2), Expected({0, 3}, {0, 3}));
  fichier seven = Coordinates(7, 1);
  EXPECT_EQ(Load(seven, 0, 0, 6, 0, 3, 1), Expected({0, 2, 4}, {0}));
}

TEST_F(PictureSampling, UpScalingRepeatsEverySourcePixelAlikeAtBothEdges) {
  fichier f = Coordinates(3, 2);
  // Three times across, twice down: the first and the last columns three
  // times each, as the middle one.
  EXPECT_EQ(Load(f, 0, 0, 2, 1, 9, 4), Expected({0, 0, 0, 1, 1, 1, 2, 2, 2}, {0, 0, 1, 1}));
  // Any larger width reaches the last column and loses none.
  for (int32_t n = 3; n <= 20; ++n) {
    const Origins o = Load(f, 0, 0, 2, 1, n, 2);
    ASSERT_EQ(o.size(), 2u);
    std::vector<int> seen(3, 0);
    for (int32_t i = 0; i < n; ++i) {
      ++seen[o[0][i].x];
      if (i > 0) {
        EXPECT_GE(o[0][i].x, o[0][i - 1].x) << n;
      }
    }
    EXPECT_EQ(o[0][0].x, 0) << n;
    EXPECT_EQ(o[0][n - 1].x, 2) << n;
    for (int c = 0; c < 3; ++c) EXPECT_GE(seen[c], n / 3) << n << " " << c;
  }
}

TEST_F(PictureSampling, OnePixelSidesMapLikeAnyOther) {
  fichier column = Coordinates(1, 5);
  fichier row = Coordinates(5, 1);
  fichier dot = Coordinates(1, 1);
  EXPECT_EQ(Load(column, 0, 0, 0, 4, 1, 5), Expected({0}, Run(0, 5)));
  EXPECT_EQ(Load(row, 0, 0, 4, 0, 5, 1), Expected(Run(0, 5), {0}));
  EXPECT_EQ(Load(row, 0, 0, 5, 1, 5, 1), Expected(Run(0, 5), {0}));
  EXPECT_EQ(Load(dot, 0, 0, 0, 0, 3, 2), Expected({0, 0, 0}, {0, 0}));
  // A one-pixel destination takes the first pixel; a one-wide row the first
  // column of each row share.
  EXPECT_EQ(Load(row, 0, 0, 4, 0, 1, 1), Expected({0}, {0}));
  fichier grid = Coordinates(6, 4);
  EXPECT_EQ(Load(grid, 0, 0, 5, 3, 1, 4), Expected({0}, Run(0, 4)));
  EXPECT_EQ(Load(grid, 0, 0, 5, 3, 6, 1), Expected(Run(0, 6), {0}));
  // Doubling a one-pixel side repeats it, as the weave import's reads do.
  EXPECT_EQ(Load(row, 0, 0, 4, 0, 5, 2), Expected(Run(0, 5), {0, 0}));
}

TEST_F(PictureSampling, ARectangleOfTheSourceIsReadWithinItsOwnBounds) {
  fichier f = Coordinates(10, 8);
  // Columns 3..6 and rows 2..5, at their own size, doubled and halved.
  EXPECT_EQ(Load(f, 3, 2, 6, 5, 4, 4), Expected(Run(3, 4), Run(2, 4)));
  EXPECT_EQ(Load(f, 3, 2, 6, 5, 8, 8),
            Expected({3, 3, 4, 4, 5, 5, 6, 6}, {2, 2, 3, 3, 4, 4, 5, 5}));
  EXPECT_EQ(Load(f, 3, 2, 6, 5, 2, 2), Expected({3, 5}, {2, 4}));
  // The bottom rows of the picture (a bottom of the height), as the script's
  // image load asks them: rows 5..7 only, never the rows below the top.
  EXPECT_EQ(Load(f, 0, 5, 10, 8, 10, 3), Expected(Run(0, 10), Run(5, 3)));
  // A rectangle reaching past the picture is held inside it.
  EXPECT_EQ(Load(f, -2, 6, 40, 40, 10, 2), Expected(Run(0, 10), {6, 7}));
}

TEST_F(PictureSampling, ARectangleWithNothingInsideThePictureWritesNothing) {
  fichier f = Coordinates(4, 4);
  std::vector<uint8_t> keep(16 * 4, 0xEE);
  const std::vector<uint8_t> before = keep;
  auto load = [&](int32_t l, int32_t t, int32_t r, int32_t b) {
    return LoadImaInBuf(2, 0, kLoadPixels, &f, nullptr, nullptr, l, t, r, b, 4, 4, 4, 4,
                        keep.data(), nullptr, nullptr, nullptr, nullptr);
  };
  EXPECT_EQ(load(3, 0, 1, 3), -1);  // inverted
  EXPECT_EQ(load(0, 3, 3, 1), -1);
  EXPECT_EQ(load(4, 0, 9, 3), -1);  // right of the picture
  EXPECT_EQ(load(0, -5, 3, -1), -1);  // above it
  EXPECT_EQ(keep, before);
}

TEST_F(PictureSampling, TurnedReadsRunDestinationRowsDownSourceColumns) {
  fichier f = Coordinates(5, 3);
  // Destination 3 wide (source rows), 5 high (source columns), pixel for pixel.
  Origins turned(5, std::vector<At>(3));
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 3; ++i) turned[j][i] = At{j, i};
  EXPECT_EQ(Load(f, 0, 0, 4, 2, 3, 5, true), turned);
  // A rectangle: columns 1..3 down the rows, rows 1..2 across, doubled across.
  Origins part(3, std::vector<At>(4));
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 4; ++i) part[j][i] = At{1 + j, 1 + i / 2};
  EXPECT_EQ(Load(f, 1, 1, 3, 2, 4, 3, true), part);
  // The planes mode and the content loader's turned kinds read alike.
  // (Its destination size is right - left by bottom - top.)
  std::vector<uint8_t> r(4 * 6, 0), g(r), b(r);
  ASSERT_EQ(AS_Get90ResizedImage(&f, 1, 0, 0, 0, 0, 4, 6, 0, 0, 3, 5, 3, r.data(), g.data(),
                                 b.data(), nullptr),
            0);
  for (int j = 0; j < 5; ++j)
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(r[(4 - j) * 4 + i], j);
      EXPECT_EQ(g[(4 - j) * 4 + i], i);
    }
}

// The rows go in bands to the shared threads and the samples come from tables of columns
// and rows: every mode, plain and turned, on destinations of one pixel, three rows and 2049
// columns, cut by a smaller buffer, gives at 1, 3 and 8 threads the bytes the plain formula
// gives pixel by pixel (column first + i x count / n, row first + j x count / n).
TEST_F(PictureSampling, BandedReadsEqualThePlainFormulaAtEveryThreadCount) {
  fichier f = Coordinates(37, 23);
  const int32_t l = 2, t = 1, r = 30, b = 21;  // columns 2..30, rows 1..21
  struct Shape {
    int32_t dstW, dstH, bufW, bufH;
  };
  for (Shape sh : {Shape{1, 1, 1, 1}, Shape{17, 3, 17, 3}, Shape{2049, 5, 2049, 5},
                   Shape{17, 3, 11, 2}, Shape{2049, 5, 1000, 4}})
    for (int16_t mode : {kLoadPlanes, kLoadPlanes90, kLoadPixels, kLoadPixels90, kLoadGrey8})
      for (bool withAlpha : {false, true}) {
        const bool turned = mode == kLoadPlanes90 || mode == kLoadPixels90;
        const size_t n = static_cast<size_t>(sh.bufW) * sh.bufH;
        const bool pixels = mode == kLoadPixels || mode == kLoadPixels90;
        // The plain formula.
        std::vector<uint8_t> want1(pixels ? 4 * n : n, 0xEE), want2(n, 0xEE), want3(n, 0xEE),
            wantAlpha(n, 0xEE);
        for (int32_t j = 0; j < sh.dstH; ++j) {
          const int32_t row = sh.dstH - 1 - j;
          if (row >= sh.bufH) continue;
          for (int32_t i = 0; i < sh.dstW && i < sh.bufW; ++i) {
            const int32_t x = turned ? l + static_cast<int32_t>(int64_t{j} * (r - l + 1) / sh.dstH)
                                     : l + static_cast<int32_t>(int64_t{i} * (r - l + 1) / sh.dstW);
            const int32_t y = turned ? t + static_cast<int32_t>(int64_t{i} * (b - t + 1) / sh.dstW)
                                     : t + static_cast<int32_t>(int64_t{j} * (b - t + 1) / sh.dstH);
            const size_t at = static_cast<size_t>(row) * sh.bufW + i;
            if (pixels) {
              want1[4 * at] = static_cast<uint8_t>(x);
              want1[4 * at + 1] = static_cast<uint8_t>(y);
              want1[4 * at + 2] = 7;
            } else if (mode == kLoadGrey8) {
              want1[at] = GreyOf(static_cast<uint8_t>(x), static_cast<uint8_t>(y));
            } else {
              want1[at] = static_cast<uint8_t>(x);
              want2[at] = static_cast<uint8_t>(y);
              want3[at] = 7;
            }
            wantAlpha[at] = 255;
          }
        }
        if (!withAlpha) wantAlpha.assign(n, 0xEE);
        for (int threads : {1, 3, 8}) {
          plat::SetThreadCount(threads);
          std::vector<uint8_t> got1(want1.size(), 0xEE), got2(n, 0xEE), got3(n, 0xEE),
              gotAlpha(n, 0xEE);
          const int16_t loaded = LoadImaInBuf(
              2, 0, mode, &f, nullptr, nullptr, l, t, r, b, sh.dstW, sh.dstH, sh.bufW, sh.bufH,
              got1.data(), got2.data(), got3.data(), nullptr,
              withAlpha ? gotAlpha.data() : nullptr);
          plat::SetThreadCount(0);
          ASSERT_EQ(loaded, 0);
          const std::string where = std::to_string(sh.dstW) + "x" + std::to_string(sh.dstH) +
                                    " into " + std::to_string(sh.bufW) + "x" +
                                    std::to_string(sh.bufH) + " mode " + std::to_string(mode) +
                                    " threads " + std::to_string(threads);
          EXPECT_EQ(got1, want1) << where;
          if (!pixels && mode != kLoadGrey8) {
            EXPECT_EQ(got2, want2) << where;
            EXPECT_EQ(got3, want3) << where;
          }
          EXPECT_EQ(gotAlpha, wantAlpha) << where;
        }
      }
}

}  // namespace
