// The main editing window's zoom: whatever zoom control is used, in whatever
// order, the zoom text says the scale the view shows the picture at, and the
// view is filled wherever the picture at that scale is larger than it. The
// picture is 1500 x 1000, of another shape than the 640 x 480 view, so a view
// that shows the picture's shape instead of the view's shows bands.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dialogs/editor/main_editor_fixture.h"
#include "views/image_box.h"

using vmktest::kMain;
namespace tb = plat::tb;

namespace {

constexpr int32_t kCancel = 2, kZoomSlider = 11, kZoomText = 31, kZoomOut = 16, kZoomIn = 17;
constexpr int32_t kFit = 40, kOneToOne = 41;
constexpr int32_t kWidth = 1500, kHeight = 1000, kLift = 40;

std::string LabelOf(int32_t zoom) {
  char text[32];
  std::snprintf(text, sizeof text, "%3.0f%%", static_cast<double>(static_cast<float>(zoom) / 100.0f));
  return text;
}

class PinmainZoomTest : public vmktest::MainEditorTest {
 protected:
  void SetUp() override {
    MainEditorTest::SetUp();
    Open(kWidth, kHeight);
  }

  // A document of the given size with the layer.
  void Open(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    Start(static_cast<int16_t>(width), static_cast<int16_t>(height));
    UsePhoto();
    doc()->Initialize();
    MakeLayers(1);
    // One layer that lifts every sample by 40: the view shows the picture
    // plus 40 wherever it shows the layers.
    ScriptFile* s = script();
    s->SetEffect(0, 1, 1, 16, 0, 0, 0, 0);
    s->SetAct(0, 1, 1, 1);
    s->SetFromChannel(0, 1, 1, 0);
    s->SetToChannel(0, 1, 1, 2);
    s->SetParam1(0, 1, 1, kLift);
    s->SetMode(0, 1, 1, 0);
    s->SetOpa(0, 1, 1, 255);
    s->SetMChannel(0, 1, 1, 0);
    s->SetIntExt(0, 1, 1, 1);
  }

  uint8_t Lifted(int32_t x, int32_t y, int k) const {
    return static_cast<uint8_t>(std::min(photo_.rowPtr(static_cast<uint32_t>(y))[4 * x + k] + kLift, 255));
  }

  // The mean of the lifted picture over the pixels whose centres lie in a
  // view pixel's share of it: the result scaled down.
  double BlockMean(double x0, double y0, double stepX, double stepY, int k) const {
    const auto first = [](double from) { return static_cast<int32_t>(std::ceil(from - 0.5)); };
    const int32_t xa = std::clamp(first(x0), 0, width_ - 1), xb = std::clamp(first(x0 + stepX), xa + 1, width_);
    const int32_t ya = std::clamp(first(y0), 0, height_ - 1), yb = std::clamp(first(y0 + stepY), ya + 1, height_);
    double sum = 0;
    for (int32_t y = ya; y < yb; ++y)
      for (int32_t x = xa; x < xb; ++x) sum += Lifted(x, y, k);
    return sum / ((xb - xa) * (yb - ya));
  }

  // The zoom text says `zoom`, the view shows the picture at that scale from
  // the corner the window reports, as large as the view or the picture at
  // that scale allows, and its pixels are the lifted picture's: at and above
  // 1:1 the pixel under each view pixel, below it within a few levels of the
  // block means (a grain of 61 levels comes through a preview's sampling).
  void ExpectShows(VMKpinmainUI& editor, tb::WindowRef w, int32_t zoom, const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kMain, kZoomText)), LabelOf(zoom));
    const PinmainZoom z = editor.ViewZoom();
    const bool fit = editor.fitFlag == 1;
    // At Fit the picture fills the fitted size, cut to whole pixels, each
    // side at its own step.
    const double step = fit ? static_cast<double>(width_) / editor.previewWidth : 10000.0 / zoom;
    const double stepY = fit ? static_cast<double>(height_) / editor.previewHeight : step;
    EXPECT_EQ(z.zoomed, !fit);
    EXPECT_NEAR(z.step, step, 1e-9);
    const VMKimabox* view = editor.mainView();
    const int32_t vw = editor.viewWidth, vh = editor.viewHeight;
    const int32_t dw = view->displayedWidth(), dh = view->displayedHeight();
    EXPECT_EQ(dw, std::min<int32_t>(vw, static_cast<int32_t>(std::lround(width_ / step))));
    EXPECT_EQ(dh, std::min<int32_t>(vh, static_cast<int32_t>(std::lround(height_ / stepY))));
    // The part shown lies inside the picture.
    EXPECT_GE(z.left, 0);
    EXPECT_GE(z.top, 0);
    EXPECT_LE(z.left + dw * step, width_ + 1.0);
    EXPECT_LE(z.top + dh * step, height_ + 1.0);
    int wrong = 0;
    double sum = 0, worst = 0;
    for (int32_t y = 0; y < dh; ++y)
      for (int32_t x = 0; x < dw; ++x) {
        const uint8_t* got = view->displayBuffer() + 4 * ((dh - 1 - y) * view->state().viewWidth + x);
        for (int k = 0; k < 3; ++k) {
          if (step <= 1.0) {
            const auto px = static_cast<int32_t>(std::floor(z.left + (x + 0.5) * step));
            const auto py = static_cast<int32_t>(std::floor(z.top + (y + 0.5) * step));
            wrong += got[k] != Lifted(px, py, k);
          } else {
            const double d =
                std::fabs(got[k] - BlockMean(z.left + x * step, z.top + y * stepY, step, stepY, k));
            sum += d;
            worst = std::max(worst, d);
          }
        }
      }
    EXPECT_EQ(wrong, 0);
    if (step > 1.0) {
      EXPECT_LT(sum / (3.0 * dw * dh), 3.0);
      EXPECT_LT(worst, 40.0);
    }
  }

  static double CentreX(const PinmainZoom& z) { return z.left + z.shownWidth * z.step / 2; }
  static double CentreY(const PinmainZoom& z) { return z.top + z.shownHeight * z.step / 2; }

  int32_t width_ = kWidth, height_ = kHeight;
};

