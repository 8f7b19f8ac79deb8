// The content-aware resize dialog: the owner's hand-over with both masks,
// the temporary file of the last accepted run, the fields and their rules,
// the kinds and the mask painting, the navigator, the timer, a window that
// cannot be made.
#include "dialogs/correction/content_aware_dialog.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <memory>

#include "content_aware_fixture.h"
#include "platform/toolbox/api/ui_services.h"
#include "support/session.h"

namespace tb = plat::tb;

namespace {

using vmktest::kYoxl;
using vmktest::kYoxlCancel;
using vmktest::kYoxlOk;
using YoxelTest = vmktest::YoxelDialogTest;

TEST_F(YoxelTest, OkHandsBackTheWordsAndBothMasks) {
  Yoxel owner;
  MakeRecord(owner, 1200, 900, 5);
  owner.par->noiseAmount = 12;
  VMKyoxelUI dlg;
  EXPECT_EQ(gVMKyoxel, &dlg);
  dlg.SetYoxelPar(owner.par);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        YoxelPar* r = dlg.editRecord();
        r->protectMask[3] = 999;
        r->removeMask[4] = 777;
      })
      .Type(kYoxl, 17, "40")
      .Advance(1.1)
      .Press(kYoxl, kYoxlOk);
  ASSERT_EQ(dlg.Do_YoxelDlg(), 1);
  dlg.GetYoxelPar(owner.par);
  EXPECT_EQ(owner.par->noiseAmount, 40);
  EXPECT_EQ(owner.par->protectMask[3], 999);
  EXPECT_EQ(owner.par->removeMask[4], 777);
  EXPECT_EQ(owner.par->protectMask[5], (5 * 7 + 5) % 16385);
  EXPECT_TRUE(driver_.errors().empty());
}


Point P(int h, int v) { return Point{static_cast<int16_t>(v), static_cast<int16_t>(h)}; }

constexpr int32_t kProtectRadio = 57, kEraseRadio = 58, kAdjustRadio = 63, kBrushRadio = 61, kEraseBrush = 62;
constexpr int32_t kKindPopup = 7, kViewRadio = 8, kUnitPopup = 56;

// Cancel and the close box, after painting, a load, a reset and kind
// changes, leave the owner's record and masks as they were, and the
// temporary file is not written.
TEST_F(YoxelTest, CancelAndTheCloseBoxLeaveTheOwnersRecordAndTheTemporaryFile) {
  Yoxel owner, before, loaded;
  MakeRecord(owner, 1200, 900, 3);
  MakeRecord(before, 1200, 900, 3);
  MakeRecord(loaded, 1200, 900, 9);
  loaded.par->sharpenAmount = 66;
  const std::string preset = bundle_.makersFile("other.hyx");
  {
    FSSpec none{};
    driver_.ui().AnswerSaveFile(preset);
    ASSERT_EQ(Do_AYoxel_file(1, none, loaded.par, 1, 1000, 1000, loaded.par->protectMask, loaded.par->removeMask), 0);
  }
  for (bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox);
    VMKyoxelUI dlg;
    dlg.SetYoxelPar(owner.par);
    driver_.ui().AnswerOpenFile(preset);
    driver_.Advance(0.1)
        .Choose(kYoxl, kKindPopup, 9)
        .Press(kYoxl, kProtectRadio)
        .Drag({P(200, 200), P(220, 210), P(260, 230)})
        .Advance(0.6)
        .Press(kYoxl, vmktest::kYoxlLoad)
        .Press(kYoxl, vmktest::kYoxlReset)
        .Choose(kYoxl, kKindPopup, 10)
        .Choose(kYoxl, kKindPopup, 2)
        .Type(kYoxl, 17, "77")
        .Advance(1.1);
    if (closeBox) driver_.CloseBox();
    else driver_.Press(kYoxl, kYoxlCancel);
    if (dlg.Do_YoxelDlg() == 1) dlg.GetYoxelPar(owner.par);
    EXPECT_TRUE(SameYoxel(*owner.par, *before.par));
    EXPECT_FALSE(std::filesystem::exists(TempPath()));
  }
  EXPECT_EQ(gVMKyoxel, nullptr);
  EXPECT_TRUE(driver_.errors().empty());
}


