// The effect-dialog frame on a probe dialog of its own: a small window
// written for the test, a record of three widths, presets and a temporary
// settings file in the maker's folder. What the frame promises every
// dialog: the timer's rhythm, the keys, the actions, the hover preview, the
// reading of fields before OK, the undo tick and the settings file.
#include "dialogs/frame/effect_frame.h"

#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dialogs/correction/dialog_fixture.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "platform/toolbox/api/ui_services.h"

namespace tb = plat::tb;

namespace {

struct ProbeRec {
  int32_t amount;  // slider 2, field 3, 0..100
  int16_t offset;  // little arrows 4, field 5, -50..50
  uint8_t level;   // field 6, no clamp of its own: the byte holds 0..255
  uint8_t spare;
  int16_t shift;   // field 7, no clamp of its own: the short's range
  int16_t tail;
};

constexpr OSType kSig = FourCC("Prob");
constexpr OSType kPresetType = FourCC("Sse4");

void Init(void* r, const RecordContext&) {
  auto* p = static_cast<ProbeRec*>(r);
  *p = ProbeRec{};
  p->amount = 10;
  p->offset = 5;
  p->level = 7;
  p->shift = 3;
}
void Copy(const void* s, void* d) { std::memcpy(d, s, sizeof(ProbeRec)); }

// Modes 2 and 3 of a preset file: the record's bytes as they are.
int16_t File(int16_t mode, FSSpec spec, void* r, int16_t) {
  const std::string path = plat::files::SpecToPosix(spec);
  if (mode == 2) {
    std::ifstream in(path, std::ios::binary);
    ProbeRec p;
    if (!in.read(reinterpret_cast<char*>(&p), sizeof p)) return -1;
    std::memcpy(r, &p, sizeof p);
    return 0;
  }
  if (mode == 3) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(r), sizeof(ProbeRec));
    return out ? 0 : -1;
  }
  return -1;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(ProbeRec)), Init, Copy, File};
