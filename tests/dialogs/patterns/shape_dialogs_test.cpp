// The spirograph and star makers: clamps, the bars read together with and
// without an undo point, the star's visibility rules and jitter, presets
// with Option, the colour box, the typing delay and the preview source.
#include "dialogs/patterns/shape_dialogs.h"

#include <vector>

#include "dialogs/patterns/generator_fixture.h"
#include "platform/random/random.h"
#include "platform/toolbox/toolbox.h"
#include "views/colour_box.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace tb = plat::tb;

namespace {

constexpr OSType kSpir = FourCC("Spir"), kStar = FourCC("Star");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103;

struct ShapeRender {
  double at;
  int16_t code;
  int16_t source;
  int16_t apply;
  ShapePar record;
};
std::vector<ShapeRender>& ShapeRenders() {
  static std::vector<ShapeRender> renders;
  return renders;
}
int32_t RecordShape(const vmkviews::PreviewCall& c) {
  ShapeRender r{plat::ui::Now(), c.code, c.shorts[3], c.shorts[4], {}};
  Copy_ShapePar(c.recordAs<ShapePar>(), &r.record);
  ShapeRenders().push_back(r);
  return 0;
}

int32_t Obj(const ShapePar& r, int k) { return r.shape.w[k]; }

class ShapeDialogTest : public vmktest::GeneratorDialogTest {
 protected:
  void SetUp() override {
    GeneratorDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 109, RecordShape);
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 110, RecordShape);
    ShapeRenders().clear();
  }
  static std::string Text(tb::WindowRef w, OSType sig, int32_t id) {
    return tb::GetControlText(tb::FindControl(w, sig, id));
  }
  static bool Shown(tb::WindowRef w, int32_t id) { return tb::IsControlVisible(tb::FindControl(w, kStar, id)); }
};

TEST(FillJitter, EachEntryTakesANewDrawAndTheOtherHalfStays) {
  TObjPar t;
  for (int i = 0; i < 512; ++i) t.w[kObjPointDepth + i] = -7;
  plat::SeedRandom(1234);
  FillJitter(&t, false, 30);
  plat::SeedRandom(1234);
  for (int i = 0; i < 512; ++i) {
    if (i % 2 == 1) {
      EXPECT_EQ(t.w[kObjPointDepth + i], -7) << i;
      continue;
    }
    const int32_t r = plat::Random() & 0xFFFF;
    EXPECT_EQ(t.w[kObjPointDepth + i], r * 30 / 65536) << i;
  }
  // The same seed gives the same table; the inner half now, leaving the outer.
  TObjPar again = t;
  plat::SeedRandom(99);
  FillJitter(&t, true, -100);
  plat::SeedRandom(99);
  FillJitter(&again, true, -100);
  int negative = 0;
  for (int i = 0; i < 512; ++i) {
    EXPECT_EQ(t.w[kObjPointDepth + i], again.w[kObjPointDepth + i]);
    if (i % 2 == 1) negative += t.w[kObjPointDepth + i] < 0;
  }
  EXPECT_GT(negative, 200);  // truncated towards zero, so some are 0
  // The words around the table are untouched.
  EXPECT_EQ(t.w[kObjStarPoints], 0);
  EXPECT_EQ(t.w[kObjInnerForward], 0);
}

