// The fractal dialog: the temporary settings file, typed bounds and their
// refusals, the fixed-point pairs of typed, stepped, clicked, dragged and
// zoomed values, the settings' clamps, the type popup, undo, and OK straight
// after typing.
#include <cmath>
#include <filesystem>

#include "fractal_fixture.h"

namespace tb = plat::tb;

namespace {

constexpr int32_t kOk = 101, kCancel = 102;
constexpr int32_t kXMinEdit = 42, kXMaxEdit = 44, kReEdit = 50, kImEdit = 52;
constexpr int32_t kR0 = 53, kR1 = 54, kJ3 = 60;

class FractalDialog : public vmktest::FractalDialogTest {
 protected:
  // Types `text` at the end of a field whose text the step first sets to
  // `start`: the key filter lets no '.' through, so a real is typed around
  // the point the redraw wrote.
  void TypeReal(int32_t field, const std::string& start, const std::string& last) {
    driver_.Do([field, start](tb::WindowRef w) { tb::SetControlText(tb::FindControl(w, kOrlf, field), start); })
        .Type(kOrlf, field, last, false);
  }
  std::filesystem::path TempFile() const { return makers_ / "tmpvmkfract.hfa"; }
};

TEST_F(FractalDialog, WithoutTheTemporaryFileTheOwnersRecordIsShownAndOkWritesTheFile) {
  ASSERT_FALSE(std::filesystem::exists(TempFile()));
  FractPar owner;
  Typed(&owner, 13, 345);
  {
    VMKorreluneUI dlg;
    dlg.SetFractPar(&owner);
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef w) {
          EXPECT_TRUE(Same(*dlg.current(), owner));
          EXPECT_EQ(Text(w, 38), "345");
          EXPECT_EQ(Text(w, kReEdit), "0.3000000");
          EXPECT_EQ(Text(w, kImEdit), "1.5800000");
          EXPECT_EQ(Text(w, kXMinEdit), "-2.0000000");
          ASSERT_FALSE(MainRenders().empty());
          EXPECT_EQ(MainRenders().back().words[kFraIterations], 345);
        })
        .Press(kOrlf, kOk);
    EXPECT_EQ(dlg.Do_OrreluneDlg(0), 1);
    EXPECT_EQ(dlg.previewSource, 3);
  }
  ASSERT_TRUE(std::filesystem::exists(TempFile()));
  FractPar kept;
  Init_FractPar(&kept, 1, 0);
  fichier f;
  ASSERT_TRUE(MakersFolderItem(":tmpvmkfract.hfa", &f));
  ASSERT_EQ(Do_AFract_file(2, SpecOf(f), &kept), 0);
  EXPECT_TRUE(Same(kept, owner));
  // The next run from the main window starts from the file, over the owner's record.
  FractPar other;
  Typed(&other, 2, 99);
  VMKorreluneUI second;
  second.SetFractPar(&other);
  driver_.Advance(0.1).Press(kOrlf, kCancel);
  EXPECT_EQ(second.Do_OrreluneDlg(0), 0);
  EXPECT_TRUE(Same(*second.current(), owner));
  // An operation of the list is shown as it is, over the render file.
  VMKorreluneUI third;
  third.SetFractPar(&other);
  driver_.Advance(0.1).Press(kOrlf, kCancel);
  EXPECT_EQ(third.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(Same(*third.current(), other));
  EXPECT_EQ(third.previewSource, 2);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TypedBoundsAreStoredRoundedAndAnEmptyOrInvertedWindowIsRefused) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1);
  TypeReal(kXMinEdit, "-1.500000", "0");
  driver_.Advance(1.0).Do([&](tb::WindowRef w) {
    EXPECT_EQ(Pair(*dlg.current(), kFraWindowLeft), std::make_pair(9, -5000000));
    EXPECT_EQ(Text(w, kXMinEdit), "-1.5000000");
  });
  // 3 is past X max (2): refused, X min stays, and the redraw of the tick
  // shows it again.
  TypeReal(kXMinEdit, "", "3");
  driver_.Advance(1.0).Do([&](tb::WindowRef w) {
    EXPECT_EQ(Pair(*dlg.current(), kFraWindowLeft), std::make_pair(9, -5000000));
    EXPECT_EQ(Text(w, kXMinEdit), "-1.5000000");
  });
  // X max at X min is refused too; above it is taken.
  TypeReal(kXMaxEdit, "-1.500000", "0");
  driver_.Advance(1.0).Do([&](tb::WindowRef) {
    EXPECT_EQ(Pair(*dlg.current(), kFraWindowRight), std::make_pair(12, 0));
  });
  TypeReal(kXMaxEdit, "-1.499999", "9");
  driver_.Advance(1.0).Do([&](tb::WindowRef) {
    EXPECT_EQ(Pair(*dlg.current(), kFraWindowRight), std::make_pair(9, -4999999));
  });
  // C is always stored; half a unit of the fraction rounds away from zero.
  TypeReal(kReEdit, "-0.000000", "5");
  driver_.Advance(1.0).Do([&](tb::WindowRef) {
    EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(10, -5));
  });
  TypeReal(kReEdit, "-0.0000000", "5");
  driver_.Advance(1.0).Do([&](tb::WindowRef) {
    EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(10, -1));
  });
  driver_.Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TheStoredPairsOfValues) {
  int32_t w[2];
  FractStoreRounded(w, -1.5);
  EXPECT_EQ(w[0], 9);
  EXPECT_EQ(w[1], -5000000);
  FractStoreRounded(w, 0.35);
  EXPECT_EQ(w[0], 10);
  EXPECT_EQ(w[1], 3500000);
  FractStoreRounded(w, -0.00000005);
  EXPECT_EQ(w[0], 10);
  EXPECT_EQ(w[1], -1);
  FractStoreRounded(w, 1.99999999);  // the fraction rounds up into the integer
  EXPECT_EQ(w[0], 12);
  EXPECT_EQ(w[1], 0);
  FractStoreTruncated(w, -0.66666666);
  EXPECT_EQ(w[0], 10);
  EXPECT_EQ(w[1], -6666666);
  FractStoreTruncated(w, 1.0e300);  // held to what the integer word carries
  EXPECT_EQ(w[0], 2000000010);
  FractStoreTruncated(w, std::nan(""));
  EXPECT_EQ(w[0], 10);
  EXPECT_EQ(w[1], 0);
}

