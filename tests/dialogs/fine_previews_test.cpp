// The windows that render their own pictures (the texture generator, the
// photo repeat's source, the content-aware navigator, the compose chooser's
// slots and the image-tools preview) on a window of ratio 1 and of ratio 2:
// at 2 each renders at the device pixels and the screen shows the render
// one to one, while a press lands on the same point at both ratios.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dialogs/correction/content_aware_fixture.h"
#include "dialogs/editor/compose_effect.h"
#include "dialogs/editor/tune_effect_fixture.h"
#include "dialogs/patterns/generator_fixture.h"
#include "dialogs/patterns/texture_dialog.h"
#include "dialogs/editor/browser_fixture.h"
#include "dialogs/photo/repeat_fixture.h"
#include "platform/draw/port.h"
#include "platform/toolbox/test_driver.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"

// Qt's keyword macro; the chooser names its preview slots so.
#undef slots

namespace tb = plat::tb;

namespace {

constexpr int kScales[] = {1, 2};

// A picture of one-pixel black and white squares: a render that passes
// through the view's size anywhere on its way loses it.
PixelBuffer Checkerboard(uint32_t w, uint32_t h) {
  PixelBuffer photo(w, h, 1, 4);
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      uint8_t* p = photo.rowPtr(y) + 4 * x;
      p[0] = p[1] = p[2] = (x + y) % 2 == 0 ? 0 : 255;
      p[3] = 255;
    }
  return photo;
}

// What a box shows on its window's port.
struct Shown {
  int64_t pixels = 0;     // device pixels of the picture compared
  int64_t oneToOne = 0;   // of them, the fine display's own pixel
  int64_t detailed = 0;   // of them, unlike the first of their view pixel's block
};

// The box's picture on the port, inside the view's one-pixel frame, against
// the box's fine display (its bottom row is the screen's lowest). Empty at
// ratio 1, where the box keeps no fine display.
Shown Measure(tb::WindowRef w, tb::ControlRef view, VMKimabox* box) {
  Shown s;
  const plat::draw::Port* port = tb::GetWindowPort(w);
  const uint8_t* fine = box->fineBuffer();
  const int k = box->fineScale();
  if (port == nullptr || fine == nullptr || k < 2 || port->backingScale() != k) return s;
  const Rect b = tb::GetControlBounds(view);
  const int32_t vw = box->GetRectSizx(), vh = box->GetRectSizy();
  const int32_t dw = box->displayedWidth(), dh = box->displayedHeight();
  // The image rectangle as the box lays it out for drawing.
  const int left = static_cast<int>((vw - dw) * 0.5f + b.left + 0.5f);
  const int top = static_cast<int>((vh - dh) * 0.5f + b.top + 0.5f);
  const int x0 = std::max(0, b.left + 1 - left) * k, x1 = std::min(dw, b.right - 1 - left) * k;
  const int y0 = std::max(0, b.top + 1 - top) * k, y1 = std::min(dh, b.bottom - 1 - top) * k;
  auto at = [&](int x, int row) { return fine + (static_cast<int64_t>(row) * vw * k + x) * 4; };
  for (int y = y0; y < y1; ++y) {
    const int row = dh * k - 1 - y;
    for (int x = x0; x < x1; ++x) {
      const uint8_t* p = at(x, row);
      const uint32_t want = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      ++s.pixels;
      s.oneToOne += port->surface().pixel(left * k + x, top * k + y) == want;
      const uint8_t* first = at(x - x % k, row - row % k);
      s.detailed += p[0] != first[0] || p[1] != first[1] || p[2] != first[2];
    }
  }
  return s;
}

// At ratio 2 the picture is on the device pixels: the screen shows the fine
// display pixel for pixel (but for what overlays cover) and it holds detail
// below a view pixel; at ratio 1 there is no fine display at all.
void ExpectFine(tb::WindowRef w, tb::ControlRef view, VMKimabox* box, int scale, double detail) {
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(tb::GetControlBackingScale(view), scale);
  EXPECT_EQ(box->backingScale(), scale);
  if (scale == 1) {
    EXPECT_EQ(box->fineBuffer(), nullptr);
    return;
  }
  ASSERT_EQ(box->fineScale(), scale);
  const Shown s = Measure(w, view, box);
  ASSERT_GT(s.pixels, 1000);
  EXPECT_GE(s.oneToOne, s.pixels * 97 / 100) << s.oneToOne << " of " << s.pixels;
  EXPECT_GE(static_cast<double>(s.detailed), detail * static_cast<double>(s.pixels))
      << s.detailed << " of " << s.pixels;
}

// Sets the ratio of the windows opened from now on, back to the screen's at
// the end.
struct Ratio {
  explicit Ratio(int scale) { tb::test::UseBackingScale(scale); }
  ~Ratio() { tb::test::UseBackingScale(0); }
};

