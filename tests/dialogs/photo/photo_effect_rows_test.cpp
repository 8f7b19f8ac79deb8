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
#include "dialogs/photo/repeat_dialog.h"
#include "engines/patterns/fractal_record.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102, kReset = 103;
constexpr OSType kOrlf = FourCC("Orlf");
constexpr OSType kPrep = FourCC("Prep");
constexpr OSType kLima = FourCC("Lima");

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
  void PlantRepeat(RepPar* r) {
    Plant(1, 16);
    Plant(2, 41);
    script()->GetRepPar(0, 1, 2, r);
    Init_RepPar(r, 1, 3, 5);
    r->cells[2].w[kCellOrientation] = 4;
    ASSERT_EQ(script()->SetRepPar(0, 1, 2, r), 0);
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
  EXPECT_NE(EffectDialogRegistry().Find(41), nullptr);
  EXPECT_TRUE(EffectDialogRegistry().Find(41)->writesRenderFile);
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

// Closed with Escape and opened again in the same session, the dialog's
// boxes (the application's, kept between openings) preview once more: the
// main view and the three samples each show a new picture at the first tick.
TEST_F(PhotoEffectRows, TheFractalOpenedAgainAfterEscapePreviewsAtOnce) {
  SaveFractal("Seven", 77);
  SaveFractal("Eight", 88);
  SaveFractal("Nine", 99);
  PlantFractal();
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 2);
  std::vector<int64_t> shown[2];
  for (int round = 0; round < 2; ++round) {
    driver_.Advance(0.01)
        .Do([&, round](tb::WindowRef) {
          for (size_t k : {0u, 2u, 3u, 4u}) shown[round].push_back(gVMKorrelune->Box(k)->previewsShown());
        })
        // A slider step whose preview the closing leaves behind.
        .PressPart(kOrlf, 37, tb::kControlDownButtonPart)
        .Key(27);
    EXPECT_EQ(editor.Perform_Effect(100, 1), 0) << "round " << round;
    EXPECT_EQ(gVMKorrelune, nullptr);
  }
  ASSERT_EQ(shown[0].size(), 4u);
  ASSERT_EQ(shown[1].size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_GT(shown[0][k], 0) << "box " << k;
    EXPECT_GT(shown[1][k], shown[0][k]) << "box " << k;
  }
  EXPECT_EQ(ScriptBytes(), before);
  EXPECT_TRUE(driver_.errors().empty());
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


TEST_F(PhotoEffectRows, RepeatCancelAndTheCloseBoxLeaveTheOperation) {
  auto saved = std::make_unique<RepPar>();
  Init_RepPar(saved.get(), 0, 6, 6);
  driver_.ui().AnswerSaveFile(bundle_.makersFile("Six"));
  ASSERT_EQ(Do_ARepPar_file(1, FSSpec{}, saved.get()), 0);
  for (bool closeBox : {false, true}) {
    Start(1200, 900);
    auto r = std::make_unique<RepPar>();
    PlantRepeat(r.get());
    const std::vector<uint8_t> before = ScriptBytes();
    VMKtuneeff editor;
    Bind(editor, 2);
    driver_.Advance(0.1)
        .Hover(kPrep, 13, {1})
        .Choose(kPrep, 13, 1)
        .Type(kPrep, 9, "12")
        .Advance(1.1)
        .Do([&](tb::WindowRef) { EXPECT_EQ(gVMKcastel->grid()[kRepRowCount], 12); })
        .Press(kPrep, 41)
        .Press(kPrep, 107)
        .Press(kPrep, 105)
        .Press(kPrep, 106)  // 'Bbrw': the picker (no library made), cancelled, leaves the tile
        .Press(FourCC("Updt"), 2)
        .Press(kLima, 2)
        .Do([&](tb::WindowRef) {
          EXPECT_EQ(FicToPosix(gVMKcastel->current()->tiles[0]), FicToPosix(r->tiles[0]));
        })
        .Advance(0.6);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kPrep, kCancel);
    EXPECT_EQ(editor.Perform_Effect(41, 1), 0);
    EXPECT_EQ(ScriptBytes(), before) << "close box " << closeBox;
    EXPECT_EQ(gVMKcastel, nullptr);
    for (const std::string& e : driver_.errors()) ADD_FAILURE() << e;
  }
}

TEST_F(PhotoEffectRows, RepeatOkStoresTheRecordAndTheCode) {
  auto r = std::make_unique<RepPar>();
  PlantRepeat(r.get());
  VMKtuneeff editor;
  Bind(editor, 2);
  int32_t seen = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { seen = gVMKcastel->current()->cells[2].w[kCellOrientation]; })
      .Type(kPrep, 8, "7")
      .Press(kPrep, kOk);
  EXPECT_EQ(editor.Perform_Effect(41, 1), 1);
  EXPECT_EQ(seen, 4) << "the operation's record was handed in";
  int16_t code = 0;
  script()->GetEffect(0, 1, 2, &code);
  EXPECT_EQ(code, 41);
  auto stored = std::make_unique<RepPar>();
  script()->GetRepPar(0, 1, 2, stored.get());
  EXPECT_EQ(stored->grid.w[kRepColumnCount], 7);
  EXPECT_EQ(stored->grid.w[kRepRowCount], 5);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