// A stroke in the main view with mask mode 1 reaches the record's protect
// mask at the next tick and leaves the erase mask; the readout over it reads
// its value; moving over the view while painting draws the brush outline
// under the cursor of the brush's direction.
TEST_F(YoxelTest, PaintingReachesTheProtectMaskAndTheReadoutsAndCursorsFollow) {
  VMKyoxelUI dlg;
  std::vector<int16_t> eraseBefore;
  driver_.Advance(0.1)
      .Choose(kYoxl, kKindPopup, 9)
      .Press(kYoxl, kProtectRadio)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 1);
        EXPECT_EQ(Value(w, kViewRadio), 1);
        EXPECT_FALSE(Enabled(w, kViewRadio));
        EXPECT_EQ(Text(w, 16), "Brush:");
        EXPECT_FALSE(Visible(w, 49));
        EXPECT_FALSE(Visible(w, 19));
        EXPECT_EQ(tb::GetControl32BitMaximum(tb::FindControl(w, kYoxl, 48)), 150);
        const YoxelPar* r = dlg.editRecord();
        eraseBefore.assign(r->removeMask, r->removeMask + 1000 * 1000);
        EXPECT_EQ(r->protectMask[500 * 1000 + 500], 0);
      })
      // A small brush, so that a readout ten pixels off reads nothing.
      .Slide(kYoxl, 48, 4)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.Word(VMKyoxelUI::kBrushSize), 4); })
      // Window (330, 250) is view (320, 240): the middle of the picture,
      // mask sample (500, 500).
      .Drag({P(300, 250), P(310, 250), P(320, 250), P(330, 250), P(340, 250), P(350, 250)})
      .Do([&](tb::WindowRef) {
        // Not in the record before the tick.
        EXPECT_EQ(dlg.editRecord()->protectMask[500 * 1000 + 500], 0);
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_GT(r->protectMask[500 * 1000 + 500], 8000);
        EXPECT_EQ(r->protectMask[100 * 1000 + 500], 0);
        EXPECT_TRUE(std::equal(eraseBefore.begin(), eraseBefore.end(), r->removeMask));
        // The preview after the stroke carries it.
        const auto renders = MainYoxelRenders();
        ASSERT_FALSE(renders.empty());
        EXPECT_EQ(renders.back().words[VMKyoxelUI::kMaskMode], 1);
      })
      .MoveMouse(330, 250)
      .Do([&](tb::WindowRef w) {
        EXPECT_GT(dlg.readouts[3], 200);
        EXPECT_EQ(dlg.readouts[4], 0);
        EXPECT_EQ(Text(w, 59), " Pro " + std::to_string(dlg.readouts[3]));
        EXPECT_EQ(Text(w, 60), " Era 0");
        // The stand-in source picture (30, 90, 150), tinted red where the
        // protect mask is painted.
        EXPECT_GT(dlg.readouts[0], 100);
        EXPECT_EQ(dlg.readouts[2], 150);
        EXPECT_EQ(dlg.mainView()->cursorShown(), 1);
        EXPECT_EQ(dlg.mainView()->cursorLastX(), 330);
        const plat::ui::CursorChoice c = plat::ui::LastCursor();
        EXPECT_EQ(c.kind, plat::ui::CursorChoice::Resource);
        EXPECT_EQ(c.id, 16007);
      })
      .Press(kYoxl, kEraseBrush)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.refresh(), 0); })
      .MoveMouse(340, 260)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(plat::ui::LastCursor().id, 16008);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kBrushDirection), 1);
      })
      // Outside the view, and over it without painting: the arrow.
      .MoveMouse(800, 600)
      .Do([&](tb::WindowRef) { EXPECT_EQ(plat::ui::LastCursor().kind, plat::ui::CursorChoice::Theme); })
      .Press(kYoxl, kAdjustRadio)
      .MoveMouse(330, 250)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(plat::ui::LastCursor().kind, plat::ui::CursorChoice::Theme);
        EXPECT_EQ(plat::ui::LastCursor().id, plat::ui::kArrowCursor);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}


