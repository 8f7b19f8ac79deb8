#include "dialogs/correction/noise_dialog.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/frame/zoom_pan.h"
#include "platform/toolbox/api/ui_services.h"

using vmktest::ColCorDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kDnoi = FourCC("Dnoi");
constexpr int32_t kOk = 101, kCancel = 102, kReset = 103, kFit = 109, kOneToOne = 110;

ColCorPar Defaults(int16_t effect) {
  ColCorPar r;
  Init_ColCorPar(&r, 1200, 900, 300, effect, 0, 0);
  return r;
}

TEST_F(ColCorDialogTest, OkCopiesBackWhileCancelAndTheCloseBoxLeaveTheOwnersRecord) {
  ColCorPar owner = Defaults(103);
  owner.w[kCCNoise + 1] = 33;
  const ColCorPar before = owner;
  ColCorPar preset = owner;
  preset.w[kCCNoise] = 7;
  SavePreset("soft.sse4", &preset, 103);
  for (bool closeBox : {false, true}) {
    VMKdnoiUI dlg;
    dlg.SetColCorPar(&owner);
    driver_.Choose(kDnoi, 37, 1).Hover(kDnoi, 37, {1}).Press(kDnoi, kReset).Type(kDnoi, 18, "99").Advance(1.1);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kDnoi, kCancel);
    if (dlg.Do_DNoiDlg() == 1) dlg.GetColCorPar(&owner);
    EXPECT_TRUE(Same(owner, before)) << closeBox;
  }
  {
    VMKdnoiUI dlg;
    dlg.SetColCorPar(&owner);
    driver_.Choose(kDnoi, 37, 1).Type(kDnoi, 18, "60").Advance(1.1).Press(kDnoi, kOk);
    ASSERT_EQ(dlg.Do_DNoiDlg(), 1);
    dlg.GetColCorPar(&owner);
  }
  EXPECT_EQ(owner.w[kCCNoise], 7);       // from the preset
  EXPECT_EQ(owner.w[kCCNoise + 1], 60);  // typed
  EXPECT_EQ(owner.w[kCCWidth], 1200);
  EXPECT_EQ(gVMKdnoi, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
}

// Ctrl+Z (Cmd-Z, and Control-Z) only raises the dialog's undo request, which no
// colour-correction dialog reads: a slider's value, a preset picked and a typed
// value all stay, and OK hands them back.
TEST_F(ColCorDialogTest, CtrlZLeavesTheSliderThePresetAndTheTypedValue) {
  ColCorPar owner = Defaults(103);
  ColCorPar preset = owner;
  preset.w[kCCNoise + 1] = 44;
  SavePreset("soft.sse4", &preset, 103);
  const auto field = [](tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kDnoi, id)); };
  VMKdnoiUI dlg;
  dlg.SetColCorPar(&owner);
  driver_.Advance(0.1)
      .Choose(kDnoi, 37, 1)
      .Key('z', cmdKey)
      .Key(26, controlKey)
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kCCNoise + 1), 44);
        EXPECT_EQ(field(w, 18), "44");
      })
      .Slide(kDnoi, 25, 60)
      .Key('z', cmdKey)
      .Advance(2.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kCCNoise), 60);
        EXPECT_EQ(field(w, 16), "60");
        EXPECT_EQ(dlg.Word(kCCNoise + 1), 44);
      })
      .Type(kDnoi, 34, "4")
      .Advance(1.1)
      .Key('z', cmdKey)
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kCCNoise + 2), 4);
        EXPECT_EQ(field(w, 34), "4");
      })
      .Press(kDnoi, kOk);
  ASSERT_EQ(dlg.Do_DNoiDlg(), 1);
  EXPECT_EQ(VMKdnoiUI::UndoRequest(), 1);
  dlg.GetColCorPar(&owner);
  EXPECT_EQ(owner.w[kCCNoise], 60);
  EXPECT_EQ(owner.w[kCCNoise + 1], 44);
  EXPECT_EQ(owner.w[kCCNoise + 2], 4);
  EXPECT_TRUE(driver_.errors().empty());
}

