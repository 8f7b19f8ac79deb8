// The zoom arithmetic every zoomed view shares (the effect dialogs and the
// layered editor): the part a view shows at a zoom, the steps from the zoom
// shown, the fitted zoom and the navigator's frame read back.
#include "dialogs/frame/zoom_pan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "views/view_geometry.h"

namespace {

struct Size {
  int32_t w, h;
};

// Pictures of every shape against the views the dialogs have (and one much
// smaller than any), at zooms from below Fit to the table's largest.
constexpr Size kPictures[] = {{1500, 1000}, {1000, 1500}, {999, 1001}, {7000, 333},
                              {400, 300},   {1, 1},       {6000, 4000}};
constexpr Size kViews[] = {{500, 400}, {500, 500}, {640, 480}, {37, 900}};
constexpr int32_t kZooms[] = {100,   2500,  3333,  4166,  9999, 10000,
                              10001, 14375, 31000, 45000, 80000};

// A side of the part: as many view pixels as the picture has at the zoom,
// at most the view's; never less than the view's where the picture at the
// zoom is larger than the view (no band); inside the picture.
TEST(PanAtZoom, ThePartIsTheViewsSizeAtTheZoomAndLiesInsideThePicture) {
  for (const Size p : kPictures)
    for (const Size v : kViews)
      for (const int32_t zoom : kZooms)
        for (const double cx : {-50.0, 0.0, 0.37 * p.w, 0.5 * p.w, p.w - 1.0, p.w + 80.0})
          for (const double cy : {-3.0, 0.5 * p.h, p.h + 1.0}) {
            SCOPED_TRACE(testing::Message() << p.w << "x" << p.h << " in " << v.w << "x" << v.h
                                            << " at " << zoom << " about " << cx << "," << cy);
            int32_t pan[4] = {0, 0, 100000, 100000};
            PanAtZoom(pan, cx, cy, zoom, v.w, v.h, p.w, p.h);
            const vmkviews::ShownPart part = vmkviews::ShownPartOf(pan, zoom, p.w, p.h, v.w, v.h);
            const double step = 10000.0 / zoom;
            EXPECT_DOUBLE_EQ(part.step, step);
            EXPECT_GE(part.left, 0);
            EXPECT_GE(part.top, 0);
            for (int axis = 0; axis < 2; ++axis) {
              const int32_t picture = axis == 0 ? p.w : p.h, view = axis == 0 ? v.w : v.h;
              const int32_t shown = axis == 0 ? part.shownWidth : part.shownHeight;
              const int32_t first = axis == 0 ? part.left : part.top;
              const double atZoom = picture / step;
              if (atZoom >= view) {
                EXPECT_EQ(shown, view) << axis;
              } else {
                EXPECT_EQ(shown, std::max<int32_t>(1, static_cast<int32_t>(std::lround(atZoom))))
                    << axis;
                EXPECT_EQ(first, 0) << axis;
              }
              // The view's last pixel still shows a pixel of the picture.
              EXPECT_LT(first + (shown - 1) * step, picture) << axis;
            }
            // Planned again about its own middle, the part stays where it is:
            // a press of 1:1 at 1:1 shows what it showed.
            int32_t again[4] = {0, 0, 0, 0};
            PanAtZoom(again, PanCentreOf(p.w, pan[0], pan[2]), PanCentreOf(p.h, pan[1], pan[3]),
                      zoom, v.w, v.h, p.w, p.h);
            for (int k = 0; k < 4; ++k) EXPECT_EQ(again[k], pan[k]) << k;
          }
}

// About a point well inside the picture the part's middle is that point,
// within half a pixel of rounding.
TEST(PanAtZoom, ThePartIsCentredOnItsPoint) {
  int32_t pan[4] = {};
  PanAtZoom(pan, 750.0, 500.0, 14375, 500, 400, 1500, 1000);
  const vmkviews::ShownPart part = vmkviews::ShownPartOf(pan, 14375, 1500, 1000, 500, 400);
  EXPECT_NEAR(part.left + part.shownWidth * part.step / 2, 750.0, 0.5 + part.step);
  EXPECT_NEAR(part.top + part.shownHeight * part.step / 2, 500.0, 0.5 + part.step);
  // 1:1 about the corner shows the corner, the view's size of it.
  PanAtZoom(pan, 0.0, 0.0, 10000, 500, 400, 1500, 1000);
  EXPECT_EQ(vmkviews::ShownPartOf(pan, 10000, 1500, 1000, 500, 400),
            (vmkviews::ShownPart{1.0, 0, 0, 500, 400}));
  EXPECT_EQ(pan[2], vmkviews::ZoomUnitOf(1500, 500));
  EXPECT_EQ(pan[3], 40000);
}

// A side of up to 100000 pixels goes to units and back to the same pixel.
TEST(ZoomUnits, EveryPixelComesBack) {
  for (const int32_t size : {1, 2, 3, 499, 500, 1500, 6000, 65535, 99999, 100000})
    for (int32_t x = 0; x <= size; x += std::max(1, size / 997)) {
      const int32_t unit = vmkviews::ZoomUnitOf(size, x);
      EXPECT_EQ(std::llround(vmkviews::ZoomPixelOf(size, unit)), x) << size << " " << x;
    }
}

// '+' and '-' go to the next entry above or below the zoom shown, also when
// the slider or the navigator left it between two entries, and stay at the
// table's ends.
TEST(ZoomStepIndex, StepsFromTheZoomShown) {
  int32_t table[kZoomEntries];
  int32_t lo = 0, mid = 0, hi = 0;
  FillZoomTable(table, 3333, &lo, &mid, &hi);
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 10000, 1), 17);
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 10000, -1), 15);
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 31000, 1), 21);   // 31875
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 31000, -1), 20);  // 27500
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 80000, 1), hi);
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 3333, -1), lo);
  EXPECT_EQ(ZoomStepIndex(table, lo, hi, 2000, 1), lo);
}