TEST_F(FractalDialog, DigitArrowsStepOneDecimalPlaceOfC) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);  // C = 0.35 + 0.35 i
  SetFractFixed(&owner.entries[0].w[kFraConstIm], 0.0);
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1)
      .PressPart(kOrlf, kR1, tb::kControlUpButtonPart)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kReEdit), "0.3600000");
        EXPECT_NEAR(Value(*dlg.current(), kFraConstRe), 0.36, 1e-9);
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, kReEdit), "0.3500000"); })
      .PressPart(kOrlf, kR0, tb::kControlUpButtonPart)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, kReEdit), "0.4500000"); })
      .PressPart(kOrlf, kJ3, tb::kControlDownButtonPart)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, kImEdit), "-0.0001000");
        EXPECT_EQ(Pair(*dlg.current(), kFraConstIm), std::make_pair(10, -1000));
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, AStepPastTheFractionsRangeIsKeptUntilTheFieldsAreRead) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  SetFractFixed(&owner.entries[0].w[kFraConstRe], 0.95);
  dlg.SetFractPar(&owner);
  size_t mainBefore = 0;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        mainBefore = MainRenders().size();
        // Held: the arrow's action alone, before its release sends the command.
        dlg.DigitArrowAction(tb::FindControl(w, kOrlf, kR0), tb::kControlUpButtonPart, false, 0);
        EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(10, 10500000));
        EXPECT_EQ(dlg.refresh(), 2);
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        // Only the strip was brought up to date; the main preview waits.
        EXPECT_EQ(MainRenders().size(), mainBefore);
        EXPECT_EQ(Text(w, kReEdit), "1.0500000");
        EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(10, 10500000));
        dlg.refresh() = 1;
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(11, 500000));
        EXPECT_EQ(MainRenders().size(), mainBefore + 1);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, ClicksPickCAndDragsZoomIntoTheirRectangle) {
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  // The preview's place in the window (the nib's), checked below.
  constexpr int16_t kLeft = 10, kTop = 10;
  auto at = [](int x, int y) { return Point{static_cast<int16_t>(kTop + y), static_cast<int16_t>(kLeft + x)}; };
  VMKorreluneUI pick;
  pick.SetFractPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(PreviewFrame(w).left, kLeft);
        EXPECT_EQ(PreviewFrame(w).top, kTop);
        EXPECT_EQ(pick.Box(0)->displayedWidth(), 500);
        EXPECT_EQ(pick.Box(0)->displayedHeight(), 500);
      })
      .Drag({at(250, 250)})
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Pair(*pick.current(), kFraConstRe), std::make_pair(10, 0));
        EXPECT_EQ(Pair(*pick.current(), kFraConstIm), std::make_pair(10, 0));
        EXPECT_EQ(Text(w, kReEdit), "0.0000000");
        // The window did not change, and the quad is the full square again.
        EXPECT_EQ(Value(*pick.current(), kFraWindowLeft), -2.0);
        EXPECT_EQ(pick.current()->entries[0].w[kFraExtras + 1], 100000);
      })
      .Drag({at(0, 0)})
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Pair(*pick.current(), kFraConstRe), std::make_pair(8, 0));
        EXPECT_EQ(Pair(*pick.current(), kFraConstIm), std::make_pair(12, 0));
      })
      // A rectangle of no width changes no bound.
      .Drag({at(100, 50), at(100, 300)})
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(Value(*pick.current(), kFraWindowLeft), -2.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowRight), 2.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowTop), -2.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowBottom), 2.0);
        EXPECT_EQ(pick.current()->entries[0].w[kFraExtras], 0);
      })
      // The right half, released past the preview's bottom right corner.
      .Drag({at(250, 0), at(400, 300), at(500, 500)})
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Value(*pick.current(), kFraWindowLeft), 0.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowRight), 2.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowTop), -2.0);
        EXPECT_EQ(Value(*pick.current(), kFraWindowBottom), 2.0);
        EXPECT_EQ(Text(w, kXMinEdit), "0.0000000");
      })
      // Cmd-Z gives the window back.
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(Value(*pick.current(), kFraWindowLeft), -2.0); })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(pick.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TheZoomSliderOpensOutClosesInAndNeverEmptiesTheWindow) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  SetFractFixed(&owner.entries[0].w[kFraWindowLeft], 0.5);
  SetFractFixed(&owner.entries[0].w[kFraWindowRight], 1.0);
  dlg.SetFractPar(&owner);
  auto window = [&] {
    const FractPar& r = *dlg.current();
    return std::vector<double>{Value(r, kFraWindowLeft), Value(r, kFraWindowRight), Value(r, kFraWindowTop),
                               Value(r, kFraWindowBottom)};
  };
  driver_.Advance(0.1)
      .Slide(kOrlf, 61, -100)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(window(), (std::vector<double>{-2, 2, -2, 2}));
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kOrlf, 61)), 0);
        EXPECT_EQ(dlg.zoomValue, 0);
      })
      .Slide(kOrlf, 61, 50)
      .Do([&](tb::WindowRef) { EXPECT_EQ(window(), (std::vector<double>{-1, 1, -1, 1})); })
      .Slide(kOrlf, 61, 99)
      .Do([&](tb::WindowRef) {
        const std::vector<double> v = window();
        EXPECT_LT(v[0], v[1]);
        EXPECT_LT(v[2], v[3]);
        EXPECT_NEAR(v[1] - v[0], 0.02, 1e-6);
      })
      // +100 would collapse both axes: they stay as they were.
      .Do([&](tb::WindowRef w) { tb::SetControl32BitMaximum(tb::FindControl(w, kOrlf, 61), 100); })
      .Slide(kOrlf, 61, 100)
      .Do([&](tb::WindowRef) {
        const std::vector<double> v = window();
        EXPECT_NEAR(v[1] - v[0], 0.02, 1e-6);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, SettingsAreHeldToTheirRangesAndTheBarsAreReadTogether) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1)
      .Type(kOrlf, 41, "2")     // D 4..255
      .Type(kOrlf, 38, "5000")  // A 20..2000
      .Type(kOrlf, 35, "-3")    // C 0..255
      .Type(kOrlf, 32, "99")    // B 1..64
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        const int32_t* e = dlg.current()->entries[0].w;
        EXPECT_EQ(e[kFraBailOut], 4);
        EXPECT_EQ(e[kFraIterations], 2000);
        EXPECT_EQ(e[kFraColourShift], 0);
        EXPECT_EQ(e[kFraColourScale], 64);
        EXPECT_EQ(Text(w, 38), "2000");
        tb::SetControl32BitValue(tb::FindControl(w, kOrlf, 40), 77);
      })
      .Slide(kOrlf, 31, 12)
      .Do([&](tb::WindowRef w) {
        const int32_t* e = dlg.current()->entries[0].w;
        EXPECT_EQ(e[kFraColourScale], 12);
        EXPECT_EQ(e[kFraBailOut], 77);
        EXPECT_EQ(Text(w, 41), "77");
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TheTypePopupResetsTheRecordToThatTypesDefaults) {
  VMKorreluneUI dlg;
  FractPar owner;
  Typed(&owner, 1, 777);
  owner.entries[0].w[kFraOpacity] = 40;
  owner.entries[3].w[kFraType] = 9;
  owner.entries[0].ramp.colour[0][5] = 1;
  dlg.SetFractPar(&owner);
  FractPar expected;
  Init_FractPar(&expected, 19, 0);
  driver_.Advance(0.1)
      .Choose(kOrlf, 25, 19)
      .Do([&](tb::WindowRef w) {
        EXPECT_TRUE(Same(*dlg.current(), expected));
        EXPECT_EQ(Text(w, kReEdit), "-0.7000000");
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, UndoStraightAfterOpeningLeavesTheRecordAndOkKeepsAValueJustTyped) {
  FractPar owner;
  Typed(&owner, 4, 250);
  {
    VMKorreluneUI dlg;
    dlg.SetFractPar(&owner);
    driver_.Advance(0.1).Key('z', cmdKey).Advance(0.5).Do([&](tb::WindowRef) {
      EXPECT_TRUE(Same(*dlg.current(), owner));
    });
    driver_.Press(kOrlf, kCancel);
    EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  }
  VMKorreluneUI dlg;
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1).Type(kOrlf, 38, "1234");
  TypeReal(kImEdit, "0.250000", "1");
  driver_.Press(kOrlf, kOk);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 1);
  FractPar out;
  dlg.GetFractPar(&out);
  EXPECT_EQ(out.entries[0].w[kFraIterations], 1234);
  EXPECT_EQ(Pair(out, kFraConstIm), std::make_pair(10, 2500001));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TheMouseReadsOutTheComplexPlaneAndPicksCWithOption) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  dlg.SetFractPar(&owner);
  size_t renders = 0;
  driver_.Advance(0.1)
      .MoveMouse(10 + 125, 10 + 375)
      .Do([&](tb::WindowRef w) {
        // The view steps through the picture at 499 / 500.
        EXPECT_EQ(dlg.mouseX, 124);
        EXPECT_EQ(dlg.mouseY, 374);
        // Kept: the readout takes the top edge as Y min.
        EXPECT_EQ(Text(w, 62), "R -1.0080000");
        EXPECT_EQ(Text(w, 63), "I 0.9920000");
        EXPECT_TRUE(Same(*dlg.current(), owner));
        driver_.ui().SetModifiers(optionKey);
        renders = MainRenders().size();
      })
      .MoveMouse(10 + 125, 10 + 375)
      .Do([&](tb::WindowRef w) {
        driver_.ui().SetModifiers(0);
        EXPECT_EQ(Pair(*dlg.current(), kFraConstRe), std::make_pair(9, -80000));
        EXPECT_EQ(Pair(*dlg.current(), kFraConstIm), std::make_pair(10, 9920000));
        EXPECT_EQ(Text(w, kReEdit), "-1.0080000");
        EXPECT_EQ(dlg.refresh(), 1);
      })
      // The preview follows a second later, not at the next half-second tick.
      .Advance(0.6)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainRenders().size(), renders); })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(MainRenders().size(), renders + 1);
        EXPECT_EQ(MainRenders().back().words[kFraConstRe], 9);
      })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, PopupsStoreTheirValuesAndAnOpacityOffTheStepsLeavesItsPopup) {
  VMKorreluneUI dlg;
  FractPar owner;
  Init_FractPar(&owner, 1, 0);
  owner.entries[0].w[kFraOpacity] = 45;
  dlg.SetFractPar(&owner);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kOrlf, 27)), 1); })
      .Choose(kOrlf, 27, 4)
      .Choose(kOrlf, 28, 3)
      .Choose(kOrlf, 29, 6)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        const int32_t* e = dlg.current()->entries[0].w;
        EXPECT_EQ(e[kFraOpacity], 30);
        EXPECT_EQ(e[kFraColourMode], 2);
        EXPECT_EQ(e[kFraBlur], 5);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kOrlf, 27)), 4);
      })
      .Key('z', cmdKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.current()->entries[0].w[kFraBlur], 0); })
      .Press(kOrlf, kCancel);
  EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(FractalDialog, TheDialogStopsItsTimerItselfAndWithoutAWindowInstallsNothing) {
  {
    VMKorreluneUI dlg;
    EXPECT_EQ(gVMKorrelune, &dlg);
    driver_.Advance(0.1).Press(kOrlf, kCancel);
    EXPECT_EQ(dlg.Do_OrreluneDlg(1), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
    EXPECT_EQ(dlg.loopTimer, nullptr);
  }
  {
    VMKorreluneUI dlg;
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_OrreluneDlg(0), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
  }
  EXPECT_EQ(gVMKorrelune, nullptr);
  EXPECT_EQ(GetOrreluneWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  OrreluneLoopHandler(nullptr, nullptr);
  LittleArrowR0ActionProc(nullptr, 20);
  ScrollBarEff32BitActionProc(nullptr, 20);
}

}  // namespace