// OK writes the temporary file; the next dialog, on a picture of another
// size, opens with its rectangles (in 1/100000 of the picture) and its
// masks, in the record and in the main view, which previews them.
TEST_F(YoxelTest, TheLastAcceptedRunComesBackOnAPictureOfAnotherSize) {
  {
    VMKyoxelUI dlg;
    driver_.Advance(0.1)
        .Type(kYoxl, 34, "600")  // source right: half of 1200
        .Type(kYoxl, 47, "450")  // target bottom: half of 900
        .Advance(1.1)
        .Do([&](tb::WindowRef) {
          YoxelPar* r = dlg.editRecord();
          r->protectMask[7 * 1000 + 3] = 4321;
          r->removeMask[7 * 1000 + 3] = 1234;
        })
        .Press(kYoxl, kYoxlOk);
    ASSERT_EQ(dlg.Do_YoxelDlg(), 1);
  }
  ASSERT_TRUE(std::filesystem::exists(TempPath()));
  Restart(800, 500);
  VMKyoxelUI dlg;
  EXPECT_EQ(dlg.editRecord()->imageWidth, 800);
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->sourceQuad[2], 50000);
        EXPECT_EQ(r->sourceQuad[1], 50000);
        EXPECT_EQ(r->targetQuad[6], 50000);
        EXPECT_EQ(r->imageWidth, 800);
        EXPECT_EQ(r->imageHeight, 500);
        EXPECT_EQ(r->protectMask[7 * 1000 + 3], 4321);
        EXPECT_EQ(r->removeMask[7 * 1000 + 3], 1234);
        // The main view took the masks and the rectangles read.
        EXPECT_EQ(dlg.mainView()->maskA()[7 * 1000 + 3], 4321);
        EXPECT_EQ(dlg.mainView()->maskB()[7 * 1000 + 3], 1234);
        int32_t l = 0, t = 0, rr = 0, b = 0;
        dlg.mainView()->GetBufSSPan(&l, &t, &rr, &b, 0);
        EXPECT_EQ(rr, 50000);
        // Shown in the new picture's pixels.
        EXPECT_EQ(Text(w, 34), " 400");
        EXPECT_EQ(Text(w, 47), " 250");
        const auto renders = MainYoxelRenders();
        ASSERT_FALSE(renders.empty());
        EXPECT_EQ(renders.back().words[12], 50000);
        EXPECT_EQ(renders.back().protectSample, 4321);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// The content library's settings files load through the dialog's load
