// The fitted previews of Noise Reduction, Smoothing and Focus against what OK writes, on a
// photograph's 6000 x 4000: each dialog opened on the picture at Fit, a preset of the content
// library picked from its popup (Light, Medium, Strong), the preview its view shows set against
// the render of the whole picture (the engine row as the script runs it) scaled down to the
// preview's size. The figure is the mean absolute difference per sample of the two pictures'
// medians over blocks of 8 x 8 pixels, as the live check compares a window's preview with the
// version OK wrote: what a person sees of the picture, not its grain or how each side was
// resampled. And the previews of the three presets picked one after another: each its own
// picture, further from the picture before the correction the stronger the preset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "dialogs/correction/colcor_render.h"
#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/correction/enlarged_photo.h"
#include "dialogs/correction/focus_dialog.h"
#include "dialogs/correction/noise_dialog.h"
#include "dialogs/correction/smoothing_dialog.h"
#include "support/preview_compare.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {
using vmktest::MedianDifference;
using vmktest::Picture;
using vmktest::RenderedByEngineRow;
using vmktest::ScaledTo;

constexpr int16_t kW = 6000, kH = 4000;
constexpr int32_t kCancel = 102, kPopup = 37;
// What a fitted preview may differ by from what OK writes.
constexpr double kBound = 3.0;

// The main view's last fitted preview as its engine made it, top-down.
Picture& Shown() {
  static Picture shown;
  return shown;
}

vmkviews::PreviewEngine& RealEngine() {
  static vmkviews::PreviewEngine engine = nullptr;
  return engine;
}

// The registered engine, and a copy of what it made for the main view (500 wide; the
// navigator's planes are narrower), its planes holding the picture bottom row first.
int32_t Capture(const vmkviews::PreviewCall& call) {
  const int32_t result = RealEngine()(call);
  if (result == 0 && call.viewWidth == 500) {
    Picture& p = Shown();
    p = Picture{call.effWidth, call.effHeight,
                std::vector<uint8_t>(static_cast<size_t>(call.effWidth) * call.effHeight * 3)};
    for (int32_t y = 0; y < p.h; ++y)
      for (int32_t x = 0; x < p.w; ++x)
        for (int c = 0; c < 3; ++c)
          p.rgb[(static_cast<size_t>(y) * p.w + x) * 3 + c] =
              call.planes[c][static_cast<size_t>(p.h - 1 - y) * call.viewWidth + x];
  }
  return result;
}

// What the main view shows, top-down (its display holds the picture bottom row first).
Picture DisplayOf(const VMKimabox* box) {
  const int32_t w = box->displayedWidth(), h = box->displayedHeight(), stride = box->state().viewWidth;
  Picture p{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 3)};
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c)
        p.rgb[(static_cast<size_t>(y) * w + x) * 3 + c] =
            box->displayBuffer()[4 * (static_cast<size_t>(h - 1 - y) * stride + x) + c];
  return p;
}

struct Dialog {
  const char* name;
  int16_t effect;
  OSType signature;
};

// One preset of a dialog: its popup item (1 Light, 2 Medium, 3 Strong).
struct Preset {
  Dialog dialog;
  int32_t item;
};

const char* PresetName(int32_t item) {
  return item == 1 ? "Light" : item == 2 ? "Medium" : "Strong";
}

class FittedPreviewTest : public ColCorDialogTest {
 protected:
  explicit FittedPreviewTest(int16_t w = kW, int16_t h = kH) : w_(w), h_(h) {}

