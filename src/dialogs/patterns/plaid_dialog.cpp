#include "dialogs/patterns/plaid_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>

#include "app/colour_picker.h"
#include "app/core/percent.h"
#include "app/core/text_helpers.h"
#include "app/keyboard.h"
#include "app/ui/file_menus.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "dialogs/patterns/weave_dialog.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcreaplaidUI* gVMKcreaplaid = nullptr;
VMKadjHSVUI* gVMKadjHSVUI = nullptr;

namespace {

// Shared by both dialogs of the file: Cmd-Z in either raises it, and the
// plaid creator's next tick restores its record (the HSV sub-dialog has no
// undo of its own).
int16_t flag_restor = 0;

using PlaidTrampolines = EffectFrameTrampolines<gVMKcreaplaid>;
using HSVTrampolines = EffectFrameTrampolines<gVMKadjHSVUI>;

// The file's one key filter: the open HSV sub-dialog's fields are the only
// ones that take keys while it runs.
bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  if (gVMKadjHSVUI != nullptr) return HSVTrampolines::NumEditKeyFilter(c, key, charCode, modifiers);
  return PlaidTrampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}
void ScrollBar32BitActionProc(tb::ControlRef c, int16_t part) { EffectFrame::StepSlider(c, part); }
void LittleArrowActionProc(tb::ControlRef c, int16_t part) { EffectFrame::StepArrows(c, part); }

FrameProcs ProcsOf(tb::EventLoopTimerProc loop, tb::EventHandlerProc window) {
  return {std::move(loop), std::move(window), ScrollBar32BitActionProc, nullptr, LittleArrowActionProc,
          NumEditKeyFilter};
}

bool Option() { return TestKeyModif(optionKey) == 1; }

// ==== the HSV sub-dialog's description ====

constexpr int32_t kHSVLookup[] = {6,  13, 16, 10, 11, 12, 14, 15, 17, 18, 25, 28,
                                  22, 23, 24, 26, 27, 29, 19, 20, 21, 4,  5};
constexpr int32_t kLinkCheck = 5;
// The weft side: its fields, sliders, arrows, labels and group.
constexpr int32_t kHSVWeftSide[] = {18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 4};

constexpr tb::EventTypeSpec kHSVEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

EffectFrameDesc HSVDescription() {
  EffectFrameDesc d;
  d.window = "AdjHSV";
  d.signature = FourCC("Ahsv");
  d.lookup = kHSVLookup;
  d.events = kHSVEvents;
  d.loopInterval = 0.3;
  d.focusEdit = 6;
  // The undo request belongs to the plaid creator's record.
  d.undoTick = false;
  // Nothing is pending until the first change.
  d.refreshAtOpen = false;
  return d;
}

constexpr int32_t kShortMin = std::numeric_limits<int16_t>::min();
constexpr int32_t kShortMax = std::numeric_limits<int16_t>::max();

// ==== the plaid creator's description ====

enum : int32_t {
  kPreview = 10,
  kPresets = 13,
  kUnitPopup = 126,
  kOpacityField = 118,
  kOpacitySlider = 119,
  kSymmetry = 33,
  kWarpWeaveCheck = 34,
  kWeftWeaveCheck = 35,
  kWarpWeaveSlider = 36,
  kWeftWeaveSlider = 37,
  kWarpWeaveMenu = 108,
  kWeftWeaveMenu = 109,
  kWarpColourMenu = 110,
  kWeftColourMenu = 111,
  kWarpStripeMenu = 121,
  kWeftStripeMenu = 122,
  kWarpRampRadio = 22,
  kWarpColoursRadio = 23,
  kWeftRampRadio = 25,
  kWeftColoursRadio = 26,
  kWarpFormula = 15,
  kWeftFormula = 17,
  kWarpStripes = 131,
  kWeftStripes = 137,
  kWarpLengthField = 132,
  kWeftLengthField = 138,
  kWarpLengthArrows = 139,
  kWeftLengthArrows = 140,
  kWarpColourPopup = 129,
  kWeftColourPopup = 135,
  kWarpMark = 130,
  kWeftMark = 136,
  kWarpPositions = 141,
  kWeftPositions = 142,
  kWarpReadout = 19,
  kWeftReadout = 20,
};

// The controls of the table, then those looked up and not used further.
constexpr int32_t kLookup[] = {
    10,  13,  126, 118, 119, 33,  34,  35,  36,  37,  29,  7,   41,  47,  28,  6,   108, 109, 110, 111, 121, 122,
    22,  23,  25,  26,  15,  17,  113, 127, 112, 133, 131, 137, 132, 138, 139, 140, 129, 135, 130, 136, 141, 142,
    128, 134, 19,  20,  123, 124, 125, 16,  18,  39,  42,  44,  46,  48,  50,  52,  54,  56,  58,  60,  62,  64,
    66,  68,  70,  72,  74,  76,  78,  80,  82,  84,  86,  88,  90,  92,  94,  96,  98,  100, 102, 104, 27,  38,
    106, 107, 114, 115, 116};

// Each side's list controls: shown while it uses its list, and those shown
// while the list has a stripe (the positions box only in length mode 1).
struct SideControls {
  int32_t formula, label, group, mark, positions, stripes, colour, length, arrows, listGroup;
};
constexpr SideControls kWarpSide{kWarpFormula, 127, 113, kWarpMark, kWarpPositions, kWarpStripes,
                                 kWarpColourPopup, kWarpLengthField, kWarpLengthArrows, 128};
constexpr SideControls kWeftSide{kWeftFormula, 133, 112, kWeftMark, kWeftPositions, kWeftStripes,
                                 kWeftColourPopup, kWeftLengthField, kWeftLengthArrows, 134};
const SideControls& Side(bool warp) { return warp ? kWarpSide : kWeftSide; }

// The boxes, in the order Box() numbers them.
enum : size_t { kPreviewBox, kWarpWeaveBox, kWeftWeaveBox, kWarpStripeBox, kWeftStripeBox };
constexpr FrameBox kBoxes[] = {{"HIima", true}, {"HIwwa", false}, {"HIwwe", false}, {"HIswa", false},
                               {"HIswe", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},        {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},              {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},               {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent},      {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},  {tb::kEventClassWindow, tb::kEventWindowZoomed},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

PlaidPar* Rec(void* r) { return static_cast<PlaidPar*>(r); }
const PlaidPar* Rec(const void* r) { return static_cast<const PlaidPar*>(r); }

void InitPlaid(void* r, const RecordContext&) { Init_PlaidPar(Rec(r), 0); }
void CopyPlaid(const void* s, void* d) { Copy_PlaidPar(Rec(s), Rec(d)); }

// Whatever a file says, the record the dialog goes on with fits its arrays.
int16_t PlaidFile(int16_t mode, FSSpec spec, void* r, int16_t) {
  const int16_t answer = Do_APlaidPar_file(mode, spec, Rec(r));
  HoldPlaidCounts(Rec(r));
  return answer;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(PlaidPar)), InitPlaid, CopyPlaid, PlaidFile, nullptr};

