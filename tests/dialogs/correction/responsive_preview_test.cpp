// Previews off the window's thread: what arrives late or stale is never
// shown, the last complete preview stays, and at 1:1 the preview is the
// final render's own pixels.
#include <cmath>
#include <functional>

#include "dialogs/correction/channel_mixer_dialog.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "engines/families/effect_families.h"
#include "script/engine_rows.h"
#include "views/view_geometry.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kDnoi = FourCC("Dnoi");
constexpr int32_t kCancel = 102, kOneToOne = 110, kAmountField = 18;

std::vector<int32_t>& Painted() {
  static std::vector<int32_t> painted;
  return painted;
}

// Paints the main view's preview red at the record's noise amount.
int32_t PaintAmount(const vmkviews::PreviewCall& c) {
  const int32_t amount = c.recordAs<ColCorPar>()->w[kCCNoise + 1];
  const size_t n = static_cast<size_t>(c.viewWidth) * c.viewHeight;
  std::memset(c.planes[0], amount, n);
  std::memset(c.planes[1], 0, n);
  std::memset(c.planes[2], 0, n);
  if (c.viewWidth == 500) Painted().push_back(amount);
  return 0;
}

int32_t RedShown(const VMKimabox* box) { return box->displayBuffer()[4 * (200 * 500 + 100)]; }

TEST_F(ColCorDialogTest, AStaleRenderIsNeverShownAndTheLastCompleteOneStays) {
  vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, PaintAmount);
  Painted().clear();
  ColCorPar owner;
  Init_ColCorPar(&owner, 1200, 900, 300, 103, 0, 0);
  owner.w[kCCNoise + 1] = 20;
  VMKdnoiUI dlg;
  dlg.SetColCorPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(RedShown(dlg.mainView()), 20);
        dlg.previews().Hold(true);
        Painted().clear();
      })
      .Type(kDnoi, kAmountField, "40")
      .Advance(1.1)  // the render of 40 is on its way
      .Do([&](tb::WindowRef) { EXPECT_EQ(RedShown(dlg.mainView()), 20); })
      .Type(kDnoi, kAmountField, "70")  // ... and stale from the first key on
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(RedShown(dlg.mainView()), 20);  // nothing complete yet
        EXPECT_EQ(dlg.previews().RunHeld(), 2);
        EXPECT_EQ(RedShown(dlg.mainView()), 70);
        // The stale render stopped before its engine ran.
        EXPECT_EQ(Painted(), std::vector<int32_t>{70});
      })
      .Type(kDnoi, kAmountField, "90")
      .Advance(1.1)  // on its way when the dialog closes
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_EQ(dlg.previews().RunHeld(), 0);
  EXPECT_EQ(Painted(), std::vector<int32_t>{70});
  EXPECT_EQ(RedShown(dlg.mainView()), 70);
  EXPECT_TRUE(driver_.errors().empty());
}

// A region's final render: the engine row as the script runs it over the
// whole picture (planes bottom row first, the mask a copy of plane 6).
std::vector<uint8_t> FinalRender(const PixelBuffer& photo, const ColCorPar& record, int16_t effect) {
  const int32_t w = static_cast<int32_t>(photo.width());
  const int32_t h = static_cast<int32_t>(photo.height());
  const size_t n = static_cast<size_t>(w) * h;
  std::vector<uint8_t> planes(4 * n, 255);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int k = 0; k < 3; ++k)
        planes[k * n + static_cast<size_t>(h - 1 - y) * w + x] = photo.rowPtr(y)[4 * x + k];
  ColCorPar copy = record;
  EngineRowCall row;
  row.effect = effect;
  row.record = &copy;
  row.n = 3;
  row.w = row.aw = w;
  row.h = row.ah = h;
  row.planes[0] = planes.data();
  row.planes[1] = planes.data() + n;
  row.planes[2] = planes.data() + 2 * n;
  row.mask = planes.data() + 3 * n;
  RegisterEffectFamilies();
  const EngineAdapter adapter = FindEngineRow(effect);
  EXPECT_NE(adapter, nullptr);
  if (adapter != nullptr) adapter(row);
  return planes;
}

