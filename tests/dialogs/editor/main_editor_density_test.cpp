// The main editing window on a screen of twice the density: the layers'
// render is made at the device resolution and lands one to one, while the
// layout, the readout and the path tools' presses stay in view pixels and
// reach the same picture points as on a screen of ratio 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dialogs/editor/main_editor_fixture.h"
#include "platform/toolbox/test_driver.h"
#include "views/image_box.h"

using vmktest::kMain;
using vmktest::MainEditorTest;
namespace tb = plat::tb;

namespace {

constexpr int32_t kCancel = 2;
constexpr uint32_t kWhitePx = 0xFFFFFFFFu;
constexpr uint32_t kBlackPx = 0xFF000000u;

bool Checker(int32_t x, int32_t y) { return (x + y) % 2 != 0; }

class DenseMainEditorTest : public MainEditorTest {
 protected:
  void TearDown() override {
    tb::test::UseBackingScale(0);
    MainEditorTest::TearDown();
  }
  // A picture of twice the main view's size (640 x 480): one-pixel squares,
  // black where x + y is even, white elsewhere.
  void CheckerPicture() {
    Start(1280, 960);
    UsePhoto();
    for (uint32_t y = 0; y < 960; ++y)
      for (uint32_t x = 0; x < 1280; ++x) {
        uint8_t* p = photo_.rowPtr(y) + 4 * x;
        p[0] = p[1] = p[2] = Checker(static_cast<int32_t>(x), static_cast<int32_t>(y)) ? 255 : 0;
        p[3] = 255;
      }
    doc()->Initialize();
    MakeLayers(1);
  }

  // What the window makes of one press and one readout at the given ratio:
  // a knot added with the path tool at window point (200, 150), and the
  // picture point the readout names under view point (321, 77).
  struct Answers {
    float knotX = -1.0f, knotY = -1.0f;
    int16_t readX = -1, readY = -1;
    int32_t previewWidth = 0, previewHeight = 0;
  };
  Answers PressAndRead(int scale) {
    tb::test::UseBackingScale(scale);
    Answers a;
    VMKpinmainUI editor;
    driver_.Advance(0.6)
        .Press(kMain, 22)
        .Advance(0.6)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(editor.planeScale(), scale);
          editor.mainView()->SetVecMode(22, 1, 1);
          int16_t c[3];
          editor.mainView()->GetRGBcolfromBuf(0, 321, 77, &c[0], &c[1], &c[2], &a.readX, &a.readY);
          a.previewWidth = editor.previewWidth;
          a.previewHeight = editor.previewHeight;
        })
        .Drag({Point{150, 200}, Point{150, 200}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) {
          const CPathList* paths = doc()->layer->paths;
          if (paths == nullptr || paths->first == nullptr || paths->first->first == nullptr) return;
          a.knotX = paths->first->first->x;
          a.knotY = paths->first->first->y;
        })
        .Press(kMain, kCancel);
    EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
    EXPECT_TRUE(driver_.errors().empty());
    return a;
  }
};

