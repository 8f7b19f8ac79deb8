// The "Tune Effect" window run by the scripted user on the virtual clock:
// its menus, the list commands, the change of kind, sliders and typing with
// their delayed redraws, and the undo copy.
#include <gtest/gtest.h>

#include <vector>

#include "dialogs/editor/editor_rows.h"
#include "dialogs/editor/tune_effect_fixture.h"
#include "dialogs/frame/effect_registry.h"
#include "platform/toolbox/test_driver.h"
#include "script/lut_vign.h"

using vmktest::OpSpec;
using vmktest::TuneEffTest;
namespace tb = plat::tb;
using namespace tuneeff;

namespace {

constexpr OSType kSig = tuneeff::kSignature;

// A stand-in dialog row: counts its calls and keeps the last flag.
struct RowLog {
  static int& calls() {
    static int n = 0;
    return n;
  }
  static int16_t& flag() {
    static int16_t f = -1;
    return f;
  }
  static int16_t Run(EffectCall& c) {
    ++calls();
    flag() = c.flag;
    return 1;
  }
};

class TuneEffWindowTest : public TuneEffTest {
 protected:
  void SetUp() override {
    TuneEffTest::SetUp();
    RowLog::calls() = 0;
    RowLog::flag() = -1;
  }
  void TearDown() override {
    for (int16_t code : standIns_) EffectDialogRegistry().Remove(code);
    RegisterEditorRows(EffectDialogRegistry());
    TuneEffTest::TearDown();
  }
  // Effect `code`'s dialog replaced by the stand-in for this test.
  void StandIn(int16_t code) {
    EffectDialogRegistry().Remove(code);
    ASSERT_EQ(EffectDialogRegistry().Add({{code}, false, RowLog::Run}), 0);
    standIns_.push_back(code);
  }
  std::vector<int16_t> standIns_;
};

TEST_F(TuneEffWindowTest, TheWindowShowsTheLayerAndBothAnswersKeepTheEdits) {
  Plant({{2, 1, 3, 4, 3, 1, {}}, {11, 0, 1, 2, 3, 1, {5}}, {14, 1, 1, 2, 3, 1, {10, 200}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetWindowName(w), "TuneEff");
        EXPECT_EQ(tb::GetWindowTitle(w), "Tune Effect - " + PStrString(Layer()->name));
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kKindPopup)), 43);
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kOperationPopup)), 3);
        EXPECT_EQ(Item(w, kOperationPopup, 2), e.OperationLine(2, 117));
        EXPECT_EQ(Item(w, kSourcePopup, 5), Channel(5));
        EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kKindPopup)), 2);
        // Code 2 takes a source, has one row and blends.
        EXPECT_TRUE(tb::IsControlVisible(Ctl(w, kSourcePopup)));
        EXPECT_TRUE(tb::IsControlVisible(Ctl(w, kRowSlider[0])));
        EXPECT_FALSE(tb::IsControlVisible(Ctl(w, kRowSlider[1])));
        EXPECT_TRUE(tb::IsControlVisible(Ctl(w, kOpacitySlider)));
        EXPECT_FALSE(tb::IsControlVisible(Ctl(w, kAdjustButton)));
        EXPECT_FALSE(tb::IsControlVisible(Ctl(w, kSwatch3)));
        EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kAlwaysOne)), 1);
      })
      .Choose(kSig, kOperationPopup, 3)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.currentOprn, 3);
        EXPECT_EQ(e.currentKindItem, e.codeToItem[14]);
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowTitle[1])), plat::res::GetIndString(kSliderTitles, 16));
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowEdit[1])), "200");
        EXPECT_FALSE(tb::IsControlVisible(Ctl(w, kSourcePopup)));
      })
      .Press(kSig, kActiveCheck)
      .CloseBox();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 0);
  EXPECT_TRUE(driver_.errors().empty());
  // The close box cancels, yet the edit stays in the script: the owner decides.
  EXPECT_EQ(script()->GetAct(0, 1, 3, nullptr), 0);
  EXPECT_EQ(e.window, nullptr);
  driver_.Press(kSig, 1);
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
}