EffectFrameDesc Description() {
  EffectFrameDesc d;
  d.window = "CreaPlaid";
  d.signature = FourCC("Ppla");
  d.lookup = kLookup;
  d.viewKey = "ppla";
  d.boxes = kBoxes;
  d.effect = 42;
  d.presetType = FourCC("hPld");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  d.tempFile = ":tmpvmkplaid.hpl";
  d.resizable = true;
  d.drawParams = true;
  // Swatches, the HSV sub-dialog and the stripe boxes are polled before the
  // refresh step, so what they change is previewed in the same tick.
  d.pollBeforeRefresh = true;
  return d;
}

// A 72,836-byte scratch record from the memory manager, gone with the block.
struct ScratchDeleter {
  void operator()(PlaidPar* p) const { vmkrec::DeleteScratch(p); }
};
using ScratchPlaid = std::unique_ptr<PlaidPar, ScratchDeleter>;

ScratchPlaid NewScratchPlaid() {
  void* block = vmkrec::NewScratch(sizeof(PlaidPar));
  return ScratchPlaid(block != nullptr ? new (block) PlaidPar() : nullptr);
}

VMKcolbox* ColourBox(const std::string& name) {
  if (gVMKapp == nullptr) return nullptr;
  const int index = FindCustomView("com.vellmarkstead.ppla." + name);
  return index >= 0 ? gVMKapp->ColourView(index) : nullptr;
}

// Colour entry k of a palette as 0..255 shorts, and back.
void PaletteColour(const uint8_t (*palette)[kPlaidColours], int32_t k, int16_t* r, int16_t* g, int16_t* b) {
  *r = palette[0][k];
  *g = palette[1][k];
  *b = palette[2][k];
}
void SetPaletteColour(uint8_t (*palette)[kPlaidColours], int32_t k, int16_t r, int16_t g, int16_t b) {
  palette[0][k] = static_cast<uint8_t>(r);
  palette[1][k] = static_cast<uint8_t>(g);
  palette[2][k] = static_cast<uint8_t>(b);
}

bool AnyShift(const int16_t* v) { return std::any_of(v, v + 6, [](int16_t x) { return x != 0; }); }

// A formula field's text into its 256-byte record string, and back.
void ReadFormula(tb::ControlRef field, char* formula) {
  if (field == nullptr) return;
  const std::string text = tb::GetControlText(field);
  const size_t n = std::min<size_t>(text.size(), kFormulaSize - 1);
  std::memcpy(formula, text.data(), n);
  formula[n] = 0;
}
std::string FormulaText(const char* formula) { return std::string(formula, strnlen(formula, kFormulaSize)); }

void SetText(tb::ControlRef c, const char* format, int32_t value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  tb::SetControlText(c, text);
}

}  // namespace

// ==== counts held to their arrays ====

namespace {

void HoldList(WWInfo* list) {
  list->stripCount = std::clamp(list->stripCount, 0, kFreeStrips);
  list->selected = std::clamp(list->selected, 0, std::max(list->stripCount - 1, 0));
}

}  // namespace

void HoldPlaidCounts(PlaidPar* record) {
  if (record == nullptr) return;
  HoldList(&record->free1);
  HoldList(&record->free2);
  HoldWeaveSize(&record->weave1);
  HoldWeaveSize(&record->weave2);
}

// ==== the stripe popups' items ====

std::string StripeItemText(const WWInfo& list, int32_t i, int16_t mode, bool warp, int32_t picture,
                           int64_t markedSum, int32_t* end) {
  unsigned char number[256];
  VMK_NumToString(i + 1, number);
  std::string item(reinterpret_cast<const char*>(number + 1), number[0]);
  item += i <= 9 ? " - " : "  - ";
  item += list.stripOn[i] == 1 ? "x  - Len: " : "    - Len: ";
  const char* label = warp ? " | Y: " : " | X: ";
  const int32_t stored = list.stripWidth[i];
  if (mode == 2) {
    item += std::to_string(stored);
    if (markedSum > 0) {
      *end = static_cast<int32_t>(*end + int64_t{stored} * picture / markedSum);
      item += label + std::to_string(*end);
    }
  } else if (mode == 1 && list.cumulative == 0) {
    *end = static_cast<int32_t>(int64_t{*end} + stored);
    item += std::to_string(stored) + label + std::to_string(*end);
  } else if (mode == 1) {
    item += std::to_string(int64_t{stored} - *end) + label + std::to_string(stored);
    *end = stored;
  }
  item += " - Col.: ";
  const int32_t colour = list.stripColour[i];
  if (colour >= 0 && colour < kPlaidColours) item += static_cast<char>('A' + colour);
  return item;
}

// ==== file-level names ====

void CreaPlaidLoopHandler(tb::EventLoopTimerRef timer, void* window) { PlaidTrampolines::LoopHandler(timer, window); }

OSStatus CreaPlaidWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return PlaidTrampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCreaPlaidWindowEventHandlerUPP() { return PlaidTrampolines::WindowEventHandlerUPP(); }

void AdjHSVLoopHandler(tb::EventLoopTimerRef timer, void* window) { HSVTrampolines::LoopHandler(timer, window); }

OSStatus AdjHSVWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return HSVTrampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetAdjHSVWindowEventHandlerUPP() { return HSVTrampolines::WindowEventHandlerUPP(); }

// ==== the HSV sub-dialog ====

VMKadjHSVUI::VMKadjHSVUI() : EffectFrame(HSVDescription(), &flag_restor) {
  flag_restor = 0;
  HSVTrampolines::Claim(this);
  // The value shifts are taken as typed, held to their shorts.
  rows_ = {{FourCC("Shua"), 10, 6, -180, 180, kWarpHue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Laha"), 14, 6, -180, 180, kWarpHue, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Ssaa"), 11, 13, -100, 100, kWarpSaturation, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lasa"), 15, 13, -100, 100, kWarpSaturation, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Svaa"), 12, 16, kShortMin, kShortMax, kWarpValue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lava"), 17, 16, kShortMin, kShortMax, kWarpValue, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Shue"), 22, 18, -180, 180, kWeftHue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lahe"), 26, 18, -180, 180, kWeftHue, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Ssae"), 23, 25, -100, 100, kWeftSaturation, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lase"), 27, 25, -100, 100, kWeftSaturation, ValueRow::kArrows, ValueRow::kInt16},
           {FourCC("Svae"), 24, 28, kShortMin, kShortMax, kWeftValue, ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Lave"), 29, 28, kShortMin, kShortMax, kWeftValue, ValueRow::kArrows, ValueRow::kInt16}};
}