// button: the kind and the target rectangle come in, the painted masks give
// way to the files' empty ones, the picture's size stays; OK hands them on.
TEST_F(YoxelTest, TheContentLibrarysSettingsLoad) {
  ASSERT_TRUE(vmktest::MakeContentLibrary(bundle_.makersFile("")));
  struct Expected {
    const char* name;
    int32_t kind, right, bottom;
  };
  for (const Expected& e : {Expected{"Narrower by a fifth", 8, 80000, 100000},
                            Expected{"Lower by a quarter", 8, 100000, 75000}, Expected{"Half size", 5, 50000, 50000}}) {
    SCOPED_TRACE(e.name);
    Yoxel owner;
    MakeRecord(owner, 1200, 900, 4);
    VMKyoxelUI dlg;
    dlg.SetYoxelPar(owner.par);
    driver_.ui().AnswerOpenFile(bundle_.makersFile(std::string("Presets/Content-aware resize/") + e.name + ".hyxl"));
    driver_.Advance(0.1).Press(kYoxl, vmktest::kYoxlLoad).Advance(0.6).Press(kYoxl, kYoxlOk);
    ASSERT_EQ(dlg.Do_YoxelDlg(), 1);
    dlg.GetYoxelPar(owner.par);
    EXPECT_EQ(owner.par->resizeMethod, e.kind);
    EXPECT_EQ(owner.par->targetQuad[1], e.right);
    EXPECT_EQ(owner.par->targetQuad[2], e.right);
    EXPECT_EQ(owner.par->targetQuad[6], e.bottom);
    EXPECT_EQ(owner.par->sourceQuad[2], 100000);
    EXPECT_EQ(owner.par->imageWidth, 1200);
    EXPECT_EQ(owner.par->imageHeight, 900);
    const int32_t n = owner.par->maskWidth * owner.par->maskHeight;
    EXPECT_EQ(std::count(owner.par->protectMask, owner.par->protectMask + n, 0), n);
    EXPECT_EQ(std::count(owner.par->removeMask, owner.par->removeMask + n, 0), n);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// A missing temporary file keeps the record handed in; a damaged one keeps
// it byte for byte and the dialog still opens.
TEST_F(YoxelTest, AMissingOrDamagedTemporaryFileKeepsTheGivenRecord) {
  Yoxel given, copy;
  MakeRecord(given, 1200, 900, 11);
  MakeRecord(copy, 1200, 900, 11);
  given.par->sourceQuad[2] = copy.par->sourceQuad[2] = 70000;
  std::filesystem::remove(TempPath());
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    if (round == 1) std::ofstream(TempPath(), std::ios::binary) << "not a settings file";
    if (round == 2) {
      // A good file cut inside its masks.
      {
        VMKyoxelUI writer;
        driver_.Advance(0.1).Press(kYoxl, kYoxlOk);
        ASSERT_EQ(writer.Do_YoxelDlg(), 1);
      }
      std::filesystem::resize_file(TempPath(), 4330);
    }
    VMKyoxelUI dlg;
    dlg.SetYoxelPar(given.par);
    bool same = false;
    driver_.Advance(0.1)
        .Do([&](tb::WindowRef) { same = SameYoxel(*dlg.editRecord(), *copy.par); })
        .Press(kYoxl, kYoxlCancel);
    dlg.Do_YoxelDlg();
    EXPECT_TRUE(same);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// The rectangle fields: held to the picture and to their opposite edge,
// shown in the unit; the value fields clamped to their page's range; the
// overlay opacity held to 0..100 percent before it becomes 0..255.
TEST_F(YoxelTest, FieldsKeepTheirRulesAndRanges) {
  VMKyoxelUI dlg;
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Text(w, 31), "   0");
        EXPECT_EQ(Text(w, 34), "1200");
        EXPECT_EQ(Text(w, 67), "Size : 3 Mb");  // 1200 x 900 x 3 / 1048576
      })
      .Type(kYoxl, 31, "300")
      .Type(kYoxl, 34, "100")      // right below the left: raised to it
      .Type(kYoxl, 45, "200000")   // target right: the picture's edge
      .Type(kYoxl, 17, "150")      // noise
      .Type(kYoxl, 53, "999")      // opacity percent
      .Advance(1.1)
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->sourceQuad[0], 25000);
        EXPECT_EQ(r->sourceQuad[3], 25000);
        EXPECT_EQ(r->sourceQuad[1], 25000);
        EXPECT_EQ(r->sourceQuad[2], 25000);
        EXPECT_EQ(r->targetQuad[2], 100000);
        EXPECT_EQ(r->noiseAmount, 100);
        EXPECT_EQ(r->overlayOpacity, 255);
      })
      .Type(kYoxl, 45, "600")
      .Advance(1.1)
      .Type(kYoxl, 42, "900")      // target left beyond its right: lowered
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->targetQuad[0], 50000);
        EXPECT_EQ(r->targetQuad[1], 50000);
        EXPECT_EQ(Text(w, 42), " 600");
      })
      // Inches at 300 dots per inch: 600 pixels are 2 inches.
      .Choose(kYoxl, kUnitPopup, 3)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.unit, 3);
        EXPECT_EQ(Text(w, 42), "2.00");
        EXPECT_EQ(Text(w, 47), "3.00");
      })
      .Type(kYoxl, 47, "1.5")
      .Advance(1.1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.editRecord()->targetQuad[6], 50000); })
      // While painting the first field is the brush size, up to 150.
      .Choose(kYoxl, kKindPopup, 9)
      .Press(kYoxl, kProtectRadio)
      .Type(kYoxl, 17, "200")
      .Advance(1.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kBrushSize), 150);
        EXPECT_EQ(Text(w, 17), "150");
        EXPECT_EQ(dlg.editRecord()->noiseAmount, 100);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}


