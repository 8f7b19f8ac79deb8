// The colour-ramp editor on the project's AdjVign window: painting and
// sampling on the bars, the shifts handed out and saved, the clamps, the
// undo keys and the live hand-shake with an owner.
#include "dialogs/patterns/ramp_editor.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "dialogs/patterns/ramp_fixture.h"
#include "script/ramp_bitmaps.h"
#include "platform/toolbox/api/ui_services.h"
#include "platform/toolbox/api/scripted_ui.h"

using vmktest::RampDialogTest;
namespace tb = plat::tb;

namespace {

constexpr OSType kAvig = FourCC("Avig");
constexpr int32_t kOk = 1, kCancel = 2, kInvert = 3, kSave = 10;
constexpr int32_t kRed = 5, kGreen = 7, kBlue = 9, kHue = 11;
// Window points of the two bars (left edge, and entry 128 of a 400-pixel bar).
constexpr Point kColourBarLeft{180, 10};
constexpr Point kColourBarMiddle{180, 10 + 201};
constexpr Point kOpacityBarLeft{218, 10};

LutVign Grey() {
  LutVign r;
  Init_LutVign(0, &r, 0, 0, 0, 0);
  return r;
}

TEST_F(RampDialogTest, ALeftEndClickPaintsEntryZeroAndBlendsToTheOtherEnd) {
  VMKadjvignUI dlg;
  const LutVign start = Grey();
  dlg.SetLutVign(&start);
  dlg.SetAdjVignFlagPreview(1);
  int16_t pendingAfterPaint = 0;
  driver_.Advance(0.01)
      .Type(kAvig, kRed, "200")
      .Type(kAvig, kGreen, "10")
      .Type(kAvig, kBlue, "50")
      .Advance(0.3)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.CheckSetPreview(0), 1); })
      .Drag({kColourBarLeft})
      .Advance(0.3)
      .Do([&](tb::WindowRef) { pendingAfterPaint = dlg.pending; })
      .Press(kAvig, kOk);
  ASSERT_EQ(dlg.Do_AdjVignUIDlg(), 1);
  LutVign expected = start;
  InterLutCol(0, 255, &expected, 0, 200, 10, 50);
  EXPECT_TRUE(Same(*dlg.current(), expected));
  EXPECT_EQ(dlg.current()->colour[0][0], 200);
  EXPECT_EQ(dlg.current()->colour[1][0], 10);
  EXPECT_EQ(dlg.current()->colour[2][0], 50);
  EXPECT_EQ(dlg.current()->colour[0][255], 255);
  EXPECT_EQ(pendingAfterPaint, 1);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RampDialogTest, AnOptionClickSamplesTheColourAndLeavesTheRampAndTheOwnerAlone) {
  VMKadjvignUI dlg;
  const LutVign start = Numbered(3);
  dlg.SetLutVign(&start);
  dlg.SetAdjVignFlagPreview(1);
  int16_t pending = -1;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef) { driver_.ui().SetModifiers(optionKey); })
      .Drag({kColourBarMiddle}, optionKey)
      .Drag({kOpacityBarLeft}, optionKey)
      .Advance(0.3)
      .Do([&](tb::WindowRef) {
        driver_.ui().SetModifiers(0);
        pending = dlg.pending;
      })
      .Press(kAvig, kCancel);
  dlg.Do_AdjVignUIDlg();
  EXPECT_TRUE(Same(*dlg.current(), start));
  EXPECT_EQ(pending, 0);
  EXPECT_EQ(dlg.red, start.colour[0][128]);
  EXPECT_EQ(dlg.green, start.colour[1][128]);
  EXPECT_EQ(dlg.blue, start.colour[2][128]);
  EXPECT_EQ(dlg.opacity, start.opacity[0]);
}

