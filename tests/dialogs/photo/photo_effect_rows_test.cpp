// The fractal (100) and photo-repeat (41) rows of the dispatcher: the
// owner's protocol through the registry. OK stores the edited record and
// the code; cancel and the close box, after files loaded, hovered, typed
// and reset, leave the operation byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/photo/fractal_dialog.h"
#include "dialogs/photo/photo_rows.h"
#include "engines/patterns/fractal_record.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102, kReset = 103;
constexpr OSType kOrlf = FourCC("Orlf");

class PhotoEffectRows : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPhotoRows(EffectDialogRegistry());
  }
  void PlantFractal() {
    Plant(1, 16);
    Plant(2, 100);
    FractPar r;
    script()->GetFractPar(0, 1, 2, &r);
    r.entries[0].w[kFraIterations] = 432;
    ASSERT_EQ(script()->SetFractPar(0, 1, 2, &r), 0);
  }
  void SaveFractal(const std::string& name, int32_t iterations) {
    FractPar r;
    Init_FractPar(&r, 7, 0);
    r.entries[0].w[kFraIterations] = iterations;
    driver_.ui().AnswerSaveFile(bundle_.makersFile(name));
    ASSERT_EQ(Do_AFract_file(1, FSSpec{}, &r), 0);
  }
};

TEST_F(PhotoEffectRows, TheRegistryServesTheFractalAndTheRepeat) {
  EXPECT_NE(EffectDialogRegistry().Find(100), nullptr);
  EXPECT_TRUE(EffectDialogRegistry().Find(100)->writesRenderFile);
}

TEST_F(PhotoEffectRows, FractalCancelAndTheCloseBoxLeaveTheOperation) {
  SaveFractal("Seven", 77);
  SaveFractal("Eight", 88);
  for (bool closeBox : {false, true}) {
    Start(1200, 900);
    PlantFractal();
    const std::vector<uint8_t> before = ScriptBytes();
    VMKtuneeff editor;
    Bind(editor, 2);
    driver_.Advance(0.1)
        .Hover(kOrlf, 26, {1, 2})
        .Choose(kOrlf, 26, 2)
        .Press(kOrlf, 109)  // 'Badd'
        .Type(kOrlf, 38, "99")
        .Advance(1.1)
        .Do([&](tb::WindowRef) { EXPECT_EQ(gVMKorrelune->current()->entries[0].w[kFraIterations], 99); })
        .Press(kOrlf, kReset)
        .Advance(0.6)
        .Press(kOrlf, 106)  // the ramp editor, kept with its OK
        .Advance(0.05)
        .Type(FourCC("Avig"), 29, "-50")
        .Advance(0.6)
        .Press(FourCC("Avig"), 1)
        .Advance(0.6);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kOrlf, kCancel);
    EXPECT_EQ(editor.Perform_Effect(100, 1), 0);
    EXPECT_EQ(ScriptBytes(), before) << "close box " << closeBox;
    EXPECT_EQ(gVMKorrelune, nullptr);
    EXPECT_TRUE(driver_.errors().empty());
  }
}

TEST_F(PhotoEffectRows, FractalOkStoresTheRecordAndTheCode) {
  PlantFractal();
  VMKtuneeff editor;
  Bind(editor, 2);
  int32_t seen = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { seen = gVMKorrelune->current()->entries[0].w[kFraIterations]; })
      .Type(kOrlf, 38, "1500")
      .Press(kOrlf, kOk);
  EXPECT_EQ(editor.Perform_Effect(100, 1), 1);
  EXPECT_EQ(seen, 432) << "the operation's record was handed in";
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 100);
  FractPar stored;
  script()->GetFractPar(0, 1, 2, &stored);
  EXPECT_EQ(stored.entries[0].w[kFraIterations], 1500);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