// 'Pknd': item 10 resets both rectangles each time it is chosen, item 9
// keeps them; kinds 0 to 7 end the painting and hide the mask controls.
TEST_F(YoxelTest, KindItemsAndWhatTheyShow) {
  VMKyoxelUI dlg;
  auto narrow = [&](tb::WindowRef) {
    YoxelPar* r = dlg.editRecord();
    for (int32_t* q : {r->sourceQuad, r->targetQuad}) {
      q[1] = q[2] = 60000;
      q[6] = q[7] = 70000;
    }
  };
  auto whole = [&](const int32_t* q) {
    return q[0] == 0 && q[1] == 100000 && q[2] == 100000 && q[3] == 0 && q[4] == 0 && q[5] == 0 && q[6] == 100000 &&
           q[7] == 100000;
  };
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(Value(w, kKindPopup), 6);  // kind 5 at start
        for (int32_t id : {kProtectRadio, kEraseRadio, kAdjustRadio, kBrushRadio, kEraseBrush, 59, 60, 64, 69})
          EXPECT_FALSE(Visible(w, id)) << id;
        EXPECT_EQ(Text(w, 16), "Noise:");
        EXPECT_EQ(Text(w, 18), "Sharp:");
      })
      .Do(narrow)
      .Choose(kYoxl, kKindPopup, 9)
      .Do([&](tb::WindowRef w) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->resizeMethod, 8);
        EXPECT_EQ(r->twoStage, 0);
        EXPECT_EQ(r->sourceQuad[2], 60000);
        EXPECT_EQ(dlg.viewState, 2);
        EXPECT_EQ(dlg.fitFlag, 1);
        for (int32_t id : {kProtectRadio, kEraseRadio, kAdjustRadio, 59, 60, 64, 69}) EXPECT_TRUE(Visible(w, id)) << id;
        EXPECT_EQ(Value(w, kAdjustRadio), 1);
        EXPECT_EQ(Text(w, 16), "Linear:");
        EXPECT_EQ(Text(w, 18), "Adjust:");
        EXPECT_FALSE(Visible(w, 20));
        EXPECT_EQ(dlg.mainView()->param().panFrameSet, 2);
      })
      .Choose(kYoxl, kKindPopup, 10)
      .Do([&](tb::WindowRef w) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->twoStage, 1);
        EXPECT_TRUE(whole(r->sourceQuad));
        EXPECT_TRUE(whole(r->targetQuad));
        EXPECT_EQ(Value(w, kKindPopup), 10);
        // The removal's result view shows the third quad's frame.
        EXPECT_EQ(dlg.mainView()->param().panFrameSet, 4);
      })
      .Do(narrow)
      .Choose(kYoxl, kKindPopup, 10)
      .Do([&](tb::WindowRef) {
        EXPECT_TRUE(whole(dlg.editRecord()->sourceQuad));
        EXPECT_TRUE(whole(dlg.editRecord()->targetQuad));
      })
      // Painting: the brush row alone, the view state held at 1.
      .Press(kYoxl, kEraseRadio)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 2);
        EXPECT_EQ(Value(w, kViewRadio), 1);
        EXPECT_FALSE(Enabled(w, kViewRadio));
        EXPECT_TRUE(Visible(w, kBrushRadio));
        EXPECT_EQ(Value(w, kBrushRadio), 1);
        EXPECT_EQ(dlg.mainView()->param().panFrameSet, 0);
        EXPECT_EQ(dlg.mainView()->state().maskMode, 2);
        EXPECT_EQ(dlg.mainView()->state().brushSize, 40);
      })
      // A resampling kind ends the painting and hides the mask controls.
      .Choose(kYoxl, kKindPopup, 3)
      .Do([&](tb::WindowRef w) {
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kKind), 2);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 0);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kRemoval), 0);
        EXPECT_EQ(dlg.mainView()->state().maskMode, 0);
        for (int32_t id : {kProtectRadio, kEraseRadio, kAdjustRadio, kBrushRadio, kEraseBrush, 59, 60}) {
          EXPECT_FALSE(Visible(w, id)) << id;
        }
        EXPECT_TRUE(Enabled(w, kViewRadio));
        EXPECT_TRUE(Visible(w, 20));
      })
      // A mask mode a loaded record brings with a resampling kind is ended at
      // the next redraw.
      .Do([&](tb::WindowRef w) {
        dlg.Word(VMKyoxelUI::kMaskMode) = 1;
        dlg.DrawWindowContent(w);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 0);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// Option-'Bpro' with choice 2 inverts the protect mask alone and sets its
// strength; 'Bres' with choice 2 inverts both and keeps both strengths,
// with choice 1 clears both, and alone keeps the painted masks.
TEST_F(YoxelTest, MaskOptionsInvertClearAndWeigh) {
  Yoxel owner;
  MakeRecord(owner, 1200, 900, 1);
  VMKyoxelUI dlg;
  dlg.SetYoxelPar(owner.par);
  constexpr OSType kClop = FourCC("Clop");
  auto option = [&](bool on) {
    return [&, on](tb::WindowRef) { driver_.ui().SetModifiers(on ? uint32_t{optionKey} : 0u); };
  };
  auto at = [](const int16_t* m, int i) { return m[i]; };
  driver_.Advance(0.1)
      .Choose(kYoxl, kKindPopup, 9)
      .Do(option(true))
      .Press(kYoxl, kProtectRadio)
      .Choose(kClop, 3, 2)
      .Type(kClop, 5, "60")
      .Advance(1.1)
      .Press(kClop, 1)
      .Do(option(false))
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 1);
        EXPECT_EQ(r->protectWeight, 60);
        EXPECT_EQ(r->removeWeight, 100);
        for (int i : {0, 5, 12345, 999999}) {
          EXPECT_EQ(at(r->protectMask, i), 16384 - at(owner.par->protectMask, i)) << i;
          EXPECT_EQ(at(r->removeMask, i), at(owner.par->removeMask, i)) << i;
        }
        // The view paints over the inverted mask.
        EXPECT_EQ(dlg.mainView()->maskA()[12345], 16384 - owner.par->protectMask[12345]);
      })
      // Reset alone: the values back to their defaults, the masks kept.
      .Press(kYoxl, vmktest::kYoxlReset)
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_EQ(r->protectWeight, 100);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 0);
        EXPECT_EQ(at(r->protectMask, 5), 16384 - at(owner.par->protectMask, 5));
      })
      .Do([&](tb::WindowRef) { dlg.editRecord()->removeWeight = 70; })
      .Do(option(true))
      .Press(kYoxl, vmktest::kYoxlReset)
      .Choose(kClop, 3, 2)
      .Type(kClop, 5, "10")
      .Advance(1.1)
      .Press(kClop, 1)
      .Do(option(false))
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        // Reset put the strengths back to 100 first; choice 2 keeps them.
        EXPECT_EQ(r->protectWeight, 100);
        EXPECT_EQ(r->removeWeight, 100);
        EXPECT_EQ(at(r->protectMask, 5), at(owner.par->protectMask, 5));
        EXPECT_EQ(at(r->removeMask, 5), 16384 - at(owner.par->removeMask, 5));
        EXPECT_EQ(dlg.mainView()->maskB()[5], 16384 - owner.par->removeMask[5]);
      })
      // Choice 3 weighs both; choice 1 clears both.
      .Do(option(true))
      .Press(kYoxl, vmktest::kYoxlReset)
      .Choose(kClop, 3, 3)
      .Type(kClop, 5, "25")
      .Advance(1.1)
      .Press(kClop, 1)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.editRecord()->protectWeight, 25);
        EXPECT_EQ(dlg.editRecord()->removeWeight, 25);
      })
      .Press(kYoxl, vmktest::kYoxlReset)
      .Choose(kClop, 3, 1)
      .Press(kClop, 1)
      .Do(option(false))
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_TRUE(std::all_of(r->protectMask, r->protectMask + 1000000, [](int16_t v) { return v == 0; }));
        EXPECT_TRUE(std::all_of(r->removeMask, r->removeMask + 1000000, [](int16_t v) { return v == 0; }));
        EXPECT_EQ(dlg.mainView()->maskA()[5], 0);
      })
      // A cancelled options dialog changes nothing.
      .Do([&](tb::WindowRef) { dlg.editRecord()->protectMask[9] = 99; })
      .Do(option(true))
      .Press(kYoxl, kEraseRadio)
      .Choose(kClop, 3, 1)
      .Press(kClop, 2)
      .Do(option(false))
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.editRecord()->protectMask[9], 99);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kMaskMode), 2);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// The copy popup: the target takes the source, the source the target, or a
// percentage of the source (50 and 50 halve every corner); the two choice
// popups set their words.
TEST_F(YoxelTest, CopyAndChoicePopups) {
  VMKyoxelUI dlg;
  constexpr OSType kPopt = FourCC("Popt");
  driver_.Advance(0.1)
      .Do([&](tb::WindowRef) {
        int32_t* s = dlg.editRecord()->sourceQuad;
        const int32_t q[8] = {10001, 80001, 80001, 10001, 20003, 20003, 90003, 90003};
        std::copy(q, q + 8, s);
      })
      .Choose(kYoxl, vmktest::kYoxlCopyPopup, 3)
      .Type(kPopt, 3, "50")
      .Type(kPopt, 5, "50")
      .Advance(1.1)
      .Press(kPopt, 1)
      .Do([&](tb::WindowRef) {
        const int32_t* t = dlg.editRecord()->targetQuad;
        const int32_t q[8] = {5000, 40000, 40000, 5000, 10001, 10001, 45001, 45001};
        EXPECT_TRUE(std::equal(q, q + 8, t));
        EXPECT_EQ(dlg.refresh(), 1);
      })
      .Choose(kYoxl, vmktest::kYoxlCopyPopup, 2)
      .Do([&](tb::WindowRef) {
        const YoxelPar* r = dlg.editRecord();
        EXPECT_TRUE(std::equal(r->targetQuad, r->targetQuad + 8, r->sourceQuad));
        dlg.editRecord()->sourceQuad[0] = 1234;
      })
      .Choose(kYoxl, vmktest::kYoxlCopyPopup, 1)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.editRecord()->targetQuad[0], 1234); })
      .Choose(kYoxl, vmktest::kYoxlOrderPopup, 4)
      .Choose(kYoxl, vmktest::kYoxlEnergyPopup, 5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kChoiceB), 3);
        EXPECT_EQ(dlg.Word(VMKyoxelUI::kChoiceA), 4);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// At 1:1 a pan rectangle dragged beyond the picture in the navigator keeps