struct Case {
  int16_t effect;
  OSType signature;
  std::function<void(ColCorPar*)> values;
  int32_t height = 900;
};

class PreviewEqualsRender : public ColCorDialogTest {
 protected:
  // A document of 1200 x `height` showing the photo; before the dialog is made.
  void Picture(int16_t height) {
    Start(1200, height);
    UsePhoto();
  }
  // Opens the dialog of the case at 1:1 and compares its preview with the
  // final render. The first 1:1 shows the picture's top-left 500 x 400
  // pixels, the view's size, one picture pixel a view pixel, and the preview
  // renders them with the margin around them that the effect reads: every
  // pixel of the view, its edges too, is the final render's own.
  void Check(const Case& c, const std::function<int16_t()>& run, EffectDialog& dlg) {
    ColCorPar record;
    Init_ColCorPar(&record, 1200, c.height, 300, c.effect, 0, 0);
    if (c.values) c.values(&record);
    static_cast<ColCorDialog&>(dlg).SetColCorPar(&record);
    std::vector<uint8_t> shown;
    driver_.Advance(0.1)
        .Press(c.signature, kOneToOne)
        .Advance(3.1)
        .Do([&](tb::WindowRef) {
      const VMKimabox* box = dlg.mainView();
      EXPECT_EQ(box->state().panLeft, 0);
      EXPECT_EQ(box->state().panTop, 0);
      EXPECT_EQ(box->displayedWidth(), 500);
      EXPECT_EQ(box->displayedHeight(), 400);
      shown.assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 400);
      static_cast<ColCorDialog&>(dlg).GetColCorPar(&record);
    });
    driver_.Press(c.signature, kCancel);
    run();
    ASSERT_EQ(shown.size(), 4u * 500 * 400);
    const std::vector<uint8_t> final = FinalRender(photo_, record, c.effect);
    const size_t n = 1200u * static_cast<size_t>(c.height);
    const size_t top = static_cast<size_t>(c.height) - 1;
    int differ = 0;
    int worst = 0;
    for (int32_t y = 0; y < 400; ++y)
      for (int32_t x = 0; x < 500; ++x)
        for (int k = 0; k < 3; ++k) {
          const uint8_t p = shown[4 * (static_cast<size_t>(399 - y) * 500 + x) + k];
          const uint8_t f = final[k * n + (top - y) * 1200 + x];
          if (p != f) ++differ;
          worst = std::max(worst, std::abs(p - f));
        }
    EXPECT_EQ(differ, 0) << c.effect;
    EXPECT_EQ(worst, 0) << c.effect;
    // The effect did something there.
    int changed = 0;
    for (int32_t x = 0; x < 500; ++x) changed += final[(top - 120) * 1200 + x] != photo_.rowPtr(120)[4 * x];
    EXPECT_GT(changed, 0) << c.effect;
    EXPECT_TRUE(driver_.errors().empty());
  }
};

