// The combine-images dialog on the virtual clock: its menus, the library and
// preset thumbnails, the hover previews and undo, the list commands, corners,
// textures, and effect 92 through the dispatcher. Previews go to a stand-in
// engine that records what it was asked to draw.
#include "dialogs/photo/combine_dialog.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dialogs/editor/dispatch_fixture.h"
#include "dialogs/editor/tune_effect.h"
#include "dialogs/photo/photo_rows.h"
#include "engines/correction/resize_record.h"
#include "host/session/view_registry.h"
#include "photo_fixture.h"
#include "support/qt/popup_keys.h"
#include "views/image_box.h"
#include "views/preview_engines.h"

namespace fs = std::filesystem;
namespace tb = plat::tb;

namespace {

constexpr OSType kCima = FourCC("Cima");
constexpr OSType kLima = FourCC("Lima");
constexpr OSType kUpdt = FourCC("Updt");

// One preview the engine was asked for.
struct Drawn {
  int32_t viewWidth;
  int32_t count;
  std::string first;  // the first image's name
  int32_t ramp;       // the first image's ramp: red at entry 128
};

std::vector<Drawn>& Renders() {
  static std::vector<Drawn> renders;
  return renders;
}

int32_t Record(const vmkviews::PreviewCall& call) {
  const auto* r = call.recordAs<CombImaPar>();
  Renders().push_back({call.viewWidth, r->head.count, r->head.count > 0 ? PStrString(r->images[0].name) : "",
                       r->infos[0].ramp.colour[0][128]});
  return 0;
}

bool Same(const CombImaPar& a, const CombImaPar& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The dialog's record, padding bytes cleared first so that two reads compare.
std::unique_ptr<CombImaPar> Held(const VMKcimaUI& dialog) {
  auto out = std::make_unique<CombImaPar>();
  std::memset(static_cast<void*>(out.get()), 0, sizeof(CombImaPar));
  dialog.GetCombImaPar(out.get());
  return out;
}

class CombineTest : public vmktest::PhotoDialogTest {
 protected:
  void SetUp() override {
    PhotoDialogTest::SetUp();
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 92, Record);
    Renders().clear();
    Image("Images/a.tif", 40, 20);
    Image("Images/b.tif", 20, 40);
    Image("Tiles/t.tif", 16, 16);
  }
  void TearDown() override {
    vmkviews::RegisterPreviewEngine(vmkviews::kPreviewEffect, 92, nullptr);
    vmkviews::RegisterPreviewEngines();
    PhotoDialogTest::TearDown();
  }
  fichier File(const std::string& rel) {
    fichier f;
    Init_FicStruct(&f);
    EXPECT_TRUE(SetFicFromPosix(&f, (makers_ / rel).string()));
    return f;
  }
  // A record of n images, a.tif and b.tif in turn.
  std::unique_ptr<CombImaPar> Stack(int n) {
    auto r = std::make_unique<CombImaPar>();
    Init_CombImaPar(r.get(), 1);
    for (int i = 0; i < n; ++i) {
      const fichier f = File(i % 2 == 0 ? "Images/a.tif" : "Images/b.tif");
      AddCombIma(r.get(), static_cast<int16_t>(i), &f);
    }
    return r;
  }
  // A stored combination "<name>.hcim" of n images in the maker's folder.
  void Preset(const std::string& name, int n) {
    std::unique_ptr<CombImaPar> r = Stack(n);
    driver_.ui().AnswerSaveFile((makers_ / (name + ".hcim")).string());
    FSSpec none{};
    ASSERT_EQ(Do_ACombIma_file(1, none, r.get()), 0);
  }
  // The list is built on first use.
  void FirstUse() { driver_.Press(kUpdt, 1); }
  std::vector<Drawn> MainRenders() const {
    std::vector<Drawn> out;
    for (const Drawn& d : Renders())
      if (d.viewWidth > 200) out.push_back(d);
    return out;
  }
};

TEST_F(CombineTest, LayerItemsOpacityAndTheTextureChoice) {
  std::unique_ptr<CombImaPar> r = Stack(11);
  r->infos[3].active = 0;
  r->head.current = 0;
  r->infos[0].opacity = 35;
  VMKcimaUI dialog;
  EXPECT_EQ(gVMKcima, &dialog);
  EXPECT_EQ(dialog.mode, 1);
  EXPECT_EQ(dialog.previewMode, 3);
  EXPECT_EQ(dialog.rampPreview, 1);
  EXPECT_EQ(dialog.shownPreset[3], -1);
  dialog.SetCombImaPar(r.get());
  FirstUse();
  driver_.Do([](tb::WindowRef w) {
    tb::ControlRef layers = tb::FindControl(w, kCima, 35);
    ASSERT_EQ(tb::CountMenuItems(layers), 11);
    EXPECT_EQ(tb::GetMenuItemText(layers, 1), "0 - x  -a.tif");
    EXPECT_EQ(tb::GetMenuItemText(layers, 4), "3 -     -b.tif");
    EXPECT_EQ(tb::GetMenuItemText(layers, 10), "9 - x  -b.tif");
    EXPECT_EQ(tb::GetMenuItemText(layers, 11), "10  - x  -a.tif");
    // 35 % has no item: the popup keeps its own value.
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCima, 36)), 1);
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCima, 42)), 1);
    EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCima, 44)));
  });
  // A texture for an image that had none: indices 10 and 10.
  driver_.Choose(kCima, 42, 2).Choose(kLima, 24, 3).Press(kLima, 1);
  driver_.Advance(0.2).Do([](tb::WindowRef w) {
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCima, 42)), 13);
    EXPECT_EQ(tb::GetControl32BitValue(tb::FindControl(w, kCima, 44)), 11);
    EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCima, 44)));
  });
  driver_.Choose(kCima, 44, 4).Choose(kCima, 36, 8);
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  CombImaPar out;
  dialog.GetCombImaPar(&out);
  EXPECT_EQ(out.infos[0].textureOn, 1);
  EXPECT_EQ(out.infos[0].textureAcross, 10);
  EXPECT_EQ(out.infos[0].textureDown, 3);
  EXPECT_EQ(out.infos[0].opacity, 70);
  EXPECT_EQ(PStrString(out.textures[0].name), "t.tif");
}