// The overlay opacity's percent becomes 0..255 in double: 50 gives 127 and 90 gives 229, from
// the field at the next tick and from the slider's command alike. (The section opens at 128,
// whose 50 % leaves it as it is: the opacity goes to 0 first.)
TEST_F(ColCorDialogTest, OverlayOpacityPercentIsScaledInDouble) {
  constexpr int32_t kOpacityWord = 7, kOpacityField = 30, kOpacitySlider = 32;
  for (const auto& [percent, stored] : {std::pair{50, 127}, std::pair{90, 229}, std::pair{100, 255}}) {
    for (bool slider : {false, true}) {
      ColCorPar owner = Defaults(103);
      VMKdnoiUI dlg;
      dlg.SetColCorPar(&owner);
      if (slider) driver_.Slide(kDnoi, kOpacitySlider, 0).Slide(kDnoi, kOpacitySlider, percent);
      else driver_.Type(kDnoi, kOpacityField, "0").Advance(1.1).Type(kDnoi, kOpacityField, std::to_string(percent));
      driver_.Advance(1.1).Press(kDnoi, kOk);
      ASSERT_EQ(dlg.Do_DNoiDlg(), 1);
      dlg.GetColCorPar(&owner);
      EXPECT_EQ(owner.w[kOpacityWord], stored) << percent << (slider ? " by the slider" : " typed");
    }
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, HoveredPresetsRenderAtOnceAndClosingRestoresTheRecord) {
  ColCorPar a = Defaults(103), b = Defaults(103);
  a.w[kCCNoise + 1] = 11;
  b.w[kCCNoise + 1] = 22;
  SavePreset("a.sse4", &a, 103);
  SavePreset("b.sse4", &b, 103);
  ColCorPar other = Defaults(104);
  SavePreset("c.sse5", &other, 104);  // another dialog's type is not listed
  VMKdnoiUI dlg;
  ColCorPar held{};
  std::vector<int32_t> seen;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::CountMenuItems(tb::FindControl(w, kDnoi, 37)), 2);
        dlg.GetColCorPar(&held);
        Renders().clear();
      })
      .Hover(kDnoi, 37, {1, 2, 7, 0})  // 7 and 0 lie outside the list: nothing loads
      .Do([&](tb::WindowRef) {
        for (const auto& r : MainRenders()) seen.push_back(r.words[kCCNoise + 1]);
        ColCorPar now{};
        dlg.GetColCorPar(&now);
        EXPECT_TRUE(Same(now, held));
        EXPECT_EQ(dlg.refresh(), 1);
      })
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_EQ(seen, (std::vector<int32_t>{11, 22}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, NoiseFieldsAreClampedAtTheNextTick) {
  VMKdnoiUI dlg;
  auto field = [&](tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kDnoi, id)); };
  driver_.Advance(0.1)
      .Type(kDnoi, 34, "9")
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(kCCNoise + 2), 5);
        EXPECT_EQ(field(w, 34), "5");
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 35)), 5);
      })
      .Type(kDnoi, 34, "0")
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(kCCNoise + 2), 1); })
      // Letters never arrive; an empty field or a lone '-' reads 0.
      .Type(kDnoi, 16, "4x2")
      .Type(kDnoi, 18, "-")
      .Type(kDnoi, 34, "")
      .Do([&](tb::WindowRef w) { EXPECT_EQ(field(w, 16), "42"); })
      .Advance(1.0)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(kCCNoise), 42);
        EXPECT_EQ(dlg.Word(kCCNoise + 1), 0);
        EXPECT_EQ(dlg.Word(kCCNoise + 2), 1);
      })
      // Cmd-Z is swallowed and raises the undo request.
      .Type(kDnoi, 18, "7")
      .Key('z', cmdKey)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(field(w, 18), "7"); })
      // Opacity: percent in the field, 0..255 in the record.
      .Type(kDnoi, 30, "40")
      .Advance(1.0)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(7), 102); })
      .Type(kDnoi, 30, "250")
      .Advance(1.0)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(7), 255);
        // Without an overlay its controls stay hidden; with one the record's
        // 0..255 shows as percent, disabled while the overlay is off.
        tb::ControlRef opacity = tb::FindControl(w, kDnoi, 30);
        EXPECT_FALSE(tb::IsControlVisible(opacity));
        dlg.Word(6) = 1;
        dlg.Word(7) = 128;
        dlg.DrawWindowContent(w);
        EXPECT_EQ(field(w, 30), "50");
        EXPECT_TRUE(tb::IsControlVisible(opacity));
        EXPECT_FALSE(tb::IsControlEnabled(opacity));
      })
      .Choose(kDnoi, 36, 2)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 36)), 2); })
      .Press(kDnoi, kOk);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 1);
  EXPECT_EQ(VMKdnoiUI::UndoRequest(), 1);
  EXPECT_EQ(dlg.Word(kCCNoise + 3), 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, SliderCommandsPushTheTickTwoSecondsAndTypingOne) {
  VMKdnoiUI dlg;
  size_t before = 0;
  driver_.Advance(0.5)
      .Do([&](tb::WindowRef) { before = MainRenders().size(); })
      .Slide(kDnoi, 26, 70)
      .Advance(1.9)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainRenders().size(), before); })
      .Advance(0.2)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(MainRenders().size(), before + 1);
        EXPECT_EQ(MainRenders().back().words[kCCNoise + 1], 70);
        before = MainRenders().size();
      })
      .Type(kDnoi, 18, "3")
      .Advance(0.9)
      .Type(kDnoi, 18, "35")
      .Advance(0.95)
      .Do([&](tb::WindowRef) { EXPECT_EQ(MainRenders().size(), before); })
      .Advance(0.1)
      .Do([&](tb::WindowRef) {
        ASSERT_EQ(MainRenders().size(), before + 1);
        EXPECT_EQ(MainRenders().back().words[kCCNoise + 1], 35);
      })
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, ZoomTableSliderAndPan) {
  VMKdnoiUI dlg;
  // The constructor's table: 10000 to 80000 in steps of 70000 / 32.
  EXPECT_EQ(dlg.zoomTable[0], 10000);
  EXPECT_EQ(dlg.zoomTable[16], 45000);
  EXPECT_EQ(dlg.zoomTable[1], 12187);
  dlg.SetNavZoom(4166);
  EXPECT_EQ(dlg.zoomTable[0], 4166);
  EXPECT_EQ(dlg.zoomTable[1], 4166 + 5834 / 16);
  EXPECT_EQ(dlg.zoomTable[16], 10000);
  EXPECT_EQ(dlg.zoomTable[17], 14375);
  EXPECT_EQ(dlg.zoomTable[32], 80000);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        // 1200 x 900: fit scale 4166, the whole image, index in the middle.
        EXPECT_EQ(dlg.zoomTable[0], 4166);
        EXPECT_EQ(dlg.curIndex, 16);
        EXPECT_EQ(dlg.curZoom, 10000);
        EXPECT_EQ(dlg.fitFlag, 1);
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kDnoi, 11)), " 42%");
        EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kDnoi, 13)));
      })
      .Press(kDnoi, kOneToOne)
      .Do([&](tb::WindowRef w) {
        // 1:1 first shows the picture's corner, the 500 x 400 view's size of
        // it: 500 / 1200 of the width and 400 / 900 of the height (the square
        // of 500 / 1200 each way was the picture's shape, shown with bands).
        EXPECT_EQ(dlg.pan[2], 41667);
        EXPECT_EQ(dlg.pan[3], 44444);
        EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kDnoi, 13)));
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 19)), 1);
      })
      .Press(kDnoi, 24)  // zoom in: index 17, scale 14375
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.curIndex, 17);
        EXPECT_EQ(dlg.curZoom, 14375);
        EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 13)), 100 + 4375 * 100 / 70000);
        // About the middle of the 1:1 part, pixel 250: 348 pixels (500 view
        // pixels at 14375) from pixel 76, moved inside the picture rather
        // than cut at its border.
        EXPECT_EQ(dlg.pan[0], 6333);
        EXPECT_EQ(dlg.pan[2], 35333);
        EXPECT_EQ(dlg.mainView()->state().panLeft, 6333);
        EXPECT_EQ(dlg.mainView()->state().shownZoom, 14375);
      })
      .Do([&](tb::WindowRef w) {
        dlg.pan[0] = dlg.pan[1] = 90000;
        dlg.pan[2] = dlg.pan[3] = 100000;
        dlg.SetPanZoom(w, 10000);  // 500 pixels about pixel 1140, moved inside
        EXPECT_EQ(dlg.pan[0], 58333);
        EXPECT_EQ(dlg.pan[2], 100000);
        // Slider to scale: position 50 lies half-way below the middle.
        dlg.AdjustPanZoom(w, 50);
        EXPECT_EQ(dlg.curZoom, 4166 + (10000 - 4166) * 50 / 100);
        EXPECT_EQ(dlg.curIndex, 9);
        // Position 200 is the last entry: no entry lies above it, the index stays.
        dlg.AdjustPanZoom(w, 200);
        EXPECT_EQ(dlg.curZoom, 80000);
        EXPECT_EQ(dlg.curIndex, 9);
      })
      // '-' steps from the zoom shown (80000), to the last entry below it.
      .Press(kDnoi, 23)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.curIndex, 31);
        EXPECT_EQ(dlg.curZoom, 75625);
      })
      .Press(kDnoi, kFit)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.fitFlag, 1);
        EXPECT_EQ(dlg.pan[2], 100000);
      })
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, ARectangleResizedInTheNavigatorIsTheZoomTheTextShows) {
  VMKdnoiUI dlg;
  driver_.Advance(0.1)
      .Press(kDnoi, kOneToOne)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kDnoi, 11)), "100%");
        // The user drags the frame's corner out to twice its side (the
        // 1:1 square of a 1200 wide image is 41666 wide).
        dlg.navigator()->SetBufSSPan(0, 0, 83333, 83333, 100, 0, 1);
        dlg.navigator()->CheckSetRefresh(1);
      })
      .Advance(2.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.pan[2], 83333);
        EXPECT_EQ(dlg.curZoom, 5000);
        EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kDnoi, 11)), " 50%");
      })
      .Press(kDnoi, kCancel);
  dlg.Do_DNoiDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// The navigator's frame, the dialog's pan and the main view's pan, side by side.
