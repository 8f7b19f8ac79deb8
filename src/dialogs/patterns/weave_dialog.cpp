#include "dialogs/patterns/weave_dialog.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "app/core/file_records.h"
#include "app/image_import.h"
#include "app/ui/dialog_items.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcreaweavUI* gVMKcreaweav = nullptr;

namespace {

// Raised by Cmd-Z or Ctrl-Z (and Cmd-Z in a number field); the next tick
// restores the pattern from its backup.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKcreaweav>;

bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

constexpr OSType kSig = FourCC("Cwea");
enum : int32_t {
  kPresets = 21,
  kWidthField = 8,
  kHeightField = 7,
  kPatternCheck = 23,
  kEffectCheck = 40,
  kGridCheck = 24,
};
constexpr int32_t kLookup[] = {21, 8, 7, 26, 28, 30, 34, 36, 38, 23, 40, 24};
// The first and second number of the shift and resize windows.
constexpr int32_t kFirstNumber = 6, kSecondNumber = 5;

constexpr FrameBox kBoxes[] = {{"HIima", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},        {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},              {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},               {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent},      {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

WeaveInfo* Rec(void* r) { return static_cast<WeaveInfo*>(r); }
const WeaveInfo* Rec(const void* r) { return static_cast<const WeaveInfo*>(r); }

void InitWeave(void* r, const RecordContext&) { Init_WeaveInfo(Rec(r), 8, 8); }
void CopyWeave(const void* s, void* d) { Copy_WeaveInfo(Rec(s), Rec(d), 0); }

// Whatever a file says, the pattern the dialog goes on with fits the grid.
int16_t WeaveFile(int16_t mode, FSSpec spec, void* r, int16_t) {
  const int16_t answer = Do_AWeaveInfo_file(mode, spec, Rec(r));
  HoldWeaveSize(Rec(r));
  return answer;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(WeaveInfo)), InitWeave, CopyWeave, WeaveFile, nullptr};

EffectFrameDesc Description() {
  EffectFrameDesc d;
  d.window = "CreaWeav";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "cwea";
  d.boxes = kBoxes;
  d.effect = 43;
  d.presetType = FourCC("hWea");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  // The swatches and the pattern view are polled before the refresh step,
  // as the loop orders them.
  d.pollBeforeRefresh = true;
  return d;
}

VMKcolbox* Swatch(const char* name) {
  if (gVMKapp == nullptr) return nullptr;
  const int index = FindCustomView(std::string("com.vellmarkstead.cwea.") + name);
  return index >= 0 ? gVMKapp->ColourView(index) : nullptr;
}

ValueRow Field(int32_t edit, int32_t maximum, int32_t which) {
  return {0, -1, edit, 0, maximum, which, ValueRow::kSlider, ValueRow::kUInt8};
}

// The shift of one index by d within n, wrapped once either way (|d| <= n).
int32_t Wrap(int32_t i, int32_t n) {
  if (i < 0) return i + n;
  if (i > n - 1) return i - n;
  return i;
}

// A cell of one pixel (x, y) of a 4-byte buffer: dark pixels (their three
// colour components summing to 383 or less) are 1.
uint8_t DarkCell(const uint8_t* pixel) { return pixel[0] + pixel[1] + pixel[2] <= 383 ? 1 : 0; }

const tb::EventTypeSpec kSmallEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                          {tb::kEventClassMouse, tb::kEventMouseMoved},
                                          {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

}  // namespace

void HoldWeaveSize(WeaveInfo* weave) {
  if (weave == nullptr) return;
  weave->columns = static_cast<int16_t>(std::clamp<int32_t>(weave->columns, 0, kWeaveSide));
  weave->rows = static_cast<int16_t>(std::clamp<int32_t>(weave->rows, 0, kWeaveSide));
}

// ---- file-level names ----

void CreaWeavLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CreaWeavWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

OSStatus ShiftWeavWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKcreaweav != nullptr ? gVMKcreaweav->ShiftWeavWindowEventHandler(call, event, window)
                                 : tb::eventNotHandledErr;
}

OSStatus ExpandWeavWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKcreaweav != nullptr ? gVMKcreaweav->ExpandWeavWindowEventHandler(call, event, window)
                                 : tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetCreaWeavWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

const tb::EventHandlerProc& GetShiftWeavWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = ShiftWeavWindowEventHandler;
  return sHandler;
}

