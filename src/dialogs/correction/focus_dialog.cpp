#include "dialogs/correction/focus_dialog.h"

#include <iterator>

namespace tb = plat::tb;

VMKkevrUI* gVMKkevr = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; nothing reads it yet.
int16_t flag_restor = 0;

constexpr int32_t kLookup[] = {11, 15, 20, 8,  1,  41, 42, 16, 18, 34, 38, 26, 17, 27, 19, 36, 35,
                               40, 39, 14, 12, 24, 25, 9,  21, 22, 37, 28, 32, 29, 30, 33, 31};
constexpr int32_t kSelector = 1;
constexpr int32_t kSwitch = 41;
constexpr int32_t kStatus = 42;
constexpr int32_t kLabels[4] = {16, 18, 34, 38};
constexpr int32_t kSliders[4] = {26, 27, 36, 40};
constexpr int32_t kFields[4] = {17, 19, 35, 39};
constexpr uint32_t kCommands[4] = {FourCC("Sla0"), FourCC("Sla1"), FourCC("Sla2"), FourCC("Sla3")};

// What a row of a group is called, the range of its slider and the clamp
// of its field. Some sliders reach past their clamp: the tick pulls them
// back.
struct GroupRow {
  const char* label;
  int32_t sliderMin, sliderMax;
  int32_t clampMin, clampMax;
};

constexpr GroupRow kGroups[4][4] = {
    {{"Mutate:", 0, 100, 0, 100}, {"Iterate:", 0, 10, 1, 10}, {"Amount:", 0, 100, 0, 100}, {"Edge:", 0, 10, 0, 10}},
    {{"Mutate:", 0, 100, 0, 100},
     {"Iterate:", 0, 20, 0, 20},
     {"Amount:", 0, 100, 0, 100},
     {"Threshold:", 0, 100, 0, 100}},
    {{"Mutate:", 0, 100, 0, 100},
     {"Iterate:", 0, 100, 0, 20},
     {"Amount:", 0, 100, 0, 100},
     {"Threshold:", 0, 10, 0, 10}},
    {{"Mutate:", 0, 100, 0, 100},
     {"Artefact:", 1, 15, 1, 15},
     {"Edge:", 1, 10, 0, 10},
     {"Threshold:", 1, 100, 1, 100}}};

bool ValidGroup(int g) { return g >= 1 && g <= 4; }

EffectDialogDesc MakeDesc() {
  EffectDialogDesc d{"Kevrantil", FourCC("Kfoc"), "kevra", 105, FourCC("Sse3"), &kColCorRecordOps,
                     kLookup, static_cast<int32_t>(std::size(kLookup)), {}};
  EffectDialogIds& ids = d.ids;
  ids.mainView = 11;
  ids.fitIndicator = 15;
  ids.zoomIndicator = 20;
  ids.previewRadio = 8;
  ids.zoomSlider = 14;
  ids.zoomText = 12;
  ids.zoomOut = 24;
  ids.zoomIn = 25;
  ids.readout[0] = 9;
  ids.readout[1] = 21;
  ids.readout[2] = 22;
  ids.presetPopup = 37;
  ids.overlayGroup = 28;
  ids.overlayCheck = 32;
  ids.overlayPopup = 29;
  ids.overlayMore[0] = 30;
  ids.opacitySlider = 33;
  ids.opacityEdit = 31;
  ids.focusEdit = 17;
  d.mouseRedrawsAll = true;
  d.squareOneToOne = false;
  d.navPanTag = 0;
  d.mainPreviewAtOpen = true;
  return d;
}

const EffectDialogDesc& Desc() {
  static const EffectDialogDesc desc = MakeDesc();
  return desc;
}

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) { EffectDialog::StepSlider(control, part); }

void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  EffectDialog::StepSlider(control, part);
  if (gVMKkevr != nullptr)
    gVMKkevr->AdjustPanZoom(static_cast<tb::WindowRef>(tb::GetControlReference(control)),
                            static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

bool NumEditKeyFilter(tb::ControlRef, int16_t*, int16_t* charCode, uint32_t* modifiers) {
  return gVMKkevr != nullptr && gVMKkevr->FilterNumKey(*charCode, *modifiers);
}

}  // namespace

void KevrLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKkevr != nullptr) gVMKkevr->KevrLoop(timer, window);
}

OSStatus KevrWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKkevr != nullptr ? gVMKkevr->KevrWindowEventHandler(call, event, window) : tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetKevrWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = KevrWindowEventHandler;
  return sHandler;
}

VMKkevrUI::VMKkevrUI() : ColCorDialog(Desc(), &flag_restor) {
  gVMKkevr = this;
  flag_restor = 0;
  ShowGroupRows();
}

VMKkevrUI::~VMKkevrUI() {
  if (gVMKkevr == this) gVMKkevr = nullptr;
}

int16_t VMKkevrUI::UndoRequest() { return flag_restor; }

std::string VMKkevrUI::StatusText(int32_t mask) {
  auto on = [mask](int32_t bit) { return (mask & bit) != 0 ? "ON" : "OFF"; };
  return std::string("Focus: ") + on(1) + ", DNoise: " + on(2) + ", HSharp: " + on(4) + ", FixJPG: " + on(8);
}

// The row edits the current group's four values with that group's clamps;
// a group outside 1 to 4 shows and reads none.
void VMKkevrUI::ShowGroupRows() {
  rows_.clear();
  if (!ValidGroup(currentGroup)) return;
  for (int r = 0; r < 4; ++r) {
    const GroupRow& g = kGroups[currentGroup - 1][r];
    rows_.push_back({kCommands[r], kSliders[r], kFields[r], g.clampMin, g.clampMax, FocusWord(r, currentGroup)});
  }
}

void VMKkevrUI::DrawOwnContent(tb::WindowRef) {
  const int32_t mask = Word(kCCFocusMode);
  tb::SetControl32BitValue(Ctl(kSelector), currentGroup);
  if (ValidGroup(currentGroup)) {
    tb::SetControl32BitValue(Ctl(kSwitch), (mask & (1 << (currentGroup - 1))) != 0 ? 1 : 0);
    for (int r = 0; r < 4; ++r) {
      const GroupRow& g = kGroups[currentGroup - 1][r];
      tb::SetControlText(Ctl(kLabels[r]), g.label);
      tb::SetControl32BitMinimum(Ctl(kSliders[r]), g.sliderMin);
      tb::SetControl32BitMaximum(Ctl(kSliders[r]), g.sliderMax);
    }
  }
  tb::SetControlText(Ctl(kStatus), StatusText(mask));
}

bool VMKkevrUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (command == FourCC("Tbch")) {
    currentGroup = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kSelector)));
    ShowGroupRows();
    DrawWindowContent(window);
    return true;
  }
  if (command == FourCC("Cact")) {
    if (ValidGroup(currentGroup)) {
      const int32_t bit = 1 << (currentGroup - 1);
      const int32_t v = tb::GetControl32BitValue(source);
      if ((Word(kCCFocusMode) & bit) != 0 && v == 0) Word(kCCFocusMode) &= ~bit;
      if ((Word(kCCFocusMode) & bit) == 0 && v == 1) Word(kCCFocusMode) |= bit;
    }
    refresh() = 1;
    return true;
  }
  return false;
}

int16_t VMKkevrUI::Do_KevrDlg() {
  return Run({KevrLoopHandler, GetKevrWindowEventHandlerUPP(), ScrollBar32BitActionProc,
              ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter});
}
