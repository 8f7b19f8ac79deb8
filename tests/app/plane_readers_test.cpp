#include "app/plane_readers.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "support/session.h"

namespace {

// A session with a width x height 8-bit source whose pixel (x, y) is
// (10 x + y, 100 + y, 200 - x, alpha 50 + x), described by the record.
class PlaneReaders : public vmktest::SessionTest {
 protected:
  void SetUp() override {
    source_ = PixelBuffer(kW, kH, 1, 4);
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        uint8_t* p = source_.rowPtr(y) + 4 * x;
        p[0] = static_cast<uint8_t>(10 * x + y);
        p[1] = static_cast<uint8_t>(100 + y);
        p[2] = static_cast<uint8_t>(200 - x);
        p[3] = static_cast<uint8_t>(50 + x);
      }
    const Rect whole{0, 0, kH, kW};
    rec_.imageRect = whole;
    rec_.inLastPlane = 2;
    rec_.imageWidth = kW;
    rec_.imageHeight = kH;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&source_, &destination_);
    gPer->currentEffect = 2;
  }
  void TearDown() override {
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    EXPECT_EQ(session_.memMan().count(), 0);  // every work buffer went back
  }
  static uint8_t Red(int x, int y) { return static_cast<uint8_t>(10 * x + y); }

  static constexpr int16_t kW = 6, kH = 4;
  PixelBuffer source_, destination_;
  FilterRecord rec_;
};

}  // namespace

TEST_F(PlaneReaders, OneRowKeepsColoursAndTheRecordFollows) {
  std::vector<uint8_t> r(kW, 0xEE), g(kW, 0xEE), b(kW, 0xEE), a(kW, 0xEE);
  ASSERT_EQ(ReadOneLineBuffromPho(3, kW, kH, r.data(), g.data(), b.data(), nullptr, a.data(),
                                  nullptr, 0, 2, kW, 3),
            0);
  for (int x = 0; x < kW; ++x) {
    EXPECT_EQ(r[x], Red(x, 2));
    EXPECT_EQ(g[x], 102);
    EXPECT_EQ(b[x], 200 - x);
    EXPECT_EQ(a[x], 255);
  }
  EXPECT_EQ(rec_.inRect.top, 2);
  EXPECT_EQ(rec_.inRect.bottom, 3);
  EXPECT_EQ(rec_.maskRect.right, kW);

  // A row at or below the image's bottom is skipped and leaves the planes.
  std::vector<uint8_t> untouched(kW, 0xEE);
  ASSERT_EQ(ReadOneLineBuffromPho(3, kW, kH, untouched.data(), untouched.data(), untouched.data(),
                                  nullptr, untouched.data(), nullptr, 0, kH, kW, kH + 1),
            0);
  EXPECT_EQ(untouched, std::vector<uint8_t>(kW, 0xEE));
}

TEST_F(PlaneReaders, TheMaskFollowsTheEffectOrTheSource) {
  std::vector<uint8_t> r(kW), a(kW, 0xEE);
  for (int effect : {92, 114, 115, 117}) {
    gPer->currentEffect = effect;
    ASSERT_EQ(ReadOneLineBuffromPho(3, kW, kH, r.data(), r.data(), r.data(), nullptr, a.data(),
                                    nullptr, 0, 0, kW, 1),
              0);
    EXPECT_EQ(a, std::vector<uint8_t>(kW, 0)) << effect;
  }
  gPer->currentEffect = 92;
  rec_.maskFromSource = 1;
  std::vector<uint16_t> dx(kW), dy(kW);
  ASSERT_EQ(ReadCharBuffromPho(3, 0, kW, 0, r.data(), r.data(), r.data(), a.data(), 0, dx.data(),
                               dy.data(), 0, 0, kW, 1, kW, 1, 1.0f, 1.0f, kW, 0),
            0);
  for (int x = 0; x < kW; ++x) EXPECT_EQ(a[x], 50 + x);
}

TEST_F(PlaneReaders, SpansOutsideTheImageAreClamped) {
  // left -2: plane index 2 holds column 0; right past the width stops there.
  std::vector<uint8_t> r(10, 0xEE), a(10, 0xEE);
  ASSERT_EQ(ReadOneLineBuffromPho(3, kW, kH, r.data(), r.data(), r.data(), nullptr, a.data(),
                                  nullptr, -2, 1, kW + 2, 2),
            0);
  EXPECT_EQ(r[0], 0xEE);
  EXPECT_EQ(r[1], 0xEE);
  EXPECT_EQ(r[2], 200);  // blue of column 0 written last
  EXPECT_EQ(a[2 + kW - 1], 255);
  EXPECT_EQ(a[2 + kW], 0xEE);
  // An empty span reads nothing and still succeeds.
  EXPECT_EQ(ReadOneLineBuffromPho(3, kW, kH, r.data(), r.data(), r.data(), nullptr, a.data(),
                                  nullptr, 4, 1, 3, 2),
            0);
  // No session registry, or no source image: a failure, not a crash.
  SetSessionSpanImages(nullptr, nullptr);
  EXPECT_EQ(ReadOneLineBuffromPho(3, kW, kH, r.data(), r.data(), r.data(), nullptr, a.data(),
                                  nullptr, 0, 1, kW, 2),
            -1);
  EXPECT_EQ(ReadOneLineBuffromPho(7, kW, kH, r.data(), r.data(), r.data(), nullptr, a.data(),
                                  nullptr, 0, 1, kW, 2),
            -1);
}