TEST_F(DenseMainEditorTest, TheLayersRenderAtTheDevicePixelsAndShowOneToOne) {
  CheckerPicture();
  tb::test::UseBackingScale(2);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ASSERT_EQ(editor.planeScale(), 2);
        // Sizes and layout in view pixels.
        EXPECT_EQ(editor.viewWidth, 640);
        EXPECT_EQ(editor.previewWidth, 640);
        EXPECT_EQ(editor.previewHeight, 480);
        ASSERT_GE(editor.rendersShown(), 2u);
        // Both tables hold the picture itself: rendered at scale 1 into
        // 1280 x 960 planes (rows from the bottom).
        int bad = 0;
        for (int32_t y = 0; y < 960; ++y)
          for (int32_t x = 0; x < 1280; ++x) {
            const uint8_t want = Checker(x, y) ? 255 : 0;
            const size_t i = static_cast<size_t>(959 - y) * 1280 + static_cast<size_t>(x);
            bad += editor.effectPlanes[3][i] != want || editor.sourcePlanes[5][i] != want;
          }
        EXPECT_EQ(bad, 0);
        const VMKimabox* view = editor.mainView();
        EXPECT_EQ(view->fineScale(), 2);
        // The view's own display, which the readout reads, takes one sample
        // of each block of two by two: display row y (from the bottom),
        // column x is plane row 2y, column 2x, picture point (2x, 959 - 2y),
        // all white here.
        const int32_t dw = view->displayedWidth(), dh = view->displayedHeight();
        ASSERT_GE(dw, 639);
        ASSERT_GE(dh, 479);
        int dark = 0;
        for (int32_t y = 0; y < dh; ++y)
          for (int32_t x = 0; x < dw; ++x) dark += view->displayBuffer()[4 * (y * view->state().viewWidth + x)] != 255;
        EXPECT_EQ(dark, 0);
        tb::SetControlNeedsDisplay(tb::FindControl(w, kMain, 9));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        // The window's device pixels under the picture (inside the view's
        // frame) are the picture's pixels one to one.
        const VMKimabox* view = editor.mainView();
        const plat::draw::Surface& s = tb::GetWindowPort(w)->surface();
        const int32_t left = 2 * (10 + view->state().originX), top = 2 * (10 + view->state().originY);
        int bad = 0;
        for (int32_t y = 2; y < 2 * view->displayedHeight() - 2; ++y)
          for (int32_t x = 2; x < 2 * view->displayedWidth() - 2; ++x)
            bad += s.pixel(left + x, top + y) != (Checker(x, y) ? kWhitePx : kBlackPx);
        EXPECT_EQ(bad, 0);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// At 1:1 a picture pixel is a view pixel: two by two device pixels of the
// window, where at Fit each device pixel was one picture pixel.
TEST_F(DenseMainEditorTest, AtOneToOneEachPicturePixelCoversTwoByTwoDevicePixels) {
  CheckerPicture();
  tb::test::UseBackingScale(2);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Press(kMain, 41)  // 1:1
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        const PinmainZoom z = editor.ViewZoom();
        EXPECT_EQ(z.step, 1.0);
        EXPECT_EQ(z.shownWidth, 640);
        EXPECT_EQ(z.shownHeight, 480);
        EXPECT_EQ(editor.mainView()->fineScale(), 2);
        tb::SetControlNeedsDisplay(tb::FindControl(w, kMain, 9));
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        const VMKimabox* view = editor.mainView();
        const plat::draw::Surface& s = tb::GetWindowPort(w)->surface();
        const int32_t left = 2 * (10 + view->state().originX), top = 2 * (10 + view->state().originY);
        int bad = 0;
        for (int32_t y = 2; y < 2 * view->displayedHeight() - 2; ++y)
          for (int32_t x = 2; x < 2 * view->displayedWidth() - 2; ++x)
            bad += s.pixel(left + x, top + y) != (Checker(x / 2, y / 2) ? kWhitePx : kBlackPx);
        EXPECT_EQ(bad, 0);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(DenseMainEditorTest, APressAndTheReadoutReachTheSamePicturePointsAtBothRatios) {
  const Answers plain = PressAndRead(1);
  delete doc()->layer->paths;
  doc()->layer->paths = new CPathList(0);
  const Answers dense = PressAndRead(2);
  // Window point (200, 150) is view point (190, 140) of the 1200 x 900
  // picture fitted 640 x 480: 1.875 picture pixels a view pixel.
  EXPECT_EQ(plain.previewWidth, 640);
  EXPECT_EQ(plain.previewHeight, 480);
  EXPECT_FLOAT_EQ(plain.knotX, 190.0f * 1.875f);
  EXPECT_FLOAT_EQ(plain.knotY, 140.0f * 1.875f);
  EXPECT_EQ(dense.previewWidth, plain.previewWidth);
  EXPECT_EQ(dense.previewHeight, plain.previewHeight);
  EXPECT_FLOAT_EQ(dense.knotX, plain.knotX);
  EXPECT_FLOAT_EQ(dense.knotY, plain.knotY);
  EXPECT_GE(plain.readX, 0);
  EXPECT_EQ(dense.readX, plain.readX);
  EXPECT_EQ(dense.readY, plain.readY);
}

}  // namespace