// 1:1, +, -, 1:1, Fit, +, 1:1 in a row: each shows the scale its text says.
// Before, the first press after 1:1 fell back to the picture's shape (bands
// above and below at 144 %) and 1:1 after a zoom press kept that zoom.
TEST_F(PinmainZoomTest, EveryPressShowsTheScaleItsTextSays) {
  VMKpinmainUI editor;
  PinmainZoom atOne, zoomed, back, fitted, fromFit, again;
  const int32_t fitZoom = static_cast<int32_t>(static_cast<float>(640) / kWidth * 10000.0f);
  const int32_t aboveFit = fitZoom + (10000 - fitZoom) / 16;
  driver_.Advance(0.6)
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "1:1");
        atOne = editor.ViewZoom();
        // The picture's corner, one pixel a view pixel.
        EXPECT_EQ(atOne.left, 0);
        EXPECT_EQ(atOne.top, 0);
      })
      .Press(kMain, kZoomIn)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 14375, "+");
        zoomed = editor.ViewZoom();
      })
      .Press(kMain, kZoomOut)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "-");
        back = editor.ViewZoom();
      })
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "1:1 again");
        EXPECT_EQ(editor.ViewZoom(), back);
      })
      .Press(kMain, kFit)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, fitZoom, "Fit");
        fitted = editor.ViewZoom();
        // At Fit only 1:1 leaves it: the steps and the slider are hidden.
        for (int32_t id : {kZoomIn, kZoomOut, kZoomSlider})
          EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kMain, id))) << id;
      })
      .Press(kMain, kZoomIn)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, aboveFit, "+ from Fit");
        fromFit = editor.ViewZoom();
      })
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "1:1 after + from Fit");
        again = editor.ViewZoom();
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
  // + and - keep the middle of the part shown (within a pixel of rounding).
  EXPECT_NEAR(CentreX(zoomed), CentreX(atOne), 1.0);
  EXPECT_NEAR(CentreY(zoomed), CentreY(atOne), 1.0);
  EXPECT_NEAR(CentreX(back), CentreX(zoomed), 1.0);
  // Fit shows the whole picture; + from Fit zooms about its middle, and 1:1
  // after it shows the middle of what that zoom showed.
  EXPECT_EQ(fitted.shownWidth, 640);
  EXPECT_NEAR(CentreX(fromFit), kWidth / 2.0, 1.0);
  EXPECT_NEAR(CentreY(fromFit), kHeight / 2.0, 1.0);
  EXPECT_NEAR(CentreX(again), CentreX(fromFit), 1.0);
  EXPECT_NEAR(CentreY(again), CentreY(fromFit), 1.0);
}