TEST_F(PlaneReaders, ResampledRectanglesStepByRoundedHalves) {
  // stepX 0.5, count 4: columns 0, 1, 1, 2; two margin columns; rows bottom
  // first; stepY 0.5 walks rows 1, 2, 2 (0.5 and 1.5 round up, 1.0 + 0.5 = 1).
  constexpr int kStride = 8, kRows = 3;
  std::vector<uint8_t> r(kStride * kRows, 0xEE), g(r), b(r), a(r);
  std::vector<uint16_t> dx(kStride * kRows, 7), dy(dx);
  ASSERT_EQ(ReadCharBuffromPho(3, 0, kStride, 0, r.data(), g.data(), b.data(), a.data(), 1,
                               dx.data(), dy.data(), 1, 1, 5, kH, 4, kRows, 0.5f, 0.5f, 6, 0),
            0);
  const int cols[4] = {0, 1, 1, 2};
  const int srcRows[kRows] = {1, 2, 2};
  for (int k = 0; k < kRows; ++k) {
    const int at = (kRows - 1 - k) * kStride;
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(r[at + j], Red(1 + cols[j], srcRows[k])) << k << "," << j;
      EXPECT_EQ(a[at + j], 255);
      EXPECT_EQ(dx[at + j], 32768);
      EXPECT_EQ(dy[at + j], 32768);
    }
    for (int j = 4; j < 6; ++j) {
      EXPECT_EQ(r[at + j], 0);
      EXPECT_EQ(a[at + j], 0);
      EXPECT_EQ(dx[at + j], 32768);
    }
    EXPECT_EQ(r[at + 6], 0xEE);
    EXPECT_EQ(dx[at + 6], 7);
  }
  EXPECT_EQ(rec_.inRect.top, 3);  // the row after the last one read
}

TEST_F(PlaneReaders, ShortSourcesStopAndAlphaOnlyKeepsColours) {
  // Two source rows for four output rows: plane rows 0 and 1 stay untouched.
  constexpr int kStride = 4, kRows = 4;
  std::vector<uint8_t> r(kStride * kRows, 0xEE), a(kStride * kRows, 0xEE);
  ASSERT_EQ(ReadCharBuffromPho(3, 0, kStride, 0, r.data(), r.data(), r.data(), a.data(), 0,
                               nullptr, nullptr, 0, 2, kStride, kH, kStride, kRows, 1.0f, 1.0f,
                               kStride, 0),
            0);
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + 2 * kStride),
            std::vector<uint8_t>(2 * kStride, 0xEE));
  EXPECT_EQ(a[3 * kStride], 255);
  EXPECT_EQ(r[2 * kStride + 1], 200 - 1);  // blue of row 3, column 1

  // alphaOnly: colours untouched, the mask written.
  std::vector<uint8_t> c(kStride, 0xEE), m(kStride, 0xEE);
  ASSERT_EQ(ReadCharBuffromPho(3, 1, kStride, 0, c.data(), c.data(), c.data(), m.data(), 0,
                               nullptr, nullptr, 0, 0, kW, kH, kStride, 1, 1.0f, 1.0f, kStride, 0),
            0);
  EXPECT_EQ(c, std::vector<uint8_t>(kStride, 0xEE));
  EXPECT_EQ(m, std::vector<uint8_t>(kStride, 255));

  // Columns sampled beyond the span repeat its last pixel.
  std::vector<uint8_t> wide(8, 0xEE);
  ASSERT_EQ(ReadCharBuffromPho(3, 0, 8, 0, wide.data(), wide.data(), wide.data(), nullptr, 0,
                               nullptr, nullptr, 0, 0, 3, 1, 8, 1, 1.0f, 1.0f, 8, 0),
            0);
  EXPECT_EQ(wide[7], 200 - 2);
}

TEST_F(PlaneReaders, StepsFromAnEmptySizeStayInsideTheSpanAndEndTheRows) {
  // An infinite column step samples the first column, then the span's last;
  // a row step that is not a number reads one row and stops.
  constexpr int kRows = 3;
  std::vector<uint8_t> r(kW * kRows, 0xEE);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ASSERT_EQ(ReadCharBuffromPho(3, 0, kW, 0, r.data(), nullptr, nullptr, nullptr, 0, nullptr,
                               nullptr, 0, 1, kW, kH, 3, kRows, inf, nan, 3, 0),
            0);
  const int last = (kRows - 1) * kW;
  EXPECT_EQ(r[last + 0], Red(0, 1));
  EXPECT_EQ(r[last + 1], Red(kW - 1, 1));
  EXPECT_EQ(r[last + 2], Red(kW - 1, 1));
  EXPECT_EQ(std::vector<uint8_t>(r.begin(), r.begin() + last),
            std::vector<uint8_t>(last, 0xEE));
}

TEST_F(PlaneReaders, AFailedReadSetsTheReadErrorWord) {
  vmktest::ScopedAppData app;
  SetSessionSpanImages(nullptr, nullptr);
  std::vector<uint8_t> r(kW, 0xEE);
  EXPECT_EQ(ReadCharBuffromPho(3, 0, kW, 0, r.data(), r.data(), r.data(), nullptr, 0, nullptr,
                               nullptr, 0, 0, kW, kH, kW, 1, 1.0f, 1.0f, kW, 0),
            -1);
  EXPECT_EQ(app.data().wordZero, 1);
  EXPECT_EQ(r, std::vector<uint8_t>(kW, 0xEE));
}
