// The image box on a window of twice the density: previews render at the
// device resolution and show one to one, overlays cover whole doubled
// pixels, and everything in view and picture coordinates stays as on a
// window of ratio 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "box_fixture.h"
#include "engines/tessellation/photo_repeat_record.h"
#include "views/preview_engines.h"

using namespace plat::tb;

namespace vmktest {
namespace {

constexpr uint32_t kWhitePx = 0xFFFFFFFFu;
constexpr uint32_t kBlackPx = 0xFF000000u;

std::vector<vmkviews::PreviewCall> gCalls;

// A checkerboard of one-pixel squares over the laid-out area of the planes:
// a preview that is scaled anywhere on its way to the screen loses it.
int32_t CheckerEngine(const vmkviews::PreviewCall& call) {
  gCalls.push_back(call);
  for (int32_t y = 0; y < call.effHeight; ++y)
    for (int32_t x = 0; x < call.effWidth; ++x) {
      const uint8_t v = (x + y) % 2 == 0 ? 0 : 255;
      const int64_t i = static_cast<int64_t>(y) * call.viewWidth + x;
      call.planes[0][i] = call.planes[1][i] = call.planes[2][i] = v;
    }
  return 0;
}

// The fixture's window as if on a screen of ratio `Scale`.
template <int Scale>
class ScaledBoxTest : public BoxTest {
 protected:
  void SetUp() override {
    plat::tb::test::UseBackingScale(Scale);
    BoxTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, CheckerEngine);
    gCalls.clear();
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 41, nullptr);
    BoxTest::TearDown();
    plat::tb::test::UseBackingScale(0);
  }
  // A 400 x 300 picture through the repeat preview (pan rule): 200 x 149
  // displayed, at (20, 36) of the window.
  void Preview() {
    LayOutPicture(400, 300, 2);
    RepPar rep;
    box_.SetRepPar(&rep, 1, 6, nullptr);
  }
  // What a press reads and edits: two readouts, then a drag of pan frame
  // 0 as the ratio-1 tests make it.
  void ReadAndDrag(int32_t out[8]) {
    Preview();
    int16_t c[3], ix, iy;
    box_.SetPickmode(0, 1);
    box_.GetRGBcolfromBuf(0, 10, 29, &c[0], &c[1], &c[2], &ix, &iy);
    out[0] = ix;
    out[1] = iy;
    box_.GetRGBcolfromBuf(1, 150, 120, &c[0], &c[1], &c[2], &ix, &iy);
    out[2] = ix;
    out[3] = iy;
    box_.SetBufSSPan(25000, 25000, 75000, 75000, 100, 0, 0);
    box_.SetBufSSPan(0, 0, 100000, 100000, 100, 1, 0);
    box_.SetBufParam(0, 0, 0, 0, 3, 0, 1, 0, 0, 0, 0, 0, 0);
    ShowWindow(window_);
    driver_.Drag({Point{110, 120}, Point{115, 125}, Point{125, 135}});
    driver_.RunSteps(window_);
    box_.GetBufSSPan(&out[4], &out[5], &out[6], &out[7], 0);
  }
  static void ExpectRatioOneAnswers(const int32_t out[8]) {
    EXPECT_EQ(out[0], 19);   // 10 / (200 / 399)
    EXPECT_EQ(out[1], 8);    // 4 / (149 / 299)
    EXPECT_EQ(out[2], 299);  // 150 / (200 / 399)
    EXPECT_EQ(out[3], 108);  // 299 - 95 / (149 / 299)
    EXPECT_EQ(out[4], 30000);
    EXPECT_EQ(out[6], 80000);
    EXPECT_NEAR(out[5], 31667, 340);
    EXPECT_NEAR(out[7], 81667, 340);
  }
};
using FineBoxTest = ScaledBoxTest<2>;
using PlainBoxTest = ScaledBoxTest<1>;