const tb::EventHandlerProc& GetExpandWeavWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = ExpandWeavWindowEventHandler;
  return sHandler;
}

// ---- construction and hand-over ----

VMKcreaweavUI::VMKcreaweavUI() : EffectFrame(Description(), &flag_restor) {
  flag_restor = 0;
  Trampolines::Claim(this);
  rows_ = {Field(kWidthField, kWeaveSide, kWidth),    Field(kHeightField, kWeaveSide, kHeight),
           Field(26, 255, kWarpRed),                  Field(28, 255, kWarpGreen),
           Field(30, 255, kWarpBlue),                 Field(34, 255, kWeftRed),
           Field(36, 255, kWeftGreen),                Field(38, 255, kWeftBlue)};
  warpSwatch_ = Swatch("HIcolwa");
  weftSwatch_ = Swatch("HIcolwe");
}

VMKcreaweavUI::~VMKcreaweavUI() { Trampolines::Release(this); }

int16_t VMKcreaweavUI::UndoRequest() { return flag_restor; }

void VMKcreaweavUI::SetWeaveInfo(const WeaveInfo* weave) {
  if (weave == nullptr || current() == nullptr) return;
  Copy_WeaveInfo(current(), backupRecord(), 0);
  Copy_WeaveInfo(weave, current(), 0);
  HoldWeaveSize(current());
}

// A repeat of no width or height means nothing to the engine: it leaves
// the dialog at least one cell wide and high.
void VMKcreaweavUI::GetWeaveInfo(WeaveInfo* weave) const {
  if (weave == nullptr || current() == nullptr) return;
  Copy_WeaveInfo(current(), weave, 0);
  weave->columns = std::max<int16_t>(weave->columns, 1);
  weave->rows = std::max<int16_t>(weave->rows, 1);
}

void VMKcreaweavUI::SetCol(uint8_t r1, uint8_t g1, uint8_t b1, uint8_t r2, uint8_t g2, uint8_t b2) {
  warp[0] = r1;
  warp[1] = g1;
  warp[2] = b1;
  weft[0] = r2;
  weft[1] = g2;
  weft[2] = b2;
}

void VMKcreaweavUI::GetCol(uint8_t* r1, uint8_t* g1, uint8_t* b1, uint8_t* r2, uint8_t* g2, uint8_t* b2) const {
  *r1 = warp[0];
  *g1 = warp[1];
  *b1 = warp[2];
  *r2 = weft[0];
  *g2 = weft[1];
  *b2 = weft[2];
}

int16_t VMKcreaweavUI::Do_CreaWeavDlg() {
  FrameProcs procs = Trampolines::Procs(CreaWeavLoopHandler, GetCreaWeavWindowEventHandlerUPP());
  procs.keys = NumEditKeyFilter;
  return Run(procs, 0);
}

// ---- values ----

uint8_t* VMKcreaweavUI::Member(int32_t which) {
  switch (which) {
    case kWarpRed:
    case kWarpGreen:
    case kWarpBlue: return &warp[which - kWarpRed];
    case kWeftRed:
    case kWeftGreen:
    case kWeftBlue: return &weft[which - kWeftRed];
    default: return nullptr;
  }
}

// The edits show the low byte of the width and height, which they keep as
// the shown size.
int32_t VMKcreaweavUI::RowValue(const ValueRow& row) {
  WeaveInfo* w = current();
  if (row.word == kWidth) return w != nullptr ? (shownWidth = static_cast<uint8_t>(w->columns)) : 0;
  if (row.word == kHeight) return w != nullptr ? (shownHeight = static_cast<uint8_t>(w->rows)) : 0;
  const uint8_t* m = Member(row.word);
  return m != nullptr ? *m : 0;
}

