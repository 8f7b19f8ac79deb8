// The weave effects through the effect registry: codes 40 and 43 open the
// weave editor on the first weave of the operation's plaid record with the
// first colour of each colour set, store pattern, colours and code on OK,
// and leave the operation byte for byte as it was on cancel or the close box.
#include <gtest/gtest.h>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/patterns/patterns_rows.h"
#include "dialogs/patterns/weave_dialog.h"

using vmktest::DispatchTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kCwea = FourCC("Cwea");
constexpr int32_t kOk = 101, kCancel = 102;

class WeaveRowsTest : public DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPatternsRows(EffectDialogRegistry());
  }
  // Operation 1 of layer 1 with a plaid record of its own.
  PlaidPar PlantPlaid(int16_t code) {
    Plant(1, code);
    PlaidPar p;
    Init_PlaidPar(&p, 0);
    Init_WeaveInfo(&p.weave1, 5, 3);
    p.weave1.cells[1][2] = 1;
    p.paletteA[0][0] = 11;
    p.paletteA[1][0] = 12;
    p.paletteA[2][0] = 13;
    p.paletteB[0][0] = 21;
    p.paletteB[1][0] = 22;
    p.paletteB[2][0] = 23;
    EXPECT_EQ(script()->SetPlaidPar(0, 1, 1, &p), 0);
    return p;
  }
  PlaidPar Stored() {
    PlaidPar p;
    script()->GetPlaidPar(0, 1, 1, &p);
    return p;
  }
};

TEST_F(WeaveRowsTest, CancelAndTheCloseBoxLeaveTheOperationByteForByte) {
  for (int16_t code : {40, 43}) {
    SCOPED_TRACE(code);
    PlantPlaid(code);
    WeaveInfo preset;
    Init_WeaveInfo(&preset, 9, 9);
    driver_.ui().AnswerSaveFile(bundle_.makersFile("preset.hwea"));
    FSSpec none{};
    ASSERT_EQ(Do_AWeaveInfo_file(1, none, &preset), 0);
    const std::vector<uint8_t> before = ScriptBytes();
    {
      VMKtuneeff editor;
      Bind(editor, 1);
      driver_.Advance(0.01)
          .Hover(kCwea, 21, {1})
          .Press(kCwea, 111)
          .Choose(kCwea, 21, 1)
          .Type(kCwea, 26, "99")
          .Advance(0.5)
          .Press(kCwea, kCancel);
      EXPECT_EQ(editor.Perform_Effect(code, 1), 0);
    }
    EXPECT_EQ(ScriptBytes(), before);
    {
      VMKtuneeff editor;
      Bind(editor, 1);
      driver_.Advance(0.01).Press(kCwea, 113).Advance(0.5).CloseBox();
      EXPECT_EQ(editor.Perform_Effect(code, 0), 0);
    }
    EXPECT_EQ(ScriptBytes(), before);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(WeaveRowsTest, OkStoresThePatternTheColoursAndTheCode) {
  for (int16_t code : {40, 43}) {
    SCOPED_TRACE(code);
    const PlaidPar start = PlantPlaid(code == 40 ? 43 : 40);
    VMKtuneeff editor;
    Bind(editor, 1);
    std::string shown[2];
    driver_.Advance(0.01)
        .Do([&](tb::WindowRef w) {
          shown[0] = tb::GetControlText(tb::FindControl(w, kCwea, 26));
          shown[1] = tb::GetControlText(tb::FindControl(w, kCwea, 38));
        })
        .Press(kCwea, 111)  // invert
        .Type(kCwea, 28, "77")
        .Type(kCwea, 36, "66")
        .Press(kCwea, kOk);
    EXPECT_EQ(editor.Perform_Effect(code, 1), 1);
    EXPECT_EQ(shown[0], "11");
    EXPECT_EQ(shown[1], "23");
    int16_t stored = 0;
    ASSERT_NE(script()->GetEffect(0, 1, 1, &stored), nullptr);
    EXPECT_EQ(stored, code);
    const PlaidPar p = Stored();
    EXPECT_EQ(p.weave1.columns, 5);
    EXPECT_EQ(p.weave1.rows, 3);
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 5; ++c) EXPECT_EQ(p.weave1.cells[r][c], 1 - start.weave1.cells[r][c]);
    EXPECT_EQ(p.paletteA[1][0], 77);
    EXPECT_EQ(p.paletteB[1][0], 66);
    EXPECT_EQ(p.paletteA[0][0], 11);
    EXPECT_EQ(p.paletteB[2][0], 23);
    // The second weave and the other colours are not the editor's.
    EXPECT_EQ(std::memcmp(&p.weave2, &start.weave2, sizeof p.weave2), 0);
    EXPECT_EQ(p.paletteA[0][1], start.paletteA[0][1]);
  }
}

}  // namespace
