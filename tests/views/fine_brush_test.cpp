// The mask brush's live stroke on a window of twice the density: the stroke
// is composed from the picture read at the device resolution into the fine
// display, so it shows sharp at once instead of doubled until the next
// preview; and in a view taller than wide the stroke shows in its upper
// rows too.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "host/ApePlugInUtilities/ape_spans.h"
#include "host/ApePlugInUtilities/image_files.h"
#include "platform/toolbox/test_driver.h"
#include "track_fixture.h"

namespace vmktest {
namespace {

// A 400 x 300 picture of one-pixel squares, green 255 where x + y is odd:
// a stroke enlarged anywhere on its way to the screen loses them.
template <int Scale>
class PictureBrushTest : public TrackTest {
 protected:
  void SetUp() override {
    plat::tb::test::UseBackingScale(Scale);
    for (uint32_t y = 0; y < 300; ++y)
      for (uint32_t x = 0; x < 400; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = 40;
        p[1] = (x + y) % 2 != 0 ? 255 : 0;
        p[2] = 90;
        p[3] = 255;
      }
    rec_.imageRect = Rect{0, 0, 300, 400};
    rec_.inLastPlane = 2;
    rec_.imageWidth = 400;
    rec_.imageHeight = 300;
    gFilterRecord = &rec_;
    SetSessionSpanImages(&photo_, &unused_);
    TrackTest::SetUp();
    box_.InitBufMsk(200, 150, 3);
    box_.SetMskMod(1);
    box_.SetBruMod(6, 100, 0, 0);
  }
  void TearDown() override {
    TrackTest::TearDown();
    SetSessionSpanImages(nullptr, nullptr);
    gFilterRecord = nullptr;
    plat::tb::test::UseBackingScale(0);
  }
  // A stroke along window row 50 from x 60 to 100, stamped from x 61 on
  // (the press itself only places the brush): display columns 35 to 86
  // (the exclusive end), rows 129 to 141 from the bottom.
  void Stroke() {
    std::vector<Point> stroke;
    for (int h = 60; h <= 100; ++h) stroke.push_back(P(h, 50));
    Track(stroke);
  }
  uint8_t FineGreen(int32_t x, int32_t row) const {
    return box_.fineBuffer()[4 * (static_cast<int64_t>(row) * box_.state().viewWidth * 2 + x) + 1];
  }

