// The effect dialogs' zoom: whatever zoom control is used, in whatever order,
// the zoom text says the scale the main view shows the picture at, and the
// view is filled wherever the picture at that scale is larger than it. Each
// kind of dialog frame is walked through 1:1, +, -, 1:1, Fit, +, 1:1, the
// slider and the navigator's frame on a picture of another shape than its
// view, its view showing the picture before the effect: at Fit the pixels the
// fitted preview samples, away from Fit below 100 % the pixel each view pixel
// samples at that zoom, and at and above 100 % the picture's own pixel under
// each view pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/content_aware_dialog.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/grid_warp_dialog.h"
#include "dialogs/correction/lens_correction_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "dialogs/frame/zoom_pan.h"
#include "engines/correction/resize_record.h"
#include "views/image_box.h"
#include "views/view_geometry.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kFit = 109, kOneToOne = 110;

// The controls of a dialog's zoom.
struct ZoomIds {
  OSType sig;
  int32_t text, slider, out, in;
  int32_t previewRadio = -1;  // its first choice shows the picture before the effect
};

std::string LabelOf(int32_t zoom) {
  char text[32];
  std::snprintf(text, sizeof text, "%3.0f%%",
                static_cast<double>(static_cast<float>(zoom) / 100.0f));
  return text;
}

class EffectZoomTest : public vmktest::ColCorDialogTest {
 protected:
  void Open(int16_t width, int16_t height) {
    Start(width, height);
    UsePhoto();
    width_ = width;
    height_ = height;
  }

  uint8_t Picture(int32_t x, int32_t y, int k) const {
    return photo_.rowPtr(static_cast<uint32_t>(y))[4 * x + k];
  }

  // A smooth picture in place of the grainy one: ramps and a slow wave.
  void Smooth() {
    for (int32_t y = 0; y < height_; ++y)
      for (int32_t x = 0; x < width_; ++x) {
        uint8_t* p = photo_.rowPtr(static_cast<uint32_t>(y)) + 4 * x;
        p[0] = static_cast<uint8_t>(x * 255 / width_);
        p[1] = static_cast<uint8_t>(y * 255 / height_);
        p[2] = static_cast<uint8_t>(128 + 100 * std::sin(static_cast<double>(x + y) / 60.0));
      }
  }

  // The zoom table the dialog's view and picture make.
  struct Table {
    int32_t entries[kZoomEntries] = {};
    int32_t lo = 0, mid = 16, hi = 32;
  };
  Table TableOf(const EffectDialog& dlg) const {
    Table t;
    const ImaboxState& s = dlg.mainView()->state();
    FillZoomTable(t.entries, FitScaleOf(s.viewWidth, s.viewHeight, width_, height_), &t.lo, &t.mid,
                  &t.hi);
    return t;
  }