TEST_F(FineBoxTest, PreviewsRenderAtTwiceTheViewsSize) {
  box_.InitBuf(1);
  EXPECT_EQ(box_.backingScale(), 2);
  ASSERT_NE(box_.fineBuffer(), nullptr);
  Preview();
  ASSERT_EQ(gCalls.size(), 1u);
  const vmkviews::PreviewCall& c = gCalls[0];
  EXPECT_EQ(c.backing, 2);
  EXPECT_EQ(c.viewWidth, 400);
  EXPECT_EQ(c.viewHeight, 400);
  EXPECT_EQ(c.effWidth, 400);
  EXPECT_EQ(c.effHeight, 298);
  EXPECT_EQ(c.srcRect[2], 399);
  EXPECT_FLOAT_EQ(c.scale, 399.0f / 200.0f / 2.0f);
  // The box's layout stays in view pixels.
  EXPECT_EQ(box_.GetEffWidth(), 200);
  EXPECT_EQ(box_.GetEffHeight(), 149);
  EXPECT_EQ(box_.displayedWidth(), 200);
  EXPECT_EQ(box_.state().originY, 25);
  EXPECT_EQ(box_.fineScale(), 2);
  // The display takes the even samples of the even rows (all black here);
  // the fine display the planes as they are.
  EXPECT_EQ(Display(0, 0), 0x000000FFu);
  EXPECT_EQ(Display(199, 148), 0x000000FFu);
  const uint8_t* fine = box_.fineBuffer();
  EXPECT_EQ(fine[4 * 1], 255);
  EXPECT_EQ(fine[4 * (400 + 0)], 255);
  EXPECT_EQ(fine[4 * (400 + 1)], 0);
}

TEST_F(FineBoxTest, TheScreenShowsEveryPreviewPixelAndDoubledFrames) {
  Preview();
  Redraw();
  const plat::draw::Port* port = GetWindowPort(window_);
  ASSERT_EQ(port->backingScale(), 2);
  // The image's 400 x 298 device pixels at (40, 72), plane row 0 at the
  // bottom, but for the two columns each side that the view's frame covers.
  for (int y = 0; y < 298; ++y)
    for (int x = 2; x < 398; ++x) {
      const int row = 297 - y;
      ASSERT_EQ(port->surface().pixel(40 + x, 72 + y), (x + row) % 2 == 0 ? kBlackPx : kWhitePx)
          << x << "," << y;
    }
  // The view's frame: one view pixel, two device pixels thick.
  EXPECT_EQ(port->surface().pixel(40, 20), kBlackPx);
  EXPECT_EQ(port->surface().pixel(41, 21), kBlackPx);
  EXPECT_EQ(port->surface().pixel(439, 419), kBlackPx);
  EXPECT_NE(port->surface().pixel(42, 22), kBlackPx);
}

TEST_F(FineBoxTest, ALoadOfTheViewsSizeShowsDoubled) {
  Preview();
  std::vector<uint8_t> r(200 * 200), g(200 * 200), b(200 * 200);
  for (int i = 0; i < 200 * 200; ++i) r[i] = g[i] = b[i] = ((i % 200) + (i / 200)) % 2 == 0 ? 0 : 255;
  box_.SetBufRGB(0, 0, 0, 200, 149, 1, 400, 300, 200, 200, r.data(), g.data(), b.data(), nullptr, 255, 0);
  EXPECT_EQ(box_.fineScale(), 0);
  Redraw();
  const plat::draw::Surface& s = GetWindowPort(window_)->surface();
  for (int y = 0; y < 149; ++y)
    for (int x = 1; x < 199; ++x) {
      const uint32_t want = (x + 148 - y) % 2 == 0 ? kBlackPx : kWhitePx;
      ASSERT_EQ(s.pixel(40 + 2 * x, 72 + 2 * y), want);
      ASSERT_EQ(s.pixel(41 + 2 * x, 73 + 2 * y), want);
    }
  // The next preview brings the fine display back.
  RepPar rep;
  box_.SetRepPar(&rep, 1, 6, nullptr);
  EXPECT_EQ(box_.fineScale(), 2);
}

TEST_F(FineBoxTest, PressesMapToTheSamePicturePointsAsAtRatioOne) {
  int32_t fine[8];
  ReadAndDrag(fine);
  EXPECT_EQ(box_.fineScale(), 2);
  ExpectRatioOneAnswers(fine);
}