TEST_F(CombineTest, UndoRightAfterOpeningLeavesTheRecordByteIdentical) {
  std::unique_ptr<CombImaPar> r = Stack(3);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  const std::unique_ptr<CombImaPar> before = Held(dialog);
  FirstUse();
  driver_.Key('z', cmdKey).Advance(0.2).Key(8).Advance(0.2).Key(26, controlKey).Advance(0.2);
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(Same(*Held(dialog), *before));
}

TEST_F(CombineTest, HoverPreviewsShowAndCloseRestoresTheStack) {
  Preset("one", 1);
  Preset("two", 2);
  std::unique_ptr<CombImaPar> r = Stack(5);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  const std::unique_ptr<CombImaPar> before = Held(dialog);
  FirstUse();
  driver_.Advance(0.2).Do([](tb::WindowRef) { Renders().clear(); });
  driver_.Hover(kCima, 47, {2, 1});
  driver_.Do([this](tb::WindowRef) {
    const std::vector<Drawn> main = MainRenders();
    ASSERT_GE(main.size(), 2u);
    EXPECT_EQ(main[0].count, 2);  // "two" (items in name order: one, two)
    EXPECT_EQ(main[1].count, 1);
    Renders().clear();
  });
  driver_.Choose(kCima, 1, 2);  // the library
  driver_.Hover(kCima, 34, {2});
  driver_.Do([this](tb::WindowRef) {
    const std::vector<Drawn> main = MainRenders();
    ASSERT_GE(main.size(), 1u);
    EXPECT_EQ(main[0].count, 1);
    EXPECT_EQ(main[0].first, "b.tif");
  });
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(Same(*Held(dialog), *before));
}

