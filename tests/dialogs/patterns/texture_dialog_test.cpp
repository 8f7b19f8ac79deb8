// The texture-generator dialog: its clamps, its kinds, reset, presets with
// and without Option, undo, and the preview it renders itself.
#include "dialogs/patterns/texture_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <vector>

#include "dialogs/patterns/generator_fixture.h"
#include "platform/toolbox/toolbox.h"
#include "views/image_box.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kTgen = FourCC("Tgen");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103;
constexpr int32_t kPresets = 21, kVertKind = 30, kEquation = 71;
// Number fields.
constexpr int32_t kP1 = 36, kP2 = 39, kP12 = 70, kHue = 5, kValue = 15;

class TextureDialogTest : public vmktest::GeneratorDialogTest {
 protected:
  static std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kTgen, id)); }
  static int32_t Value(tb::WindowRef w, int32_t id) {
    return tb::GetControl32BitValue(tb::FindControl(w, kTgen, id));
  }
};

TEST_F(TextureDialogTest, TypedValuesAreHeldToTheirRangesAndFloatsStoreTheWholeNumber) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1)
      .Type(kTgen, kP1, "-150")
      .Type(kTgen, kP2, "150")
      .Type(kTgen, kP12, "5000")
      .Type(kTgen, kHue, "200")
      .Type(kTgen, kValue, "-300")
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        const TextuPar& r = *dlg.current();
        EXPECT_EQ(r.warp, -100.0f);
        EXPECT_EQ(r.turbulence, 100.0f);
        EXPECT_EQ(r.particleSize, 1000);
        EXPECT_EQ(r.hueShift, 180);
        EXPECT_EQ(r.lightnessShift, -100);
        // The fields show what was kept.
        EXPECT_EQ(Text(w, kP1), "-100");
        EXPECT_EQ(Text(w, kP12), "1000");
        EXPECT_EQ(Value(w, 9), 180);  // the hue bar
      })
      .Press(kTgen, kOk);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 1);
  TextuPar out;
  dlg.GetTextuPar(&out);
  EXPECT_EQ(out.particleSize, 1000);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TextureDialogTest, AValueTypedJustBeforeOkCounts) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1).Type(kTgen, kP12, "321").Press(kTgen, kOk);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 1);
  dlg.GetTextuPar(&owner);
  EXPECT_EQ(owner.particleSize, 321);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TextureDialogTest, AStoredFractionShowsTruncatedAndAnyParameterBarReadsAllFifteen) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        // As a preset file can leave them.
        dlg.current()->warp = 12.7f;
        dlg.current()->gain = 3.9f;
        dlg.current()->bias = -0.5f;
        dlg.DrawWindowContent(w);
        EXPECT_EQ(Text(w, kP1), "12");
        EXPECT_EQ(Value(w, 35), 12);
        EXPECT_EQ(Text(w, 81), "3");
        EXPECT_EQ(Text(w, 78), "0");
        // Bars moved without their commands, then one command.
        tb::SetControl32BitValue(tb::FindControl(w, kTgen, 35), 40);
        tb::SetControl32BitValue(tb::FindControl(w, kTgen, 69), 600);
      })
      .Slide(kTgen, 80, 7)
      .Do([&](tb::WindowRef w) {
        const TextuPar& r = *dlg.current();
        EXPECT_EQ(r.warp, 40.0f);
        EXPECT_EQ(r.particleSize, 600);
        EXPECT_EQ(r.gain, 7.0f);
        EXPECT_EQ(r.bias, 0.0f);  // its bar showed 0
        EXPECT_EQ(dlg.backupRecord()->warp, 12.7f);  // the undo point
        EXPECT_EQ(Text(w, kP12), "600");             // drawn at once
        EXPECT_EQ(dlg.refresh(), 1);
      })
      .Press(kTgen, kCancel);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TextureDialogTest, KindPopupsAndResetToTheDefaults) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  owner.warp = 50.0f;
  owner.turbulence = 60.0f;
  owner.particleCount = 7;
  owner.hueShift = 30;
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1)
      .Choose(kTgen, kVertKind, 3)
      .Choose(kTgen, kEquation, 6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.current()->vertShape, 2);
        EXPECT_EQ(dlg.current()->combineMode, 5);
        EXPECT_EQ(dlg.backupRecord()->combineMode, 0);
      })
      .Press(kTgen, kReset)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        const TextuPar& r = *dlg.current();
        EXPECT_EQ(r.turbulenceDetail, 10.0f);  // parameter 9
        EXPECT_EQ(r.vertAmount, 10.0f);        // 3
        EXPECT_EQ(r.horizAmount, 10.0f);       // 4
        EXPECT_EQ(r.vertFrequency, 5);         // 6
        EXPECT_EQ(r.horizFrequency, 5);        // 7
        EXPECT_EQ(r.particleCount, 100);       // 8
        EXPECT_EQ(r.particleSize, 20);         // 12
        for (float f : {r.warp, r.turbulence, r.particleAmount, r.vertDetail, r.horizDetail, r.distortion, r.bias,
                        r.gain})
          EXPECT_EQ(f, 0.0f);
        for (int32_t v : {r.vertShape, r.horizShape, r.particleFalloff, r.combineMode, r.hueShift,
                          r.saturationShift, r.lightnessShift})
          EXPECT_EQ(v, 0);
        EXPECT_EQ(Value(w, kVertKind), 1);
        EXPECT_EQ(Text(w, kP12), "20");
      })
      .Press(kTgen, kCancel);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// Two presets in the maker's folder: with Option alone the pattern comes from