TEST_F(PlainBoxTest, PressesMapToTheSamePicturePointsAsAtRatioTwo) {
  // Same steps, ratio 1: the numbers the ratio-2 test expects.
  int32_t plain[8];
  ReadAndDrag(plain);
  EXPECT_EQ(box_.backingScale(), 1);
  EXPECT_EQ(box_.fineBuffer(), nullptr);
  EXPECT_EQ(box_.fineScale(), 0);
  EXPECT_EQ(gCalls.at(0).backing, 1);
  EXPECT_EQ(gCalls.at(0).viewWidth, 200);
  ExpectRatioOneAnswers(plain);
}

TEST_F(PlainBoxTest, AWindowOnADenserScreenRedrawsAtItsDensity) {
  Preview();
  Redraw();
  const plat::draw::Port* port = GetWindowPort(window_);
  EXPECT_EQ(port->backingScale(), 1);
  // The window comes up on a screen of ratio 2: the port follows and every
  // view draws again; the box's previews follow at its next InitBuf.
  plat::tb::test::UseBackingScale(2);
  HideWindow(window_);
  Redraw();
  ASSERT_EQ(port->backingScale(), 2);
  EXPECT_EQ(port->surface().width(), 2 * port->portRect.right);
  EXPECT_EQ(port->surface().pixel(40, 20), kBlackPx);
  EXPECT_EQ(port->surface().pixel(41, 21), kBlackPx);
  // Until then the display shows enlarged: pixel pairs alike.
  EXPECT_EQ(box_.backingScale(), 1);
  for (int x = 2; x < 398; x += 2) ASSERT_EQ(port->surface().pixel(40 + x, 100), port->surface().pixel(41 + x, 101));
  box_.InitBuf(1);
  EXPECT_EQ(box_.backingScale(), 2);
  RepPar rep;
  box_.SetRepPar(&rep, 1, 6, nullptr);
  EXPECT_EQ(gCalls.back().backing, 2);
  EXPECT_EQ(box_.fineScale(), 2);
}

// Planes of a window's own render at twice the view's size: the display
// takes the first device pixel of each view pixel, the fine display the
// planes; the bounds and rows stay in view pixels, the fourth plane tints
// as SetBufRGB's does.
TEST_F(FineBoxTest, APictureOfTheDevicePixelsLoadsOneToOne) {
  box_.InitBuf(1);
  ASSERT_EQ(box_.backingScale(), 2);
  // 400 x 400 planes: red the device column, green the device row, blue a
  // one-pixel checkerboard, the fourth plane 255 but for device row 5.
  std::vector<uint8_t> r(400 * 400), g(400 * 400), b(400 * 400), m(400 * 400, 255);
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x) {
      const int i = y * 400 + x;
      r[i] = static_cast<uint8_t>(x);
      g[i] = static_cast<uint8_t>(y);
      b[i] = (x + y) % 2 == 0 ? 0 : 255;
      if (y == 5) m[i] = 0;
    }
  box_.SetFineBufRGB(2, 0, 0, 200, 200, 200, 200, r.data(), g.data(), b.data(), m.data(), 255, 1);
  EXPECT_EQ(box_.fineScale(), 2);
  // The display: sample (2x, 2y) of view pixel (x, y).
  EXPECT_EQ(Display(0, 0), 0x000000FFu);
  EXPECT_EQ(Display(7, 3), (uint32_t{14} << 24) | (uint32_t{6} << 16) | 0xFFu);
  EXPECT_EQ(Display(7, 2), (uint32_t{14} << 24) | (uint32_t{4} << 16) | 0xFFu);
  // The fine display: every device pixel, the fourth plane's row red.
  const uint8_t* fine = box_.fineBuffer();
  auto at = [&](int x, int y) { return fine + (y * 400 + x) * 4; };
  EXPECT_EQ(at(15, 7)[0], 15);
  EXPECT_EQ(at(15, 7)[1], 7);
  EXPECT_EQ(at(15, 7)[2], 0);
  EXPECT_EQ(at(16, 7)[2], 255);
  EXPECT_EQ(at(16, 5)[0], 255);
  EXPECT_EQ(at(16, 5)[1], 0);
  EXPECT_EQ(at(16, 5)[3], 255);
}