  // The zoom text says `zoom` (at Fit: `zoom` is the fitted one), and the
  // view shows the picture at that scale: as many view pixels as the picture
  // has at it, at most the view's, and in each the picture's pixel there.
  void ExpectShows(EffectDialog& dlg, tb::WindowRef w, const ZoomIds& ids, int32_t zoom,
                   const std::string& where) {
    SCOPED_TRACE(where);
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, ids.sig, ids.text)), LabelOf(zoom));
    const VMKimabox* view = dlg.mainView();
    const int32_t vw = view->state().viewWidth, vh = view->state().viewHeight;
    const int32_t dw = view->displayedWidth(), dh = view->displayedHeight();
    const bool fit = dlg.fitFlag == 1;
    // At Fit the preview's own scale: the picture's first to last pixel over
    // the view on the side it fills.
    const float fitStep = std::max(static_cast<float>(width_ - 1) / static_cast<float>(vw),
                                   static_cast<float>(height_ - 1) / static_cast<float>(vh));
    vmkviews::ShownPart part;
    if (fit) {
      part.step = fitStep;
    } else {
      EXPECT_EQ(dlg.curZoom, zoom);
      part = vmkviews::ShownPartOf(dlg.pan, zoom, width_, height_, vw, vh);
      EXPECT_DOUBLE_EQ(part.step, 10000.0 / zoom);
      EXPECT_EQ(dw, std::min<int32_t>(vw, static_cast<int32_t>(std::lround(width_ / part.step))));
      EXPECT_EQ(dh, std::min<int32_t>(vh, static_cast<int32_t>(std::lround(height_ / part.step))));
      EXPECT_EQ(dw, part.shownWidth);
      EXPECT_EQ(dh, part.shownHeight);
      // The part shown lies inside the picture.
      EXPECT_GE(part.left, 0);
      EXPECT_GE(part.top, 0);
      EXPECT_LT(part.left + (dw - 1) * part.step, width_);
      EXPECT_LT(part.top + (dh - 1) * part.step, height_);
    }
    if (fit) {
      // The side that is relatively wider fills the view.
      const bool wider = static_cast<float>(width_ - 1) / static_cast<float>(vw) >
                         static_cast<float>(height_ - 1) / static_cast<float>(vh);
      EXPECT_EQ(dw, wider ? vw
                          : std::max<int32_t>(
                                1, static_cast<int32_t>(int64_t{width_ - 1} * vh / (height_ - 1))));
      EXPECT_EQ(dh, wider ? std::max<int32_t>(
                                1, static_cast<int32_t>(int64_t{height_ - 1} * vw / (width_ - 1)))
                          : vh);
    }
    const std::vector<int32_t> columns =
        Samples(part.left, part.step, dw, width_, fit || !ownPixels_, true);
    const std::vector<int32_t> rows =
        Samples(part.top, part.step, dh, height_, fit || !ownPixels_, false);
    int wrong = 0, worst = 0;
    double sum = 0.0;
    std::string first;
    for (int32_t y = 0; y < dh; ++y)
      for (int32_t x = 0; x < dw; ++x) {
        const uint8_t* got = view->displayBuffer() + 4 * ((dh - 1 - y) * vw + x);
        for (int k = 0; k < 3; ++k) {
          const int d = std::abs(got[k] - Picture(columns[x], rows[y], k));
          sum += d;
          worst = std::max(worst, d);
          if (d > worst_) {
            if (wrong++ == 0)
              first = "view (" + std::to_string(x) + ", " + std::to_string(y) + ") channel " +
                      std::to_string(k) + " is " + std::to_string(got[k]) + ", the picture's (" +
                      std::to_string(columns[x]) + ", " + std::to_string(rows[y]) + ") " +
                      std::to_string(Picture(columns[x], rows[y], k));
          }
        }
      }
    EXPECT_EQ(wrong, 0) << first;
    if (worst_ > 0) {
      EXPECT_LE(sum / (3.0 * dw * dh), mean_);
    }
  }

  // The picture pixel each view pixel of a side shows: at and above 100 %
  // the one under its middle; below it (and at Fit) the one the preview's
  // reader samples, trunc(step x j + 0.5) in single precision, rows stepped
  // by a running single-precision sum.
  static std::vector<int32_t> Samples(int32_t first, double step, int32_t count, int32_t picture,
                                      bool fitted, bool columns) {
    std::vector<int32_t> out(static_cast<size_t>(count));
    if (!fitted && step <= 1.0) {
      for (int32_t j = 0; j < count; ++j)
        out[j] = std::min(picture - 1, first + static_cast<int32_t>(std::floor((j + 0.5) * step)));
      return out;
    }
    const auto stepF = static_cast<float>(step);
    float total = 0.0f;
    for (int32_t j = 0; j < count; ++j) {
      if (columns) {
        const double at = static_cast<double>(stepF * static_cast<float>(j)) + 0.5;
        out[j] = std::min(picture - 1, first + (at >= 1.0 ? static_cast<int32_t>(at) : 0));
      } else {
        out[j] =
            std::min(picture - 1,
                     first + static_cast<int32_t>(std::trunc(static_cast<double>(total) + 0.5)));
        total += stepF;
      }
    }
    return out;
  }

  static double CentreX(const EffectDialog& dlg, int32_t width) {
    return PanCentreOf(width, dlg.pan[0], dlg.pan[2]);
  }
  static double CentreY(const EffectDialog& dlg, int32_t height) {
    return PanCentreOf(height, dlg.pan[1], dlg.pan[3]);
  }

  // 1:1, +, -, 1:1, Fit, + and 1:1 in a row, then the slider and the steps
  // around its zoom, each shown as its text says; + and - keep the middle of
  // the part shown, 1:1 first shows the picture's corner, and 1:1 after +
  // from Fit the middle of what + showed. `settle` is how long the window
  // takes to show a press's preview.
  void WalkThePresses(EffectDialog& dlg, const ZoomIds& ids, double settle,
                      const std::function<void()>& prepare) {
    Table& t = table_;
    double& cx = cx_;
    double& cy = cy_;
    prepare();
    driver_.Advance(settle)
        .Do([&](tb::WindowRef w) {
          t = TableOf(dlg);
          ExpectShows(
              dlg, w, ids,
              FittedZoom(dlg.mainView()->state().viewWidth, dlg.mainView()->state().viewHeight,
                         width_, height_, t.entries[t.lo]),
              "opened at Fit");
        })
        .Press(ids.sig, kOneToOne)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids, 10000, "1:1");
          const vmkviews::ShownPart part =
              vmkviews::ShownPartOf(dlg.pan, 10000, width_, height_, 1, 1);
          EXPECT_EQ(part.left, 0);
          EXPECT_EQ(part.top, 0);
          cx = CentreX(dlg, width_);
          cy = CentreY(dlg, height_);
        })
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids, t.entries[17], "+");
          EXPECT_NEAR(CentreX(dlg, width_), cx, 1.0);
          EXPECT_NEAR(CentreY(dlg, height_), cy, 1.0);
        })
        .Press(ids.sig, ids.out)
        .Advance(settle)
        .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, ids, 10000, "-"); })
        .Press(ids.sig, kOneToOne)
        .Advance(settle)
        .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, ids, 10000, "1:1 again"); })
        .Press(ids.sig, kFit)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(
              dlg, w, ids,
              FittedZoom(dlg.mainView()->state().viewWidth, dlg.mainView()->state().viewHeight,
                         width_, height_, t.entries[t.lo]),
              "Fit");
        })
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids, ZoomAbove(t, FitZoomOf(dlg, t)), "+ from Fit");
          EXPECT_NEAR(CentreX(dlg, width_), width_ / 2.0, 1.0);
          EXPECT_NEAR(CentreY(dlg, height_), height_ / 2.0, 1.0);
          cx = CentreX(dlg, width_);
          cy = CentreY(dlg, height_);
        })
        .Press(ids.sig, kOneToOne)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids, 10000, "1:1 after + from Fit");
          EXPECT_NEAR(CentreX(dlg, width_), cx, 1.0);
          EXPECT_NEAR(CentreY(dlg, height_), cy, 1.0);
        })
        .Slide(ids.sig, ids.slider, 130)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids,
                      t.entries[t.mid] + (t.entries[t.hi] - t.entries[t.mid]) * 30 / 100,
                      "slider at 130");
        })
        .Press(ids.sig, ids.out)
        .Advance(settle)
        .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, ids, 27500, "- from the slider's zoom"); })
        .Slide(ids.sig, ids.slider, 130)
        .Advance(settle)
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, ids, 31875, "+ from the slider's zoom"); })
        .Slide(ids.sig, ids.slider, 40)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids,
                      t.entries[t.lo] + (t.entries[t.mid] - t.entries[t.lo]) * 40 / 100,
                      "slider at 40");
        })
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Slide(ids.sig, ids.slider, 200)
        .Advance(settle)
        .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, ids, 80000, "slider at its end"); });
  }

  static int32_t FitZoomOf(const EffectDialog& dlg, const Table& t) {
    return FittedZoom(dlg.mainView()->state().viewWidth, dlg.mainView()->state().viewHeight,
                      dlg.imageWidth, dlg.imageHeight, t.entries[t.lo]);
  }
  static int32_t ZoomAbove(const Table& t, int32_t zoom) {
    for (int32_t k = t.lo; k <= t.hi; ++k)
      if (t.entries[k] > zoom) return t.entries[k];
    return t.entries[t.hi];
  }

  // The navigator's frame dragged by its middle moves the view at the same
  // zoom; its corner dragged out shows the zoom at which the frame's part
  // fills the view, and the frame then shows what the view shows.
  void WalkTheNavigator(EffectDialog& dlg, const ZoomIds& ids, double settle,
                        const std::function<void()>& prepare) {
    const auto locate = [this, &dlg] {
      Place& at = place_;
      const VMKimabox* nav = dlg.navigator();
      const Rect bounds = tb::GetControlBounds(nav->state().view);
      const int32_t dw = nav->displayedWidth(), dh = nav->displayedHeight();
      const double ox = bounds.left + std::lround((nav->state().viewWidth - dw) * 0.5);
      const double oy = bounds.top + std::lround((nav->state().viewHeight - dh) * 0.5);
      const double sx = static_cast<double>(dw) / (width_ - 1),
                   sy = static_cast<double>(dh) / (height_ - 1);
      at.perPixel = sx;
      const auto place = [&](double o, double s, int32_t size, int32_t unit) {
        return static_cast<int16_t>(std::lround(o + s * size * unit / 100000.0));
      };
      const auto middle = [&](double o, double s, int32_t size, int32_t from, int32_t to) {
        return static_cast<int16_t>((place(o, s, size, from) + place(o, s, size, to)) / 2);
      };
      at.centre = Point{middle(oy, sy, height_, dlg.pan[1], dlg.pan[3]),
                        middle(ox, sx, width_, dlg.pan[0], dlg.pan[2])};
      at.corner = Point{place(oy, sy, height_, dlg.pan[3]), place(ox, sx, width_, dlg.pan[2])};
    };
    const auto resize = [this, &dlg, &ids, settle](tb::WindowRef) {
      Place& at = place_;
      const Point out{static_cast<int16_t>(at.corner.v + 12),
                      static_cast<int16_t>(at.corner.h + 18)};
      driver_.Drag({at.corner, at.corner, out, out})
          .Advance(settle)
          .Do([this, &dlg, &ids](tb::WindowRef w) {
            const Table t = TableOf(dlg);
            // A larger frame: a zoom below the one before, whatever it is.
            EXPECT_LT(dlg.curZoom, t.entries[17]);
            EXPECT_GT(dlg.curZoom, t.entries[t.lo]);
            ExpectShows(dlg, w, ids, dlg.curZoom, "frame resized");
            int32_t frame[4] = {};
            dlg.navigator()->GetBufSSPan(&frame[0], &frame[1], &frame[2], &frame[3], 0);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(frame[k], dlg.pan[k]) << k;
          });
    };
    const auto move = [this, &dlg, &ids, settle, locate, resize](tb::WindowRef) {
      Place& at = place_;
      locate();
      const vmkviews::ShownPart before =
          vmkviews::ShownPartOf(dlg.pan, dlg.curZoom, width_, height_, 1, 1);
      leftBefore_ = before.left;
      topBefore_ = before.top;
      const Point c = at.centre;
      driver_
          .Drag({c, c, Point{static_cast<int16_t>(c.v + 5), static_cast<int16_t>(c.h + 10)},
                 Point{static_cast<int16_t>(c.v + 10), static_cast<int16_t>(c.h + 20)},
                 Point{static_cast<int16_t>(c.v + 10), static_cast<int16_t>(c.h + 20)}})
          .Advance(settle)
          .Do([this, &dlg, &ids, locate](tb::WindowRef w) {
            const Table t = TableOf(dlg);
            ExpectShows(dlg, w, ids, t.entries[17], "frame moved");
            const vmkviews::ShownPart moved =
                vmkviews::ShownPartOf(dlg.pan, dlg.curZoom, width_, height_, 1, 1);
            EXPECT_NEAR(moved.left - leftBefore_, 20 / place_.perPixel, 4.0);
            EXPECT_NEAR(moved.top - topBefore_, 10 / place_.perPixel, 4.0);
            locate();
          })
          .Do(resize);
    };
    prepare();
    driver_.Advance(settle)
        .Press(ids.sig, kOneToOne)
        .Advance(settle)
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Do(move);
  }

  // A resize of the window away from Fit keeps the zoom, about the middle of
  // the part shown, in the view's new size.
  void WalkAResize(EffectDialog& dlg, const ZoomIds& ids, double settle,
                   const std::function<void()>& prepare) {
    double& cx = cx_;
    double& cy = cy_;
    int32_t& zoom = zoom_;
    prepare();
    driver_.Advance(settle)
        .Press(ids.sig, kOneToOne)
        .Advance(settle)
        .Press(ids.sig, ids.in)
        .Advance(settle)
        .Do([&](tb::WindowRef) {
          cx = CentreX(dlg, width_);
          cy = CentreY(dlg, height_);
          zoom = dlg.curZoom;
        })
        .Resize(1100, 800)
        .Advance(settle)
        .Do([&](tb::WindowRef w) {
          ExpectShows(dlg, w, ids, zoom, "resized");
          EXPECT_NEAR(CentreX(dlg, width_), cx, 1.0);
          EXPECT_NEAR(CentreY(dlg, height_), cy, 1.0);
        });
  }

  int32_t width_ = 0, height_ = 0;
  // How near the view's pixels must come to the picture's: exactly, or, for
  // a preview that shows the picture resampled (the grid warp's), within
  // `worst_` levels and `mean_` on average. A view that shows the picture's
  // own pixels at and above 100 % shows the one under each view pixel's
  // middle; one that samples it as below 100 % (the grid warp's) the one the
  // reader takes.
  int worst_ = 0;
  double mean_ = 0.0;
  void CloseGrid();
  bool ownPixels_ = true;
  // What a walk's later steps compare with its earlier ones: the steps run
  // once the dialog runs, after the walk has returned.
  struct Place {
    Point centre{}, corner{};
    double perPixel = 0;
  };
  Table table_;
  double cx_ = 0, cy_ = 0;
  int32_t zoom_ = 0, leftBefore_ = 0, topBefore_ = 0;
  Place place_;
};