  PixelBuffer photo_{400, 300, 1, 4};
  PixelBuffer unused_;
  FilterRecord rec_;
};
using FineBrushTest = PictureBrushTest<2>;

TEST_F(FineBrushTest, AStrokeShowsAtTheDeviceResolutionAtOnce) {
  ASSERT_EQ(box_.backingScale(), 2);
  ASSERT_EQ(box_.displayedWidth(), 200);
  ASSERT_EQ(box_.displayedHeight(), 150);
  // The fine display is filled black where the stroke will go, so only the
  // stroke can bring the picture's squares there.
  std::vector<uint8_t> r(400 * 400, 0), g(400 * 400, 0), b(400 * 400, 0);
  box_.SetFineBufRGB(2, 0, 0, 200, 150, 200, 200, r.data(), g.data(), b.data(), nullptr, 255, 0);
  ASSERT_EQ(box_.fineScale(), 2);
  Stroke();
  EXPECT_GT(box_.maskA()[15 * 200 + 60], 16000);
  // Still the fine display, now with the picture's squares under the
  // stroke: fine columns 70 to 171, rows 258 to 281 read the picture one to
  // one, each device pixel its own sample (read row k = 299 - row).
  EXPECT_EQ(box_.fineScale(), 2);
  int wrong = 0;
  for (int32_t row = 258; row < 282; ++row)
    for (int32_t x = 70; x < 172; ++x)
      if (FineGreen(x, row) != ((x + 299 - row) % 2 != 0 ? 255 : 0) && wrong++ < 5) ADD_FAILURE() << x << "," << row;
  EXPECT_EQ(wrong, 0);
  // Outside the stroke's rectangle the fine display is as it was.
  EXPECT_EQ(FineGreen(60, 270), 0);
  EXPECT_EQ(FineGreen(100, 250), 0);
  // The display takes one sample of each block: picture point (2x, 299 - 2y).
  for (int32_t y = 130; y < 140; ++y)
    for (int32_t x = 35; x < 85; ++x) ASSERT_EQ(Display(x, y) >> 16 & 0xFF, (299 - 2 * y) % 2 != 0 ? 255u : 0u);
  // On the window, at once: neighbouring device pixels under the stroke
  // differ, where a doubled display would repeat each one.
  const plat::draw::Surface& s = plat::tb::GetWindowPort(window_)->surface();
  int repeats = 0;
  for (int32_t y = 2 * 45; y < 2 * 55; ++y)
    for (int32_t x = 2 * 56; x < 2 * 104; x += 2) repeats += (s.pixel(x, y) & 0xFF00) == (s.pixel(x + 1, y) & 0xFF00);
  EXPECT_EQ(repeats, 0);
  // A redraw draws the same fine display (away from the brush's outline,
  // which it takes off the screen).
  const std::vector<uint32_t> stroked = WindowPixels();
  Redraw();
  int changed = 0;
  for (int32_t y = 2 * 45; y < 2 * 55; ++y)
    for (int32_t x = 2 * 60; x < 2 * 92; ++x) changed += s.pixel(x, y) != stroked[y * s.width() + x];
  EXPECT_EQ(changed, 0);
}

// A display load of the view's size in between (a window's own picture):
// the stroke still shows sharp, and around it the fine display takes the
// display's pixels as blocks, so the view shows the same as before there.
TEST_F(FineBrushTest, AStrokeOverADisplayOfTheViewsSizeIsSharpAndTheRestAsItWas) {
  std::vector<uint8_t> grey(200 * 200, 128);
  box_.SetBufRGB(0, 0, 0, 200, 150, 1, 400, 300, 200, 200, grey.data(), grey.data(), grey.data(), nullptr, 255, 0);
  ASSERT_EQ(box_.fineScale(), 0);
  Stroke();
  EXPECT_EQ(box_.fineScale(), 2);
  EXPECT_GE(Display(60, 135) >> 24, 250u);
  EXPECT_EQ(Display(60, 100) >> 24, 128u);
  EXPECT_EQ(FineGreen(120, 200), 128);
  EXPECT_EQ(FineGreen(121, 201), 128);
  int wrong = 0;
  for (int32_t row = 258; row < 282; ++row)
    for (int32_t x = 70; x < 172; ++x) wrong += FineGreen(x, row) != ((x + 299 - row) % 2 != 0 ? 255 : 0);
  EXPECT_EQ(wrong, 0);
  const plat::draw::Surface& s = plat::tb::GetWindowPort(window_)->surface();
  for (int32_t x = 2 * 56; x < 2 * 104; x += 2) ASSERT_EQ(s.pixel(x, 2 * 100), s.pixel(x + 1, 2 * 100 + 1));
}

// In a view taller than wide (100 x 200, the picture 200 x 400 over all of
// it) a stroke near the top of the picture recomposes the display's upper
// rows, which lie past the view's width counted in rows.
class TallViewBrushTest : public TrackTest {
 protected:
  void SetUp() override {
    TrackTest::SetUp();
    plat::tb::SetControlBounds(view_, Rect{10, 20, 210, 120});
    LayOutPicture(200, 400, 2);
    box_.InitBufMsk(100, 200, 3);
    box_.SetMskMod(1);
    box_.SetBruMod(4, 100, 0, 0);
  }
};

TEST_F(TallViewBrushTest, AStrokeInTheUpperRowsShows) {
  ASSERT_EQ(box_.state().viewWidth, 100);
  ASSERT_EQ(box_.state().viewHeight, 200);
  ASSERT_EQ(box_.displayedHeight(), 200);
  const uint32_t before = Display(50, 180);
  std::vector<Point> stroke;
  for (int h = 50; h <= 90; ++h) stroke.push_back(P(h, 30));
  Track(stroke);
  // Window row 30 is picture line 20: display row 200 - 1 - 20 = 179.
  EXPECT_GT(box_.maskA()[20 * 100 + 50], 8000);
  EXPECT_NE(Display(50, 179), before);
  EXPECT_GE(Display(50, 179) >> 24, 250u);
}

}  // namespace
}  // namespace vmktest