VMKadjHSVUI::~VMKadjHSVUI() { HSVTrampolines::Release(this); }

void VMKadjHSVUI::SetHSV(int16_t h1, int16_t s1, int16_t v1, int16_t h2, int16_t s2, int16_t v2) {
  const int16_t in[6] = {h1, s1, v1, h2, s2, v2};
  std::copy(in, in + 6, values);
}

void VMKadjHSVUI::GetHSV(int16_t* h1, int16_t* s1, int16_t* v1, int16_t* h2, int16_t* s2, int16_t* v2) const {
  *h1 = values[0];
  *s1 = values[1];
  *v1 = values[2];
  *h2 = values[3];
  *s2 = values[4];
  *v2 = values[5];
}

int16_t VMKadjHSVUI::CheckSetPreview(int16_t value) {
  if (previewFlag != 1) return 0;
  const int16_t was = pending;
  pending = value;
  return was;
}

int16_t VMKadjHSVUI::Do_AdjHSVUIDlg() { return Run(ProcsOf(AdjHSVLoopHandler, GetAdjHSVWindowEventHandlerUPP())); }

int32_t VMKadjHSVUI::RowValue(const ValueRow& row) { return values[row.word]; }

void VMKadjHSVUI::SetRowValue(const ValueRow& row, int32_t value) {
  values[row.word] = static_cast<int16_t>(ClampToStorage(ValueRow::kInt16, value));
}

// With the link on, the weft follows the warp at every redraw and its side
// is hidden; turning the link off keeps the copied values.
void VMKadjHSVUI::DrawOwnContent(tb::WindowRef) {
  if (link == 1) std::copy(values, values + 3, values + 3);
  for (int32_t id : kHSVWeftSide) tb::SetControlVisibility(Ctl(id), link != 1);
}

bool VMKadjHSVUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  const bool warpSliders = command == FourCC("Shua") || command == FourCC("Ssaa") || command == FourCC("Svaa");
  const bool weftSliders = command == FourCC("Shue") || command == FourCC("Ssae") || command == FourCC("Svae");
  if (warpSliders || weftSliders) {
    // Any slider of a side reads all three of that side.
    for (const ValueRow& row : rows_) {
      const bool warpRow = row.word < kWeftHue;
      if (row.kind == ValueRow::kSlider && warpRow == warpSliders)
        SetRowValue(row, tb::GetControl32BitValue(Ctl(row.control)));
    }
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  if (command == FourCC("Clnk")) {
    // No refresh: the copied weft values reach the owner with the next change.
    link = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kLinkCheck)));
    DrawWindowContent(window);
    return true;
  }
  return false;
}

// ==== the plaid creator: construction and hand-over ====

VMKcreaplaidUI::VMKcreaplaidUI() : EffectFrame(Description(), &flag_restor) {
  flag_restor = 0;
  PlaidTrampolines::Claim(this);
  auto at = [](size_t offset) { return static_cast<int32_t>(offset); };
  rows_ = {{FourCC("Sopa"), kOpacitySlider, kOpacityField, 0, 100, kOpacityPercent},
           {0, -1, 29, 0, 360, at(offsetof(PlaidPar, rowAngle)), ValueRow::kSlider, ValueRow::kInt16},
           {0, -1, 7, 0, 360, at(offsetof(PlaidPar, colAngle)), ValueRow::kSlider, ValueRow::kInt16},
           {0, -1, 41, 0, 100, at(offsetof(PlaidPar, threadHeight)), ValueRow::kSlider, ValueRow::kInt16},
           {0, -1, 47, 0, 100, at(offsetof(PlaidPar, threadWidth)), ValueRow::kSlider, ValueRow::kInt16},
           {0, -1, 28, 0, 100, at(offsetof(PlaidPar, rowRepeats)), ValueRow::kSlider, ValueRow::kInt16},
           {0, -1, 6, 0, 100, at(offsetof(PlaidPar, colRepeats)), ValueRow::kSlider, ValueRow::kInt16},
           {FourCC("Swwa"), kWarpWeaveSlider, -1, 0, 100, at(offsetof(PlaidPar, shade2)), ValueRow::kSlider,
            ValueRow::kInt32},
           {FourCC("Swwe"), kWeftWeaveSlider, -1, 0, 100, at(offsetof(PlaidPar, shade1)), ValueRow::kSlider,
            ValueRow::kInt32},
           // Negative lengths become 0; beyond that they are taken as typed.
           {FourCC("Lara"), kWarpLengthArrows, kWarpLengthField, 0, std::numeric_limits<int32_t>::max(),
            kWarpLength, ValueRow::kArrows},
           {FourCC("Lare"), kWeftLengthArrows, kWeftLengthField, 0, std::numeric_limits<int32_t>::max(),
            kWeftLength, ValueRow::kArrows}};
  for (int k = 1; k <= kSwatches; ++k) {
    warpSwatches_.push_back(ColourBox("HIcwa" + std::to_string(k)));
    weftSwatches_.push_back(ColourBox("HIcwe" + std::to_string(k)));
  }
}

VMKcreaplaidUI::~VMKcreaplaidUI() { PlaidTrampolines::Release(this); }

int16_t VMKcreaplaidUI::UndoRequest() { return flag_restor; }

void VMKcreaplaidUI::SetPlaidPar(int16_t opacityIn, const PlaidPar* record) {
  opacity = opacityIn;
  if (record == nullptr || current() == nullptr) return;
  Copy_PlaidPar(current(), backupRecord());
  Copy_PlaidPar(record, current());
  HoldPlaidCounts(current());
}

void VMKcreaplaidUI::GetPlaidPar(int16_t* opacityOut, PlaidPar* record) const {
  if (opacityOut != nullptr) *opacityOut = opacity;
  if (record != nullptr && current() != nullptr) Copy_PlaidPar(current(), record);
}

int16_t VMKcreaplaidUI::Do_CreaPlaidDlg(int16_t runFlag) {
  return Run(ProcsOf(CreaPlaidLoopHandler, GetCreaPlaidWindowEventHandlerUPP()), runFlag);
}

// ==== values ====