constexpr int32_t kLookup[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening}, {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed}, {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

EffectFrameDesc Desc(const char* window, double typingPush, const char* tempFile = nullptr) {
  EffectFrameDesc d;
  d.window = window;
  d.signature = kSig;
  d.lookup = kLookup;
  d.effect = 7;
  d.presetType = kPresetType;
  d.record = &kOps;
  d.presetPopup = 8;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = typingPush;
  d.tempFile = tempFile;
  return d;
}

class Probe;
Probe* gProbe = nullptr;
int16_t flag_restor = 0;
using Trampolines = EffectFrameTrampolines<gProbe>;

class Probe : public EffectFrame {
 public:
  explicit Probe(const EffectFrameDesc& desc) : EffectFrame(desc, &flag_restor) {
    Trampolines::Claim(this);
    flag_restor = 0;
    rows_ = {{FourCC("Samt"), 2, 3, 0, 100, offsetof(ProbeRec, amount), ValueRow::kSlider, ValueRow::kInt32},
             {FourCC("Loff"), 4, 5, -50, 50, offsetof(ProbeRec, offset), ValueRow::kArrows, ValueRow::kInt16},
             {0, -1, 6, -100000, 100000, offsetof(ProbeRec, level), ValueRow::kSlider, ValueRow::kUInt8},
             {0, -1, 7, INT32_MIN, INT32_MAX, offsetof(ProbeRec, shift), ValueRow::kSlider, ValueRow::kInt16}};
  }
  ~Probe() override { Trampolines::Release(this); }
  int16_t Do_ProbeDlg(int16_t runFlag = 0) {
    return Run(Trampolines::Procs([](tb::EventLoopTimerRef t, void* w) { Trampolines::LoopHandler(t, w); },
                                  Trampolines::WindowEventHandlerUPP()),
               runFlag);
  }
  ProbeRec& rec() { return *static_cast<ProbeRec*>(edit); }

  std::vector<double> ticks;     // virtual time of every tick that did something
  std::vector<ProbeRec> shown;   // the record at each hand-off to the preview

 protected:
  void ShowPreview() override {
    ticks.push_back(plat::ui::Now());
    shown.push_back(rec());
  }
};

std::string Widget(const char* cls, int id, const char* extra = "") {
  return std::string("<widget class=\"") + cls + "\" name=\"w" + std::to_string(id) +
         "\"><property name=\"sig\" stdset=\"0\"><string>Prob</string></property>"
         "<property name=\"id\" stdset=\"0\"><number>" + std::to_string(id) + "</number></property>" + extra +
         "</widget>\n";
}

std::string Cmd(const char* c) { return std::string("<property name=\"cmd\" stdset=\"0\"><string>") + c + "</string></property>"; }

class EffectFrameTest : public vmktest::ColCorDialogTest {
 protected:
  void SetUp() override {
    ColCorDialogTest::SetUp();
    previousNib_ = tb::NibFolder();
    std::string ui =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ui version=\"4.0\"><class>Probe</class>"
        "<widget class=\"QWidget\" name=\"Probe\">"
        "<property name=\"geometry\"><rect><x>0</x><y>0</y><width>300</width><height>200</height></rect></property>\n";
    ui += Widget("QPushButton", 1, Cmd("ok  ").c_str());
    ui += Widget("QScrollBar", 2,
                 (Cmd("Samt") + "<property name=\"minimum\"><number>0</number></property>"
                                "<property name=\"maximum\"><number>100</number></property>")
                     .c_str());
    ui += Widget("QLineEdit", 3);
    ui += Widget("VmkLittleArrows", 4,
                 (Cmd("Loff") + "<property name=\"minimum\" stdset=\"0\"><number>-50</number></property>"
                                "<property name=\"maximum\" stdset=\"0\"><number>50</number></property>")
                     .c_str());
    ui += Widget("QLineEdit", 5);
    ui += Widget("QLineEdit", 6);
    ui += Widget("QLineEdit", 7);
    ui += Widget("QComboBox", 8, Cmd("Plib").c_str());
    ui += Widget("QPushButton", 9, Cmd("canc").c_str());
    ui += Widget("QPushButton", 10, Cmd("Bres").c_str());
    ui += Widget("QPushButton", 11, Cmd("clos").c_str());
    ui += "</widget></ui>\n";
    std::ofstream(nib_.file("Probe.ui")) << ui;
    tb::SetNibFolder(nib_.path().string());
  }
  void TearDown() override {
    tb::SetNibFolder(previousNib_);
    ColCorDialogTest::TearDown();
  }
  void SaveProbePreset(const std::string& name, const ProbeRec& r) {
    std::ofstream out(bundle_.makersFile(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&r), sizeof r);
  }
  static std::string Text(tb::WindowRef w, int32_t id) { return tb::GetControlText(tb::FindControl(w, kSig, id)); }
  static int32_t Value(tb::WindowRef w, int32_t id) { return tb::GetControl32BitValue(tb::FindControl(w, kSig, id)); }

  vmktest::TempDir nib_;
  std::string previousNib_;
};

TEST_F(EffectFrameTest, FirstTickAtOnceThenOnePerIntervalAndTypingPushesWhereDescribed) {
  for (double push : {0.0, 1.0}) {
    Probe dlg(Desc("Probe", push));
    const double start = plat::ui::Now();
    std::vector<double> afterTyping;
    driver_.Advance(0.01)
        .Do([&](tb::WindowRef) {
          ASSERT_EQ(dlg.ticks.size(), 1u);  // the refresh at open, on the first tick
          EXPECT_DOUBLE_EQ(dlg.ticks[0], start);
        })
        .Type(kSig, 3, "42")
        .Advance(0.6)
        .Do([&](tb::WindowRef) { afterTyping = dlg.ticks; })
        .Advance(0.6)
        .Press(kSig, 9);
    EXPECT_EQ(dlg.Do_ProbeDlg(), 0);
    ASSERT_GE(dlg.ticks.size(), 2u) << push;
    if (push == 0.0) {
      // The tick of the interval, at start + 0.5, reads the typed text.
      EXPECT_EQ(afterTyping.size(), 2u);
      EXPECT_DOUBLE_EQ(dlg.ticks[1], start + 0.5);
    } else {
      // Pushed a second away from the typing: nothing within the next 0.6 s.
      EXPECT_EQ(afterTyping.size(), 1u);
      EXPECT_NEAR(dlg.ticks[1], start + 1.01, 1e-9);
    }
    EXPECT_EQ(dlg.shown.back().amount, 42);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, UndoKeysAreExactAndNumberFieldsTakeDigitsMinusSpaceAndBackspaceOnly) {
  Probe dlg(Desc("Probe", 0.0));
  std::vector<int16_t> flags;
  driver_.Advance(0.01)
      .Key('z', cmdKey | shiftKey)
      .Do([&](tb::WindowRef) { flags.push_back(flag_restor); })
      .Key('z', optionKey)
      .Do([&](tb::WindowRef) { flags.push_back(flag_restor); })
      .Key(26, controlKey)
      .Do([&](tb::WindowRef) {
        flags.push_back(flag_restor);
        flag_restor = 0;
      })
      .Type(kSig, 5, "1.2+3a -4")
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, 5), "123 -4"); })
      .Type(kSig, 5, "\b\b7", false)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, 5), "123 7"); })
      .Key('z', cmdKey)
      .Do([&](tb::WindowRef w) {
        flags.push_back(flag_restor);
        EXPECT_EQ(Text(w, 5), "123 7");  // Cmd-Z never reaches the field
      })
      .Press(kSig, 9);
  dlg.Do_ProbeDlg();
  EXPECT_EQ(flags, (std::vector<int16_t>{0, 0, 1, 1}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, ScrollBarAndArrowsStepOppositeWaysWithinTheirRangeAndWriteTheField) {
  Probe dlg(Desc("Probe", 0.0));
  std::vector<std::string> texts;
  std::vector<int32_t> values;
  auto note = [&](int32_t control, int32_t field) {
    return [&, control, field](tb::WindowRef w) {
      values.push_back(Value(w, control));
      texts.push_back(Text(w, field));
    };
  };
  driver_.Advance(0.01)
      .Slide(kSig, 2, 100)
      .Advance(0.6)
      .PressPart(kSig, 2, tb::kControlDownButtonPart)  // at its maximum: stays
      .Do(note(2, 3))
      .PressPart(kSig, 2, tb::kControlUpButtonPart)
      .Do(note(2, 3))
      .PressPart(kSig, 4, tb::kControlUpButtonPart)
      .Do(note(4, 5))
      .PressPart(kSig, 4, tb::kControlDownButtonPart)
      .PressPart(kSig, 4, tb::kControlDownButtonPart)
      .Do(note(4, 5))
      .Press(kSig, 9);
  dlg.Do_ProbeDlg();
  EXPECT_EQ(values, (std::vector<int32_t>{100, 99, 6, 4}));
  EXPECT_EQ(texts, (std::vector<std::string>{"100", "99", "6", "4"}));
  // The arrows' command read the field at once.
  EXPECT_EQ(dlg.rec().offset, 4);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, ARedrawBetweenASliderStepAndItsCommandKeepsTheStep) {
  // The toolbox sends a step's command a loop turn after the step; a redraw
  // from a preview that finishes in between must not put the record's older
  // value back into the slider, or the command reads it and the step is lost.
  Probe dlg(Desc("Probe", 0.0));
  std::vector<int32_t> values;
  std::vector<std::string> texts;
  driver_.Advance(0.01)
      .Slide(kSig, 2, 50)
      .Advance(0.6)
      .Do([&](tb::WindowRef w) {
        tb::ControlRef slider = tb::FindControl(w, kSig, 2);
        EffectFrame::StepSlider(slider, tb::kControlPageDownPart);
        dlg.DrawWindowContent(w);
        values.push_back(Value(w, 2));
        texts.push_back(Text(w, 3));
        tb::Event command;
        command.eventClass = tb::kEventClassCommand;
        command.kind = tb::kEventCommandProcess;
        command.command = FourCC("Samt");
        command.control = slider;
        tb::SendEventToEventTarget(&command, w, slider);
        // Once the command is in, a redraw shows the record again.
        dlg.DrawWindowContent(w);
        values.push_back(Value(w, 2));
      })
      .Advance(0.6)
      .Press(kSig, 9);
  dlg.Do_ProbeDlg();
  EXPECT_EQ(values, (std::vector<int32_t>{60, 60}));
  EXPECT_EQ(texts, (std::vector<std::string>{"60"}));
  EXPECT_EQ(dlg.shown.back().amount, 60);
  EXPECT_TRUE(driver_.errors().empty());
}

// Two pages whose rows share slider 2 and field 3, page 1 shown.
class PagedProbe : public Probe {
 public:
  explicit PagedProbe(const EffectFrameDesc& desc) : Probe(desc) {
    rows_[0].page = 1;
    ValueRow other = rows_[0];
    other.page = 2;
    other.word = static_cast<int32_t>(offsetof(ProbeRec, shift));
    other.storage = ValueRow::kInt16;
    rows_.push_back(other);
    page = 1;
  }
};

TEST_F(EffectFrameTest, ARedrawLeavesTheFocusOnAControlThatOtherPagesShareToo) {
  PagedProbe dlg(Desc("Probe", 0.0));
  std::vector<bool> kept;
  driver_.Advance(0.01)
      .Do([&](tb::WindowRef w) {
        for (int32_t id : {2, 3}) {
          tb::SetKeyboardFocus(w, tb::FindControl(w, kSig, id));
          dlg.DrawWindowContent(w);
          kept.push_back(tb::GetKeyboardFocus(w) == tb::FindControl(w, kSig, id) &&
                         tb::IsControlVisible(tb::FindControl(w, kSig, id)));
        }
      })
      .Press(kSig, 9);
  dlg.Do_ProbeDlg();
  EXPECT_EQ(kept, (std::vector<bool>{true, true}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, AWindowTheNibLacksInstallsNothingAndANeverRunDialogTouchesNoTimer) {
  {
    Probe never(Desc("Probe", 0.0));
    EXPECT_EQ(never.loopTimer, nullptr);
  }  // its destructor has no timer to stop
  Probe dlg(Desc("NoSuchWindow", 0.0));
  const ProbeRec before = dlg.rec();
  EXPECT_EQ(dlg.Do_ProbeDlg(), 0);
  EXPECT_FALSE(static_cast<bool>(dlg.loopTimerUPP));
  EXPECT_EQ(dlg.loopTimer, nullptr);
  EXPECT_TRUE(dlg.ticks.empty());
  EXPECT_EQ(std::memcmp(&before, &dlg.rec(), sizeof before), 0);
  driver_.Advance(2.0);
  EXPECT_TRUE(dlg.ticks.empty());
}

TEST_F(EffectFrameTest, HoveringPresetsLeavesTheRecordByteIdenticalAndAStaleItemLoadsNothing) {
  for (int k = 1; k <= 3; ++k) {
    ProbeRec p{};
    p.amount = 20 * k;
    p.offset = static_cast<int16_t>(-k);
    p.level = static_cast<uint8_t>(100 + k);
    SaveProbePreset("p" + std::to_string(k) + ".sse4", p);
  }
  Probe dlg(Desc("Probe", 0.0));
  ProbeRec held{};
  std::vector<int32_t> hovered;
  driver_.Advance(0.01)
      .Type(kSig, 3, "55")
      .Advance(0.6)
      .Do([&](tb::WindowRef) {
        held = dlg.rec();
        dlg.shown.clear();
      })
      .Hover(kSig, 8, {1, 2, 3, 9})  // 9 lies beyond the list
      .Do([&](tb::WindowRef w) {
        for (const ProbeRec& r : dlg.shown) hovered.push_back(r.amount);
        EXPECT_EQ(std::memcmp(&held, &dlg.rec(), sizeof held), 0);
        // The menu shows more items than the list holds: a stale menu.
        for (const char* t : {"x", "y"}) tb::AppendMenuItemText(tb::FindControl(w, kSig, 8), t);
      })
      .Choose(kSig, 8, 5)
      .Do([&](tb::WindowRef) { EXPECT_EQ(std::memcmp(&held, &dlg.rec(), sizeof held), 0); })
      .Choose(kSig, 8, 2)
      .Do([&](tb::WindowRef) { EXPECT_EQ(dlg.rec().amount, 40); })
      .Press(kSig, 9);
  dlg.Do_ProbeDlg();
  EXPECT_EQ(hovered, (std::vector<int32_t>{20, 40, 60}));
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, OkRightAfterTypingReturnsTheTypedValueClampedToRowAndStorage) {
  Probe dlg(Desc("Probe", 1.0));
  driver_.Advance(0.01)
      .Type(kSig, 3, "250")
      .Type(kSig, 5, "-99")
      .Type(kSig, 6, "300")
      .Type(kSig, 7, "500")
      .Press(kSig, 1);
  ASSERT_EQ(dlg.Do_ProbeDlg(), 1);
  EXPECT_EQ(dlg.rec().amount, 100);
  EXPECT_EQ(dlg.rec().offset, -50);
  EXPECT_EQ(dlg.rec().level, 255);
  EXPECT_EQ(dlg.rec().shift, 500);  // a short holds 500 as it is
  Probe again(Desc("Probe", 1.0));
  driver_.Advance(0.01).Type(kSig, 7, "70000").Press(kSig, 1);
  ASSERT_EQ(again.Do_ProbeDlg(), 1);
  EXPECT_EQ(again.rec().shift, 32767);  // held, not wrapped
  Probe below(Desc("Probe", 1.0));
  driver_.Advance(0.01).Type(kSig, 7, "-99999").Press(kSig, 1);
  ASSERT_EQ(below.Do_ProbeDlg(), 1);
  EXPECT_EQ(below.rec().shift, -32768);
  EXPECT_TRUE(driver_.errors().empty());
}

TEST_F(EffectFrameTest, UndoRestoresTheBackupAndTheFieldsShowItInsteadOfStaleText) {
  Probe dlg(Desc("Probe", 0.0));
  std::vector<std::string> fields;
  ProbeRec afterUndo{};
  driver_.Advance(0.01)
      .Slide(kSig, 2, 80)  // backs up amount 10, then 80
      .Advance(0.6)
      .Do([&](tb::WindowRef w) { EXPECT_EQ(Text(w, 3), "80"); })
      .Type(kSig, 6, "33")  // typed in the same tick as the undo: not read
      .Key(26, controlKey)
      .Advance(0.5)
      .Do([&](tb::WindowRef w) {
        afterUndo = dlg.rec();
        fields = {Text(w, 3), Text(w, 6)};
        EXPECT_EQ(Value(w, 2), 10);
      })
      .Key('z', cmdKey)  // a second undo restores the same backup
      .Advance(0.5)
      .Press(kSig, 1);
  ASSERT_EQ(dlg.Do_ProbeDlg(), 1);
  EXPECT_EQ(afterUndo.amount, 10);
  EXPECT_EQ(afterUndo.level, 7);
  EXPECT_EQ(fields, (std::vector<std::string>{"10", "7"}));
  EXPECT_EQ(dlg.rec().amount, 10);
  EXPECT_EQ(flag_restor, 0);
  EXPECT_EQ(dlg.shown.back().amount, 10);  // the preview was handed the restored record
}

TEST_F(EffectFrameTest, UndoRightAfterOpeningRestoresTheDefaults) {
  Probe dlg(Desc("Probe", 0.0));
  ProbeRec defaults{};
  Init(&defaults, {});
  EXPECT_EQ(std::memcmp(dlg.backup, &defaults, sizeof defaults), 0);
  driver_.Key(26, controlKey).Advance(0.01).Press(kSig, 1);
  ASSERT_EQ(dlg.Do_ProbeDlg(), 1);
  EXPECT_EQ(std::memcmp(&dlg.rec(), &defaults, sizeof defaults), 0);
}

TEST_F(EffectFrameTest, OkWritesTheSettingsFileWhateverTheFlagAndOnlyFlagZeroReadsIt) {
  const char* kTemp = ":tmpvmkprobe.hpr";
  {
    Probe dlg(Desc("Probe", 0.0, kTemp));
    driver_.Advance(0.01).Type(kSig, 3, "64").Press(kSig, 1);
    ASSERT_EQ(dlg.Do_ProbeDlg(1), 1);
    EXPECT_EQ(dlg.previewSource, 2);
  }
  ASSERT_EQ(vmktest::ReadBytes(bundle_.makersFile("tmpvmkprobe.hpr")).size(), sizeof(ProbeRec));
  {
    Probe dlg(Desc("Probe", 0.0, kTemp));
    driver_.Advance(0.01).Press(kSig, 9);
    dlg.Do_ProbeDlg(1);  // flag 1: the owner's record, not the file
    EXPECT_EQ(dlg.rec().amount, 10);
  }
  {
    Probe dlg(Desc("Probe", 0.0, kTemp));
    driver_.Advance(0.01).Press(kSig, 11);  // 'clos' ends as cancel
    EXPECT_EQ(dlg.Do_ProbeDlg(0), 0);
    EXPECT_EQ(dlg.previewSource, 3);
    EXPECT_EQ(dlg.rec().amount, 64);
  }
  EXPECT_TRUE(driver_.errors().empty());
}

}  // namespace