void VMKcreaweavUI::SetRowValue(const ValueRow& row, int32_t value) {
  WeaveInfo* w = current();
  const auto v = static_cast<uint8_t>(std::clamp(value, 0, 255));
  if (row.word == kWidth && w != nullptr) w->columns = static_cast<int16_t>(shownWidth = v);
  else if (row.word == kHeight && w != nullptr) w->rows = static_cast<int16_t>(shownHeight = v);
  else if (uint8_t* m = Member(row.word)) *m = v;
}

// ---- showing ----

void VMKcreaweavUI::OpenViews(tb::WindowRef) {
  VMKimabox* view = patternView();
  view->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  view->SetPanBufCoord(0, 0, 100000, 100000);
  view->InitBuf(25);
  for (VMKcolbox* s : {warpSwatch_, weftSwatch_})
    if (s != nullptr) s->SetBufParam(0, 0, 0, 1);
}

// The swatches and the pattern follow the record and the colours; the view
// draws the cells itself, so nothing renders here.
void VMKcreaweavUI::ShowPreview() {
  if (warpSwatch_ != nullptr) warpSwatch_->SetCol(warp[0], warp[1], warp[2]);
  if (weftSwatch_ != nullptr) weftSwatch_->SetCol(weft[0], weft[1], weft[2]);
  if (current() != nullptr)
    patternView()->SetWeaveInfo(current(), static_cast<int16_t>(Cpat + Ceff), Cgrd, warp[0], warp[1], warp[2],
                                weft[0], weft[1], weft[2]);
}

// 'Ceff' is never set by the program: its box keeps what the user clicked.
// 'Cgrd' only matters while the pattern is drawn, so it hides without it.
void VMKcreaweavUI::DrawOwnContent(tb::WindowRef) {
  tb::SetControlVisibility(Ctl(kGridCheck), Cpat != 0);
  tb::SetControl32BitValue(Ctl(kGridCheck), Cgrd);
  tb::SetControl32BitValue(Ctl(kPatternCheck), Cpat);
}

// ---- the loop's own steps ----

bool VMKcreaweavUI::PollSwatch(VMKcolbox* swatch, uint8_t* rgb, tb::WindowRef window) {
  if (swatch == nullptr || swatch->CheckSetRefresh(0) != 1) return false;
  int16_t r = 0, g = 0, b = 0;
  swatch->GetCol(&r, &g, &b);
  rgb[0] = static_cast<uint8_t>(r);
  rgb[1] = static_cast<uint8_t>(g);
  rgb[2] = static_cast<uint8_t>(b);
  DrawWindowContent(window);
  refresh() = 1;
  return true;
}

// Cells toggled in the view are taken back as they are: the view already
// shows them, so no refresh.
bool VMKcreaweavUI::PollTick(tb::WindowRef window) {
  bool changed = PollSwatch(warpSwatch_, warp, window);
  if (PollSwatch(weftSwatch_, weft, window)) changed = true;
  if (patternView()->CheckSetRefresh(0) == 1 && current() != nullptr) {
    BackRest(1);
    patternView()->GetWeaveInfo(current());
    HoldWeaveSize(current());
    DrawWindowContent(window);
    changed = true;
  }
  return changed;
}

// ---- the nine operations ----

void VMKcreaweavUI::Shift() {
  WeaveInfo* w = current();
  int32_t dx = 1, dy = 1;
  if (Do_ShiftWeavDlg(&dx, &dy) != 1) return;
  const int32_t height = w->rows, width = w->columns;
  dy = std::clamp(dy, -height, height);
  dx = std::clamp(dx, -width, width);
  auto old = std::make_unique<WeaveInfo>(*w);
  for (int32_t r = 0; r < height; ++r)
    for (int32_t c = 0; c < width; ++c) w->cells[r][c] = old->cells[Wrap(r + dy, height)][Wrap(c + dx, width)];
}