int32_t VMKcreaplaidUI::RowValue(const ValueRow& row) {
  switch (row.word) {
    case kOpacityPercent: return PercentOf255(opacity);
    case kWarpLength: return List(true).stripWidth[List(true).selected];
    case kWeftLength: return List(false).stripWidth[List(false).selected];
    default: return EffectFrame::RowValue(row);
  }
}

void VMKcreaplaidUI::SetRowValue(const ValueRow& row, int32_t value) {
  switch (row.word) {
    // The percent is held to 0..100 first, so the opacity stays a byte.
    case kOpacityPercent:
      opacity = static_cast<int16_t>(PercentFieldTo255(opacity, std::clamp(value, 0, 100)));
      break;
    case kWarpLength: List(true).stripWidth[List(true).selected] = value; break;
    case kWeftLength: List(false).stripWidth[List(false).selected] = value; break;
    default: EffectFrame::SetRowValue(row, value); break;
  }
}

void VMKcreaplaidUI::GetEditValue() {
  if (current() == nullptr) return;
  ReadFormula(Ctl(kWarpFormula), current()->formula2);
  ReadFormula(Ctl(kWeftFormula), current()->formula1);
  EffectFrame::GetEditValue();
}

// ==== opening ====

void VMKcreaplaidUI::OpenViews(tb::WindowRef) {
  VMKimabox* preview = previewBox();
  preview->InitBuf(2);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  preview->SetPlaidMode(1);
  preview->SetPickCoord(1);
  Box(kWarpStripeBox)->InitBuf(2);
  Box(kWarpStripeBox)->SetWWInfoMode(1);
  Box(kWeftStripeBox)->InitBuf(2);
  Box(kWeftStripeBox)->SetWWInfoMode(2);
  PrepareWindowForDisplay();
  Box(kWarpWeaveBox)->InitBuf(25);
  Box(kWeftWeaveBox)->InitBuf(25);
  for (auto* swatches : {&warpSwatches_, &weftSwatches_})
    for (VMKcolbox* s : *swatches)
      if (s != nullptr) s->SetBufParam(0, 0, 0, 1);
}

void VMKcreaplaidUI::PrepareBoxesAndMenus(tb::WindowRef window) {
  OpenViews(window);
  LoadCreaPlaidMenus();
}

// Only the opacity, the two lengths and the two middle percentages take the
// number filter; the angles and the other percentages take any text.
void VMKcreaplaidUI::InstallOwnControls(const FrameProcs&, tb::WindowRef) {
  for (int32_t id : {29, 7, 28, 6}) tb::SetKeyFilter(Ctl(id), nullptr);
}

// The stripe-list flags come from the record once, before the first draw;
// from then on they are the truth and each redraw writes them back.
void VMKcreaplaidUI::BeforeShow(tb::WindowRef) {
  const int16_t bits = current()->freeMode;
  const bool known = bits >= 0 && bits <= 3;
  warpStripeList = known && (bits & 1) != 0 ? 1 : 0;
  weftStripeList = known && (bits & 2) != 0 ? 1 : 0;
}

void VMKcreaplaidUI::PrepareWindowForDisplay() {
  VMKimabox* preview = previewBox();
  preview->InitBufSize();
  const PictureFit fit =
      PlacePicture(preview, {Box(kWarpStripeBox), Box(kWeftStripeBox)});
  displayedWidth = fit.fittedWidth;
  displayedHeight = fit.fittedHeight;
  boxLeft = fit.left;
  boxTop = fit.top;
  boxWidth = fit.width;
  boxHeight = fit.height;
}

// ==== menus ====

namespace {

// Where a file menu keeps its fixed items, and how many it has.
size_t FixedSlot(int32_t id) {
  switch (id) {
    case kPresets: return 0;
    case kWarpStripeMenu: return 1;
    case kWeftStripeMenu: return 2;
    case kWarpWeaveMenu: return 3;
    case kWeftWeaveMenu: return 4;
    case kWarpColourMenu: return 5;
    default: return 6;
  }
}

int32_t FixedCount(int32_t id) {
  if (id == kPresets) return 1;
  if (id == kWarpWeaveMenu || id == kWeftWeaveMenu) return 5;
  if (id == kWarpColourMenu || id == kWeftColourMenu) return 6;
  return 7;
}

}  // namespace

// Resets the count before each listing: the folder scan adds to it.
void VMKcreaplaidUI::FillFileMenu(int32_t id, int32_t* count) {
  tb::ControlRef menu = Ctl(id);
  if (menu == nullptr) return;
  std::vector<std::string>& fixed = fixedItems_[FixedSlot(id)];
  // The nib's fixed items are what the menu holds before its first listing.
  if (fixed.empty()) {
    const int32_t n = FixedCount(id);
    for (int32_t i = 1; i <= n && i <= tb::CountMenuItems(menu); ++i) fixed.push_back(tb::GetMenuItemText(menu, i));
  }
  tb::DeleteMenuItems(menu);
  for (const std::string& text : fixed) tb::AppendMenuItemText(menu, text);
  *count = 0;
  if (gappData != nullptr && presetList != nullptr)
    InstallMenuFromFileType(menu, &gappData->folder, &frameDesc().presetType, kPresetRoom, count, presetList, 0);
  tb::SetControl32BitMinimum(menu, 1);
}

void VMKcreaplaidUI::LoadCreaPlaidMenus() {
  int32_t count = 0;
  FillFileMenu(kPresets, &count);
  tb::SetControl32BitMaximum(Ctl(kPresets), count + 1);
  presetCount = static_cast<int16_t>(std::min<int32_t>(count, kShortMax));
  // Kept: every other menu's range is the count + 7, whatever its fixed items.
  for (int32_t id : {kWarpStripeMenu, kWeftStripeMenu, kWarpWeaveMenu, kWeftWeaveMenu, kWarpColourMenu,
                     kWeftColourMenu}) {
    int32_t again = 0;
    FillFileMenu(id, &again);
    tb::SetControl32BitMaximum(Ctl(id), again + 7);
  }
}

void VMKcreaplaidUI::FillStripePopup(bool warp) {
  tb::ControlRef popup = Ctl(warp ? kWarpStripes : kWeftStripes);
  if (popup == nullptr) return;
  const WWInfo& list = List(warp);
  const int32_t picture = warp ? context.height : context.width;
  int64_t marked = 0;
  for (int32_t i = 0; i < list.stripCount; ++i)
    if (list.stripOn[i] == 1) marked += list.stripWidth[i];
  tb::DeleteMenuItems(popup);
  int32_t end = 0;
  for (int32_t i = 0; i < list.stripCount; ++i)
    tb::AppendMenuItemText(popup, StripeItemText(list, i, current()->lineMode, warp, picture, marked, &end));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, list.stripCount);
}