// its size and is held inside; the navigator gets it back.
TEST_F(YoxelTest, TheNavigatorsPanIsHeldInsideThePicture) {
  VMKyoxelUI dlg;
  EXPECT_EQ(dlg.oneToOne[2], 53333);  // 64000000 / 1200
  EXPECT_EQ(dlg.oneToOne[3], 71111);  // 64000000 / 900
  driver_.Advance(0.1)
      .Press(kYoxl, vmktest::kYoxlOneToOne)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.fitFlag, 0);
        EXPECT_EQ(dlg.navigator()->param().panFrameSet, 1);
        // The 640 x 480 view's part of the picture at 1:1, dragged 120 pixels
        // past the left edge and 30 past the bottom.
        EXPECT_EQ(dlg.pan[2], 53333);
        EXPECT_EQ(dlg.pan[3], 53333);
        dlg.navigator()->SetBufSSPan(-10000, 50000, 43333, 103333, 100, 0, 0);
        dlg.navigator()->CheckSetRefresh(1);
      })
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.pan[0], 0);
        EXPECT_EQ(dlg.pan[2], 53333);
        EXPECT_EQ(dlg.pan[1], 46667);
        EXPECT_EQ(dlg.pan[3], 100000);
        EXPECT_EQ(dlg.curZoom, 10000);
        EXPECT_TRUE(std::equal(dlg.pan, dlg.pan + 4, dlg.oneToOne));
        int32_t l = 0, t = 0, r = 0, b = 0;
        dlg.navigator()->GetBufSSPan(&l, &t, &r, &b, 0);
        EXPECT_EQ(l, 0);
        EXPECT_EQ(b, 100000);
        EXPECT_EQ(dlg.mainView()->state().panTop, 46667);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// The tick every 0.5 s; typing moves the next one to 1.0 s from the key;