// The name popup as a desktop runs it: Qt's list opened on the current name
// (highlighted, and so shown alone, before the list appears) and driven by
// the keys. Escape leaves the stack as it was; Down and Return move the
// library to the next name and leave the stack as it was too.
TEST_F(CombineTest, TheNamePopupAsADesktopRunsItKeepsTheStack) {
  Image("Images/c.tif", 30, 30);
  std::unique_ptr<CombImaPar> r = Stack(5);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  const std::unique_ptr<CombImaPar> before = Held(dialog);
  std::vector<bool> checks;
  auto check = [&](bool v) { checks.push_back(v); };
  FirstUse();
  driver_.Choose(kCima, 1, 2)  // the library, on its first name
      .Advance(0.2)
      .Do([&](tb::WindowRef w) {
        check(dialog.keeper->firstVisible == 0);
        vmktest::PopupKeys(tb::FindControl(w, kCima, 34), {Qt::Key_Escape});
      })
      .Advance(0.2)
      .Do([&](tb::WindowRef w) {
        check(Same(*Held(dialog), *before));
        check(dialog.keeper->firstVisible == 0);
        vmktest::PopupKeys(tb::FindControl(w, kCima, 34), {Qt::Key_Down, Qt::Key_Return});
      })
      .Advance(0.2)
      .Do([&](tb::WindowRef) {
        check(Same(*Held(dialog), *before));
        check(dialog.keeper->firstVisible == 1);
      });
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_EQ(checks, std::vector<bool>(5, true));
  EXPECT_TRUE(Same(*Held(dialog), *before));
}