// Above 100 % about the middle of the picture (two '+' from 1:1: 187.5 %)
// each view pixel is the final render's pixel under its middle, the view's
// edges too.
class ZoomedPreviewEqualsRender : public PreviewEqualsRender {
 protected:
  void CheckZoomed(const Case& c, int32_t zoomIn, const std::function<int16_t()>& run, EffectDialog& dlg) {
    ColCorPar record;
    Init_ColCorPar(&record, 1200, c.height, 300, c.effect, 0, 0);
    if (c.values) c.values(&record);
    static_cast<ColCorDialog&>(dlg).SetColCorPar(&record);
    std::vector<uint8_t> shown;
    vmkviews::ShownPart part;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) {
          // The part the navigator's frame was left at: about pixel (700, 500).
          dlg.oneToOne[0] = 38000;
          dlg.oneToOne[1] = 33000;
          dlg.oneToOne[2] = 78666;
          dlg.oneToOne[3] = 78111;
        })
        .Press(c.signature, kOneToOne)
        .Advance(3.1)
        .Press(c.signature, zoomIn)
        .Advance(3.1)
        .Press(c.signature, zoomIn)
        .Advance(3.1)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(dlg.curZoom, 18750);
          const VMKimabox* box = dlg.mainView();
          part = vmkviews::ShownPartOf(dlg.pan, dlg.curZoom, 1200, c.height, 500, 400);
          EXPECT_EQ(box->displayedWidth(), 500);
          EXPECT_EQ(box->displayedHeight(), 400);
          shown.assign(box->displayBuffer(), box->displayBuffer() + 4 * 500 * 400);
          static_cast<ColCorDialog&>(dlg).GetColCorPar(&record);
        });
    driver_.Press(c.signature, kCancel);
    run();
    ASSERT_EQ(shown.size(), 4u * 500 * 400);
    EXPECT_NEAR(part.left + 250 * part.step, 700.0, 2.0);
    EXPECT_NEAR(part.top + 200 * part.step, 500.0, 2.0);
    const std::vector<uint8_t> final = FinalRender(photo_, record, c.effect);
    const size_t n = 1200u * static_cast<size_t>(c.height);
    const size_t top = static_cast<size_t>(c.height) - 1;
    int differ = 0;
    for (int32_t y = 0; y < 400; ++y)
      for (int32_t x = 0; x < 500; ++x) {
        const auto px = static_cast<size_t>(part.left + std::floor((x + 0.5) * part.step));
        const auto py = static_cast<size_t>(part.top + std::floor((y + 0.5) * part.step));
        for (int k = 0; k < 3; ++k)
          differ += shown[4 * (static_cast<size_t>(399 - y) * 500 + x) + k] != final[k * n + (top - py) * 1200 + px];
      }
    EXPECT_EQ(differ, 0) << c.effect;
    EXPECT_TRUE(driver_.errors().empty());
  }
};

TEST_F(ZoomedPreviewEqualsRender, NoiseReductionAndFocus) {
  Picture(900);
  {
    VMKdnoiUI dlg;
    CheckZoomed({103, kDnoi, [](ColCorPar* r) {
                   r->w[kCCNoise + 1] = 80;
                   r->w[kCCNoise + 2] = 4;
                 }},
                24, [&] { return dlg.Do_DNoiDlg(); }, dlg);
  }
  Picture(900);
  VMKkevrUI dlg;
  CheckZoomed({105, FourCC("Kfoc"), [](ColCorPar* r) { r->w[kCCFocusMode] = 15; }}, 25,
              [&] { return dlg.Do_KevrDlg(); }, dlg);
}

TEST_F(PreviewEqualsRender, NoiseReduction) {
  Picture(900);
  VMKdnoiUI dlg;
  Check({103, kDnoi, [](ColCorPar* r) {
           r->w[kCCNoise] = 40;
           r->w[kCCNoise + 1] = 60;
           r->w[kCCNoise + 2] = 3;
         }},
        [&] { return dlg.Do_DNoiDlg(); }, dlg);
}

TEST_F(PreviewEqualsRender, Smoothing) {
  Picture(900);
  VMKglimUI dlg;
  Check({104, FourCC("Glim"), nullptr}, [&] { return dlg.Do_GlimDlg(); }, dlg);
}

// The sharpening step blurs through a half-size pyramid laid on the planes
// from their first (bottom) row and column: the part's planes start on the
// render's grid, whether the picture's height is a multiple of four (900) or
// not (903).
TEST_F(PreviewEqualsRender, FocusWithEveryStep) {
  for (int16_t height : {903, 900}) {
    Picture(height);
    VMKkevrUI dlg;
    Check({105, FourCC("Kfoc"), [](ColCorPar* r) { r->w[kCCFocusMode] = 15; }, height},
          [&] { return dlg.Do_KevrDlg(); }, dlg);
  }
}

TEST_F(PreviewEqualsRender, ChannelMixer) {
  Picture(900);
  VMKcmixUI dlg;
  Check({119, FourCC("Cmix"), [](ColCorPar* r) {
           r->w[kCCMatrix + 1] = 40;
           r->w[kCCMatrix + 4] = -30;
         }},
        [&] { return dlg.Do_CMixDlg(); }, dlg);
}

}  // namespace
