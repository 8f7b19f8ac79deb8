// The generator rows of the dispatcher: the owner's protocol of the texture,
// spirograph, star and cookie-cutter dialogs. OK stores the edited record
// and the code; cancel and the close box, after presets loaded, hovered and
// reset, leave the operation byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/patterns_rows.h"
#include "dialogs/patterns/cookie_dialog.h"
#include "dialogs/patterns/shape_dialogs.h"
#include "dialogs/patterns/texture_dialog.h"
#include "engines/patterns/cookie_cutter_record.h"
#include "engines/patterns/shape_record.h"
#include "engines/patterns/texture_record.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102, kReset = 103;

class GeneratorRowsTest : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
  }
  void PlantTexture() {
    Plant(1, 16);
    Plant(2, 77);
    TextuPar r;
    script()->GetTextuPar(0, 1, 2, &r);
    r.particleSize = 55;
    r.hueShift = -20;
    ASSERT_EQ(script()->SetTextuPar(0, 1, 2, &r), 0);
  }
  // The ramp editor opened, a darker ramp tried and kept with its OK.
  void RampRound(OSType signature) {
    driver_.Press(signature, 106).Advance(0.05).Type(FourCC("Avig"), 29, "-50").Advance(0.6);
    driver_.Press(FourCC("Avig"), 1).Advance(0.6);
  }
  void SaveTexturePreset(const std::string& name, float turbulence) {
    TextuPar p;
    Init_TextuPar(&p);
    p.turbulence = turbulence;
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    ASSERT_EQ(Do_ATextu_file(1, FSSpec{}, &p), 0);
  }
};

TEST_F(GeneratorRowsTest, TextureCancelAfterPresetsHoversAndResetLeavesTheOperation) {
  SaveTexturePreset("Clouds", 20.0f);
  SaveTexturePreset("Stone", 90.0f);
  for (bool closeBox : {false, true}) {
    Start(1200, 900);
    PlantTexture();
    const std::vector<uint8_t> before = ScriptBytes();
    VMKtuneeff editor;
    Bind(editor, 2);
    driver_.Advance(0.1)
        .Hover(FourCC("Tgen"), 21, {1, 2})
        .Choose(FourCC("Tgen"), 21, 2)
        .Type(FourCC("Tgen"), 70, "400")
        .Press(FourCC("Tgen"), kReset)
        .Advance(0.5)
        .Do([&](tb::WindowRef) { EXPECT_EQ(gVMKtexturgen->current()->particleSize, 20); });
    RampRound(FourCC("Tgen"));
    if (closeBox) driver_.CloseBox();
    else driver_.Press(FourCC("Tgen"), kCancel);
    EXPECT_EQ(editor.Perform_Effect(77, 0), 0);
    EXPECT_EQ(ScriptBytes(), before) << "close box " << closeBox;
    EXPECT_EQ(gVMKtexturgen, nullptr);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

TEST_F(GeneratorRowsTest, TextureOkStoresTheRecordAndTheCode) {
  PlantTexture();
  VMKtuneeff editor;
  Bind(editor, 2);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        // The operation's record was handed in.
        EXPECT_EQ(gVMKtexturgen->current()->particleSize, 55);
        EXPECT_EQ(gVMKtexturgen->current()->hueShift, -20);
      })
      .Type(FourCC("Tgen"), 70, "321")
      .Press(FourCC("Tgen"), kOk);
  EXPECT_EQ(editor.Perform_Effect(77, 1), 1);
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 77);
  TextuPar stored;
  script()->GetTextuPar(0, 1, 2, &stored);
  EXPECT_EQ(stored.particleSize, 321);
  EXPECT_EQ(stored.hueShift, -20);
  EXPECT_TRUE(driver_.errors().empty());
}

// The cookie cutter and the two shape makers: cancel and the close box
// after presets and a reset leave the operation; OK stores record and code.
struct RecordCase {
  int16_t code;
  OSType signature;
  int32_t presets;
  int32_t field;  // a number field, typed into before OK
  std::function<int32_t()> typed;  // what the open dialog's record holds of it
};

class RecordRowsTest : public GeneratorRowsTest {
 protected:
  void PlantCookie() {
    Plant(1, 16);
    Plant(2, 81);
    CookiCutPar r;
    script()->GetCookiCutPar(0, 1, 2, &r);
    r.radius = 150;
    ASSERT_EQ(script()->SetCookiCutPar(0, 1, 2, &r), 0);
  }
  void PlantShape(int16_t code) {
    Plant(1, 16);
    Plant(2, code);
    ShapePar r;
    script()->GetShapePar(0, 1, 2, &r);
    r.kind = code == 110 ? 1 : 0;
    r.centreX = 30;
    ASSERT_EQ(script()->SetShapePar(0, 1, 2, &r), 0);
  }
  void Plant(int16_t code) {
    if (code == 81) PlantCookie();
    else PlantShape(code);
  }
  using GeneratorRowsTest::Plant;
};