TEST_F(CombineTest, LibraryCommandsTakeOnlyAFilledSlot) {
  std::unique_ptr<CombImaPar> r = Stack(2);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  FirstUse();
  // Preset mode: adding at a place does nothing; a preset past the count
  // adds nothing either.
  driver_.Press(kCima, 70).Press(kCima, 71).Press(kCima, 60).Press(kCima, 73);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->head.count, 2); });
  driver_.Choose(kCima, 1, 2);
  driver_.Advance(0.2).Do([](tb::WindowRef w) {
    EXPECT_EQ(gVMKcima->mode, 0);
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCima, 10)), "a.tif");
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCima, 12)), "b.tif");
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCima, 51)), "t.tif");
    // The slot boxes show 130 x 130 thumbnails at 72.
    YoxelPar y;
    VMKimabox* box = gVMKapp->ImageView(FindCustomView("com.vellmarkstead.cima.HIss0"));
    box->GetYoxelPar(&y);
    EXPECT_EQ(y.imageWidth, 130);
    EXPECT_EQ(y.imageHeight, 130);
    EXPECT_EQ(y.imageResolution, 72);
    EXPECT_EQ(gVMKcima->shownPreset[0], -1);
  });
  driver_.Press(kCima, 60);  // 'Badd': a.tif last
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(gVMKcima->record()->head.count, 3);
    EXPECT_EQ(PStrString(gVMKcima->record()->images[2].name), "a.tif");
    gVMKcima->selectedLibrary = 2;
  });
  driver_.Press(kCima, 73);  // 'Pop4': the current image becomes t.tif
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(PStrString(gVMKcima->record()->images[2].name), "t.tif");
    // Scrolled to the end of a short list, no slot is filled past it.
    gVMKcima->previewSlots[2].filled = 0;
  });
  driver_.Press(kCima, 60).Press(kCima, 70).Press(kCima, 71);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->head.count, 3); });
  driver_.Press(kCima, 2);
  EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, AddingStopsAt127) {
  std::unique_ptr<CombImaPar> r = Stack(127);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  FirstUse();
  driver_.Choose(kCima, 1, 2).Press(kCima, 60);
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  CombImaPar out;
  dialog.GetCombImaPar(&out);
  EXPECT_EQ(out.head.count, 127);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, PresetSlotsPastTheCountShowNothing) {
  Preset("one", 1);
  Preset("two", 2);
  VMKcimaUI dialog;
  FirstUse();
  driver_.Advance(0.2).Do([](tb::WindowRef w) {
    EXPECT_EQ(tb::GetControlText(tb::FindControl(w, kCima, 10)), "one");
    EXPECT_TRUE(tb::IsControlVisible(tb::FindControl(w, kCima, 11)));
    EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCima, 13)));
    EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCima, 51)));
    EXPECT_EQ(gVMKcima->shownPreset[0], 0);
    EXPECT_EQ(gVMKcima->shownPreset[1], 1);
    EXPECT_EQ(gVMKcima->shownPreset[2], -1);
  });
  driver_.Slide(kCima, 23, 2);  // 'Sedg' at the preset count
  driver_.Advance(0.2).Do([](tb::WindowRef w) {
    EXPECT_EQ(gVMKcima->firstPreset, 2);
    for (int id : {9, 11, 13}) EXPECT_FALSE(tb::IsControlVisible(tb::FindControl(w, kCima, id)));
  });
  driver_.Press(kCima, 60).Press(kCima, 73);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->head.count, 0); });
  driver_.Press(kCima, 2);
  EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, CornersComeFromThePreviewInHundredths) {
  std::unique_ptr<CombImaPar> r = Stack(1);
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  FirstUse();
  driver_.Advance(0.2).Do([](tb::WindowRef) {
    VMKimabox* box = gVMKapp->ImageView(FindCustomView("com.vellmarkstead.cima.HIima"));
    int32_t q[8];
    box->GetBufSSQua(&q[0], &q[1], &q[2], &q[3], &q[4], &q[5], &q[6], &q[7]);
    EXPECT_EQ(q[2], 100000);  // corner 1 x
    box->SetBufSSQua(12345, 0, 100000, 0, 99999, 100000, 0, 50000, 0, 0);
    box->CheckSetRefresh(1);
  });
  driver_.Advance(0.2);
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  CombImaPar out;
  dialog.GetCombImaPar(&out);
  EXPECT_EQ(out.infos[0].cornerX[0], 12);
  EXPECT_EQ(out.infos[0].cornerX[2], 99);
  EXPECT_EQ(out.infos[0].cornerY[3], 50);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, ListCommandsMoveDeleteAndReset) {
  std::unique_ptr<CombImaPar> r = Stack(3);
  r->head.current = 1;
  r->infos[1].opacity = 40;
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  FirstUse();
  driver_.Press(kCima, 75);  // 'Pop6': settings reset
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->infos[1].opacity, 100); });
  driver_.Key('z', cmdKey).Advance(0.2);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->infos[1].opacity, 40); });
  driver_.Press(kCima, 74);  // 'Pop5': delete image 1
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(gVMKcima->record()->head.count, 2);
    EXPECT_EQ(PStrString(gVMKcima->record()->images[1].name), "a.tif");
  });
  driver_.Choose(kCima, 35, 1);  // 'Play': no backup
  driver_.Press(kCima, 2);
  EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, MoveAddFromDiskInvertAndTheResets) {
  std::unique_ptr<CombImaPar> r = Stack(3);
  r->head.current = 0;
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  FirstUse();
  // 'Pop3': image 0 after image 2 (the numbers come preset to the current).
  driver_.Press(kCima, 72).Type(FourCC("Mlay"), 5, "2").Press(FourCC("Mlay"), 1);
  driver_.Do([](tb::WindowRef) {
    const CombImaPar* rec = gVMKcima->record();
    EXPECT_EQ(PStrString(rec->images[0].name), "b.tif");
    EXPECT_EQ(PStrString(rec->images[2].name), "a.tif");
  });
  // 'Bedg': the picker, answered with t.tif, adds it last.
  driver_.Press(kCima, 64).Choose(kLima, 24, 3).Press(kLima, 1);
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(gVMKcima->record()->head.count, 4);
    EXPECT_EQ(PStrString(gVMKcima->record()->images[3].name), "t.tif");
  });
  // 'Bedg' cancelled adds nothing.
  driver_.Press(kCima, 64).Press(kLima, 2);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->record()->head.count, 4); });
  // 'Binv' turns the current image's opacity ramp round.
  driver_.Do([](tb::WindowRef) {
    LutVign& ramp = gVMKcima->record()->infos[gVMKcima->record()->head.current].ramp;
    ramp.opacity[0] = 10;
    ramp.opacity[255] = 200;
  });
  driver_.Press(kCima, 62);
  driver_.Do([](tb::WindowRef) {
    const LutVign& ramp = gVMKcima->record()->infos[gVMKcima->record()->head.current].ramp;
    EXPECT_EQ(ramp.opacity[0], 200);
    EXPECT_EQ(ramp.opacity[255], 10);
  });
  // 'Bres' keeps the files and resets the settings; 'Po11' clears all.
  driver_.Choose(kCima, 36, 3).Press(kCima, 83);
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(gVMKcima->record()->infos[0].opacity, 100);
    EXPECT_EQ(PStrString(gVMKcima->record()->images[0].name), "b.tif");
  });
  driver_.Press(kCima, 80);
  driver_.Do([](tb::WindowRef) {
    EXPECT_EQ(gVMKcima->record()->head.count, 0);
    EXPECT_EQ(gVMKcima->record()->images[0].name[0], 0);
  });
  driver_.Press(kCima, 2);
  EXPECT_EQ(dialog.Do_CImaDlg(0), 0);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(CombineTest, TheRampEditorPreviewsLiveAndCancelPutsTheRampBack) {
  std::unique_ptr<CombImaPar> r = Stack(1);
  r->infos[0].ramp.colour[0][128] = 7;
  VMKcimaUI dialog;
  dialog.SetCombImaPar(r.get());
  const std::unique_ptr<CombImaPar> before = Held(dialog);
  FirstUse();
  driver_.Advance(0.2).Do([](tb::WindowRef) { Renders().clear(); });
  // The editor's reset gives a black-to-white ramp: red 128 at entry 128.
  driver_.Press(kCima, 61).Press(FourCC("Avig"), 4).Advance(0.3).Advance(0.2);
  driver_.Do([this](tb::WindowRef) {
    const std::vector<Drawn> main = MainRenders();
    ASSERT_FALSE(main.empty());
    EXPECT_EQ(main.back().ramp, 128);
  });
  driver_.Press(FourCC("Avig"), 2);
  driver_.Do([](tb::WindowRef) { EXPECT_EQ(gVMKcima->rampEditor, nullptr); });
  driver_.Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_TRUE(driver_.errors().empty());
  EXPECT_TRUE(Same(*Held(dialog), *before));
  // Confirmed, the edited ramp stays.
  driver_.Press(kCima, 63).Press(FourCC("Avig"), 4).Press(FourCC("Avig"), 1).Press(kCima, 3);
  ASSERT_EQ(dialog.Do_CImaDlg(0), 1);
  EXPECT_EQ(Held(dialog)->infos[0].ramp.colour[0][128], 128);
  EXPECT_TRUE(driver_.errors().empty());
}