// the preset and the ramp and shifts stay; without it everything comes.
TEST_F(TextureDialogTest, OptionKeepsTheRampAndShiftsOfAPreset) {
  TextuPar preset;
  Init_TextuPar(&preset);
  preset.turbulence = 77.0f;
  preset.particleSize = 444;
  preset.hueShift = -45;
  preset.saturationShift = 20;
  preset.lightnessShift = 10;
  Init_LutVign(6, &preset.ramp, 10, 200, 30, 90);
  SavePreset("Marble", Do_ATextu_file, &preset);

  TextuPar owner;
  Init_TextuPar(&owner);
  owner.hueShift = 90;
  Init_LutVign(2, &owner.ramp, 1, 2, 3, 4);
  for (uint32_t option : {static_cast<uint32_t>(optionKey), 0u}) {
    VMKtexturgenUI dlg;
    dlg.SetTextuPar(&owner);
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { Hold(option); })
        .Choose(kTgen, kPresets, 1)
        .Do([&](tb::WindowRef) {
          Hold(0);
          const TextuPar& r = *dlg.current();
          EXPECT_EQ(r.turbulence, 77.0f);
          EXPECT_EQ(r.particleSize, 444);
          const TextuPar& kept = option != 0 ? owner : preset;
          EXPECT_EQ(r.hueShift, kept.hueShift) << option;
          EXPECT_EQ(r.saturationShift, kept.saturationShift) << option;
          EXPECT_EQ(r.lightnessShift, kept.lightnessShift) << option;
          EXPECT_TRUE(SameBytes(r.ramp, kept.ramp)) << option;
        })
        .Press(kTgen, kCancel);
    EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TextureDialogTest, UndoRestoresTheOldValueInRecordAndFieldAndItStays) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  owner.particleSize = 33;
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1)
      .Slide(kTgen, 69, 700)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->particleSize, 700);
        EXPECT_EQ(Text(w, kP12), "700");
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->particleSize, 33);
        EXPECT_EQ(Text(w, kP12), "33");
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->particleSize, 33);
        EXPECT_EQ(Text(w, kP12), "33");
      })
      .Press(kTgen, kOk);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 1);
  dlg.GetTextuPar(&owner);
  EXPECT_EQ(owner.particleSize, 33);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TextureDialogTest, UndoRightAfterOpeningGivesTheDefaults) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  owner.particleSize = 999;
  owner.vertShape = 3;
  dlg.SetTextuPar(&owner);
  TextuPar defaults;
  Init_TextuPar(&defaults);
  driver_.Advance(0.1)
      .Key(26, controlKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->particleSize, 20);
        EXPECT_EQ(dlg.current()->vertShape, 0);
        EXPECT_EQ(Value(w, kVertKind), 1);
        TextuPar now;
        dlg.GetTextuPar(&now);
        EXPECT_TRUE(SameBytes(now.ramp, defaults.ramp));
        EXPECT_EQ(now.vertFrequency, defaults.vertFrequency);
        EXPECT_EQ(now.gain, defaults.gain);
      })
      .Press(kTgen, kCancel);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// The preview is the engine's texture at the view's own size; the ramp bar
// is drawn; every refresh renders once.
TEST_F(TextureDialogTest, ThePreviewIsTheTextureAtTheViewsSize) {
  VMKtexturgenUI dlg;
  TextuPar owner;
  Init_TextuPar(&owner);
  owner.turbulence = 40.0f;
  owner.particleAmount = 30.0f;
  dlg.SetTextuPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(dlg.rendersShown(), 1);
        const int32_t w = dlg.previewWidth(), h = dlg.previewHeight();
        EXPECT_EQ(w, 500);
        EXPECT_EQ(h, 500);
        const size_t n = static_cast<size_t>(w) * h;
        std::vector<uint8_t> r(n), g(n), b(n);
        ASSERT_TRUE(VMKtexturgenUI::RenderTexture(*dlg.current(), w, h, r.data(), g.data(), b.data()));
        EXPECT_TRUE(std::equal(r.begin(), r.end(), dlg.previewPlane(0)));
        EXPECT_TRUE(std::equal(g.begin(), g.end(), dlg.previewPlane(1)));
        EXPECT_TRUE(std::equal(b.begin(), b.end(), dlg.previewPlane(2)));
        // The view shows the planes.
        const uint8_t* shown = dlg.Box(0)->displayBuffer();
        ASSERT_NE(shown, nullptr);
        int same = 0;
        for (size_t i = 0; i < n; i += 97) same += shown[4 * i] == r[i] && shown[4 * i + 2] == b[i];
        EXPECT_GT(same, static_cast<int>(n / 97) * 9 / 10);
        // Nothing changed: no render at the next ticks.
      })
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.rendersShown(), 1); })
      .Type(kTgen, kP2, "80")
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.rendersShown(), 2);
        const QString folder = VMK_ARTEFACTS_DIR;
        ASSERT_TRUE(QDir().mkpath(folder));
      })
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(QString(VMK_ARTEFACTS_DIR) + "/TextuGen.png"));
      })
      .Press(kTgen, kCancel);
  EXPECT_EQ(dlg.Do_TexturGenDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