void VMKcreaplaidUI::LoadWWMenus() {
  if (current() == nullptr) return;
  FillStripePopup(true);
  FillStripePopup(false);
}

// ==== showing the state ====

void VMKcreaplaidUI::DrawRGBPicker() {
  SetText(Ctl(123), "R: %d", readoutRed);
  SetText(Ctl(124), "G: %d", readoutGreen);
  SetText(Ctl(125), "B: %d", readoutBlue);
  char weft[64], warp[64];
  const double w = context.width > 0 ? context.width : 1, h = context.height > 0 ? context.height : 1;
  switch (readoutUnit) {
    case 1:
      std::snprintf(weft, sizeof weft, "Weft: %d %%", static_cast<int32_t>(readoutX * 100.0 / w));
      std::snprintf(warp, sizeof warp, "Warp: %d %%", static_cast<int32_t>(readoutY * 100.0 / h));
      break;
    case 2:
      std::snprintf(weft, sizeof weft, "Weft: %d", readoutX);
      std::snprintf(warp, sizeof warp, "Warp: %d", readoutY);
      break;
    case 3:
    case 4: {
      float x = 0.0f, y = 0.0f;
      const auto resolution = static_cast<float>(context.resolution > 0 ? context.resolution : 72);
      valfromunit(readoutX, readoutUnit, &x, resolution);
      valfromunit(readoutY, readoutUnit, &y, resolution);
      std::snprintf(weft, sizeof weft, "Weft: %4.2f", static_cast<double>(x));
      std::snprintf(warp, sizeof warp, "Warp: %4.2f", static_cast<double>(y));
      break;
    }
    default: return;
  }
  tb::SetControlText(Ctl(kWeftReadout), weft);
  tb::SetControlText(Ctl(kWarpReadout), warp);
}

// One side's stripe source: its formula, or its list and the list's
// controls; the record's stripe-source bit follows the object's flag.
void VMKcreaplaidUI::ShowSide(bool warp) {
  const SideControls& s = Side(warp);
  const int16_t bit = warp ? 1 : 2;
  PlaidPar* r = current();
  const bool list = (warp ? warpStripeList : weftStripeList) != 0;
  r->freeMode = static_cast<int16_t>(list ? (r->freeMode | bit) : (r->freeMode & ~bit));
  tb::SetControlVisibility(Ctl(s.formula), !list);
  tb::SetControlVisibility(Ctl(s.label), list);
  tb::SetControlVisibility(Ctl(s.group), list);
  if (!list) return;
  LoadWWMenus();
  const WWInfo& l = List(warp);
  tb::SetControl32BitValue(Ctl(s.mark), l.stripOn[l.selected]);
  tb::SetControl32BitValue(Ctl(s.positions), l.cumulative);
  tb::SetControl32BitValue(Ctl(s.stripes), l.selected + 1);
  tb::SetControl32BitValue(Ctl(s.colour), l.stripColour[l.selected] + 1);
}

void VMKcreaplaidUI::ShowStripeControls(bool warp) {
  const SideControls& s = Side(warp);
  const bool any = List(warp).stripCount > 0;
  for (int32_t id : {s.listGroup, s.colour, s.stripes, s.length, s.arrows, s.mark})
    tb::SetControlVisibility(Ctl(id), any);
  tb::SetControlVisibility(Ctl(s.positions), any && current()->lineMode == 1);
}

void VMKcreaplaidUI::DrawOwnContent(tb::WindowRef) {
  PlaidPar* r = current();
  if (r == nullptr) return;
  DrawRGBPicker();
  tb::SetControl32BitValue(Ctl(kWarpRampRadio), (r->threadSource & 1) != 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kWarpColoursRadio), (r->threadSource & 1) != 0 ? 0 : 1);
  tb::SetControl32BitValue(Ctl(kWeftRampRadio), (r->threadSource & 2) != 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kWeftColoursRadio), (r->threadSource & 2) != 0 ? 0 : 1);
  tb::SetControlText(Ctl(kWarpFormula), FormulaText(r->formula2));
  tb::SetControlText(Ctl(kWeftFormula), FormulaText(r->formula1));
  tb::SetControl32BitValue(Ctl(kWarpWeaveCheck), r->colsWoven);
  tb::SetControl32BitValue(Ctl(kWeftWeaveCheck), r->rowsWoven);
  tb::SetControl32BitValue(Ctl(kSymmetry), r->sameWeave);
  for (int32_t id : {int32_t{kWeftWeaveMenu}, int32_t{39}}) tb::SetControlVisibility(Ctl(id), r->sameWeave != 1);
  Box(kWarpWeaveBox)->SetWeaveInfo(&r->weave1, 2, 0, 0, 0, 0, 255, 255, 255);
  Box(kWeftWeaveBox)->SetWeaveInfo(&r->weave2, 2, 0, 0, 0, 0, 255, 255, 255);
  // 16 stays hidden: what would show it is never set.
  tb::SetControlVisibility(Ctl(16), false);
  tb::SetControlVisibility(Ctl(18), false);
  tb::SetControl32BitValue(Ctl(kPresets), 1);
  tb::SetControl32BitValue(Ctl(kUnitPopup), readoutUnit);
  tb::SetControl32BitValue(Ctl(kWarpColourMenu), 1);
  tb::SetControl32BitValue(Ctl(kWeftColourMenu), 1);
  tb::SetControl32BitValue(Ctl(kWarpStripeMenu), r->lineMode);
  tb::SetControl32BitValue(Ctl(kWeftStripeMenu), r->lineMode);
  ShowSide(true);
  ShowSide(false);
  ShowStripeControls(true);
  ShowStripeControls(false);
}

// The preview renders a copy with the pending HSV shifts applied, so the
// record changes only when the sub-dialog ends with OK; the stripe boxes
// and the swatches show the same copy. Shifts of 0 are no change at all:
// the colour round trip alone would move some colours by one.
void VMKcreaplaidUI::ShowPreview() {
  ScratchPlaid copy = NewScratchPlaid();
  if (copy == nullptr || current() == nullptr) return;
  Copy_PlaidPar(current(), copy.get());
  const int16_t* v = pendingHSV;
  if (AnyShift(v)) AdjHSV_ColPlaidPar(copy.get(), v[0], v[1], v[2], v[3], v[4], v[5]);
  previewBox()->SetPlaidPar(copy.get(), 1, opacity, previewSource, 42);
  Box(kWarpStripeBox)->SetPlaidPar(copy.get(), -1, 0, 0, 0);
  Box(kWeftStripeBox)->SetPlaidPar(copy.get(), -1, 0, 0, 0);
  int16_t red, green, blue;
  for (int32_t k = 0; k < kSwatches; ++k) {
    if (VMKcolbox* s = warpSwatches_[static_cast<size_t>(k)]) {
      PaletteColour(copy->paletteB, k, &red, &green, &blue);
      s->SetCol(red, green, blue);
    }
    if (VMKcolbox* s = weftSwatches_[static_cast<size_t>(k)]) {
      PaletteColour(copy->paletteA, k, &red, &green, &blue);
      s->SetCol(red, green, blue);
    }
  }
}

