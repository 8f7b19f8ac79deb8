// The fractal dialog's strip of three samples over the fractal files of the
// maker's folder: scrolling, the file popup (which moves the strip and
// leaves the record), the hover preview, 'Badd', slots past the last file,
// and the ramp editor's live hand-shake.
#include <vector>

#include "fractal_fixture.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kCancel = 102, kAdjust = 106, kUse = 109;
constexpr int32_t kBar = 20, kFiles = 26;
constexpr int32_t kNames[3] = {10, 8, 6};
constexpr int32_t kViews[3] = {9, 7, 5};

class FractalStrip : public vmktest::FractalDialogTest {
 protected:
  // Four files, f1 to f4, whose first entries count 201 to 204 iterations.
  void FourFiles() {
    for (int k = 1; k <= 4; ++k) {
      FractPar r;
      Typed(&r, static_cast<int16_t>(k + 1), 200 + k);
      SaveFractal("f" + std::to_string(k), &r);
    }
  }
  static std::vector<int32_t> Iterations(const std::vector<vmktest::FractRender>& renders) {
    std::vector<int32_t> out;
    for (const auto& r : renders) out.push_back(r.words[kFraIterations]);
    return out;
  }
  static bool Visible(tb::WindowRef w, int32_t id) { return tb::IsControlVisible(tb::FindControl(w, kOrlf, id)); }
};

TEST_F(FractalStrip, TheStripShowsThreeFilesAndSlotsPastTheLastStayEmpty) {
  FourFiles();
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 1, 150);
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(vmktest::Items(tb::FindControl(w, kOrlf, kFiles)),
                  (std::vector<std::string>{"f1", "f2", "f3", "f4"}));
        EXPECT_EQ(tb::GetControl32BitMaximum(tb::FindControl(w, kOrlf, kBar)), 4);
        EXPECT_EQ(Iterations(SampleRenders()), (std::vector<int32_t>{201, 202, 203}));
        EXPECT_EQ(Text(w, kNames[0]), "f1");
        EXPECT_EQ(Text(w, kNames[2]), "f3");
        for (int32_t v : kViews) EXPECT_TRUE(Visible(w, v));
        EXPECT_EQ(dlg.shownIndex[2], 2);
      })
      .PressPart(kOrlf, kBar, tb::kControlDownButtonPart)
      .PressPart(kOrlf, kBar, tb::kControlDownButtonPart)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.firstSample, 2);
        EXPECT_EQ(dlg.selectedSample, 0);
        // Only the slots whose file changed were read again: f3 and f4.
        EXPECT_EQ(Iterations(SampleRenders()), (std::vector<int32_t>{201, 202, 203, 203, 204}));
        EXPECT_EQ(Text(w, kNames[1]), "f4");
        EXPECT_EQ(Text(w, kNames[2]), "");
        EXPECT_FALSE(Visible(w, kViews[2]));
        EXPECT_EQ(dlg.shownIndex[2], -1);
        // The strip moved, the main preview did not render for it.
        EXPECT_EQ(MainRenders().size(), 1u);
        EXPECT_TRUE(Same(*dlg.current(), owner));
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalStrip, ThePopupMovesTheStripAndLeavesTheRecordAndBaddLoadsTheSelectedSample) {
  FourFiles();
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 1, 150);
  dlg.SetFractPar(&owner);
  FractPar f4;
  Typed(&f4, 5, 204);
  driver_.Advance(0.1)
      .Choose(kOrlf, kFiles, 4)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.firstSample, 3);
        EXPECT_TRUE(Same(*dlg.current(), owner));
        EXPECT_EQ(Text(w, kNames[0]), "f4");
        EXPECT_EQ(Text(w, kNames[1]), "");
        EXPECT_FALSE(Visible(w, kViews[1]));
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kOrlf, kBar)), 3);
        // A slot past the list: 'Badd' loads nothing and backs nothing up.
        dlg.selectedSample = 1;
      })
      .Press(kOrlf, kUse)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_TRUE(Same(*dlg.current(), owner));
        EXPECT_TRUE(Same(*dlg.backupRecord(), owner));
        dlg.selectedSample = 0;
      })
      .Press(kOrlf, kUse)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(Same(*dlg.current(), f4));
        EXPECT_EQ(Text(w, 38), "204");
        EXPECT_EQ(MainRenders().back().words[kFraIterations], 204);
      })
      // Undo gives the owner's record back.
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_TRUE(Same(*dlg.current(), owner)); })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalStrip, HoveringTheFilesPreviewsEachAndClosingLeavesTheRecordByteForByte) {
  FourFiles();
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 1, 150);
  owner.entries[7].w[kFraIterations] = 31;
  dlg.SetFractPar(&owner);
  size_t before = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) { before = MainRenders().size(); })
      .Hover(kOrlf, kFiles, {2, 4, 1})
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_TRUE(Same(*dlg.current(), owner));
        const std::vector<vmktest::FractRender> main = MainRenders();
        std::vector<vmktest::FractRender> hovered(main.begin() + static_cast<long>(before), main.end());
        const std::vector<int32_t> seen = Iterations(hovered);
        ASSERT_GE(seen.size(), 4u);
        EXPECT_EQ(std::vector<int32_t>(seen.begin(), seen.begin() + 3), (std::vector<int32_t>{202, 204, 201}));
        EXPECT_EQ(seen.back(), 150);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalStrip, WithNoFilesTheStripIsEmptyAndLoadAndSaveAskForABlankFractalFile) {
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 3, 321);
  dlg.SetFractPar(&owner);
  driver_.ui().AnswerSaveFile((makers_ / "Saved").string());
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(SampleRenders().empty());
        for (int k = 0; k < 3; ++k) {
          EXPECT_FALSE(Visible(w, kViews[k]));
          EXPECT_EQ(Text(w, kNames[k]), "");
        }
      })
      .Press(kOrlf, 105)  // 'Bsav'
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(vmktest::Items(tb::FindControl(w, kOrlf, kFiles)),
                  std::vector<std::string>{"Saved"});
        EXPECT_EQ(tb::GetControl32BitMaximum(tb::FindControl(w, kOrlf, kBar)), 1);
        EXPECT_EQ(Iterations(SampleRenders()), std::vector<int32_t>{321});
        EXPECT_EQ(Text(w, kNames[0]), "Saved");
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalStrip, TheRampEditorIsPreviewedLiveAndACancelPutsTheRampBack) {
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 1, 150);
  dlg.SetFractPar(&owner);
  size_t before = 0;
  driver_.Advance(0.1)
      .Press(kOrlf, kAdjust)
      .Advance(0.05)
      .Do([&](tb::WindowRef) { before = MainRenders().size(); })
      .Type(FourCC("Avig"), 29, "-50")
      .Advance(0.6)  // the editor's tick, then the dialog's
      .Do([&](tb::WindowRef) {
        ASSERT_GT(MainRenders().size(), before);
        EXPECT_NE(MainRenders().back().ramp.colour[0][255], owner.entries[0].ramp.colour[0][255]);
      })
      .Press(FourCC("Avig"), 2)
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.rampEditor, nullptr);
        EXPECT_TRUE(Same(*dlg.current(), owner));
        EXPECT_EQ(MainRenders().back().ramp.colour[0][255], owner.entries[0].ramp.colour[0][255]);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
