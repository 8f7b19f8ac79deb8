#include "dialogs/correction/focus_dialog.h"

#include "dialogs/correction/effect_dialog_procs.h"

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

constexpr EffectDialogDesc kDesc{
    .window = "Kevrantil", .signature = FourCC("Kfoc"), .viewKey = "kevra", .effect = 105,
    .presetType = FourCC("Sse3"), .record = &kColCorRecordOps, .lookup = kLookup,
    .ids = {.mainView = 11, .fitIndicator = 15, .zoomIndicator = 20, .previewRadio = 8, .zoomSlider = 14,
            .zoomText = 12, .zoomOut = 24, .zoomIn = 25, .readout = {9, 21, 22}, .presetPopup = 37,
            .overlayGroup = 28, .overlayCheck = 32, .overlayPopup = 29, .overlayMore = {30, -1},
            .opacitySlider = 33, .opacityEdit = 31, .focusEdit = 17},
    .mouseRedrawsAll = true,
    .squareOneToOne = false,
    .navPanTag = 0,
    .mainPreviewAtOpen = true};

using Trampolines = EffectDialogTrampolines<gVMKkevr>;

}  // namespace

void KevrLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus KevrWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetKevrWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKkevrUI::VMKkevrUI() : ColCorDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  ShowGroupRows();
}

VMKkevrUI::~VMKkevrUI() { Trampolines::Release(this); }

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
  return Run(Trampolines::Procs(KevrLoopHandler, GetKevrWindowEventHandlerUPP()));
}