void VMKcreaweavUI::Resize() {
  WeaveInfo* w = current();
  int32_t width = w->columns, height = w->rows;
  if (Do_ExpandWeavDlg(&width, &height) != 1) return;
  width = std::clamp(width, 1, kWeaveSide - 1);
  height = std::clamp(height, 1, kWeaveSide - 1);
  auto scratch = std::make_unique<WeaveInfo>(*w);
  scratch->columns = static_cast<int16_t>(width);
  scratch->rows = static_cast<int16_t>(height);
  Copy_WeaveInfo(scratch.get(), w, 3);
  // From a repeat of no width or height nothing can be scaled: the cells
  // stay and the repeat takes the new size all the same.
  w->columns = static_cast<int16_t>(width);
  w->rows = static_cast<int16_t>(height);
}

// The file's pattern is the target, the pattern held before the command
// the source tiled over it; the cell-wise AND replaces the pattern.
void VMKcreaweavUI::Combine() {
  auto target = std::make_unique<WeaveInfo>();
  FSSpec none{};
  if (WeaveFile(0, none, target.get(), 0) != 0) return;
  Copy_WeaveInfo(current(), target.get(), 1);
  Copy_WeaveInfo(target.get(), current(), 0);
}

bool VMKcreaweavUI::Operation(uint32_t command) {
  WeaveInfo* w = current();
  switch (command) {
    case FourCC("Bop1"):
      for (int32_t r = 0; r < w->rows; ++r)
        for (int32_t c = 0; c < w->columns; ++c) w->cells[r][c] = w->cells[r][c] == 0 ? 1 : 0;
      return true;
    case FourCC("Bop2"): std::fill(&w->cells[0][0], &w->cells[0][0] + sizeof w->cells, uint8_t{0}); return true;
    case FourCC("Bop3"): {
      const auto scratch = std::make_unique<WeaveInfo>(*w);
      Copy_WeaveInfo(scratch.get(), w, 6);
      return true;
    }
    case FourCC("Bop4"): Shift(); return true;
    case FourCC("Bop5"):
    case FourCC("Bop6"): {
      const auto scratch = std::make_unique<WeaveInfo>(*w);
      Copy_WeaveInfo(scratch.get(), w, command == FourCC("Bop5") ? 4 : 5);
      return true;
    }
    case FourCC("Bop7"): ImportWeaveDataFromFile(w); return true;
    case FourCC("Bop8"): Combine(); return true;
    case FourCC("Bop9"): Resize(); return true;
    default: return false;
  }
}

// Every command reports itself handled; each that changes the pattern takes
// the undo point first and ends with a redraw and a refresh.
bool VMKcreaweavUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  // A control without a command of its own changes nothing.
  if (command == 0) return true;
  if (current() == nullptr) return false;
  switch (command) {
    case FourCC("Cpat"): Cpat = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kPatternCheck))); break;
    case FourCC("Ceff"): Ceff = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kEffectCheck))); break;
    case FourCC("Cgrd"): Cgrd = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kGridCheck))); break;
    case FourCC("Bres"):
      // Kept: the default pattern comes back at the current size.
      BackRest(1);
      Init_WeaveInfo(current(), current()->columns, current()->rows);
      DrawWindowContent(window);
      break;
    default: {
      if (command < FourCC("Bop1") || command > FourCC("Bop9")) return false;
      BackRest(1);
      Operation(command);
      DrawWindowContent(window);
      break;
    }
  }
  refresh() = 1;
  return true;
}

// ---- import ----