TEST_F(RampDialogTest, TheHueShiftReachesTheOwnerOnOkAndReopeningShowsItAtZero) {
  const LutVign start = Numbered(5);
  LutVign owner = start;
  {
    VMKadjvignUI dlg;
    dlg.SetLutVign(&owner);
    driver_.Advance(0.01).Type(kAvig, kHue, "30").Press(kAvig, kOk);  // read at OK, no tick between
    ASSERT_EQ(dlg.Do_AdjVignUIDlg(), 1);
    dlg.GetLutVign(&owner);
    EXPECT_TRUE(Same(*dlg.current(), start));  // the editor's own ramp keeps the shift apart
  }
  LutVign shifted = start;
  HSLadjust_LutVign(&shifted, 30, 0, 0);
  EXPECT_TRUE(Same(owner, shifted));
  VMKadjvignUI again;
  again.SetLutVign(&owner);
  std::string shown;
  driver_.Advance(0.01).Do([&](tb::WindowRef w) { shown = tb::GetControlText(tb::FindControl(w, kAvig, kHue)); })
      .Press(kAvig, kCancel);
  again.Do_AdjVignUIDlg();
  EXPECT_EQ(again.hue, 0);
  EXPECT_EQ(shown, "0");
}

TEST_F(RampDialogTest, WithoutShiftsTheOwnerGetsItsRampBackByteForByte) {
  const LutVign start = Numbered(0);
  LutVign roundTrip = start;
  HSLadjust_LutVign(&roundTrip, 0, 0, 0);
  ASSERT_FALSE(Same(roundTrip, start));  // the colour round trip alone would change it
  VMKadjvignUI dlg;
  dlg.SetLutVign(&start);
  driver_.Advance(0.01).Advance(0.3).Press(kAvig, kOk);
  ASSERT_EQ(dlg.Do_AdjVignUIDlg(), 1);
  LutVign out;
  dlg.GetLutVign(&out);
  EXPECT_TRUE(Same(out, start));
}

TEST_F(RampDialogTest, FieldsAreClampedToTheirRangesAndTheValueShiftToItsShort) {
  VMKadjvignUI dlg;
  driver_.Advance(0.01)
      .Type(kAvig, kRed, "300")
      .Type(kAvig, kHue, "-200")
      .Type(kAvig, 26, "-150")
      .Type(kAvig, 29, "500")
      .Press(kAvig, kOk);
  ASSERT_EQ(dlg.Do_AdjVignUIDlg(), 1);
  EXPECT_EQ(dlg.red, 255);
  EXPECT_EQ(dlg.hue, -180);
  EXPECT_EQ(dlg.saturation, -100);
  EXPECT_EQ(dlg.value, 500);
  VMKadjvignUI wide;
  driver_.Advance(0.01).Type(kAvig, 29, "99999").Press(kAvig, kOk);
  ASSERT_EQ(wide.Do_AdjVignUIDlg(), 1);
  EXPECT_EQ(wide.value, 32767);
}

TEST_F(RampDialogTest, SavingFoldsTheShiftsIntoTheRampOnlyWhenTheFileWasWritten) {
  const LutVign start = Numbered(2);
  LutVign shifted = start;
  HSLadjust_LutVign(&shifted, 40, 0, 0);
  for (bool writable : {false, true}) {
    VMKadjvignUI dlg;
    dlg.SetLutVign(&start);
    const std::string path =
        writable ? bundle_.makersFile("mine.hvig") : bundle_.makersFile("no such folder/mine.hvig");
    driver_.Advance(0.01)
        .Type(kAvig, kHue, "40")
        .Advance(0.3)
        .Do([&](tb::WindowRef) { driver_.ui().AnswerSaveFile(path); })
        .Press(kAvig, kSave)
        .Press(FourCC("Catn"), 101)  // the category dialog: "MISC" as it stands
        .Advance(0.3)
        .Press(kAvig, kOk);
    ASSERT_EQ(dlg.Do_AdjVignUIDlg(), 1);
    if (writable) {
      EXPECT_EQ(dlg.hue, 0);
      EXPECT_TRUE(Same(*dlg.current(), shifted));
      LutVign read = Grey();
      char category[kLutVignTextSize] = {};
      FSSpec spec{};
      ASSERT_EQ(plat::files::MakeSpecFromPosix(path, &spec), 0);
      ASSERT_EQ(Do_ALutVign_file(2, spec, &read, category, nullptr, 0, 0, 0, 0), 0);
      EXPECT_STREQ(category, "MISC");
      EXPECT_EQ(std::memcmp(read.colour, shifted.colour, sizeof read.colour), 0);
    } else {
      EXPECT_EQ(dlg.hue, 40);
      EXPECT_TRUE(Same(*dlg.current(), start));
    }
  }
  EXPECT_TRUE(driver_.errors().empty());
}