// The table starts where the whole picture fits the view; at Fit the text
// says that, or the zoom a smaller picture is enlarged to.
TEST(FittedZoom, TheTableStartsAtFitAndASmallPictureSaysItsEnlargement) {
  EXPECT_EQ(FitScaleOf(500, 400, 1500, 1000), 3333);
  EXPECT_EQ(FitScaleOf(500, 400, 1000, 1500), 2666);
  EXPECT_EQ(FitScaleOf(500, 400, 400, 300), 10000);
  EXPECT_EQ(FittedZoom(500, 400, 1500, 1000, 3333), 3333);
  EXPECT_EQ(FittedZoom(500, 400, 400, 300, 10000), 12500);
  EXPECT_EQ(FittedZoom(0, 0, 400, 300, 10000), 10000);
}

// The frame moved by a pixel or two of the navigator keeps the zoom; resized,
// it reads back the zoom at which its part fills the view (the zoom it was
// planned for), held within the table.
TEST(NavigatorFrameZoom, AMovedFrameKeepsTheZoomAResizedOneShowsItsPart) {
  for (const int32_t zoom : {3333, 4166, 10000, 14375, 45000, 80000}) {
    int32_t pan[4] = {};
    PanAtZoom(pan, 600.0, 400.0, zoom, 500, 400, 1500, 1000);
    int32_t moved[4] = {pan[0] + 1200, pan[1] + 700, pan[2] + 1200, pan[3] + 700};
    EXPECT_EQ(NavigatorFrameZoom(moved, pan, zoom, 500, 400, 1500, 1000, 3333, 80000), zoom);
    // The same part seen by a view of another zoom: read back as this one.
    int32_t other[4] = {};
    PanAtZoom(other, 600.0, 400.0, 10000, 500, 400, 1500, 1000);
    if (other[2] - other[0] == pan[2] - pan[0]) continue;
    if (pan[2] - pan[0] >= 100000) continue;  // the whole width: the height decides
    const int32_t read = NavigatorFrameZoom(pan, other, 10000, 500, 400, 1500, 1000, 3333, 80000);
    EXPECT_NEAR(read, zoom, zoom / 100 + 30) << zoom;
  }
  int32_t pan[4] = {0, 0, 33333, 40000};
  const int32_t tiny[4] = {0, 0, 10, 10};
  EXPECT_EQ(NavigatorFrameZoom(tiny, pan, 10000, 500, 400, 1500, 1000, 3333, 80000), 80000);
  const int32_t whole[4] = {0, 0, 100000, 100000};
  EXPECT_EQ(NavigatorFrameZoom(whole, pan, 10000, 500, 400, 1500, 1000, 3333, 80000), 3333);
}

}  // namespace