// ==== the loop's own steps ====

// The swatches run the colour picker themselves; a change takes no backup.
bool VMKcreaplaidUI::PollSwatches() {
  bool changed = false;
  int16_t r, g, b;
  for (int32_t k = 0; k < kSwatches; ++k) {
    VMKcolbox* warp = warpSwatches_[static_cast<size_t>(k)];
    if (warp != nullptr && warp->CheckSetRefresh(0) == 1) {
      warp->GetCol(&r, &g, &b);
      SetPaletteColour(current()->paletteB, k, r, g, b);
      refresh() = 1;
      changed = true;
    }
    VMKcolbox* weft = weftSwatches_[static_cast<size_t>(k)];
    if (weft != nullptr && weft->CheckSetRefresh(0) == 1) {
      weft->GetCol(&r, &g, &b);
      SetPaletteColour(current()->paletteA, k, r, g, b);
      refresh() = 1;
      changed = true;
    }
  }
  return changed;
}

bool VMKcreaplaidUI::PollHSV() {
  if (hsvDialog == nullptr || hsvDialog->CheckSetPreview(0) != 1) return false;
  int16_t* p = pendingHSV;
  hsvDialog->GetHSV(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5]);
  refresh() = 1;
  return true;
}

// A stripe picked (or moved) in a stripe box: the box's record becomes the
// current one; with Option alone the picker opens on the colour of the
// side's current stripe.
bool VMKcreaplaidUI::PollStripeBox(bool warp, tb::WindowRef window) {
  VMKimabox* box = Box(warp ? kWarpStripeBox : kWeftStripeBox);
  if (box->CheckSetRefresh(0) != 1) return false;
  BackRest(1);
  box->GetPlaidPar(current());
  HoldPlaidCounts(current());
  if (TestKeyModif(optionKey) == 1) {
    const WWInfo& list = List(warp);
    const int32_t k = std::clamp(list.stripColour[list.selected], 0, kPlaidColours - 1);
    uint8_t(*palette)[kPlaidColours] = warp ? current()->paletteB : current()->paletteA;
    int16_t r, g, b, unused = 0;
    PaletteColour(palette, k, &r, &g, &b);
    DoChooseCol(3, &r, &g, &b, &unused);
    SetPaletteColour(palette, k, r, g, b);
  }
  DrawWindowContent(window);
  refresh() = 1;
  return true;
}

bool VMKcreaplaidUI::PollTick(tb::WindowRef window) {
  if (current() == nullptr) return false;
  bool changed = PollSwatches();
  if (PollHSV()) changed = true;
  if (PollStripeBox(true, window)) changed = true;
  if (PollStripeBox(false, window)) changed = true;
  return changed;
}

// ==== events ====

void VMKcreaplaidUI::MouseReadout(const Point& where) {
  tb::ControlRef view = Ctl(kPreview);
  if (view == nullptr) return;
  const Rect frame = tb::GetControlBounds(view);
  if (where.h < frame.left || where.h >= frame.right || where.v < frame.top || where.v >= frame.bottom) return;
  previewBox()->GetRGBcolfromBuf(1, where.h - frame.left, where.v - frame.top, &readoutRed, &readoutGreen,
                                 &readoutBlue, &readoutX, &readoutY);
  DrawRGBPicker();
  previewBox()->DrawCrossShape(view, 1, where.h, where.v, frame.left, frame.right, frame.top, frame.bottom);
}

bool VMKcreaplaidUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus*) {
  if (event->eventClass == tb::kEventClassMouse && event->kind == tb::kEventMouseMoved) MouseReadout(event->mouse);
  return false;
}

// ==== presets ====

void VMKcreaplaidUI::ReadPreset(int32_t entry) {
  if (presetList == nullptr || entry < 0 || entry >= presetCount || entry >= kPresetRoom) return;
  (void)RecordFile(2, presetList[entry], edit);
}

// Item i of the preset popup stands for preset i - 2; resting on the fixed
// first item previews nothing.
void VMKcreaplaidUI::HoverItem(int32_t item, tb::WindowRef window) {
  if (item < 2) return;
  ReadPreset(item - 2);
  DrawWindowContent(window);
  refresh() = 1;
  Loop(loopTimer, window);
}

bool VMKcreaplaidUI::ReadScratch(int32_t entry, PlaidPar* scratch) {
  if (presetList == nullptr || scratch == nullptr || entry < 0 || entry >= presetCount || entry >= kPresetRoom)
    return false;
  return PlaidFile(2, presetList[entry], scratch, 42) == 0;
}

// ==== sub-dialogs ====

void VMKcreaplaidUI::RunWeaveEditor(WeaveInfo* weave) {
  std::unique_ptr<VMKcreaweavUI> editor(new (std::nothrow) VMKcreaweavUI());
  if (editor == nullptr) return;
  editor->SetWeaveInfo(weave);
  if (editor->Do_CreaWeavDlg() == 1) editor->GetWeaveInfo(weave);
}

// The values go to the record only on OK; until then the loop previews
// them on a copy. A change of nothing changes nothing.
void VMKcreaplaidUI::RunHSV() {
  std::unique_ptr<VMKadjHSVUI> dialog(new (std::nothrow) VMKadjHSVUI());
  if (dialog == nullptr) return;
  dialog->SetHSV(0, 0, 0, 0, 0, 0);
  dialog->SetAdjHSVFlagPreview(hsvPreviewRequest);
  hsvDialog = dialog.get();
  if (dialog->Do_AdjHSVUIDlg() == 1) {
    int16_t* p = pendingHSV;
    dialog->GetHSV(&p[0], &p[1], &p[2], &p[3], &p[4], &p[5]);
    if (AnyShift(p)) AdjHSV_ColPlaidPar(current(), p[0], p[1], p[2], p[3], p[4], p[5]);
  }
  std::fill(pendingHSV, pendingHSV + 6, int16_t{0});
  hsvDialog = nullptr;
  dialog.reset();
  refresh() = 1;
}

// Kept: the ramp editor is not live here; the preview follows it only once
// it has closed. Nobody sets its preview flag, so its pointer, polled by
// the frame, never reports anything.
void VMKcreaplaidUI::RunRampEditor(LutVign* ramp) { RampEditorSession(ramp, nullptr, &rampEditor).Run(); }