TEST_F(ShapeDialogTest, SpirographClampsAndItsPlacementBarsTakeNoUndoPoint) {
  VMKspiromakerUI dlg;
  ShapePar owner;
  Init_ShapePar(&owner, 1200, 900, 1);
  owner.centreX = 10;
  dlg.SetShapePar(&owner);
  driver_.Advance(0.1)
      .Type(kSpir, 45, "0")    // turns
      .Type(kSpir, 42, "0")    // angle step
      .Type(kSpir, 13, "500")  // hue
      .Type(kSpir, 23, "500")  // value
      .Type(kSpir, 36, "-400") // pen
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        const ShapePar& r = *dlg.current();
        EXPECT_EQ(Obj(r, 559), 1);
        EXPECT_EQ(Obj(r, 558), 1);
        EXPECT_EQ(Obj(r, 557), -100);
        EXPECT_EQ(r.hueShift, 180);
        EXPECT_EQ(r.lightnessShift, 500);
      })
      .Slide(kSpir, 30, 60)  // rolling circle: an undo point first
      .Slide(kSpir, 50, 70)  // centre x: none
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.current()->centreX, 70);
        EXPECT_EQ(Obj(*dlg.current(), 555), 60);
        EXPECT_EQ(Obj(*dlg.backupRecord(), 555), 25);
        EXPECT_EQ(Text(w, kSpir, 51), "70");
      })
      .Key('z', cmdKey)  // to the focused field: the filter's undo
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        // Back to before the rolling circle: the centre moved after it, but
        // without an undo point it goes back too.
        EXPECT_EQ(Obj(*dlg.current(), 555), 25);
        EXPECT_EQ(dlg.current()->centreX, 10);
      })
      .Press(kSpir, kOk);
  EXPECT_EQ(dlg.Do_SpiroMakerDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ShapeDialogTest, TypingPushesTheNextTickASecondAway) {
  VMKspiromakerUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { ShapeRenders().clear(); })
      .Type(kSpir, 31, "40")
      .Advance(0.9)
      .Do([&](tb::WindowRef) { EXPECT_TRUE(ShapeRenders().empty()); })
      .Advance(0.3)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(ShapeRenders().size(), 1u);
        EXPECT_EQ(Obj(ShapeRenders().back().record, 555), 40);
      })
      .Press(kSpir, kCancel);
  EXPECT_EQ(dlg.Do_SpiroMakerDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ShapeDialogTest, FlagOneHandsTheRenderFileWithEveryRecord) {
  for (int16_t flag : {1, 0}) {
    for (int16_t code : {109, 110}) {
      ShapeRenders().clear();
      driver_.Advance(0.1)
          .Press(code == 110 ? kSpir : kStar, kReset)
          .Advance(0.5)
          .Press(code == 110 ? kSpir : kStar, kCancel);
      if (code == 110) {
        VMKspiromakerUI dlg;
        EXPECT_EQ(dlg.Do_SpiroMakerDlg(flag), 0);
      } else {
        VMKstarmakerUI dlg;
        EXPECT_EQ(dlg.Do_StarMakerDlg(flag), 0);
      }
      ASSERT_GE(ShapeRenders().size(), 2u);
      for (const ShapeRender& r : ShapeRenders()) {
        EXPECT_EQ(r.source, flag == 1 ? 2 : 3);
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(r.apply, 1);
        EXPECT_EQ(r.record.kind, code == 110 ? 1 : 0);
        EXPECT_EQ(r.record.width, 1200);
      }
    }
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ShapeDialogTest, StarClampsAndVisibilityRules) {
  VMKstarmakerUI dlg;
  ShapePar owner;
  Init_ShapePar(&owner, 1200, 900, 0);
  dlg.SetShapePar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        // Five points: odd.
        for (int32_t id : {7, 33, 34, 35, 36, 37}) EXPECT_FALSE(Shown(w, id)) << id;
        // Inner and outer kind 1: no bars; jitter off: neither button nor amplitude.
        for (int32_t id : {50, 51, 59, 60, 49, 52, 58, 61}) EXPECT_FALSE(Shown(w, id)) << id;
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kStar, 44)), 1);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kStar, 45)), 0);
      })
      .Type(kStar, 41, "300")
      .Type(kStar, 39, "5000")
      .Type(kStar, 73, "250")
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        const ShapePar& r = *dlg.current();
        EXPECT_EQ(Obj(r, kObjStarPoints), 256);
        EXPECT_EQ(Obj(r, kObjOutlineOffset), 1000);
        EXPECT_EQ(r.radius, 200);
        for (int32_t id : {7, 33, 34, 35, 36, 37}) EXPECT_TRUE(Shown(w, id)) << id;
      })
      .Press(kStar, 45)  // inner kind 2
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Obj(*dlg.current(), kObjInnerStyle), 2);
        EXPECT_EQ(Obj(*dlg.backupRecord(), kObjInnerStyle), 1);  // no undo point
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(Shown(w, 50));
        EXPECT_TRUE(Shown(w, 51));
        EXPECT_FALSE(Shown(w, 59));
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kStar, 44)), 0);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kStar, 45)), 1);
        // Amplitude 0 with the jitter on: the amplitude bar but no new table.
        tb::SetControl32BitValue(tb::FindControl(w, kStar, 52), 0);
      })
      .Slide(kStar, 52, 0)
      .Press(kStar, 48)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.innerAmplitude, 0);
        EXPECT_EQ(Obj(*dlg.current(), kObjInnerPerPoint), 1);
        EXPECT_TRUE(Shown(w, 52));
        EXPECT_FALSE(Shown(w, 49));
      })
      .Press(kStar, kCancel);
  EXPECT_EQ(dlg.Do_StarMakerDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

// With a fixed seed the jitter the dialog draws is the one FillJitter gives,
// and the record carries it to the preview, so preview and render agree.
TEST_F(ShapeDialogTest, StarJitterIsReproducibleAndTurningItOffKeepsTheEntries) {
  VMKstarmakerUI dlg;
  TObjPar expected;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        expected = dlg.current()->shape;
        plat::SeedRandom(7);
        FillJitter(&expected, false, 30);
        plat::SeedRandom(7);
      })
      .Press(kStar, 57)  // outer jitter on: a new outer table at 30
      .Do([&](tb::WindowRef) {
        for (int i = 0; i < 512; ++i)
          EXPECT_EQ(Obj(*dlg.current(), kObjPointDepth + i), expected.w[kObjPointDepth + i]) << i;
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(Shown(w, 58));
        EXPECT_TRUE(Shown(w, 61));
        ASSERT_FALSE(ShapeRenders().empty());
        EXPECT_EQ(ShapeRenders().back().record.shape.w[kObjPointDepth + 10], expected.w[kObjPointDepth + 10]);
      })
      .Press(kStar, 57)  // off: the entries stay
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Obj(*dlg.current(), kObjTipPerPoint), 0);
        for (int i = 0; i < 512; ++i)
          EXPECT_EQ(Obj(*dlg.current(), kObjPointDepth + i), expected.w[kObjPointDepth + i]) << i;
      })
      .Press(kStar, kCancel);
  EXPECT_EQ(dlg.Do_StarMakerDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ShapeDialogTest, OptionKeepsTheColoursAndOnlyTheStarShowsTheRecordsColour) {
  ShapePar preset;
  Init_ShapePar(&preset, 100, 100, 0);
  preset.shape.w[kObjStarPoints] = 9;
  preset.hueShift = 77;
  preset.carried[1] = 200;  // red
  Init_LutVign(6, &preset.ramp, 1, 2, 3, 4);
  SavePreset("Nine", Do_AShapePar_file, &preset);
  for (uint32_t option : {static_cast<uint32_t>(optionKey), 0u}) {
    VMKstarmakerUI dlg;
    ShapePar owner;
    Init_ShapePar(&owner, 1200, 900, 0);
    owner.hueShift = -5;
    dlg.SetShapePar(&owner);
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { Hold(option); })
        .Choose(kStar, 12, 1)
        .Do([&](tb::WindowRef) {
          Hold(0);
          const ShapePar& r = *dlg.current();
          EXPECT_EQ(Obj(r, kObjStarPoints), 9);
          EXPECT_EQ(r.hueShift, option != 0 ? -5 : 77);
          EXPECT_TRUE(SameBytes(r.ramp, option != 0 ? owner.ramp : preset.ramp));
          int16_t red = 0, green = 0, blue = 0;
          dlg.colourBox()->GetCol(&red, &green, &blue);
          EXPECT_EQ(red, 200);
        })
        .Press(kStar, kCancel);
    EXPECT_EQ(dlg.Do_StarMakerDlg(0), 0);
  }
  // The spirograph's box keeps its own colour.
  VMKspiromakerUI spiro;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { spiro.colourBox()->SetCol(1, 2, 3); })
      .Choose(kSpir, 11, 1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(spiro.current()->carried[1], 200);
        int16_t red = 0, green = 0, blue = 0;
        spiro.colourBox()->GetCol(&red, &green, &blue);
        EXPECT_EQ(red, 1);
      })
      .Press(kSpir, kCancel);
  EXPECT_EQ(spiro.Do_SpiroMakerDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