const RecordCase kCases[] = {
    {81, FourCC("Cook"), 9, 32, [] { return gVMKcookicut->current()->radius; }},
    {109, FourCC("Star"), 12, 67, [] { return gVMKstarmaker->current()->centreX; }},
    {110, FourCC("Spir"), 11, 51, [] { return gVMKspiromaker->current()->centreX; }},
};

TEST_F(RecordRowsTest, CancelAndTheCloseBoxAfterPresetsAndResetLeaveTheOperation) {
  CookiCutPar cookie;
  Init_CookiCutPar(&cookie);
  cookie.turns = 7;
  driver_.ui().AnswerSaveFile(bundle_.makersFile("Seven"));
  ASSERT_EQ(Do_ACookiCut_file(1, FSSpec{}, &cookie), 0);
  ShapePar shape;
  Init_ShapePar(&shape, 100, 100, 0);
  shape.centreY = 80;
  driver_.ui().AnswerSaveFile(bundle_.makersFile("Low"));
  ASSERT_EQ(Do_AShapePar_file(1, FSSpec{}, &shape), 0);
  for (const RecordCase& c : kCases)
    for (bool closeBox : {false, true}) {
      Start(1200, 900);
      Plant(c.code);
      const std::vector<uint8_t> before = ScriptBytes();
      VMKtuneeff editor;
      Bind(editor, 2);
      driver_.Advance(0.1).Choose(c.signature, c.presets, 1).Type(c.signature, c.field, "44").Advance(1.1);
      driver_.Press(c.signature, kReset).Advance(1.1);
      RampRound(c.signature);
      if (closeBox) driver_.CloseBox();
      else driver_.Press(c.signature, kCancel);
      EXPECT_EQ(editor.Perform_Effect(c.code, 1), 0) << c.code;
      EXPECT_EQ(ScriptBytes(), before) << c.code << " close box " << closeBox;
      EXPECT_TRUE(driver_.errors().empty()) << c.code;
    }
  EXPECT_EQ(gVMKcookicut, nullptr);
  EXPECT_EQ(gVMKstarmaker, nullptr);
  EXPECT_EQ(gVMKspiromaker, nullptr);
}

TEST_F(RecordRowsTest, OkStoresTheRecordAndTheCode) {
  for (const RecordCase& c : kCases) {
    Start(1200, 900);
    Plant(c.code);
    VMKtuneeff editor;
    Bind(editor, 2);
    int32_t seen = 0;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { seen = c.typed(); })
        .Type(c.signature, c.field, "44")
        .Press(c.signature, kOk);
    EXPECT_EQ(editor.Perform_Effect(c.code, 0), 1) << c.code;
    EXPECT_EQ(seen, c.code == 81 ? 150 : 30) << "the operation's record was handed in";
    int16_t code = 0;
    script()->GetEffect(0, 1, 2, &code);
    EXPECT_EQ(code, c.code);
    if (c.code == 81) {
      CookiCutPar stored;
      script()->GetCookiCutPar(0, 1, 2, &stored);
      EXPECT_EQ(stored.radius, 44);
    } else {
      ShapePar stored;
      script()->GetShapePar(0, 1, 2, &stored);
      EXPECT_EQ(stored.centreX, 44) << c.code;
      EXPECT_EQ(stored.kind, c.code == 110 ? 1 : 0) << c.code;
    }
    EXPECT_TRUE(driver_.errors().empty()) << c.code;
  }
}

// The shape record's defaults are the star's: a spirograph opened on an
// operation that is not yet a spirograph shows and stores a spirograph; a
// shape stored with the effect keeps its kind.
TEST_F(RecordRowsTest, TheSpirographOpensOnASpirographShape) {
  Plant(1, 16);
  VMKtuneeff editor;
  Bind(editor, 1);
  int32_t kindSeen = -1;
  driver_.Advance(0.1).Do([&](tb::WindowRef) { kindSeen = gVMKspiromaker->current()->kind; }).Press(FourCC("Spir"), kOk);
  EXPECT_EQ(editor.Perform_Effect(110, 0), 1);
  EXPECT_EQ(kindSeen, 1);
  ShapePar stored;
  script()->GetShapePar(0, 1, 1, &stored);
  EXPECT_EQ(stored.kind, 1);
  // A spirograph whose stored shape became a star (a star preset loaded in
  // it) is handed in as stored.
  stored.kind = 0;
  ASSERT_EQ(script()->SetShapePar(0, 1, 1, &stored), 0);
  driver_.Advance(0.1).Do([&](tb::WindowRef) { kindSeen = gVMKspiromaker->current()->kind; }).Press(FourCC("Spir"), kCancel);
  EXPECT_EQ(editor.Perform_Effect(110, 0), 0);
  EXPECT_EQ(kindSeen, 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