// ==== commands: weaves ====

void VMKcreaplaidUI::WeaveMenu(bool warp, int32_t item) {
  PlaidPar* r = current();
  WeaveInfo* own = warp ? &r->weave1 : &r->weave2;
  if (item == 1) RunWeaveEditor(own);
  if (item == 3) Copy_WeaveInfo(&r->weave1, &r->weave2, 0);
  if (item == 4) Copy_WeaveInfo(&r->weave2, &r->weave1, 0);
  if (item >= 6) {
    ScratchPlaid preset = NewScratchPlaid();
    if (preset != nullptr && ReadScratch(item - 6, preset.get()))
      Copy_WeaveInfo(warp ? &preset->weave1 : &preset->weave2, own, 0);
  }
}

bool VMKcreaplaidUI::WeaveCommand(uint32_t command, tb::WindowRef window) {
  PlaidPar* r = current();
  switch (command) {
    case FourCC("Csym"):
      // Kept: the check boxes take no backup.
      r->sameWeave = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kSymmetry)));
      break;
    case FourCC("Cwwa"):
    case FourCC("Cwwe"):
      r->colsWoven = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kWarpWeaveCheck)));
      r->rowsWoven = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kWeftWeaveCheck)));
      DrawWindowContent(window);
      break;
    case FourCC("Swwa"):
    case FourCC("Swwe"):
      // Either slider reads both.
      BackRest(1);
      r->shade2 = tb::GetControl32BitValue(Ctl(kWarpWeaveSlider));
      r->shade1 = tb::GetControl32BitValue(Ctl(kWeftWeaveSlider));
      DrawWindowContent(window);
      break;
    case FourCC("Wwa1"):
    case FourCC("Wwe1"):
      BackRest(1);
      RunWeaveEditor(command == FourCC("Wwa1") ? &r->weave1 : &r->weave2);
      break;
    case FourCC("Pwwa"):
    case FourCC("Pwwe"): {
      const bool warp = command == FourCC("Pwwa");
      BackRest(1);
      WeaveMenu(warp, tb::GetControl32BitValue(Ctl(warp ? kWarpWeaveMenu : kWeftWeaveMenu)));
      break;
    }
    default: return false;
  }
  HoldPlaidCounts(r);
  refresh() = 1;
  return true;
}

// ==== commands: colours ====

// Preset `entry`'s colours taken into one side: its ramp when the side uses
// its ramp; else its colour set, and with Option alone the other set first.
void VMKcreaplaidUI::PresetColours(bool warp, int32_t entry) {
  ScratchPlaid preset = NewScratchPlaid();
  if (preset == nullptr || !ReadScratch(entry, preset.get())) return;
  PlaidPar* r = current();
  const bool ramp = (r->threadSource & (warp ? 1 : 2)) != 0;
  if (ramp) {
    Copy_LutVign(warp ? &preset->ramp2 : &preset->ramp1, warp ? &r->ramp2 : &r->ramp1);
    return;
  }
  if (Option()) Copy_ColPlaidPar(warp ? 1 : 2, preset.get(), r);
  Copy_ColPlaidPar(warp ? 2 : 1, preset.get(), r);
}

void VMKcreaplaidUI::NextColourPreset(bool warp) {
  if (presetCount <= 0) return;
  colourPresetIndex = static_cast<int16_t>((colourPresetIndex + 1) % presetCount);
  PresetColours(warp, colourPresetIndex);
}

// Items 3 to 5 copy or swap the ramps when the warp uses its ramp, else the
// colour sets, in both menus.
void VMKcreaplaidUI::ColourMenu(bool warp, int32_t item) {
  PlaidPar* r = current();
  const bool ramps = (r->threadSource & 1) != 0;
  switch (item) {
    case 1: RunHSV(); return;
    case 3:
      if (ramps) Copy_LutVign(&r->ramp2, &r->ramp1);
      else Copy_ColPlaidPar(4, r, r);
      return;
    case 4:
      if (ramps) Copy_LutVign(&r->ramp1, &r->ramp2);
      else Copy_ColPlaidPar(3, r, r);
      return;
    case 5:
      if (ramps) std::swap(r->ramp1, r->ramp2);
      else Copy_ColPlaidPar(5, r, r);
      return;
    default:
      if (item >= 7) PresetColours(warp, item - 7);
      return;
  }
}

bool VMKcreaplaidUI::ColourCommand(uint32_t command, tb::WindowRef) {
  PlaidPar* r = current();
  switch (command) {
    case FourCC("Pcwa"):
    case FourCC("Pcwe"): {
      const bool warp = command == FourCC("Pcwa");
      BackRest(1);
      ColourMenu(warp, tb::GetControl32BitValue(Ctl(warp ? kWarpColourMenu : kWeftColourMenu)));
      break;
    }
    case FourCC("Bcwa"):
    case FourCC("Bcwe"): {
      const bool warp = command == FourCC("Bcwa");
      BackRest(1);
      const bool both = TestKeyModif(cmdKey | optionKey) == 1;
      if (TestKeyModif(cmdKey) == 1 || both) {
        Rand_ColPlaidPar(r, warp ? 1 : 2);
        if (both) Copy_ColPlaidPar(warp ? 4 : 3, r, r);
      } else {
        NextColourPreset(warp);
      }
      break;
    }
    case FourCC("Bcp0"):
    case FourCC("Bcp1"):
    case FourCC("Bcp2"):
      BackRest(1);
      Copy_ColPlaidPar(command == FourCC("Bcp0") ? 4 : command == FourCC("Bcp1") ? 3 : 5, r, r);
      break;
    // Kept: the radio flags start at "colours" for both sides in every new
    // dialog; the record's bits follow from them, not from what it held.
    case FourCC("Rcwa"):
      warpColoursFlag = 1;
      warpRampFlag = 0;
      r->threadSource = static_cast<int16_t>(weftRampFlag == 1 ? 2 : 0);
      break;
    case FourCC("Rcwe"):
      weftColoursFlag = 1;
      weftRampFlag = 0;
      r->threadSource = static_cast<int16_t>(warpRampFlag == 1 ? 1 : 0);
      break;
    // The ramp editor works on the record: the undo point comes first.
    case FourCC("Rvwa"):
      BackRest(1);
      warpRampFlag = 1;
      warpColoursFlag = 0;
      r->threadSource = static_cast<int16_t>(weftRampFlag == 1 ? 3 : 1);
      RunRampEditor(&r->ramp2);
      break;
    case FourCC("Rvwe"):
      BackRest(1);
      weftRampFlag = 1;
      weftColoursFlag = 0;
      r->threadSource = static_cast<int16_t>(warpRampFlag == 1 ? 3 : 2);
      RunRampEditor(&r->ramp1);
      break;
    default: return false;
  }
  refresh() = 1;
  return true;
}