// A load of part of the view after the fine display fell behind (a load of
// the view's size): outside the bounds the fine display takes the
// display's pixels as blocks, so the screen shows the same there as at
// ratio 1; inside, the planes one to one.
TEST_F(FineBoxTest, APartialLoadKeepsTheRestAsTheDisplayShowsIt) {
  box_.InitBuf(1);
  std::vector<uint8_t> grey(200 * 200, 90);
  box_.SetBufRGB(0, 0, 0, 200, 200, 1, 0, 0, 200, 200, grey.data(), grey.data(), grey.data(), nullptr, 255, 0);
  EXPECT_EQ(box_.fineScale(), 0);
  std::vector<uint8_t> r(400 * 400), z(400 * 400, 0);
  for (int i = 0; i < 400 * 400; ++i) r[i] = static_cast<uint8_t>(i % 2 == 0 ? 10 : 250);
  box_.SetFineBufRGB(2, 0, 0, 199, 150, 200, 200, r.data(), z.data(), z.data(), nullptr, 255, 0);
  ASSERT_EQ(box_.fineScale(), 2);
  const uint8_t* fine = box_.fineBuffer();
  auto red = [&](int x, int y) { return fine[(y * 400 + x) * 4]; };
  EXPECT_EQ(red(396, 10), 10);
  EXPECT_EQ(red(397, 10), 250);
  // The last view column and the rows from 150 up were not loaded.
  EXPECT_EQ(red(398, 10), 90);
  EXPECT_EQ(red(399, 10), 90);
  EXPECT_EQ(red(20, 300), 90);
  EXPECT_EQ(Display(199, 10) >> 24, 90u);
  EXPECT_EQ(Display(198, 10) >> 24, 10u);
  // A second partial load over a fine display that follows the display
  // leaves the rest alone.
  box_.SetFineBufRGB(2, 0, 0, 10, 10, 200, 200, z.data(), z.data(), z.data(), nullptr, 255, 0);
  EXPECT_EQ(red(396, 10), 10);
  EXPECT_EQ(red(2, 2), 0);
}

// Planes of another density than the box's (the window moved since they
// were asked for) reach the display only.
TEST_F(FineBoxTest, PlanesOfAnotherDensityReachOnlyTheDisplay) {
  box_.InitBuf(1);
  std::vector<uint8_t> p(600 * 600);
  for (int i = 0; i < 600 * 600; ++i) p[i] = static_cast<uint8_t>(i % 600);
  box_.SetFineBufRGB(3, 0, 0, 200, 200, 200, 200, p.data(), p.data(), p.data(), nullptr, 255, 0);
  EXPECT_EQ(box_.fineScale(), 0);
  EXPECT_EQ(Display(5, 0) >> 24, 15u);
}

// At ratio 1 the load is SetBufRGB's, pixel for pixel, tint included.
TEST_F(PlainBoxTest, APictureAtScaleOneIsSetBufRGBsLoad) {
  box_.InitBuf(1);
  box_.InitBufMsk(200, 200, 1);
  std::vector<uint8_t> r(200 * 200), g(200 * 200), m(200 * 200);
  for (int i = 0; i < 200 * 200; ++i) {
    r[i] = static_cast<uint8_t>(i * 7);
    g[i] = static_cast<uint8_t>(i / 200);
    m[i] = static_cast<uint8_t>(255 - i % 256);
  }
  box_.SetBufRGB(0, 3, 4, 150, 120, 1, 0, 0, 200, 200, r.data(), g.data(), r.data(), m.data(), 200, 1);
  const std::vector<uint8_t> want(box_.displayBuffer(), box_.displayBuffer() + 200 * 200 * 4);
  box_.InitBuf(1);
  box_.InitBufMsk(200, 200, 1);
  box_.SetFineBufRGB(1, 3, 4, 150, 120, 200, 200, r.data(), g.data(), r.data(), m.data(), 200, 1);
  EXPECT_TRUE(std::equal(want.begin(), want.end(), box_.displayBuffer()));
  EXPECT_EQ(box_.fineBuffer(), nullptr);
}

}  // namespace
}  // namespace vmktest
