// The ramp effects through the effect registry: each code opens the
// colour-ramp editor on the operation's ramp, answers 1 whatever the user
// does, and leaves the operation with its code and a ramp.
#include <gtest/gtest.h>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/patterns_rows.h"
#include "dialogs/patterns/ramp_editor.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kAvig = FourCC("Avig");
constexpr int32_t kOk = 1, kCancel = 2;

class RampRowsTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
  }
  static bool Same(const LutVign& a, const LutVign& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
  LutVign RampOf(int16_t o) {
    LutVign r;
    script()->GetLutVign(0, 0, 1, o, &r);
    return r;
  }
};

TEST_F(RampRowsTest, CancelStoresTheCodeAndTheRampAsItWasOrTheCodesPreset) {
  for (int16_t code : {23, 29, 33, 79, 90, 98, 99}) {
    SCOPED_TRACE(code);
    // An operation of this code with a ramp of its own keeps it byte for byte.
    Plant(1, code);
    LutVign own;
    Init_LutVign(5, &own, 10, 200, 30, 40);
    own.opacity[7] = 3;
    ASSERT_EQ(script()->SetLutVign(0, 1, 1, &own), 0);
    const std::vector<uint8_t> before = ScriptBytes();
    {
      VMKtuneeff editor;
      Bind(editor, 1);
      driver_.Advance(0.01).Type(kAvig, 11, "90").Advance(0.3).Press(kAvig, kCancel);
      EXPECT_EQ(editor.Perform_Effect(code, 1), 1);
      EXPECT_EQ(editor.rampEditor, nullptr);
    }
    EXPECT_EQ(ScriptBytes(), before);
    // A new operation gets the code's preset ramp.
    VMKtuneeff editor;
    Bind(editor, 2);
    driver_.Advance(0.01).Press(kAvig, kCancel);
    EXPECT_EQ(editor.Perform_Effect(code, 0), 1);
    int16_t stored = 0;
    ASSERT_NE(script()->GetEffect(0, 1, 2, &stored), nullptr);
    EXPECT_EQ(stored, code);
    LutVign preset;
    Init_LutVign(code == 33 ? 2 : code == 90 ? 4 : 0, &preset, 0, 0, 0, 0);
    EXPECT_TRUE(Same(RampOf(2), preset));
    script()->DeleteOprn(0, 1, 2);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RampRowsTest, OkStoresTheEditedRampWithItsShiftsAndTheLivePreviewChoiceIsKept) {
  Plant(1, 29);
  LutVign own;
  Init_LutVign(0, &own, 0, 0, 0, 0);
  ASSERT_EQ(script()->SetLutVign(0, 1, 1, &own), 0);
  VMKtuneeff editor;
  Bind(editor, 1);
  bool offered = false;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) { offered = tb::IsControlVisible(tb::FindControl(w, kAvig, 42)); })
      .Press(kAvig, 42)  // live preview off
      .Type(kAvig, 26, "-100")
      .Press(kAvig, kOk);
  EXPECT_EQ(editor.Perform_Effect(29, 1), 1);
  EXPECT_TRUE(offered);
  EXPECT_EQ(editor.rampPreviewFlag, 0);
  LutVign grey = own;
  HSLadjust_LutVign(&grey, 0, -100, 0);
  EXPECT_TRUE(Same(RampOf(1), grey));
}

}  // namespace