  void SetUp() override {
    Start(w_, h_);
    photo_ = PixelBuffer(static_cast<uint32_t>(w_), static_cast<uint32_t>(h_), 1, 4);
    const std::vector<uint8_t> pixels = vmktest::EnlargedPhotograph(w_, h_);
    for (int32_t y = 0; y < h_; ++y)
      std::copy_n(pixels.data() + static_cast<size_t>(y) * w_ * 4, static_cast<size_t>(w_) * 4,
                  photo_.rowPtr(static_cast<uint32_t>(y)));
    SetSessionSpanImages(&photo_, &unused_);
    vmkviews::RegisterPreviewEngines();
    RealEngine() = vmkviews::FindPreviewEngine(vmkviews::kPreviewColCor, 0);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewColCor, 0, Capture);
    ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
    untouched_ = Picture{w_, h_, std::vector<uint8_t>(static_cast<size_t>(w_) * h_ * 3)};
    for (int32_t y = 0; y < h_; ++y)
      for (int32_t x = 0; x < w_; ++x)
        for (int c = 0; c < 3; ++c)
          untouched_.rgb[(static_cast<size_t>(y) * w_ + x) * 3 + c] =
              photo_.rowPtr(static_cast<uint32_t>(y))[4 * x + c];
    plain_ = ScaledTo(untouched_, 500, 500 * h_ / w_);
  }

  // The preset's preview at Fit (after `more` edits, if any) and the record it showed.
  void ShowPreset(EffectDialog& dlg, const Dialog& d, int32_t item,
                  const std::function<int16_t()>& run, ColCorPar* record,
                  const std::function<void()>& more = nullptr) {
    ColCorPar owner;
    Init_ColCorPar(&owner, w_, h_, 300, d.effect, 0, 0);
    static_cast<ColCorDialog&>(dlg).SetColCorPar(&owner);
    Shown() = Picture{};
    driver_.Advance(0.1).Choose(d.signature, kPopup, item);
    if (more) more();
    driver_.Advance(3.1)
        .Do([&](tb::WindowRef) { static_cast<ColCorDialog&>(dlg).GetColCorPar(record); })
        .Press(d.signature, kCancel);
    run();
  }

  // The preview shown against the render of `record` scaled to it.
  void Compare(const Dialog& d, const char* what, const ColCorPar& record) {
    const Picture shown = Shown();
    ASSERT_GT(shown.w, 0) << d.name << " " << what << ": no fitted preview";
    // At Fit the picture fills the view's width.
    ASSERT_EQ(shown.w, plain_.w);
    ASSERT_EQ(shown.h, plain_.h);
    const Picture result = ScaledTo(RenderedByEngineRow(untouched_, record, d.effect), shown.w, shown.h);
    const double difference = MedianDifference(shown, result);
    std::printf(
        "fitted preview %-9s %-16s against the result %.2f (preview against the picture %.2f, "
        "result %.2f)\n",
        d.name, what, difference, MedianDifference(shown, plain_),
        MedianDifference(result, plain_));
    EXPECT_LE(difference, kBound) << d.name << " " << what;
  }

  void CheckPresetsPreviewInOrder(bool oneToOne);

  const int16_t w_, h_;
  Picture untouched_;  // the photograph as the planes hold it
  Picture plain_;      // the untouched picture scaled to the preview's size
};

class FittedPreview : public FittedPreviewTest, public ::testing::WithParamInterface<Preset> {};

// Each a test of its own: every one renders the whole photograph once.
TEST_P(FittedPreview, LooksLikeWhatOkWrites) {
  const Dialog d = GetParam().dialog;
  const int32_t item = GetParam().item;
  ColCorPar record;
  if (d.effect == 103) {
    VMKdnoiUI dlg;
    ShowPreset(
        dlg, d, item, [&] { return dlg.Do_DNoiDlg(); }, &record);
  } else if (d.effect == 104) {
    VMKglimUI dlg;
    ShowPreset(
        dlg, d, item, [&] { return dlg.Do_GlimDlg(); }, &record);
  } else {
    VMKkevrUI dlg;
    ShowPreset(
        dlg, d, item, [&] { return dlg.Do_KevrDlg(); }, &record);
  }
  Compare(d, PresetName(item), record);
  EXPECT_TRUE(driver_.errors().empty());
}

// The focus presets run the sharpening alone; with the deblur, the denoise and the edge blur
// switched on too (every step at the Strong preset's values) the preview still looks like its
// result.
TEST_F(FittedPreviewTest, FocusWithEveryStepLooksLikeWhatOkWrites) {
  constexpr OSType kKfoc = FourCC("Kfoc");
  constexpr int32_t kGroup = 1, kSwitch = 41;
  const Dialog d{"focus", 105, kKfoc};
  ColCorPar record;
  VMKkevrUI dlg;
  ShowPreset(
      dlg, d, 3, [&] { return dlg.Do_KevrDlg(); }, &record,
      [&] {
        driver_.Choose(kKfoc, kGroup, 1)
            .Press(kKfoc, kSwitch)
            .Choose(kKfoc, kGroup, 2)
            .Press(kKfoc, kSwitch)
            .Choose(kKfoc, kGroup, 4)
            .Press(kKfoc, kSwitch);
      });
  ASSERT_EQ(record.w[kCCFocusMode], 15);
  Compare(d, "Strong, all steps", record);
  EXPECT_TRUE(driver_.errors().empty());
}

