#include "dialogs/patterns/cookie_dialog.h"

#include <algorithm>
#include <iterator>

#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcookicutUI* gVMKcookicut = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the next tick restores the undo record.
int16_t flag_restor = 0;

constexpr OSType kSig = FourCC("Cook");

enum : int32_t { kRamp = 23, kPresets = 9, kDisplay = 27, kOverlay = 28 };

constexpr int32_t kLookup[] = {6,  9,  23, 27, 28, 11, 15, 19, 18, 16, 20, 21, 17, 22, 30, 29,
                               32, 31, 35, 34, 38, 37, 41, 40, 44, 43, 47, 46, 50, 49, 53, 52};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},   {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},         {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},          {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}, {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

constexpr FrameBox kBoxes[] = {{"HIima", true}, {"HIvig", false}};

CookiCutPar* Rec(void* r) { return static_cast<CookiCutPar*>(r); }
const CookiCutPar* Rec(const void* r) { return static_cast<const CookiCutPar*>(r); }

void InitRecord(void* r, const RecordContext&) { Init_CookiCutPar(Rec(r)); }
void CopyRecord(const void* s, void* d) { Copy_CookiCutPar(Rec(s), Rec(d)); }
int16_t RecordFile(int16_t mode, FSSpec spec, void* r, int16_t) { return Do_ACookiCut_file(mode, spec, Rec(r)); }
LutVign* RecordRamp(void* r) { return &Rec(r)->ramp; }

// What a preset read with Option leaves: the ramp and the three shifts.
void KeepColours(const void* from, void* to) {
  Rec(to)->ramp = Rec(from)->ramp;
  Rec(to)->hueShift = Rec(from)->hueShift;
  Rec(to)->saturationShift = Rec(from)->saturationShift;
  Rec(to)->lightnessShift = Rec(from)->lightnessShift;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(CookiCutPar)), InitRecord, CopyRecord, RecordFile,
                              RecordRamp};

EffectFrameDesc Description() {
  EffectFrameDesc d;
  d.window = "CookiCut";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "cook";
  d.boxes = kBoxes;
  d.effect = 81;
  d.presetType = FourCC("hCoo");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.drawParams = true;
  return d;
}

// The nine bars below the shifts, read together by any of 'Sac1'..'Sac8'.
constexpr uint8_t kOutline = 1;
constexpr uint32_t kOutlineCommands[] = {FourCC("Sac1"), FourCC("Sac2"), FourCC("Sac3"), FourCC("Sac4"),
                                         FourCC("Sac5"), FourCC("Sac6"), FourCC("Sac7"), FourCC("Sac8")};

constexpr int32_t Word(size_t offset) { return static_cast<int32_t>(offset / 4); }

ValueRow Outline(uint32_t command, int32_t bar, int32_t field, int32_t low, int32_t high, size_t offset) {
  ValueRow row{command, bar, field, low, high, Word(offset)};
  row.group = kOutline;
  return row;
}

ValueRow Shift(uint32_t command, int32_t control, int32_t field, int32_t low, int32_t high, size_t offset,
               bool arrows) {
  return {command, control, field, low, high, Word(offset), arrows ? ValueRow::kArrows : ValueRow::kSlider};
}

using Trampolines = EffectFrameTrampolines<gVMKcookicut>;

bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}
void ScrollBar32BitActionProc(tb::ControlRef c, int16_t part) { Trampolines::ScrollBar32BitActionProc(c, part); }
void LittleArrowActionProc(tb::ControlRef c, int16_t part) { Trampolines::LittleArrowActionProc(c, part); }

}  // namespace

void CookiCutLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CookiCutWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCookiCutWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKcookicutUI::VMKcookicutUI() : EffectFrame(Description(), &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  // The value shift is taken as typed: only the 16 bits that the ramp bar
  // and the ramp editor carry hold it.
  rows_ = {Shift(FourCC("Shue"), 15, 11, -180, 180, offsetof(CookiCutPar, hueShift), false),
           Shift(FourCC("Lahu"), 19, 11, -180, 180, offsetof(CookiCutPar, hueShift), true),
           Shift(FourCC("Ssat"), 16, 18, -100, 100, offsetof(CookiCutPar, saturationShift), false),
           Shift(FourCC("Lasa"), 20, 18, -100, 100, offsetof(CookiCutPar, saturationShift), true),
           Shift(FourCC("Sval"), 17, 21, -32768, 32767, offsetof(CookiCutPar, lightnessShift), false),
           Shift(FourCC("Lava"), 22, 21, -32768, 32767, offsetof(CookiCutPar, lightnessShift), true),
           Outline(FourCC("Sac1"), 29, 30, 0, 100, offsetof(CookiCutPar, softness)),
           Outline(FourCC("Sac2"), 31, 32, 0, 200, offsetof(CookiCutPar, radius)),
           Outline(FourCC("Sac3"), 34, 35, 0, 360, offsetof(CookiCutPar, angle)),
           Outline(FourCC("Sac4"), 37, 38, 1, 12, offsetof(CookiCutPar, turns)),
           Outline(FourCC("Sac5"), 40, 41, 0, 100, offsetof(CookiCutPar, shape)),
           Outline(FourCC("Sac6"), 43, 44, 0, 100, offsetof(CookiCutPar, shape) + 4),
           Outline(FourCC("Sac7"), 46, 47, 0, 100, offsetof(CookiCutPar, shape) + 8),
           Outline(FourCC("Sac8"), 49, 50, 0, 100, offsetof(CookiCutPar, shape) + 12),
           Outline(FourCC("Sac8"), 52, 53, 0, 100, offsetof(CookiCutPar, shapeScale))};
}

VMKcookicutUI::~VMKcookicutUI() { Trampolines::Release(this); }

void VMKcookicutUI::SetCookiCutPar(const CookiCutPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_CookiCutPar(current(), undoRecord());
  Copy_CookiCutPar(record, current());
}

void VMKcookicutUI::GetCookiCutPar(CookiCutPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_CookiCutPar(current(), record);
}

int16_t VMKcookicutUI::Do_CookiCutDlg(int16_t runFlag) {
  return Run({CookiCutLoopHandler, GetCookiCutWindowEventHandlerUPP(), ScrollBar32BitActionProc, nullptr,
              LittleArrowActionProc, NumEditKeyFilter},
             runFlag);
}

void VMKcookicutUI::ShowPreview() {
  if (current() != nullptr) previewBox()->SetCookiCutPar(current(), previewDisplay, previewSource);
}

void VMKcookicutUI::OpenViews(tb::WindowRef) {
  VMKimabox* preview = previewBox();
  preview->InitBuf(12);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  fit = PlacePicture(preview);
  Box(1)->InitBuf(21);
  Box(1)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
}

void VMKcookicutUI::DrawOwnContent(tb::WindowRef) {
  const CookiCutPar* r = current();
  if (r == nullptr) return;
  tb::SetControl32BitValue(Ctl(kDisplay), previewDisplay);
  tb::SetControl32BitValue(Ctl(kOverlay), overlayMode);
  ShowRampBar(Box(1), Ctl(kRamp), &r->ramp, r->hueShift, r->saturationShift, r->lightnessShift);
}

// With Option alone a preset gives the outline only; the shifts and the ramp stay.
void VMKcookicutUI::ReadPreset(int32_t entry) { ReadPresetKeeping(entry, KeepColours); }

bool VMKcookicutUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (std::find(std::begin(kOutlineCommands), std::end(kOutlineCommands), command) !=
      std::end(kOutlineCommands)) {
    // Any of the eight reads all nine bars.
    BackRest(1);
    TakeSliders(kOutline);
    StalePreviews();
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  switch (command) {
    case FourCC("Lahu"):
    case FourCC("Lasa"):
    case FourCC("Lava"):
      // Kept: the fields and the ramp bar follow the arrows at once, the
      // preview only at the next refresh.
      BackRest(1);
      GetEditValue();
      DrawWindowContent(window);
      return true;
    case FourCC("Badj"):
    case FourCC("Bvig"):
      // The ramp editor shows each ramp tried in the preview; a cancel puts
      // the ramp back as it was.
      RampEditorSession::RunFor(*this);
      return true;
    case FourCC("Ceff"):
      previewDisplay = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kDisplay)));
      refresh() = 1;
      return true;
    case FourCC("Csha"):
      overlayMode = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kOverlay)));
      previewBox()->SetCookiMode(overlayMode);
      refresh() = 1;
      return true;
    default: return false;
  }
}