// ==== commands: stripes ====

// A new stripe goes after the current one and becomes current; it keeps
// what its slot held (a copy of the stripe that followed, or, past the
// end, the values last stored there).
void VMKcreaplaidUI::AddStripe(bool warp) {
  WWInfo& l = List(warp);
  if (l.stripCount >= kFreeStrips) return;
  if (l.stripCount == 0) {
    l.stripCount = 1;
    l.selected = 0;
    return;
  }
  ++l.stripCount;
  for (int32_t k = l.stripCount - 1; k >= l.selected + 2; --k) {
    l.stripOn[k] = l.stripOn[k - 1];
    l.stripWidth[k] = l.stripWidth[k - 1];
    l.stripColour[k] = l.stripColour[k - 1];
  }
  ++l.selected;
}

void VMKcreaplaidUI::DeleteStripe(bool warp) {
  WWInfo& l = List(warp);
  if (l.stripCount <= 0) return;
  for (int32_t k = l.selected; k < l.stripCount - 1; ++k) {
    l.stripOn[k] = l.stripOn[k + 1];
    l.stripWidth[k] = l.stripWidth[k + 1];
    l.stripColour[k] = l.stripColour[k + 1];
  }
  --l.stripCount;
  l.selected = std::clamp(l.selected, 0, std::max(l.stripCount - 1, 0));
}

void VMKcreaplaidUI::StripeMenu(bool warp, int32_t item) {
  PlaidPar* r = current();
  const bool lists = warpStripeList == 1;
  switch (item) {
    case 1:
    case 2: r->lineMode = static_cast<int16_t>(item); return;
    case 4:
      if (lists) Copy_WWInfo(&r->free1, &r->free2);
      else std::memcpy(r->formula1, r->formula2, kFormulaSize);
      return;
    case 5:
      if (lists) Copy_WWInfo(&r->free2, &r->free1);
      else std::memcpy(r->formula2, r->formula1, kFormulaSize);
      return;
    case 6:
      if (lists) std::swap(r->free1, r->free2);
      else std::swap(r->formula1, r->formula2);
      return;
    default: break;
  }
  if (item < 8) return;
  // Only the formulas of a preset are taken: the side's own, and with Option
  // alone the other side's first.
  ScratchPlaid preset = NewScratchPlaid();
  if (preset == nullptr || !ReadScratch(item - 8, preset.get())) return;
  char* mine = warp ? r->formula2 : r->formula1;
  char* other = warp ? r->formula1 : r->formula2;
  if (Option()) std::memcpy(other, warp ? preset->formula1 : preset->formula2, kFormulaSize);
  std::memcpy(mine, warp ? preset->formula2 : preset->formula1, kFormulaSize);
}

bool VMKcreaplaidUI::StripeCommand(uint32_t command, tb::WindowRef window) {
  PlaidPar* r = current();
  const bool warp = command == FourCC("Pea1") || command == FourCC("Pea2") || command == FourCC("Pwar") ||
                    command == FourCC("Plsa") || command == FourCC("Pcoa") || command == FourCC("Cfra") ||
                    command == FourCC("Raba") || command == FourCC("Lara") || command == FourCC("Bada") ||
                    command == FourCC("Bdea");
  WWInfo& l = List(warp);
  switch (command) {
    // Kept: the list switches take no backup.
    case FourCC("Pea1"): warpStripeList = 1; break;
    case FourCC("Pea2"): warpStripeList = 0; break;
    case FourCC("Pee1"): weftStripeList = 1; break;
    case FourCC("Pee2"): weftStripeList = 0; break;
    case FourCC("Pwar"):
    case FourCC("Pwef"):
      BackRest(1);
      StripeMenu(warp, tb::GetControl32BitValue(Ctl(warp ? kWarpStripeMenu : kWeftStripeMenu)));
      HoldPlaidCounts(r);
      break;
    case FourCC("Plsa"):
    case FourCC("Plse"):
      l.selected = tb::GetControl32BitValue(Ctl(warp ? kWarpStripes : kWeftStripes)) - 1;
      HoldList(&l);
      break;
    case FourCC("Pcoa"):
    case FourCC("Pcoe"):
      l.stripColour[l.selected] = tb::GetControl32BitValue(Ctl(warp ? kWarpColourPopup : kWeftColourPopup)) - 1;
      refresh() = 1;
      if (!warp) LoadWWMenus();
      return true;
    case FourCC("Cfra"):
    case FourCC("Cfre"):
      l.stripOn[l.selected] = tb::GetControl32BitValue(Ctl(warp ? kWarpMark : kWeftMark));
      refresh() = 1;
      return true;
    case FourCC("Raba"):
    case FourCC("Rabe"):
      r->free1.cumulative = r->free2.cumulative = r->free2.cumulative == 0 ? 1 : 0;
      break;
    case FourCC("Lara"):
    case FourCC("Lare"): GetEditValue(); break;
    case FourCC("Bada"):
    case FourCC("Bade"): AddStripe(warp); break;
    case FourCC("Bdea"):
    case FourCC("Bdee"): DeleteStripe(warp); break;
    default: return false;
  }
  DrawWindowContent(window);
  refresh() = 1;
  return true;
}

// ==== commands ====

bool VMKcreaplaidUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (current() == nullptr) return false;
  switch (command) {
    case 0: return true;  // a control without a command of its own
    case FourCC("Plib"): {
      BackRest(1);
      const int32_t item = tb::GetControl32BitValue(Ctl(kPresets));
      if (item >= 2) ReadPreset(item - 2);
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    }
    case FourCC("Bsav"):
      BackRest(1);
      (void)SavePreset([&] { return RecordFile(1, FSSpec{}, edit); });
      // The new file belongs in the menus at once.
      LoadCreaPlaidMenus();
      DrawWindowContent(window);
      return true;
    case FourCC("Sopa"):
      opacity = static_cast<int16_t>(PercentFieldTo255(opacity, tb::GetControl32BitValue(Ctl(kOpacitySlider))));
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Puni"):
      readoutUnit = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kUnitPopup)));
      DrawWindowContent(window);
      return true;
    case FourCC("Bwar"):
    case FourCC("Bwef"):
      BackRest(1);
      refresh() = 1;
      return true;
    default: break;
  }
  return WeaveCommand(command, window) || ColourCommand(command, window) || StripeCommand(command, window);
}