// ---- effect 92 through the dispatcher ----

class CombinationRowTest : public vmktest::DispatchTest {
 protected:
  void SetUp() override {
    DispatchTest::SetUp();
    RegisterPhotoRows(EffectDialogRegistry());
  }
};

TEST_F(CombinationRowTest, CancelLeavesTheOperationAndOkStoresTheRecord) {
  Plant(1, 92);
  CombImaPar mine;
  script()->GetCombImaPar(0, 1, 1, &mine);
  mine.infos[0].opacity = 60;
  ASSERT_EQ(script()->SetCombImaPar(0, 1, 1, &mine), 0);
  const std::vector<uint8_t> before = ScriptBytes();
  VMKtuneeff editor;
  Bind(editor, 1);
  driver_.Press(kUpdt, 1).Press(kCima, 75).Press(kCima, 2);
  EXPECT_EQ(editor.Perform_Effect(92, 0), 0);
  EXPECT_EQ(ScriptBytes(), before);
  driver_.Press(kCima, 75).Press(kCima, 3);
  EXPECT_EQ(editor.Perform_Effect(92, 1), 1);
  EXPECT_TRUE(driver_.errors().empty());
  CombImaPar stored;
  script()->GetCombImaPar(0, 1, 1, &stored);
  EXPECT_EQ(stored.infos[0].opacity, 100);
}

}  // namespace