// ---- the colour-correction dialogs ----

constexpr ZoomIds kNoise{FourCC("Dnoi"), 11, 13, 23, 24, 7};
constexpr ZoomIds kSmoothing{FourCC("Glim"), 11, 13, 23, 24, 7};
constexpr ZoomIds kFocus{FourCC("Kfoc"), 12, 14, 24, 25, 8};
constexpr ZoomIds kMixer{FourCC("Cmix"), 11, 13, 23, 24, 7};

// Each of the four on a landscape and a portrait picture larger than its
// 500 x 400 view, and on a long one lower than the view up to 133 %: before,
// the 1:1 rectangle was 500 picture pixels square and every zoom a square of
// the picture shown fitted into the view, with bands of the picture's shape;
// + and - from there kept the text's steps and not what the view showed.
TEST_F(EffectZoomTest, TheColourCorrectionDialogsShowWhatTheirZoomTextSays) {
  for (const auto& size : {std::pair<int16_t, int16_t>{1500, 1000}, {700, 1300}, {2600, 300}}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    const auto before = [&](const ZoomIds& ids) {
      return [&] { driver_.Advance(0.1).Choose(ids.sig, ids.previewRadio, 1); };
    };
    {
      Open(size.first, size.second);
      VMKdnoiUI dlg;
      WalkThePresses(dlg, kNoise, 3.1, before(kNoise));
      driver_.Press(kNoise.sig, 102);
      EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
    }
    {
      Open(size.first, size.second);
      VMKglimUI dlg;
      WalkThePresses(dlg, kSmoothing, 3.1, before(kSmoothing));
      driver_.Press(kSmoothing.sig, 102);
      EXPECT_EQ(dlg.Do_GlimDlg(), 0);
    }
    {
      Open(size.first, size.second);
      VMKkevrUI dlg;
      WalkThePresses(dlg, kFocus, 3.1, before(kFocus));
      driver_.Press(kFocus.sig, 102);
      EXPECT_EQ(dlg.Do_KevrDlg(), 0);
    }
    {
      Open(size.first, size.second);
      VMKcmixUI dlg;
      WalkThePresses(dlg, kMixer, 3.1, before(kMixer));
      driver_.Press(kMixer.sig, 102);
      EXPECT_EQ(dlg.Do_CMixDlg(), 0);
    }
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectZoomTest, TheColourCorrectionNavigatorsFrameMovesAndResizesTheView) {
  Open(1500, 1000);
  VMKdnoiUI dlg;
  WalkTheNavigator(dlg, kNoise, 3.1,
                   [&] { driver_.Advance(0.1).Choose(kNoise.sig, kNoise.previewRadio, 1); });
  driver_.Press(kNoise.sig, 102);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectZoomTest, AResizedColourCorrectionWindowKeepsItsZoom) {
  Open(1500, 1000);
  VMKdnoiUI dlg;
  WalkAResize(dlg, kNoise, 3.1,
              [&] { driver_.Advance(0.1).Choose(kNoise.sig, kNoise.previewRadio, 1); });
  driver_.Press(kNoise.sig, 102);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// A picture smaller than the view is fitted into it enlarged: the text says
// that zoom at Fit, + goes on from it, and 1:1 shows the whole picture at
// 100 % in the middle of the view.
TEST_F(EffectZoomTest, APictureSmallerThanTheViewSaysItsFittedZoom) {
  Open(400, 300);
  VMKdnoiUI dlg;
  driver_.Advance(0.1)
      .Choose(kNoise.sig, kNoise.previewRadio, 1)
      .Advance(3.1)
      .Do([&](tb::WindowRef w) { ExpectShows(dlg, w, kNoise, 12500, "Fit"); })
      .Press(kNoise.sig, kNoise.in)
      .Advance(3.1)
      .Do([&](tb::WindowRef w) {
        ExpectShows(dlg, w, kNoise, 10000 + 70000 * 2 / 32, "+ from Fit");
      })
      .Press(kNoise.sig, kOneToOne)
      .Advance(3.1)
      .Do([&](tb::WindowRef w) {
        ExpectShows(dlg, w, kNoise, 10000, "1:1");
        EXPECT_EQ(dlg.mainView()->displayedWidth(), 400);
        EXPECT_EQ(dlg.mainView()->displayedHeight(), 300);
      })
      .Press(kNoise.sig, 102);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- lens correction ----

constexpr ZoomIds kLens{FourCC("Zond"), 12, 14, 24, 25, 8};

TEST_F(EffectZoomTest, TheLensCorrectionShowsWhatItsZoomTextSays) {
  for (const auto& size : {std::pair<int16_t, int16_t>{1500, 1000}, {700, 1300}}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    Open(size.first, size.second);
    VMKzondracUI dlg;
    WalkThePresses(dlg, kLens, 3.1,
                   [&] { driver_.Advance(0.1).Choose(kLens.sig, kLens.previewRadio, 1); });
    driver_.Press(kLens.sig, 102);
    EXPECT_EQ(dlg.Do_ZondracDlg(), 0);
  }
  Open(1500, 1000);
  VMKzondracUI dlg;
  WalkTheNavigator(dlg, kLens, 3.1,
                   [&] { driver_.Advance(0.1).Choose(kLens.sig, kLens.previewRadio, 1); });
  driver_.Press(kLens.sig, 102);
  EXPECT_EQ(dlg.Do_ZondracDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- grid warp ----

constexpr ZoomIds kGrid{FourCC("Grid"), 11, 13, 24, 25};

// Cancel, and the question the grid warp asks on closing answered with
// closing.
void CloseGridOn(plat::tb::test::Driver& driver) {
  driver.Press(kGrid.sig, 102).Press(FourCC("Aler"), 1);
}

void EffectZoomTest::CloseGrid() {
  CloseGridOn(driver_);
}

// The grid warp pulls from anywhere in the picture, so its preview warps the
// whole picture read at the view's own size and shows the part the zoom
// says: on a smooth picture its regular grid shows the picture within a few
// levels, at every zoom. Without its preview the view shows the picture
// itself, the part the zoom says.
TEST_F(EffectZoomTest, TheGridWarpShowsWhatItsZoomTextSays) {
  worst_ = 10;
  mean_ = 1.5;
  ownPixels_ = false;
  for (const bool preview : {true, false})
    for (const auto& size : {std::pair<int16_t, int16_t>{1500, 1000}, {700, 1300}}) {
      SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second) +
                   (preview ? "" : ", without the preview"));
      Open(size.first, size.second);
      Smooth();
      VMKgridUI dlg;
      WalkThePresses(dlg, kGrid, 1.1, [&] {
        if (!preview) driver_.Advance(0.1).Press(kGrid.sig, 40);
      });
      CloseGrid();
      EXPECT_EQ(dlg.Do_GridDlg(0), 0);
    }
  Open(1500, 1000);
  Smooth();
  VMKgridUI dlg;
  WalkTheNavigator(dlg, kGrid, 1.1, [] {});
  CloseGrid();
  EXPECT_EQ(dlg.Do_GridDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- content-aware resize ----

constexpr ZoomIds kYoxel{FourCC("Yoxl"), 12, 14, 24, 25};

// Only painting a mask zooms: its view shows the picture with the masks
// (empty here) over it.
TEST_F(EffectZoomTest, TheContentAwarePaintingViewShowsWhatItsZoomTextSays) {
  const auto paint = [&] {
    // The kind that paints, then the protect mask's brush.
    driver_.Advance(0.1).Choose(kYoxel.sig, 7, 9).Press(kYoxel.sig, 57).Advance(0.6);
  };
  for (const auto& size : {std::pair<int16_t, int16_t>{1500, 1000}, {700, 1300}}) {
    SCOPED_TRACE(std::to_string(size.first) + " x " + std::to_string(size.second));
    Open(size.first, size.second);
    VMKyoxelUI dlg;
    WalkThePresses(dlg, kYoxel, 0.6, paint);
    driver_.Press(kYoxel.sig, 102);
    EXPECT_EQ(dlg.Do_YoxelDlg(), 0);
  }
  Open(1500, 1000);
  VMKyoxelUI dlg;
  WalkTheNavigator(dlg, kYoxel, 0.6, paint);
  driver_.Press(kYoxel.sig, 102);
  EXPECT_EQ(dlg.Do_YoxelDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