// sliders, fit and 1:1 push nothing.
TEST_F(YoxelTest, TypingPushesTheTickAndNothingElseDoes) {
  VMKyoxelUI dlg;
  size_t before = 0;
  driver_.Advance(0.1)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { before = MainYoxelRenders().size(); })
      .Type(kYoxl, 17, "33")
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(MainYoxelRenders().size(), before);  // the tick moved to 1.0 s
        EXPECT_EQ(dlg.editRecord()->noiseAmount, 0);
      })
      .Advance(0.45)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.editRecord()->noiseAmount, 33);
        EXPECT_GT(MainYoxelRenders().size(), before);
        before = MainYoxelRenders().size();
      })
      .Slide(kYoxl, 49, 20)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.editRecord()->sharpenAmount, 20);
        EXPECT_GT(MainYoxelRenders().size(), before);
      })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}

// Without its window the dialog answers 0, installs no timer, and the
// process-wide pointer goes with the dialog.
TEST_F(YoxelTest, WithoutItsWindowTheDialogInstallsNothing) {
  {
    VMKyoxelUI dlg;
    EXPECT_EQ(gVMKyoxel, &dlg);
    tb::SetNibFolder(bundle_.file("nowhere"));
    EXPECT_EQ(dlg.Do_YoxelDlg(), 0);
    EXPECT_FALSE(dlg.loopTimerUPP);
    EXPECT_EQ(dlg.loopTimer, nullptr);
  }
  EXPECT_EQ(gVMKyoxel, nullptr);
  EXPECT_EQ(GetYoxelWindowEventHandlerUPP()(nullptr, nullptr, nullptr), tb::eventNotHandledErr);
  YoxelLoopHandler(nullptr, nullptr);
}


