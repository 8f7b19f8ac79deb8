// The colour-ramp editor opened from the generator dialogs: each ramp the
// user tries reaches the dialog's preview at the dialog's next tick; OK
// keeps the edited ramp, cancel puts the ramp back byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/generator_fixture.h"
#include "dialogs/patterns/ramp_editor.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kAvig = FourCC("Avig");
constexpr int32_t kEditorOk = 1, kEditorCancel = 2, kEditorValue = 29;
constexpr int32_t kOk = 101, kCancel = 102, kAdjust = 106, kRamps = 107;

// The ramps the previews were handed, by effect.
std::vector<LutVign>& Previewed() {
  static std::vector<LutVign> ramps;
  return ramps;
}
template <class R>
int32_t RecordRamp(const vmkviews::PreviewCall& c) {
  Previewed().push_back(c.recordAs<R>()->ramp);
  return 0;
}

struct Case {
  const char* name;
  OSType signature;
  std::function<LutVign*()> ramp;      // the open dialog's record's ramp
  std::function<int32_t()> previews;   // previews handed over so far
  std::function<int16_t()> run;
};

class GeneratorRampTest : public vmktest::GeneratorDialogTest {
 protected:
  void SetUp() override {
    GeneratorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 81, RecordRamp<CookiCutPar>);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 109, RecordRamp<ShapePar>);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 110, RecordRamp<ShapePar>);
    Previewed().clear();
  }
  // Opens the editor with `button`, tries a darker ramp, then ends the editor with
  // `editorEnd` and the dialog with cancel.
  void Round(const Case& c, int32_t button, int32_t editorEnd, LutVign* before, LutVign* after) {
    int32_t previews = 0;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { *before = *c.ramp(); })
        .Press(c.signature, button)
        .Advance(0.05)
        .Do([&](tb::WindowRef) {
          ASSERT_NE(gVMKadjvignUI, nullptr);
          previews = c.previews();
        })
        .Type(kAvig, kEditorValue, "-50")  // the default ramps are grey: a hue would not show
        .Advance(0.6)  // the editor's tick, then the dialog's
        .Do([&](tb::WindowRef) {
          EXPECT_GT(c.previews(), previews) << c.name;
          EXPECT_FALSE(SameBytes(*c.ramp(), *before)) << c.name;
        })
        .Press(kAvig, editorEnd)
        .Advance(0.6)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(gVMKadjvignUI, nullptr);
          *after = *c.ramp();
        })
        .Press(c.signature, kCancel);
    EXPECT_EQ(c.run(), 0) << c.name;
    EXPECT_TRUE(driver_.errors().empty()) << c.name;
  }
};

TEST_F(GeneratorRampTest, TriedRampsReachThePreviewAndACancelPutsTheRampBack) {
  for (int32_t button : {kAdjust, kRamps}) {
    {
      VMKtexturgenUI d;
      LutVign before, after;
      Round({"texture", FourCC("Tgen"), [&] { return &d.current()->ramp; }, [&] { return d.rendersShown(); },
             [&] { return d.Do_TexturGenDlg(); }},
            button, kEditorCancel, &before, &after);
      EXPECT_TRUE(SameBytes(before, after));
    }
    {
      VMKcookicutUI d;
      LutVign before, after;
      Round({"cookie", FourCC("Cook"), [&] { return &d.current()->ramp; },
             [&] { return static_cast<int32_t>(Previewed().size()); }, [&] { return d.Do_CookiCutDlg(0); }},
            button, kEditorCancel, &before, &after);
      EXPECT_TRUE(SameBytes(before, after));
      ASSERT_FALSE(Previewed().empty());
      EXPECT_TRUE(SameBytes(Previewed().back(), before));  // the preview follows the cancel
    }
    for (bool star : {false, true}) {
      VMKspiromakerUI spiro;
      VMKstarmakerUI starDialog;
      ShapeMakerDialog& d = star ? static_cast<ShapeMakerDialog&>(starDialog) : spiro;
      LutVign before, after;
      Round({star ? "star" : "spirograph", FourCC(star ? "Star" : "Spir"), [&] { return &d.current()->ramp; },
             [&] { return static_cast<int32_t>(Previewed().size()); },
             [&] { return star ? starDialog.Do_StarMakerDlg(0) : spiro.Do_SpiroMakerDlg(0); }},
            button, kEditorCancel, &before, &after);
      EXPECT_TRUE(SameBytes(before, after));
    }
  }
}

TEST_F(GeneratorRampTest, OkInTheEditorKeepsTheEditedRampAndUndoGoesBackToTheOldOne) {
  VMKcookicutUI d;
  LutVign before, after;
  Round({"cookie", FourCC("Cook"), [&] { return &d.current()->ramp; },
         [&] { return static_cast<int32_t>(Previewed().size()); }, [&] { return d.Do_CookiCutDlg(0); }},
        kAdjust, kEditorOk, &before, &after);
  EXPECT_FALSE(SameBytes(before, after));
  // The undo point is the record from before the editor opened.
  EXPECT_TRUE(SameBytes(d.undoRecord()->ramp, before));
}

}  // namespace