struct Pans {
  int32_t frame[4], dialog[4], view[4];
};

Pans PansOf(VMKdnoiUI& dlg) {
  Pans p{};
  dlg.navigator()->GetBufSSPan(&p.frame[0], &p.frame[1], &p.frame[2], &p.frame[3], 0);
  std::copy(dlg.pan, dlg.pan + 4, p.dialog);
  const ImaboxState& s = dlg.mainView()->state();
  const int32_t view[4] = {s.panLeft, s.panTop, s.panRight, s.panBottom};
  std::copy(view, view + 4, p.view);
  return p;
}

// The frame dragged with the mouse from the navigator's middle, by (dh, dv) window pixels.
Point NavigatorMiddle(tb::WindowRef w) {
  const Rect b = tb::GetControlBounds(tb::FindControl(w, kDnoi, 111));
  return Point{static_cast<int16_t>((b.top + b.bottom) / 2), static_cast<int16_t>((b.left + b.right) / 2)};
}

// At fit the view shows the whole picture whatever the navigator's frame is dragged to: the
// frame goes back to the whole picture at the next tick, the view and its zoom text stay. At
// 1:1 the same drag moves the view with the frame. Never the frame and the view apart.
TEST_F(ColCorDialogTest, AFrameDraggedInTheNavigatorAtFitGoesBackToWhatTheViewShows) {
  VMKdnoiUI dlg;
  std::string fitText;
  driver_.Advance(1.1).Do([&](tb::WindowRef w) {
    fitText = tb::GetControlText(tb::FindControl(w, kDnoi, 11));
    const Point from = NavigatorMiddle(w);
    const Point to{static_cast<int16_t>(from.v + 30), static_cast<int16_t>(from.h + 40)};
    driver_.Drag({from, Point{static_cast<int16_t>(from.v + 10), static_cast<int16_t>(from.h + 15)}, to})
        .Do([&](tb::WindowRef) {
          // The drag reached the frame: it stands moved, half outside the picture.
          const Pans p = PansOf(dlg);
          EXPECT_GT(p.frame[0], 0);
          EXPECT_GT(p.frame[2], 100000);
        })
        .Advance(1.1)
        .Do([&](tb::WindowRef w2) {
          const Pans p = PansOf(dlg);
          for (int k = 0; k < 4; ++k) {
            const int32_t whole = k < 2 ? 0 : 100000;
            EXPECT_EQ(p.frame[k], whole) << k;
            EXPECT_EQ(p.dialog[k], whole) << k;
            EXPECT_EQ(p.view[k], whole) << k;
          }
          EXPECT_EQ(dlg.fitFlag, 1);
          EXPECT_EQ(tb::GetControlText(tb::FindControl(w2, kDnoi, 11)), fitText);
        })
        .Press(kDnoi, kOneToOne)
        .Advance(2.1)
        .Do([&](tb::WindowRef w2) {
          // The 1:1 frame is the top-left square of 41666: its middle lies a fifth of the
          // way into the navigator.
          const Rect b = tb::GetControlBounds(tb::FindControl(w2, kDnoi, 111));
          const ImaboxState& s = dlg.navigator()->state();
          const auto h = static_cast<int16_t>(b.left + (s.viewWidth - dlg.navigator()->displayedWidth()) / 2 +
                                              dlg.navigator()->displayedWidth() * 20833 / 100000);
          const auto v = static_cast<int16_t>(b.top + (s.viewHeight - dlg.navigator()->displayedHeight()) / 2 +
                                              dlg.navigator()->displayedHeight() * 20833 / 100000);
          driver_.Drag({Point{v, h}, Point{static_cast<int16_t>(v + 6), static_cast<int16_t>(h + 10)},
                        Point{static_cast<int16_t>(v + 12), static_cast<int16_t>(h + 20)}})
              .Advance(1.1)
              .Do([&](tb::WindowRef w3) {
                const Pans p = PansOf(dlg);
                EXPECT_GT(p.frame[0], 0);
                for (int k = 0; k < 4; ++k) {
                  EXPECT_EQ(p.dialog[k], p.frame[k]) << k;
                  EXPECT_EQ(p.view[k], p.frame[k]) << k;
                }
                EXPECT_EQ(dlg.fitFlag, 0);
                EXPECT_EQ(tb::GetControlText(tb::FindControl(w3, kDnoi, 11)), "100%");
              })
              .Press(kDnoi, kCancel);
        });
  });
  dlg.Do_DNoiDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, TheZoomSliderStepsTheZoomWithoutWritingIntoItsWindow) {
  // The zoom slider's reference is the window: a step by its arrow or page
  // part moves the zoom and writes no text anywhere (taking the window for
  // a number field crashed the dialog).
  VMKdnoiUI dlg;
  int32_t before = 0;
  driver_.Advance(0.1)
      .Press(kDnoi, kOneToOne)
      .Do([&](tb::WindowRef w) { before = tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 13)); })
      .PressPart(kDnoi, 13, tb::kControlPageDownPart)
      .Do([&](tb::WindowRef w) {
        const int32_t after = tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 13));
        EXPECT_EQ(after, before + 10);
        EXPECT_EQ(dlg.curZoom, ZoomAtSliderPosition(dlg.zoomTable, dlg.minIndex, dlg.midIndex, dlg.maxIndex,
                                                    static_cast<int16_t>(after)));
      })
      .PressPart(kDnoi, 13, tb::kControlUpButtonPart)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kDnoi, 13)), before + 9); })
      .Press(kDnoi, kCancel);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(ColCorDialogTest, ImagesUnder500PixelsFitAtOneToOne) {
  Start(400, 300);
  VMKdnoiUI dlg;
  // a = 50000000 / 400 is beyond the whole image: capped.
  EXPECT_EQ(dlg.oneToOne[2], 100000);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.zoomTable[0], 10000);
        EXPECT_EQ(dlg.zoomTable[32], 80000);
        EXPECT_EQ(dlg.zoomTable[1] - dlg.zoomTable[0], 70000 / 32);
      })
      .Press(kDnoi, kOneToOne)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.pan[0], 0);
        EXPECT_EQ(dlg.pan[2], 100000);
        EXPECT_EQ(dlg.pan[3], 100000);
      })
      .Press(kDnoi, kOk);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 1);
}