// The slider's zoom lies between two table steps: the text says it, the view
// shows it, and - and + go to the steps below and above it.
TEST_F(PinmainZoomTest, TheSliderAndTheStepsAroundItsZoom) {
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Slide(kMain, kZoomSlider, 130)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { ExpectShows(editor, w, 31000, "slider at 130"); })
      .Press(kMain, kZoomOut)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { ExpectShows(editor, w, 27500, "- from the slider's zoom"); })
      .Slide(kMain, kZoomSlider, 130)
      .Advance(0.6)
      .Press(kMain, kZoomIn)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { ExpectShows(editor, w, 31875, "+ from the slider's zoom"); })
      .Slide(kMain, kZoomSlider, 40)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        const int32_t fitZoom = static_cast<int32_t>(static_cast<float>(640) / kWidth * 10000.0f);
        ExpectShows(editor, w, fitZoom + (10000 - fitZoom) * 40 / 100, "slider at 40");
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The navigator's frame dragged with the mouse moves the view at the same
// zoom; its corner dragged out shows the zoom at which the frame's part fills
// the view, and the frame then shows what the view shows.
TEST_F(PinmainZoomTest, TheNavigatorsFrameMovedAndResized) {
  VMKpinmainUI editor;
  PinmainZoom before, moved;
  Point centre{}, corner{};
  double perPixel = 0;
  // The frame's middle and its bottom-right corner in the window.
  const auto locate = [&] {
    const VMKimabox* nav = editor.navigator();
    const Rect bounds = tb::GetControlBounds(nav->state().view);
    const int32_t dw = nav->displayedWidth(), dh = nav->displayedHeight();
    const double ox = bounds.left + std::lround((nav->state().viewWidth - dw) * 0.5);
    const double oy = bounds.top + std::lround((nav->state().viewHeight - dh) * 0.5);
    const double sx = static_cast<double>(dw) / (kWidth - 1), sy = static_cast<double>(dh) / (kHeight - 1);
    perPixel = sx;
    const auto at = [&](double o, double s, int32_t size, int32_t unit) {
      return static_cast<int16_t>(std::lround(o + s * size * unit / 100000.0));
    };
    centre = Point{static_cast<int16_t>((at(oy, sy, kHeight, editor.pan[1]) + at(oy, sy, kHeight, editor.pan[3])) / 2),
                   static_cast<int16_t>((at(ox, sx, kWidth, editor.pan[0]) + at(ox, sx, kWidth, editor.pan[2])) / 2)};
    corner = Point{at(oy, sy, kHeight, editor.pan[3]), at(ox, sx, kWidth, editor.pan[2])};
  };
  // The drags go where the frame is once the window shows it: each is queued
  // by the step before it, as the last step so far. Each first rests where
  // it pressed (the frame's tracker counts its moves from the first place
  // the pointer is tracked at after the press).
  const auto resize = [&](tb::WindowRef) {
    const Point out{static_cast<int16_t>(corner.v + 20), static_cast<int16_t>(corner.h + 30)};
    driver_.Drag({corner, corner, out, out})
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          // A larger frame: a zoom below 144 %, whatever the text says.
          EXPECT_LT(editor.curZoom, 14375);
          EXPECT_GT(editor.curZoom, editor.zoomTable[editor.minIndex]);
          ExpectShows(editor, w, editor.curZoom, "frame resized");
          int32_t frame[4] = {};
          editor.navigator()->GetBufSSPan(&frame[0], &frame[1], &frame[2], &frame[3], 0);
          for (int k = 0; k < 4; ++k) EXPECT_EQ(frame[k], editor.pan[k]) << k;
        })
        .Press(kMain, kCancel);
  };
  const auto move = [&](tb::WindowRef) {
    before = editor.ViewZoom();
    locate();
    driver_
        .Drag({centre, centre, Point{static_cast<int16_t>(centre.v + 10), static_cast<int16_t>(centre.h + 20)},
               Point{static_cast<int16_t>(centre.v + 20), static_cast<int16_t>(centre.h + 40)},
               Point{static_cast<int16_t>(centre.v + 20), static_cast<int16_t>(centre.h + 40)}})
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          ExpectShows(editor, w, 14375, "frame moved");
          moved = editor.ViewZoom();
          EXPECT_NEAR(moved.left - before.left, 40 / perPixel, 3.0);
          EXPECT_NEAR(moved.top - before.top, 20 / perPixel, 3.0);
          locate();
        })
        .Do(resize);
  };
  driver_.Advance(0.6).Press(kMain, kOneToOne).Advance(0.6).Press(kMain, kZoomIn).Advance(0.6).Do(move);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A resize away from Fit shows 100 % about the middle of the part shown, in
// the view's new size.
TEST_F(PinmainZoomTest, AResizeKeepsTheMiddleAtOneToOne) {
  VMKpinmainUI editor;
  PinmainZoom zoomed;
  driver_.Advance(0.6)
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Press(kMain, kZoomIn)
      .Advance(0.6)
      .Do([&](tb::WindowRef) { zoomed = editor.ViewZoom(); })
      .Resize(900, 700)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "resized");
        EXPECT_NEAR(CentreX(editor.ViewZoom()), CentreX(zoomed), 1.0);
        EXPECT_NEAR(CentreY(editor.ViewZoom()), CentreY(zoomed), 1.0);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A picture smaller than the view is fitted into it enlarged: the text says
// that zoom at Fit, + goes on from it, and 1:1 shows the whole picture at
// 100 % in the middle of the view.
TEST_F(PinmainZoomTest, APictureSmallerThanTheViewSaysItsFittedZoom) {
  Open(320, 200);
  VMKpinmainUI editor;
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef w) { ExpectShows(editor, w, 20000, "Fit"); })
      .Press(kMain, kZoomIn)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { ExpectShows(editor, w, 10000 + 70000 * 5 / 32, "+ from Fit"); })
      .Press(kMain, kOneToOne)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        ExpectShows(editor, w, 10000, "1:1");
        EXPECT_EQ(editor.ViewZoom().left, 0);
        EXPECT_EQ(editor.ViewZoom().shownWidth, 320);
      })
      .Press(kMain, kCancel);
  EXPECT_EQ(editor.Do_PinmainDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