// The editor has no presets of its own: its Save... opens where the ramps live (the folder of
// the first the library lists), else in the maker's folder, as the ramp browser's Open... does.
TEST_F(RampDialogTest, SaveOpensWhereTheRampsLive) {
  for (bool ramps : {false, true}) {
    if (ramps) {
      std::filesystem::create_directories(bundle_.makersFile("Ramps/Basic"));
      vmktest::WriteText(bundle_.makersFile("Ramps/Basic/Grey.hvig"), "a ramp");
    }
    VMKadjvignUI dlg;
    const LutVign start = Numbered(2);
    dlg.SetLutVign(&start);
    driver_.Advance(0.01)
        .Do([&](tb::WindowRef) { driver_.ui().AnswerSaveFile(std::nullopt); })
        .Press(kAvig, kSave)
        .Press(FourCC("Catn"), 101)
        .Press(kAvig, kCancel);
    EXPECT_EQ(dlg.Do_AdjVignUIDlg(), 0);
    ASSERT_FALSE(driver_.ui().saveRequests.empty());
    const std::string wanted = ramps ? bundle_.makersFile("Ramps/Basic") : bundle_.makersFile("");
    EXPECT_TRUE(std::filesystem::equivalent(driver_.ui().saveRequests.back().folder, wanted))
        << driver_.ui().saveRequests.back().folder;
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(RampDialogTest, AnOwnerThatOffersNoLivePreviewIsNeverAskedToRefresh) {
  VMKadjvignUI dlg;
  std::vector<int16_t> answers;
  driver_.Advance(0.01)
      .Type(kAvig, kRed, "12")
      .Advance(0.3)
      .Drag({kColourBarLeft})
      .Advance(0.3)
      .Do([&](tb::WindowRef) { answers.push_back(dlg.CheckSetPreview(0)); })
      .Press(kAvig, kCancel);
  dlg.Do_AdjVignUIDlg();
  EXPECT_EQ(answers, std::vector<int16_t>{0});
  EXPECT_EQ(dlg.flagPreview, -1);
}

TEST_F(RampDialogTest, BackspaceOutsideAFieldAndCmdZUndoTheLastChange) {
  VMKadjvignUI dlg;
  const LutVign start = Numbered(4);
  dlg.SetLutVign(&start);
  std::vector<bool> same;
  driver_.Advance(0.01)
      .Press(kAvig, kInvert)
      .Advance(0.3)
      .Do([&](tb::WindowRef w) {
        same.push_back(Same(*dlg.current(), start));
        tb::SetKeyboardFocus(w, nullptr);
      })
      .Key(8)
      .Advance(0.3)
      .Do([&](tb::WindowRef) { same.push_back(Same(*dlg.current(), start)); })
      .Press(kAvig, kInvert)
      .Advance(0.3)
      .Type(kAvig, kRed, "1\b")  // backspace in a field edits the field
      .Do([&](tb::WindowRef) { same.push_back(Same(*dlg.current(), start)); })
      .Key('z', cmdKey)
      .Advance(0.3)
      .Do([&](tb::WindowRef) { same.push_back(Same(*dlg.current(), start)); })
      .Press(kAvig, kCancel);
  dlg.Do_AdjVignUIDlg();
  EXPECT_EQ(same, (std::vector<bool>{false, true, false, true}));
}

// ---- the live hand-shake with an owner ----

struct OwnerRec {
  int32_t words[4];
  LutVign ramp;
};

class Owner;
Owner* gOwner = nullptr;
int16_t owner_restor = 0;
using OwnerTrampolines = EffectFrameTrampolines<gOwner>;

void InitOwner(void* r, const RecordContext&) {
  auto* o = static_cast<OwnerRec*>(r);
  *o = OwnerRec{};
  Init_LutVign(0, &o->ramp, 0, 0, 0, 0);
}
void CopyOwner(const void* s, void* d) { std::memcpy(d, s, sizeof(OwnerRec)); }
LutVign* RampOf(void* r) { return &static_cast<OwnerRec*>(r)->ramp; }

constexpr FrameRecordOps kOwnerOps{static_cast<int32_t>(sizeof(OwnerRec)), InitOwner, CopyOwner, nullptr, RampOf};
constexpr int32_t kOwnerLookup[] = {1, 2, 3};
constexpr tb::EventTypeSpec kOwnerEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                              {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

EffectFrameDesc OwnerDesc() {
  EffectFrameDesc d;
  d.window = "RampOwner";
  d.signature = FourCC("Rown");
  d.lookup = kOwnerLookup;
  d.record = &kOwnerOps;
  d.events = kOwnerEvents;
  d.loopInterval = 0.5;
  return d;
}

class Owner : public EffectFrame {
 public:
  Owner() : EffectFrame(OwnerDesc(), &owner_restor) { OwnerTrampolines::Claim(this); }
  ~Owner() override { OwnerTrampolines::Release(this); }
  int16_t Do_OwnerDlg() {
    return Run(OwnerTrampolines::Procs([](tb::EventLoopTimerRef t, void* w) { OwnerTrampolines::LoopHandler(t, w); },
                                       OwnerTrampolines::WindowEventHandlerUPP()));
  }
  OwnerRec& rec() { return *static_cast<OwnerRec*>(edit); }
  std::vector<LutVign> previews;

 protected:
  void ShowPreview() override { previews.push_back(rec().ramp); }
  bool OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef) override {
    if (command != FourCC("Bvig")) return false;
    RampEditorSession::RunFor(*this);
    return true;
  }
};

class RampOwnerTest : public RampDialogTest {
 protected:
  void SetUp() override {
    RampDialogTest::SetUp();
    previous_ = tb::NibFolder();
    for (const auto& e : std::filesystem::directory_iterator(previous_))
      std::filesystem::create_symlink(e.path(), nib_.path() / e.path().filename());
    std::ofstream(nib_.file("RampOwner.ui"))
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\"><class>RampOwner</class>"
           "<widget class=\"QWidget\" name=\"RampOwner\">"
           "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>200</width><height>100</height></rect></property>"
           "<widget class=\"QPushButton\" name=\"b1\"><property name=\"sig\" stdset=\"0\"><string>Rown</string></property>"
           "<property name=\"id\" stdset=\"0\"><number>1</number></property>"
           "<property name=\"cmd\" stdset=\"0\"><string>ok  </string></property></widget>"
           "<widget class=\"QPushButton\" name=\"b2\"><property name=\"sig\" stdset=\"0\"><string>Rown</string></property>"
           "<property name=\"id\" stdset=\"0\"><number>2</number></property>"
           "<property name=\"cmd\" stdset=\"0\"><string>Bvig</string></property></widget>"
           "</widget></ui>\n";
    tb::SetNibFolder(nib_.path().string());
  }
  void TearDown() override {
    tb::SetNibFolder(previous_);
    RampDialogTest::TearDown();
  }
  vmktest::TempDir nib_;
  std::string previous_;
};

TEST_F(RampOwnerTest, TheOwnersPreviewFollowsEachChangeWithinOneTickAndCancelRestoresItsRamp) {
  Owner owner;
  owner.rec().ramp = Numbered(7);
  const OwnerRec before = owner.rec();
  std::vector<bool> followed;
  auto follows = [&](tb::WindowRef) {
    LutVign live;
    gVMKadjvignUI->GetLutVign(&live);
    followed.push_back(!owner.previews.empty() && Same(owner.previews.back(), live) &&
                       Same(owner.rec().ramp, live));
  };
  driver_.Advance(0.01)
      .Press(FourCC("Rown"), 2)  // the editor opens, live preview on
      .Advance(0.01)
      .Type(kAvig, kHue, "25")
      .Advance(0.3)  // the editor's tick marks the change
      .Advance(0.5)  // within the owner's next tick
      .Do(follows)
      .Type(kAvig, kRed, "0")
      .Advance(0.3)
      .Drag({kColourBarMiddle})
      .Advance(0.3)
      .Advance(0.5)
      .Do(follows)
      .Press(kAvig, kCancel)
      .Advance(0.01)
      .Press(FourCC("Rown"), 1);
  ASSERT_EQ(owner.Do_OwnerDlg(), 1);
  EXPECT_EQ(followed, (std::vector<bool>{true, true}));
  EXPECT_EQ(std::memcmp(&owner.rec(), &before, sizeof before), 0);
  EXPECT_EQ(owner.rampEditor, nullptr);
  EXPECT_EQ(owner.rampPreview, 1);
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
