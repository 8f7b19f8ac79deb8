// The texture-generator dialog: its clamps, its kinds, reset, presets with
// and without Option, undo, and the preview it renders itself.
#include "dialogs/patterns/texture_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dialogs/patterns/generator_fixture.h"
#include "engines/patterns/texture_engine.h"
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

// The preview against the operation's render: the texture the operation lays
// over a 1200 x 800 picture, scaled down to the picture fitted into a 200 x
// 200 preview, is what the preview shows there, on the view's ground above
// and below. Compared by means over blocks of 8 x 8 preview pixels: wood
// grain (a sawtooth 30 cycles in 200 pixels, warped) 5.5, sand (particles)
// 3.3, the defaults 0.8; the preview drawn as a square swatch with its waves,
// warp and particles' places counted in its own pixels was 19, 92 and 47
// away on the same rows.
TEST_F(TextureDialogTest, ThePreviewShowsTheOperationsTextureOnThePictureScaledDown) {
  constexpr int32_t W = 1200, H = 800, V = 200, fh = 133, top = (V - fh) / 2;
  const int32_t savedW = gPer->previewWidth, savedH = gPer->previewHeight;
  gPer->previewWidth = W;
  gPer->previewHeight = H;
  TextuPar wood, sand, plain;
  for (TextuPar* r : {&wood, &sand, &plain}) Init_TextuPar(r);
  wood.vertAmount = 60.0f;
  wood.vertFrequency = 30;
  wood.vertShape = 1;
  wood.horizAmount = 0.0f;
  wood.turbulence = 30.0f;
  wood.warp = 20.0f;
  sand.particleAmount = 60.0f;
  sand.particleSize = 80;
  sand.particleFalloff = 1;
  sand.turbulence = 20.0f;
  sand.vertAmount = sand.horizAmount = 0.0f;
  for (const TextuPar* r : {&wood, &sand, &plain}) {
    std::vector<uint8_t> full(static_cast<size_t>(W) * H * 3);
    MiscTextu engine;
    engine.SetTextuPar(r);
    // As the operation's row renders it over the whole picture.
    engine.FillBuf(3, 0, 255, 1, W / 500.0f, H / 500.0f, W, H, full.data(), full.data() + W * H,
                   full.data() + 2 * W * H, nullptr);
    std::vector<uint8_t> shown(static_cast<size_t>(V) * V * 3);
    ASSERT_TRUE(VMKtexturgenUI::RenderTexture(*r, V, V, shown.data(), shown.data() + V * V, shown.data() + 2 * V * V));
    for (int c = 0; c < 3; ++c)
      for (int32_t y = 0; y < V; ++y)
        for (int32_t x = 0; x < V; ++x)
          if (y < top || y >= top + fh) {
            ASSERT_EQ(shown[static_cast<size_t>(c) * V * V + y * V + x], 233) << x << "," << y;
          }
    // Means over blocks of 8 x 8 preview pixels, and over the picture's
    // pixels under each: waves near a pixel's width part by their phase.
    double sum = 0;
    int32_t blocks = 0;
    for (int c = 0; c < 3; ++c)
      for (int32_t by = 0; by + 8 <= fh; by += 8)
        for (int32_t bx = 0; bx + 8 <= V; bx += 8) {
          int64_t preview = 0, picture = 0;
          for (int32_t y = by; y < by + 8; ++y)
            for (int32_t x = bx; x < bx + 8; ++x) preview += shown[static_cast<size_t>(c) * V * V + (top + y) * V + x];
          const int32_t y0 = by * H / fh, y1 = (by + 8) * H / fh, x0 = bx * W / V, x1 = (bx + 8) * W / V;
          for (int32_t j = y0; j < y1; ++j)
            for (int32_t i = x0; i < x1; ++i) picture += full[static_cast<size_t>(c) * W * H + j * W + i];
          sum += std::abs(static_cast<double>(preview) / 64 - static_cast<double>(picture) / ((y1 - y0) * (x1 - x0)));
          ++blocks;
        }
    const double d = sum / blocks;
    EXPECT_LT(d, 7.0) << (r == &wood ? "wood" : r == &sand ? "sand" : "defaults");
  }
  gPer->previewWidth = savedW;
  gPer->previewHeight = savedH;
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