// An operation whose code the family does not list has no kind item of its
// own: the popup shows the family's first item, "None", never an empty field.
TEST_F(TuneEffWindowTest, AnUnlistedCodeShowsTheFirstKindItem) {
  Plant({{90, 1, 1, 2, 3, 1, {}}, {2, 1, 3, 4, 3, 1, {}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.currentKindItem, 0);
        EXPECT_EQ(Item(w, kKindPopup, 1), "None");
        EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kKindPopup)), 1);
      })
      .Choose(kSig, kOperationPopup, 2)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kKindPopup)), 2); })
      .Choose(kSig, kOperationPopup, 1)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kKindPopup)), 1); });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(script()->GetOprn(0, 1, 1)->Effect, 90);
}

TEST_F(TuneEffWindowTest, InsertMoveAndDeleteOperations) {
  Plant({{2}, {3}, {4}, {5}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Choose(kSig, kOperationPopup, 3)
      .Press(kSig, 81)  // 'Pop2': a new operation after the current one
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{2, 3, 4, 0, 5}));
        EXPECT_EQ(e.currentOprn, 4);
        // The lines follow at the loop's next pass.
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kOperationPopup)), 4);
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::CountMenuItems(Ctl(w, kOperationPopup)), 5);
        e.currentOprn = 3;
      })
      .Press(kSig, 80)  // 'Pop1': a new operation in the current one's place
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{2, 3, 0, 4, 0, 5}));
        EXPECT_EQ(e.currentOprn, 3);
        e.currentOprn = 0;
      })
      .Press(kSig, 80)  // with no current operation: nothing
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Count(), 6);
        e.currentOprn = 6;
      })
      .Press(kSig, 82)  // 'Pop3' through the move dialog
      .Type(FourCC("Mlay"), 5, "0")
      .Press(FourCC("Mlay"), 1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes().front(), 5);
        e.currentOprn = 2;
      })
      .Press(kSig, 83)  // 'Pop4'
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{5, 3, 0, 4, 0}));
        EXPECT_EQ(e.currentOprn, 1);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TuneEffWindowTest, ClearingLeavesOneNewOperationOrTheActiveOnesInOrder) {
  Plant({{2, 1}, {3, 0}, {4, 1}, {5, 0}, {6, 0}, {7, 1}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Press(kSig, 38)
      .Choose(FourCC("Clop"), 3, 4)
      .Press(FourCC("Clop"), 1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(Codes(), (std::vector<int16_t>{2, 4, 7})); })
      .Press(kSig, 38)
      .Press(FourCC("Clop"), 2)  // cancelled: nothing
      .Do([&](tb::WindowRef) { EXPECT_EQ(Count(), 3); })
      .Press(kSig, 38)
      .Press(FourCC("Clop"), 1)  // the choice left at 2 clears the layer
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{0}));
        EXPECT_EQ(e.currentOprn, 1);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TuneEffWindowTest, ASliderWritesAtOnceAndTheLoopRedrawsTwoSecondsLater) {
  Plant({{12, 1, 1, 3, 3, 1, {3, 100, 45, 2, 0}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Advance(0.6)
      .Do([&](tb::WindowRef) { e.refreshFlag = 0; })
      .Slide(kSig, kRowSlider[2], 200)
      .Do([&](tb::WindowRef w) {
        int16_t p3 = 0;
        script()->GetParam3(0, 1, 1, &p3);
        EXPECT_EQ(p3, 200);
        EXPECT_EQ(e.refreshFlag, 1);
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowEdit[2])), "200");
        e.pendingPreview = 0;
      })
      .Advance(1.9)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.refreshFlag, 1);
        EXPECT_EQ(e.pendingPreview, 0);
      })
      .Advance(0.2)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.refreshFlag, 0);
        EXPECT_EQ(e.pendingPreview, 1);
      })
      // The opacity slider likewise.
      .Slide(kSig, kOpacitySlider, 90)
      .Do([&](tb::WindowRef) {
        uint8_t opa = 0;
        script()->GetOpa(0, 1, 1, &opa);
        EXPECT_EQ(opa, 90);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TuneEffWindowTest, TypingIsReadOneSecondAfterTheLastKeyAndClampedToTheRow) {
  Plant({{2, 1, 3, 4, 3, 1, {10}}});
  VMKtuneeff e;
  BindEditor(e);
  int16_t p1 = 0;
  driver_.Advance(0.6)
      .Type(kSig, kRowEdit[0], "5")
      .Advance(0.6)
      .Type(kSig, kRowEdit[0], "300")
      .Advance(0.9)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(e.refreshFlag, 1);
        script()->GetParam1(0, 1, 1, &p1);
        EXPECT_EQ(p1, 10);
      })
      .Advance(0.2)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.refreshFlag, 0);
        script()->GetParam1(0, 1, 1, &p1);
        EXPECT_EQ(p1, 255);
        EXPECT_EQ(e.sliderValue[0], 255);
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowEdit[0])), "255");
      })
      // Letters never arrive; the opacity field is held to 0..255.
      .Type(kSig, kOpacityEdit, "4a00")
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(e.opacity, 255);
        EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kOpacitySlider)), 255);
      })
      .Type(kSig, kOpacityEdit, "-7")
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        uint8_t opa = 1;
        script()->GetOpa(0, 1, 1, &opa);
        EXPECT_EQ(opa, 0);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TuneEffWindowTest, CommandZRestoresTheLayerAsItWasBeforeTheLastDigit) {
  Plant({{2, 1, 3, 4, 3, 1, {10}}, {11, 1, 1, 2, 3, 1, {4}}});
  VMKtuneeff e;
  BindEditor(e);
  int16_t p1 = 0;
  driver_.Advance(0.6)
      .Type(kSig, kRowEdit[0], "7")
      .Advance(1.1)
      .Type(kSig, kRowEdit[0], "3", false)
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        script()->GetParam1(0, 1, 1, &p1);
        EXPECT_EQ(p1, 73);
      })
      .Key('z', cmdKey)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(*e.restor(), 1);
        // Command-Z never reaches the field.
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowEdit[0])), "73");
      })
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(*e.restor(), 0);
        // The copy was made before the 3 was typed.
        script()->GetParam1(0, 1, 1, &p1);
        EXPECT_EQ(p1, 7);
        EXPECT_EQ(Count(), 2);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(TuneEffWindowTest, TheKindChangeGivesEachCodeItsRecordChannelsAndDialog) {
  StandIn(90);
  StandIn(24);
  StandIn(94);
  StandIn(111);
  Plant({{2, 1, 3, 4, 1, 3, {}}, {11, 1, 1, 4, 3, 1, {}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_
      .Do([&](tb::WindowRef) {
        // No family offers effect 90: it takes the place of item 3 here.
        e.itemToCode[3] = 90;
        e.codeToItem[90] = 3;
      })
      .Choose(kSig, kKindPopup, 3)
      .Do([&](tb::WindowRef) {
        const Oprn* op = script()->GetOprn(0, 1, 1);
        EXPECT_EQ(op->Effect, 90);
        EXPECT_EQ(op->FromChannel, 6);
        EXPECT_EQ(op->ToChannel, 2);
        EXPECT_EQ(op->IntExt, 2);
        EXPECT_EQ(op->MChannel, 6);
        ASSERT_NE(op->LutVign, nullptr);
        LutVign preset4;
        Init_LutVign(4, &preset4, 0, 0, 0, 0);
        EXPECT_EQ(std::memcmp(op->LutVign, &preset4, sizeof preset4), 0);
        EXPECT_EQ(RowLog::calls(), 1);
        EXPECT_EQ(RowLog::flag(), 1);
      })
      // The item already current: nothing, not even a redraw.
      .Choose(kSig, kKindPopup, 3)
      .Do([&](tb::WindowRef) { EXPECT_EQ(RowLog::calls(), 1); })
      .Choose(kSig, kKindPopup, 24)  // family 117 lists 2-21, 22, 23, 24
      .Do([&](tb::WindowRef) {
        const Oprn* op = script()->GetOprn(0, 1, 1);
        EXPECT_EQ(op->Effect, 24);
        ASSERT_NE(op->FileOprn, nullptr);
        EXPECT_EQ(op->FileOprn->name[0], 0);
        EXPECT_EQ(RowLog::calls(), 2);
      })
      // 'Pafr' on effect 11 changes nothing.
      .Choose(kSig, kOperationPopup, 2)
      .Choose(kSig, kSourcePopup, 5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(script()->GetOprn(0, 1, 2)->FromChannel, 1); });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
  // 94 and 111 set the composite destination and open nothing.
  for (int16_t fam : {94, 111}) {
    SCOPED_TRACE(fam);
    Plant({{2, 1, 3, 4, 3, 1, {}}});
    VMKtuneeff k;
    BindEditor(k);
    k.LoadKndMenu(fam);
    const int32_t item = k.codeToItem[fam];
    driver_.Choose(kSig, kKindPopup, item).Do([&](tb::WindowRef) {
      EXPECT_EQ(script()->GetOprn(0, 1, 1)->Effect, fam);
      EXPECT_EQ(script()->GetOprn(0, 1, 1)->ToChannel, 2);
    });
    PressOk();
    const int before = RowLog::calls();
    EXPECT_EQ(k.Do_TuneEffDlg(fam), 1);
    EXPECT_EQ(RowLog::calls(), before);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// A kind picked for a new operation opens it active, the kinds whose defaults say nothing of
// the flag (save and recall buffer, posterize) as those whose defaults set it (radial blur); an
// operation that had a kind keeps the flag the user left it with.
TEST_F(TuneEffWindowTest, AKindPickedForANewOperationOpensItActive) {
  Plant({{2, 0, 1, 2, 3, 1, {}}});
  VMKtuneeff e;
  BindEditor(e);
  std::vector<int16_t> acts;
  const auto pick = [&](int16_t code) {
    driver_.Do([&, code](tb::WindowRef) {
      e.itemToCode[3] = code;
      e.codeToItem[code] = 3;
      e.currentKindItem = 0;
    });
    driver_.Choose(kSig, kKindPopup, 3).Do([&](tb::WindowRef) {
      acts.push_back(script()->GetOprn(0, 1, e.currentOprn)->Act);
    });
  };
  // Operation 1 had a kind and the user switched it off: a kind without an active default
  // leaves it off.
  pick(96);
  for (int16_t code : {96, 97, 3, 83}) {
    driver_.Press(kSig, 81);  // 'Pop2': a new operation after the current one
    pick(code);
  }
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(Codes(), (std::vector<int16_t>{96, 96, 97, 3, 83}));
  EXPECT_EQ(acts, (std::vector<int16_t>{0, 1, 1, 1, 1}));
}

}  // namespace

namespace {

// An arrow step of a row's slider reaches the operation: the redraw the
// slider's tracking brings before its command must not put the old value
// back.
TEST_F(TuneEffWindowTest, ASliderArrowStepReachesTheOperation) {
  Plant({{16, 1, 1, 2, 3, 1, {40}}});
  VMKtuneeff e;
  BindEditor(e);
  driver_.Advance(0.1)
      .PressPart(kSig, kRowSlider[0], plat::tb::kControlDownButtonPart)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Layer()->firstOprn->Param1, 41);
        EXPECT_EQ(tb::GetControlText(Ctl(w, kRowEdit[0])), "41");
      })
      .PressPart(kSig, kRowSlider[0], plat::tb::kControlPageUpPart)
      .Advance(2.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Layer()->firstOprn->Param1, 31);
        EXPECT_EQ(tb::GetControl32BitValue(Ctl(w, kRowSlider[0])), 31);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace

namespace {

// The load browser chooses; the chosen effect replaces the layer's
// operations only when it reads whole: a damaged one leaves the layer byte
// for byte and names the file in an alert.
TEST_F(TuneEffWindowTest, ALoadedEffectReplacesTheLayerOnlyWhenItReadsWhole) {
  const std::string good = StoreEffect("good", 11, 4);
  const std::string bad = bundle_.makersFile("bad.ach1");
  vmktest::WriteBytes(bad, std::vector<uint8_t>(2000, 1));
  Plant({{2, 1, 3, 4, 1, 7, {9}}, {16, 1, 1, 2, 3, 1, {30}}});
  const std::vector<uint8_t> before = LayerBytes();
  VMKtuneeff e;
  BindEditor(e);
  driver_.ui().AnswerOpenFile(bad);
  driver_.ui().AnswerOpenFile(good);
  size_t alerts = 0;
  constexpr OSType kLeff = FourCC("Leff");
  constexpr int32_t kLoadButton = 36, kBrowse = 20;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        alerts = driver_.ui().alertRequests.size();
        e.currentOprn = 2;
      })
      .Press(kSig, kLoadButton)
      .Advance(0.1)
      .Press(kLeff, kBrowse)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(LayerBytes(), before);
        ASSERT_EQ(driver_.ui().alertRequests.size(), alerts + 1);
        EXPECT_NE(driver_.ui().alertRequests.back().params[0].find("\"bad\""), std::string::npos);
        EXPECT_EQ(e.currentOprn, 2);
      })
      .Press(kSig, kLoadButton)
      .Advance(0.1)
      .Press(kLeff, kBrowse)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Codes(), (std::vector<int16_t>{11}));
        EXPECT_EQ(e.currentOprn, 1);
      });
  PressOk();
  EXPECT_EQ(e.Do_TuneEffDlg(117), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