// ---- the texture generator ----

using FineTexture = vmktest::GeneratorDialogTest;

TEST_F(FineTexture, TheTextureRendersAtTheDevicePixels) {
  constexpr OSType kTgen = FourCC("Tgen");
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKtexturgenUI dlg;
    TextuPar owner;
    Init_TextuPar(&owner);
    owner.turbulence = 60.0f;
    owner.particleAmount = 30.0f;
    dlg.SetTextuPar(&owner);
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          ASSERT_EQ(dlg.rendersShown(), 1);
          EXPECT_EQ(dlg.previewScale(), k);
          const int32_t w = dlg.previewWidth(), h = dlg.previewHeight();
          EXPECT_EQ(w, 500 * k);
          EXPECT_EQ(h, 500 * k);
          // The planes are the texture rendered at that size.
          const size_t n = static_cast<size_t>(w) * h;
          std::vector<uint8_t> r(n), g(n), b(n);
          ASSERT_TRUE(VMKtexturgenUI::RenderTexture(*dlg.current(), w, h, r.data(), g.data(), b.data(), k));
          EXPECT_TRUE(std::equal(r.begin(), r.end(), dlg.previewPlane(0)));
          EXPECT_TRUE(std::equal(b.begin(), b.end(), dlg.previewPlane(2)));
          // The display, which the readouts read, takes the first device
          // pixel of every view pixel.
          const uint8_t* d = dlg.Box(0)->displayBuffer();
          for (int32_t y = 0; y < 500; y += 13)
            for (int32_t x = 0; x < 500; x += 7) {
              const size_t i = static_cast<size_t>(y) * k * w + static_cast<size_t>(x) * k;
              ASSERT_EQ(d[4 * (static_cast<size_t>(y) * 500 + x)], r[i]) << x << "," << y;
            }
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) { ExpectFine(w, tb::FindControl(w, kTgen, 4), dlg.Box(0), k, 0.05); })
        .Press(kTgen, 102);
    EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// ---- the photo repeat's source ----

class FineRepeat : public vmktest::RepeatDialogTest {
 protected:
  // The picture twice the source view's size (200 x 150) each way.
  void UseCheckerboard() {
    record_.imageWidth = 400;
    record_.imageHeight = 300;
    record_.imageRect = Rect{0, 0, 300, 400};
    DocData* doc = app_->appData.documents[0];
    doc->width = 400;
    doc->height = 300;
    photo_ = Checkerboard(400, 300);
    SetSessionSpanImages(&photo_, &unused_);
  }
};

TEST_F(FineRepeat, TheSourceIsReadAtTheDevicePixels) {
  UseCheckerboard();
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    auto owner = Grid(2, 2);
    VMKcastelUI dlg;
    dlg.SetRepPar(owner.get());
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) { tb::SetControlNeedsDisplay(tb::FindControl(w, kPrep, 18)); })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          EXPECT_EQ(dlg.sourcePreviews, 1);
          tb::ControlRef view = tb::FindControl(w, kPrep, 18);
          ExpectFine(w, view, dlg.Box(1), k, 0.45);
          if (k == 1) return;
          // Read one picture pixel to one device pixel: the squares alternate
          // along every row and column of the screen.
          const plat::draw::Surface& s = tb::GetWindowPort(w)->surface();
          const Rect b = tb::GetControlBounds(view);
          int alternating = 0, pairs = 0;
          for (int y = (b.top + 2) * 2; y < (b.bottom - 2) * 2; ++y)
            for (int x = (b.left + 2) * 2; x < (b.right - 2) * 2; ++x, ++pairs)
              alternating += s.pixel(x, y) != s.pixel(x + 1, y) && s.pixel(x, y) != s.pixel(x, y + 1);
          EXPECT_EQ(alternating, pairs);
        })
        .Press(kPrep, kCancel);
    EXPECT_EQ(dlg.Do_CastelDlg(0), 0);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

// ---- the content-aware navigator ----

class FineNavigator : public vmktest::YoxelDialogTest {
 protected:
  // The whole render as one-pixel squares over its laid-out area.
  static int32_t Squares(const vmkviews::PreviewCall& call) {
    for (int32_t y = 0; y < call.effHeight; ++y)
      for (int32_t x = 0; x < call.effWidth; ++x) {
        const int64_t i = static_cast<int64_t>(y) * call.viewWidth + x;
        call.planes[0][i] = call.planes[1][i] = call.planes[2][i] = (x + y) % 2 == 0 ? 0 : 255;
      }
    return 0;
  }
};