int16_t VMKcreaweavUI::ImportWeaveDataFromFile(WeaveInfo* weave) {
  if (weave == nullptr) return 1;
  fichier file;
  Init_FicStruct(&file);
  file.creator = FourCC("vMkC");
  if (LoadIma(2, &file) != 1) return 1;
  int32_t width = 0, height = 0;
  if (AS_GetImageDimension(&file, &width, &height, nullptr) != 0) return 1;
  width = std::min(width, kWeaveSide - 1);
  height = std::min(height, kWeaveSide - 1);
  if (Do_ExpandWeavDlg(&width, &height) != 1) return 1;
  width = std::clamp(width, 1, kWeaveSide - 1);
  height = std::clamp(height, 1, kWeaveSide - 1);
  // The reader takes a side of one pixel for an empty picture: such a side
  // is read at two and its first row or column taken.
  const int32_t readW = std::max(width, 2), readH = std::max(height, 2);
  std::vector<uint8_t> pixels(static_cast<size_t>(readW) * static_cast<size_t>(readH) * 4);
  if (AS_GetResizedImage(&file, 1, 0, 0, 0, 0, readW, readH, 0, 0, readW - 1, readH - 1, 1, pixels.data(), nullptr,
                         nullptr, nullptr) != 0)
    return 0;
  // Size and cells change together, only after the picture was read.
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) weave->cells[y][x] = DarkCell(&pixels[4 * (static_cast<size_t>(y) * readW + x)]);
  weave->columns = static_cast<int16_t>(width);
  weave->rows = static_cast<int16_t>(height);
  return 1;
}

// ---- the two small windows ----

int16_t VMKcreaweavUI::AskTwoNumbers(const char* name, OSType signature, const tb::EventHandlerProc& handler,
                                     int32_t* first, int32_t* second) {
  tb::WindowRef window = nullptr;
  if (tb::CreateWindowFromNib(name, &window) != noErr || window == nullptr) return 0;
  const DialogRef dialog{window, signature};
  PutDlgLong(dialog, kFirstNumber, *first);
  PutDlgLong(dialog, kSecondNumber, *second);
  tb::InstallWindowEventHandler(window, handler, {std::begin(kSmallEvents), std::end(kSmallEvents)}, window);
  int16_t* answer = signature == FourCC("Swea") ? &shiftResult : &resizeResult;
  *answer = 0;
  tb::ShowWindow(window);
  tb::RunAppModalLoopForWindow(window);
  // Kept: both numbers come back whatever the answer; the caller uses them
  // only on 1.
  GetDlgLong(dialog, kFirstNumber, first);
  GetDlgLong(dialog, kSecondNumber, second);
  tb::HideWindow(window);
  tb::DisposeWindow(window);
  return *answer;
}

int16_t VMKcreaweavUI::Do_ShiftWeavDlg(int32_t* dx, int32_t* dy) {
  return AskTwoNumbers("ShiftWeav", FourCC("Swea"), GetShiftWeavWindowEventHandlerUPP(), dx, dy);
}

int16_t VMKcreaweavUI::Do_ExpandWeavDlg(int32_t* width, int32_t* height) {
  return AskTwoNumbers("ExpandWeav", FourCC("Ewea"), GetExpandWeavWindowEventHandlerUPP(), width, height);
}

namespace {

// OK answers 1 and cancel (or the close box) 0; both end the window.
OSStatus SmallWindowEvent(tb::EventRef event, void* data, int16_t* answer) {
  auto window = static_cast<tb::WindowRef>(data);
  if (event->eventClass == tb::kEventClassMouse) {
    plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
    return tb::eventNotHandledErr;
  }
  const bool closeBox = event->eventClass == tb::kEventClassWindow && event->kind == tb::kEventWindowClickCloseRgn;
  const bool command = event->eventClass == tb::kEventClassCommand && event->kind == tb::kEventCommandProcess;
  if (!closeBox && !command) return tb::eventNotHandledErr;
  if (command && event->command != FourCC("ok  ") && event->command != FourCC("canc")) return tb::eventNotHandledErr;
  *answer = command && event->command == FourCC("ok  ") ? 1 : 0;
  tb::QuitAppModalLoopForWindow(window);
  return noErr;
}

}  // namespace

OSStatus VMKcreaweavUI::ShiftWeavWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void* window) {
  return SmallWindowEvent(event, window, &shiftResult);
}

OSStatus VMKcreaweavUI::ExpandWeavWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void* window) {
  return SmallWindowEvent(event, window, &resizeResult);
}