// The previews of a dialog's three presets, picked one after another from its popup, and the
// view's picture before the correction (the preview radio's first choice), at Fit or at 1:1.
// Each preset must preview a picture of its own, further from the one before the correction
// (the mean absolute difference per sample) the stronger the preset.
void FittedPreviewTest::CheckPresetsPreviewInOrder(bool oneToOne) {
  constexpr int32_t kOneToOne = 110;
  for (const Dialog d :
       {Dialog{"noise", 103, FourCC("Dnoi")}, Dialog{"smoothing", 104, FourCC("Glim")},
        Dialog{"focus", 105, FourCC("Kfoc")}}) {
    std::vector<Picture> shown;
    Picture before;
    auto pick = [&](EffectDialog& dlg, const std::function<int16_t()>& run) {
      ColCorPar owner;
      Init_ColCorPar(&owner, w_, h_, 300, d.effect, 0, 0);
      static_cast<ColCorDialog&>(dlg).SetColCorPar(&owner);
      driver_.Advance(0.1);
      if (oneToOne) driver_.Press(d.signature, kOneToOne).Advance(3.1);
      for (int32_t item = 1; item <= 3; ++item)
        driver_.Choose(d.signature, kPopup, item).Advance(3.1).Do([&](tb::WindowRef) {
          shown.push_back(DisplayOf(dlg.mainView()));
        });
      driver_.Choose(d.signature, dlg.desc().ids.previewRadio, 1).Advance(3.1).Do([&](tb::WindowRef) {
        before = DisplayOf(dlg.mainView());
      });
      driver_.Press(d.signature, kCancel);
      run();
    };
    if (d.effect == 103) {
      VMKdnoiUI dlg;
      pick(dlg, [&] { return dlg.Do_DNoiDlg(); });
    } else if (d.effect == 104) {
      VMKglimUI dlg;
      pick(dlg, [&] { return dlg.Do_GlimDlg(); });
    } else {
      VMKkevrUI dlg;
      pick(dlg, [&] { return dlg.Do_KevrDlg(); });
    }
    ASSERT_EQ(shown.size(), 3u) << d.name;
    std::vector<double> change;
    for (const Picture& p : shown) {
      ASSERT_GT(p.w, 0) << d.name << ": no preview";
      ASSERT_EQ(p.rgb.size(), before.rgb.size()) << d.name;
      uint64_t sum = 0;
      for (size_t i = 0; i < p.rgb.size(); ++i) sum += static_cast<uint64_t>(std::abs(p.rgb[i] - before.rgb[i]));
      change.push_back(static_cast<double>(sum) / static_cast<double>(p.rgb.size()));
    }
    std::printf("%s preview %-9s at %d x %d: Light %.2f, Medium %.2f, Strong %.2f from the picture before\n",
                oneToOne ? "1:1" : "fitted", d.name, w_, h_, change[0], change[1], change[2]);
    for (int32_t k = 1; k < 3; ++k) {
      EXPECT_FALSE(shown[k].rgb == shown[k - 1].rgb)
          << d.name << ": " << PresetName(k + 1) << " previews what " << PresetName(k) << " previews";
      EXPECT_GT(change[k], change[k - 1]) << d.name << ": " << PresetName(k + 1) << " previews less than "
                                          << PresetName(k);
    }
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// At 1:1 on the photograph, where a person judges these corrections; at Fit on it, where the
// steps are drawn at the view's scale and a Light preset's few pixels fall below a view pixel
// (its preview is nearly the picture before, as the render scaled down is), and yet Medium and
// Strong each show a picture of their own (a Medium focus that reached no further than Light
// previewed Light's picture); and at Fit on a picture a quarter of the size, where the view's
// pixels are three of the picture's.
TEST_F(FittedPreviewTest, EachPresetPreviewsItsOwnPictureInTheOrderOfItsNameAtOneToOne) {
  CheckPresetsPreviewInOrder(true);
}

TEST_F(FittedPreviewTest, EachPresetPreviewsItsOwnPictureInTheOrderOfItsNameAtFit) {
  CheckPresetsPreviewInOrder(false);
}

class FittedPreviewOfAModestPicture : public FittedPreviewTest {
 protected:
  FittedPreviewOfAModestPicture() : FittedPreviewTest(1500, 1000) {}
};

TEST_F(FittedPreviewOfAModestPicture, EachPresetPreviewsItsOwnPictureInTheOrderOfItsName) {
  CheckPresetsPreviewInOrder(false);
}

std::vector<Preset> Presets() {
  std::vector<Preset> out;
  for (const Dialog d :
       {Dialog{"noise", 103, FourCC("Dnoi")}, Dialog{"smoothing", 104, FourCC("Glim")},
        Dialog{"focus", 105, FourCC("Kfoc")}})
    for (int32_t item = 1; item <= 3; ++item) out.push_back({d, item});
  return out;
}

INSTANTIATE_TEST_SUITE_P(ContentLibrary, FittedPreview, ::testing::ValuesIn(Presets()),
                         [](const ::testing::TestParamInfo<Preset>& i) {
                           return std::string(i.param.dialog.name) + "_" + PresetName(i.param.item);
                         });

}  // namespace