TEST_F(ColCorDialogTest, AnEmptyDocumentCountsAsOnePixel) {
  Start(0, 0);
  VMKdnoiUI dlg;
  EXPECT_EQ(dlg.oneToOne[2], 100000);
  driver_.Advance(0.1).Press(kDnoi, kOneToOne).Press(kDnoi, 24).Press(kDnoi, kOk);
  EXPECT_EQ(dlg.Do_DNoiDlg(), 1);
  EXPECT_EQ(dlg.zoomTable[0], 10000);
}

TEST_F(ColCorDialogTest, WithoutItsWindowTheDialogInstallsNothing) {
  {
    VMKdnoiUI dlg;
    EXPECT_EQ(gVMKdnoi, &dlg);
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_DNoiDlg(), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
    EXPECT_EQ(dlg.loopTimer, nullptr);
  }
  EXPECT_EQ(gVMKdnoi, nullptr);
}

// The handlers reach the newest dialog; an older one closing leaves it
// reachable, and with none open the window handler declines every event.
TEST_F(ColCorDialogTest, HandlersFollowTheNewestDialogAndDeclineWithoutOne) {
  auto older = std::make_unique<VMKdnoiUI>();
  {
    VMKdnoiUI newer;
    older.reset();
    EXPECT_EQ(gVMKdnoi, &newer);
  }
  EXPECT_EQ(gVMKdnoi, nullptr);
  EXPECT_EQ(GetDNoiWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  EXPECT_EQ(&GetDNoiWindowEventHandlerUPP(), &GetDNoiWindowEventHandlerUPP());
  DNoiLoopHandler(nullptr, nullptr);
}

}  // namespace