// In the result view the navigator shows the main view's render of the
// whole picture, scaled down, though the main view itself shows its 1:1
// part; in the source view it renders the record itself.
TEST_F(YoxelTest, TheResultViewsNavigatorTakesTheWholeRenderOfTheMainView) {
  VMKyoxelUI dlg;
  auto navPixel = [&](int x, int y) {
    const uint8_t* p = dlg.navigator()->displayBuffer() + (static_cast<int64_t>(y) * vmktest::kNavWidth + x) * 4;
    return std::vector<int>{p[0], p[1], p[2]};
  };
  driver_.Advance(0.1)
      .Press(kYoxl, vmktest::kYoxlOneToOne)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(navPixel(40, 40), (std::vector<int>{30, 90, 150}));
        YoxelRenders().clear();
      })
      .Choose(kYoxl, kViewRadio, 2)
      .Advance(0.5)
      .Do([&](tb::WindowRef) {
        EXPECT_EQ(dlg.viewState, 2);
        // The whole picture aside, then the main view's own 1:1 part.
        const auto renders = MainYoxelRenders();
        ASSERT_GE(renders.size(), 2u);
        EXPECT_EQ(renders[renders.size() - 2].mode, 1);
        EXPECT_EQ(renders[renders.size() - 2].srcRight, 1199);
        EXPECT_EQ(renders.back().mode, 1);
        EXPECT_LT(renders.back().srcRight, 1199);
        EXPECT_EQ(dlg.mainView()->state().panRight, dlg.pan[2]);
        EXPECT_EQ(navPixel(40, 40), (std::vector<int>{150, 90, 30}));
        // The navigator rendered nothing itself.
        for (const auto& r : YoxelRenders()) EXPECT_NE(r.viewWidth, vmktest::kNavWidth);
      })
      .Choose(kYoxl, kViewRadio, 1)
      .Advance(0.5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(navPixel(40, 40), (std::vector<int>{30, 90, 150})); })
      .Press(kYoxl, kYoxlCancel);
  dlg.Do_YoxelDlg();
  EXPECT_TRUE(driver_.errors().empty());
}


// The content-aware kind while painting, with a protect stroke shown, and
// its result view narrowed by a fifth, over a generated picture; kept under
// the build tree for a person to look at.
TEST_F(YoxelTest, Screenshots) {
  UsePhoto();
  const QString folder = VMK_ARTEFACTS_DIR;
  ASSERT_TRUE(QDir().mkpath(folder));
  auto shoot = [&](const char* name) {
    return [&, name](tb::WindowRef w) {
      EXPECT_TRUE(tb::QtWidgetOf(w)->grab().save(folder + "/" + name + ".png")) << name;
    };
  };
  std::vector<Point> stroke;
  for (int h = 200; h <= 460; h += 4) stroke.push_back(P(h, 180 + (h - 200) / 3));
  VMKyoxelUI dlg;
  driver_.Advance(0.1)
      .Choose(kYoxl, kKindPopup, 9)
      .Type(kYoxl, 45, "960")
      .Advance(1.1)
      .Press(kYoxl, kProtectRadio)
      .Slide(kYoxl, 48, 16)
      .Drag(stroke)
      .Advance(0.5)
      .MoveMouse(470, 268)
      .Do(shoot("Yoxelmain"))
      .Press(kYoxl, kAdjustRadio)
      .Advance(0.5)
      .Do(shoot("Yoxelmain-result"))
      .Press(kYoxl, kYoxlCancel);
  EXPECT_EQ(dlg.Do_YoxelDlg(), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
