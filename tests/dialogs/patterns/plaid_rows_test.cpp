// The plaid effect through the effect registry: code 42 opens the plaid
// creator on the operation's plaid record with its first parameter as the
// opacity, stores record, opacity and code on OK, and leaves the operation
// byte for byte as it was after cancel or the close box, whatever was
// loaded, hovered, edited or tried in the sub-dialogs meanwhile.
#include <gtest/gtest.h>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/patterns_rows.h"
#include "dialogs/patterns/plaid_dialog.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kPpla = FourCC("Ppla");
constexpr int32_t kOk = 201, kCancel = 202, kLoad = 204;

class PlaidRowsTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
  }
  PlaidPar PlantPlaid(int16_t opacity) {
    Plant(1, 42);
    script()->SetParam1(0, 1, 1, opacity);
    PlaidPar p;
    Init_PlaidPar(&p, 0);
    p.paletteB[0][3] = 99;
    p.free1.stripCount = 4;
    p.freeMode = 1;
    std::strcpy(p.formula1, "a b");
    EXPECT_EQ(script()->SetPlaidPar(0, 1, 1, &p), 0);
    return p;
  }
  void SavePlaid(const std::string& name, PlaidPar p) {
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name + ".hpld"));
    FSSpec none{};
    ASSERT_EQ(Do_APlaidPar_file(1, none, &p), 0);
  }
};

TEST_F(PlaidRowsTest, CancelAndTheCloseBoxLeaveTheOperationByteForByte) {
  PlantPlaid(180);
  PlaidPar preset;
  Init_PlaidPar(&preset, 0);
  preset.paletteA[1][1] = 7;
  SavePlaid("preset", preset);
  const std::vector<uint8_t> before = ScriptBytes();
  {
    VMKtuneeff editor;
    Bind(editor, 1);
    driver_.ui().AnswerOpenFile(bundle_.makersFile("preset.hpld"));
    driver_.Advance(0.01)
        .Press(kPpla, kLoad)
        .Hover(kPpla, 13, {2, 1})
        .Press(kPpla, 441)  // add a warp stripe
        .Choose(kPpla, 110, 1)  // the HSV sub-dialog, tried and cancelled
        .Slide(FourCC("Ahsv"), 10, 90)
        .Advance(0.5)
        .Press(FourCC("Ahsv"), 2)
        .Choose(kPpla, 108, 1)  // the weave editor, changed and confirmed
        .Press(FourCC("Cwea"), 111)
        .Press(FourCC("Cwea"), 101)
        .Type(kPpla, 118, "10")
        .Advance(1.1)
        .Press(kPpla, kCancel);
    EXPECT_EQ(editor.Perform_Effect(42, 1), 0);
  }
  EXPECT_EQ(ScriptBytes(), before);
  {
    VMKtuneeff editor;
    Bind(editor, 1);
    driver_.Advance(0.01).Press(kPpla, 403).Advance(0.5).CloseBox();
    EXPECT_EQ(editor.Perform_Effect(42, 1), 0);
  }
  EXPECT_EQ(ScriptBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(PlaidRowsTest, OkStoresTheRecordTheOpacityAndTheCode) {
  const PlaidPar start = PlantPlaid(100);
  script()->SetEffect(0, 1, 1, 43, 0, 0, 1200, 900);
  ASSERT_EQ(script()->SetPlaidPar(0, 1, 1, &start), 0);
  script()->SetParam1(0, 1, 1, 100);
  VMKtuneeff editor;
  Bind(editor, 1);
  std::string shown;
  int16_t source = 0;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) {
        shown = tb::GetControlText(tb::FindControl(w, kPpla, 118));
        source = gVMKcreaplaid->previewSource;
      })
      .Press(kPpla, 403)  // swap the colour sets
      .Type(kPpla, 118, "20")
      .Press(kPpla, kOk);
  EXPECT_EQ(editor.Perform_Effect(42, 1), 1);
  EXPECT_EQ(shown, "39");  // 100 / 2.55 + 0.5
  EXPECT_EQ(source, 2);
  int16_t code = 0, opacity = 0;
  ASSERT_NE(script()->GetEffect(0, 1, 1, &code), nullptr);
  EXPECT_EQ(code, 42);
  script()->GetParam1(0, 1, 1, &opacity);
  EXPECT_EQ(opacity, 51);
  PlaidPar stored;
  script()->GetPlaidPar(0, 1, 1, &stored);
  EXPECT_EQ(std::memcmp(stored.paletteA, start.paletteB, sizeof start.paletteB), 0);
  EXPECT_EQ(stored.free1.stripCount, 4);
  EXPECT_EQ(stored.freeMode, 1);
  EXPECT_STREQ(stored.formula1, "a b");
}

}  // namespace