TEST_F(FineNavigator, TheResultViewsNavigatorShowsTheRenderAtTheDevicePixels) {
  constexpr int32_t kViewRadio = 8;
  int32_t pans[2][4] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewYoxel, 0, Squares);
    VMKyoxelUI dlg;
    driver_.Advance(0.1)
        .Press(vmktest::kYoxl, vmktest::kYoxlOneToOne)
        .Choose(vmktest::kYoxl, kViewRadio, 2)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          EXPECT_EQ(dlg.viewState, 2);
          ExpectFine(w, tb::FindControl(w, vmktest::kYoxl, 11), dlg.navigator(), k, 0.1);
        })
        // A press in the navigator moves the main view's part: the same part
        // at both ratios.
        .Drag({Point{120, 825}, Point{125, 835}, Point{130, 845}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { std::copy(dlg.pan, dlg.pan + 4, pans[k - 1]); })
        .Press(vmktest::kYoxl, vmktest::kYoxlCancel);
    dlg.Do_YoxelDlg();
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_TRUE(std::equal(pans[0], pans[0] + 4, pans[1]));
  EXPECT_NE(pans[0][0], 0);
}

// ---- the compose chooser ----

class FineCompose : public vmktest::BrowserTest {
 protected:
  void SetUp() override {
    BrowserTest::SetUp();
    photo_ = Checkerboard(kW, kH);
    SetSessionSpanImages(&photo_, &unused_);
    // The current layer's own operations in slot 0: an inversion.
    DocData* doc = Doc();
    doc->script->SetEffect(0, 1, 1, 9, 0, 0, 0, 0);
    Laye* layer = doc->script->GetStack(0)->GetLaye(1);
    ASSERT_TRUE(SetFicFromPosix(&scratch_, bundle_.makersFile("com.vellmarkstead.chan")));
    scratch_.type = FourCC("aCha");
    scratch_.creator = FourCC("vMkC");
    File_kern file(&scratch_);
    ASSERT_EQ(doc->script->SaveScript(layer->oprnCount, layer->firstOprn, &file, nullptr, 0, 0, doc->secondName, 0),
              0);
  }
  fichier scratch_;
};

TEST_F(FineCompose, TheSlotsRenderAtTheDevicePixelsAndAClickPicksTheSameSlot) {
  constexpr OSType kCeff = FourCC("Ceff");
  int16_t picked[2] = {-1, -1};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    VMKcompeff chooser;
    chooser.SetSelecFich(&scratch_);
    driver_.Advance(0.1)
        .Advance(0.6)
        .Do([&](tb::WindowRef w) {
          ASSERT_EQ(chooser.slots[0]->filled, 1);
          // The picture is smaller than the slot: the render enlarges it, yet
          // its squares' edges fall inside view pixels.
          ExpectFine(w, tb::FindControl(w, kCeff, 3), chooser.Box(0), k, 0.05);
        })
        // The lower right slot (window point v 480, h 600).
        .Drag({Point{480, 600}, Point{480, 600}})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { picked[k - 1] = chooser.currentSlot; })
        .Press(kCeff, 2);
    chooser.Do_CompEffDlg(117, nullptr);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_EQ(picked[0], 3);
  EXPECT_EQ(picked[1], 3);
}

// ---- the image-tools preview ----

class FineImageTools : public vmktest::TuneEffTest {
 protected:
  void SetUp() override {
    TuneEffTest::SetUp();
    photo_ = Checkerboard(1200, 900);
    SetSessionSpanImages(&photo_, &unused_);
    vmkviews::RegisterPreviewEngines();
  }
};

TEST_F(FineImageTools, ThePreviewRendersAtTheDevicePixelsAndAClickPicksTheSamePoint) {
  int32_t where[2][2] = {};
  for (const int k : kScales) {
    SCOPED_TRACE(k);
    Ratio ratio(k);
    Plant({{86, 1, 2, 2, 3, 1, {50, 0}}});
    VMKtuneeff e;
    BindEditor(e);
    const Point inside{160, 735};
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(e.tablesScale, k);
          // The layout stays in view pixels.
          EXPECT_EQ(e.fittedWidth, e.viewWidth);
          EXPECT_EQ(e.fittedHeight, 900 * e.viewWidth / 1200);
          tb::SetControlNeedsDisplay(tb::FindControl(e.window, kSig, tuneeff::kPreviewFrame));
        })
        .Advance(0.6)
        .Do([&](tb::WindowRef w) { ExpectFine(w, Ctl(w, tuneeff::kPreviewFrame), e.previewView(), k, 0.25); })
        .Drag({inside, inside})
        .Advance(0.6)
        .Do([&](tb::WindowRef) { e.previewView()->GetCoord(&where[k - 1][0], &where[k - 1][1]); });
    PressOk();
    EXPECT_EQ(e.Perform_Effect(118, 0), 1);
    EXPECT_TRUE(driver_.errors().empty());
  }
  EXPECT_EQ(where[0][0], where[1][0]);
  EXPECT_EQ(where[0][1], where[1][1]);
  EXPECT_GT(where[0][0], 0);
}

}  // namespace
