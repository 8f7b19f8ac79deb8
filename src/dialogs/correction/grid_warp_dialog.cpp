#include "dialogs/correction/grid_warp_dialog.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <string>

#include "app/core/percent.h"
#include "app/core/session_state.h"
#include "app/keyboard.h"
#include "app/plane_readers.h"
#include "app/ui/dialog_items.h"
#include "dialogs/correction/effect_dialog_procs.h"
#include "engines/correction/grid_edit.h"
#include "engines/records/param_record.h"
#include "host/session/small_dialogs.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKgridUI* gVMKgrid = nullptr;

namespace {

// Raised by the undo keys: 1 undo, 2 select and 3 deselect the current
// grid's nodes; served and cleared by the next tick.
int16_t flag_restor = 0;

// ---- the record ----

void Init(void* r, const RecordContext& c) {
  Init_GridPar(static_cast<GridPar*>(r), c.width, c.height, 3, 3, 0, 3, 1, 1);
}
void Copy(const void* s, void* d) { Copy_GridPar(static_cast<const GridPar*>(s), static_cast<GridPar*>(d)); }
// The dialog's own file operation carries the selection plane (RecordFile);
// this one serves whoever has no selection to give.
int16_t File(int16_t mode, FSSpec spec, void* r, int16_t) {
  return Do_AGrid_file(mode, spec, static_cast<GridPar*>(r), 0, 0, 0, nullptr);
}
void ToView(VMKimabox* view, void* r, int16_t mode, int16_t level) {
  view->SetGridPar(static_cast<GridPar*>(r), mode, level);
}
int32_t* Words(void* r) { return static_cast<GridPar*>(r)->head.w; }

// The records come from the memory manager at the size every grid record
// is stored with.
static_assert(sizeof(GridPar) <= GridPar::kStoredSize);

// ---- the window ----

constexpr int32_t kOverlayGroup = 1, kOverlayPart = 18, kOverlayPopup = 7, kOverlayCheck = 44;
constexpr int32_t kOpacityEdit = 19, kOpacitySlider = 56;
constexpr int32_t kReadX = 59, kReadY = 60, kMainView = 9;
constexpr int32_t kSmoothEdit = 17, kSmoothSlider = 55, kSmoothCheck = 42;
constexpr int32_t kGridPopup = 27, kGridLabel = 28, kMaskCheck = 29;
// The show and link buttons' own numbers: the class's kShowIn, kShowOut and kLink are the
// head words they switch, which a member function would find first under the same names.
constexpr int32_t kEditIn = 39, kEditOut = 47, kShowInButton = 49, kShowOutButton = 50, kLinkButton = 48;
constexpr int32_t kGridOn = 53, kAdd = 54, kDelete = 57;
constexpr int32_t kPreview = 40, kUpdate = 41, kUpdateOnce = 58, kPresets = 61;

// Tool k's radio button: 23 for tool 0, 30 to 38 for tools 1 to 9.
constexpr int32_t ToolButton(int32_t tool) { return tool == 0 ? 23 : 29 + tool; }

// The 46 controls the window names (the navigator is the application's).
constexpr int32_t kLookup[] = {1,  18, 7,  44, 19, 56, 8,  21, 22, 59, 60, 9,  11, 13, 24, 25,
                               14, 20, 23, 30, 31, 32, 33, 34, 35, 36, 37, 38, 17, 55, 42, 27,
                               28, 29, 39, 47, 49, 50, 48, 53, 54, 57, 40, 41, 58, 61};
static_assert(std::size(kLookup) == 46);

constexpr int32_t kMostGrids = 15;

// Cursors of the grid tools in the resource file.
constexpr int16_t kRotateCursor = 16024;
constexpr int16_t kBellCursor = 16025;
constexpr int16_t kBellOptionCursor = 16026;
constexpr int16_t kSizeCursor = 16029;
constexpr int16_t kAddCursor = 16031;
constexpr int16_t kDeleteCursor = 16032;

constexpr EffectDialogDesc kDesc{
    .window = "Gridmain", .signature = FourCC("Grid"), .viewKey = "grid", .effect = 102,
    .presetType = FourCC("hXgr"), .record = &kGridRecordOps, .lookup = kLookup,
    .ids = {.mainView = kMainView, .fitIndicator = 14, .zoomIndicator = 20, .zoomSlider = 13, .zoomText = 11,
            .zoomOut = 24, .zoomIn = 25, .readout = {8, 21, 22}, .presetPopup = kPresets,
            .overlayGroup = kOverlayGroup, .overlayCheck = kOverlayCheck, .overlayPopup = kOverlayPopup,
            .overlayMore = {kOverlayPart, -1}, .opacitySlider = kOpacitySlider, .opacityEdit = kOpacityEdit,
            .focusEdit = kSmoothEdit},
    .loopInterval = 0.5,
    .typingPush = 1.0,
    // No command pushes the tick two seconds ahead in this dialog.
    .sliderPush = 0.0,
    .fitPush = 0.0,
    .oneToOnePush = 0.0,
    .squareOneToOne = false,
    .navPanTag = 0,
    .bufMode = 22,
    .navFrameFollowsFit = true,
    .zoomRendersMain = false,
    .tempFile = ":tmpvmkplv.hgr"};

using Trampolines = EffectDialogTrampolines<gVMKgrid>;

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}
void ScrollBarPan32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBarPan32BitActionProc(control, part);
}
bool NumEditKeyFilter(tb::ControlRef control, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(control, keyCode, charCode, modifiers);
}

// Words of the record handed to 16-bit arguments: held at the ends, never
// wrapped.
int16_t Sat16(int32_t v) {
  return static_cast<int16_t>(
      std::clamp<int32_t>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

std::string Format(const char* format, int a, int b) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

// The undo keys: exactly Command with z, a or b, or exactly Control with
// their control characters; 0 for any other key.
int16_t UndoKey(int16_t charCode, uint32_t modifiers) {
  if (modifiers == cmdKey) return charCode == 'z' ? 1 : charCode == 'a' ? 2 : charCode == 'b' ? 3 : 0;
  if (modifiers == controlKey) return charCode == 26 ? 1 : charCode == 1 ? 2 : charCode == 2 ? 3 : 0;
  return 0;
}

}  // namespace

const EffectRecordOps kGridRecordOps = {
    {GridPar::kStoredSize, Init, Copy, File}, ToView, Words, kGpWidth, kGpHeight,
    // The overlay is the dialog's (VMKgridUI::Overlay) and the record has no
    // region: these words are never read.
    0, 0, 0, 0, 0, 0, 0,
};

void GridLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus GridWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetGridWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKgridUI::VMKgridUI() : EffectDialog(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  KeepFlagsIn(&refreshFlag, &previewFlag);
  // The smoothing of the current grid is taken as typed (kept): only its
  // slider bounds what it gives.
  rows_.push_back({FourCC("Ssmo"), kSmoothSlider, kSmoothEdit, std::numeric_limits<int32_t>::min(),
                   std::numeric_limits<int32_t>::max(), 0});
}

VMKgridUI::~VMKgridUI() {
  previews().Stop();
  vmkrec::DeleteScratch(selPlane);
  Trampolines::Release(this);
}

int16_t& VMKgridUI::UndoRequest() { return flag_restor; }

void VMKgridUI::GetGridPar(GridPar* out) {
  if (edit != nullptr && out != nullptr) Copy_GridPar(editRecord(), out);
}

void VMKgridUI::SetGridPar(GridPar* in) {
  if (edit != nullptr && in != nullptr) Copy_GridPar(in, editRecord());
}

GridInfo* VMKgridUI::CurrentGrid() const {
  if (edit == nullptr) return nullptr;
  const int32_t k = editRecord()->head.w[kGpCurrent];
  return k >= 0 && k < kGridSlots ? &editRecord()->grids[k] : nullptr;
}

int32_t VMKgridUI::Overlay(OverlayPart part) {
  return part == kOverlayOn ? overlayOn : part == kOverlayIndex ? overlayIndex : overlayOpacity;
}

void VMKgridUI::SetOverlay(OverlayPart part, int32_t value) {
  (part == kOverlayOn ? overlayOn : part == kOverlayIndex ? overlayIndex : overlayOpacity) = Sat16(value);
}

int32_t VMKgridUI::RowValue(const ValueRow&) {
  const GridInfo* g = CurrentGrid();
  return g != nullptr ? g->w[kGiCurvature] : 0;
}

void VMKgridUI::SetRowValue(const ValueRow&, int32_t value) {
  if (GridInfo* g = CurrentGrid()) g->w[kGiCurvature] = value;
}

int16_t VMKgridUI::RecordFile(int16_t mode, FSSpec spec, void* record) {
  if (record == nullptr) return -1;
  return Do_AGrid_file(mode, spec, static_cast<GridPar*>(record), 0, selWidth, selHeight, selPlane);
}

// ---- running the window ----

int16_t VMKgridUI::Do_GridDlg(int16_t runFlag) {
  return EffectFrame::Run({GridLoopHandler, GetGridWindowEventHandlerUPP(), ScrollBar32BitActionProc,
                           ScrollBarPan32BitActionProc, nullptr, NumEditKeyFilter},
                          runFlag);
}

void VMKgridUI::PrepareBoxesAndMenus(tb::WindowRef) {
  PrepareLayerPhoMenus();
  PrepareLayerGrdMenus();
  PrepareGridMenus();
  OpenBoxes();
  PrepareWindowForDisplay();
  ReadSelMsk();
}

void VMKgridUI::MainViewParams(int16_t panFrames) {
  mainView()->SetBufParam(0, 0, 0, 0, panFrames, 0, 1, Sat16(ClampToInt32(int64_t{Head(kShowIn)} + Head(kShowOut))), smoothFlag, 0, 0,
                          0, 0);
}

void VMKgridUI::OpenBoxes() {
  VMKimabox* nav = navigator();
  VMKimabox* main = mainView();
  nav->SetBufParam(0, 0, 0, 0, NavigatorFrames(), 0, 1, 0, 0, 0, 0, 0, 0);
  MainViewParams(0);
  nav->InitBuf(22);
  nav->SetPanBufCoord(0, 0, 100000, 100000);
  nav->SetOveLay(overlayOn, overlayIndex, overlayOpacity);
  ToView(nav, 2);
  nav->SetBufParam(0, 0, 0, 0, NavigatorFrames(), 0, 1, 0, 0, 0, 0, 0, 0);
  nav->SetBufSSPan(pan[0], pan[1], pan[2], pan[3], 100, 0, 0);
  main->InitBuf(22);
  // The main view's pan frames until the first tick sets its words again.
  MainViewParams(previewFlag == 1 ? 3 : 2);
  PanToMain();
  main->SetOveLay(overlayOn, overlayIndex, overlayOpacity);
}

// The photo's selection at scale 1: the fourth plane of its rows, as the
// plane readers decide it, one byte a pixel of the record's picture (rows
// stored bottom first, as every plane). Columns and rows beyond the photo
// stay 0.
void VMKgridUI::ReadSelMsk() {
  vmkrec::DeleteScratch(selPlane);
  selPlane = nullptr;
  selWidth = selHeight = 0;
  if (edit == nullptr) return;
  const int32_t w = Head(kGpWidth);
  const int32_t h = Head(kGpHeight);
  if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h > std::numeric_limits<int32_t>::max()) return;
  selPlane = static_cast<uint8_t*>(vmkrec::NewScratch(static_cast<size_t>(w) * static_cast<size_t>(h)));
  if (selPlane == nullptr) return;
  selWidth = w;
  selHeight = h;
  const auto mode = static_cast<int16_t>(gPer != nullptr ? gPer->planeMode : 3);
  ReadCharBuffromPho(mode, 1, w, 0, nullptr, nullptr, nullptr, selPlane, 0, nullptr, nullptr, 0, 0, w, h, w, h,
                     1.0f, 1.0f, w, 0);
}

void VMKgridUI::PrepareLayerGrdMenus() {
  tb::ControlRef popup = Ctl(kGridPopup);
  if (popup == nullptr || edit == nullptr) return;
  tb::DeleteMenuItems(popup);
  const int32_t count = std::clamp(Head(kGpCount), 0, kGridSlots);
  for (int32_t k = 1; k <= count; ++k) tb::AppendMenuItemText(popup, "Grid layer " + std::to_string(k));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

// ---- showing the state ----

void VMKgridUI::DrawRGBPicker() {
  EffectDialog::DrawRGBPicker();
  if (edit == nullptr) return;
  const int32_t x = readout[3];
  const int32_t y = readout[4];
  const int32_t w = std::max(Head(kGpWidth), 1);
  const int32_t h = std::max(Head(kGpHeight), 1);
  int32_t column = 0;
  int32_t row = 0;
  const bool inCell = SearchCell_GridPar(editRecord(), Sat16(Head(kGpCurrent)), Sat16(Head(kEditedSet)),
                                         static_cast<int32_t>(static_cast<int64_t>(x) * 100000 / w),
                                         static_cast<int32_t>(static_cast<int64_t>(y) * 100000 / h), &column,
                                         &row) == 0;
  if (inCell) {
    tb::SetControlText(Ctl(kReadX), Format("X %d / %d", x, column));
    tb::SetControlText(Ctl(kReadY), Format("Y %d / %d", y, row));
  } else {
    tb::SetControlText(Ctl(kReadX), Format("X %d", x, 0));
    tb::SetControlText(Ctl(kReadY), Format("Y %d", y, 0));
  }
}

void VMKgridUI::DrawOwnContent(tb::WindowRef) {
  if (edit == nullptr) return;
  for (int32_t k = 0; k <= 9; ++k) tb::SetControl32BitValue(Ctl(ToolButton(k)), Head(kGpTool) == k ? 1 : 0);
  const GridInfo* g = CurrentGrid();
  const int32_t smoothing = g != nullptr ? g->w[kGiCurvature] : 0;
  tb::SetControlVisibility(Ctl(kSmoothCheck), smoothing != 0);
  tb::SetControl32BitValue(Ctl(kSmoothCheck), smoothFlag);
  // The mask switch is never offered (kept): the record keeps its word.
  tb::SetControl32BitValue(Ctl(kMaskCheck), Head(kGpSelection));
  tb::SetControlVisibility(Ctl(kMaskCheck), false);
  tb::SetControl32BitValue(Ctl(kPreview), previewFlag);
  tb::SetControl32BitValue(Ctl(kUpdate), updateMode);
  tb::SetControlVisibility(Ctl(kUpdateOnce), updateMode != 1);
  tb::SetControl32BitValue(Ctl(kGridOn), g != nullptr ? g->w[kGiEnabled] : 0);
  tb::SetControl32BitValue(Ctl(kGridPopup), ItemOfWord(Head(kGpCurrent)));
  tb::SetControlVisibility(Ctl(kDelete), Head(kGpCount) > 1);
  tb::SetControlVisibility(Ctl(kAdd), Head(kGpCount) <= kMostGrids - 1);
  tb::SetControl32BitValue(Ctl(kEditIn), Head(kEditedSet) == 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kEditOut), Head(kEditedSet) == 1 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kShowInButton), Head(kShowIn) == 1 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kShowOutButton), Head(kShowOut) == 2 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kLinkButton), Head(kLink) == 1 ? 1 : 0);
  tb::SetControlText(Ctl(kGridLabel), Format("Col: %d Row: %d", g != nullptr ? g->w[kGiColumns] : 0,
                                             g != nullptr ? g->w[kGiRows] : 0));
}

// ---- the loop ----

void VMKgridUI::RenderMain() {
  if (updateMode != 1 && updateMode != 2) return;
  ToView(mainView(), previewFlag);
  if (updateMode == 2) updateMode = 0;
}

// The undo keys' requests come first. A drag released before the key was
// pressed is the edit the key acts on: it is taken in before the request is
// served. Taken after it, as the rest of the tick takes edits, the undo put
// back the record of before the edit preceding the drag and the drag was
// lost (the view's copy was replaced by the restored record), and a select
// or deselect lost the drag as well.
bool VMKgridUI::TickRequests(tb::WindowRef) {
  if (flag_restor == 0) return false;
  if (mainView()->CheckSetRefresh(0) == 1) TakeViewEdit();
  const int16_t request = flag_restor;
  flag_restor = 0;
  const int16_t grid = Sat16(Head(kGpCurrent));
  if (request == 1) {
    BackRest(0);
    // The fields still show what was undone (a preset's smoothing picked
    // just before the key): the refresh that follows would read them back
    // into the restored record. The tick previews the restored record
    // instead, and its redraw puts the restored values into the fields.
    refresh() = 0;
    ShowPreview();
    return true;
  }
  if (request == 2) SelDeselInOut_GridPar(editRecord(), grid, 0, 1, 1);
  if (request == 3) SelDeselInOut_GridPar(editRecord(), grid, 0, 1, 0);
  RenderMain();
  return true;
}

void VMKgridUI::ShowPreview() {
  VMKimabox* main = mainView();
  PanToMain();
  MainViewParams(0);
  main->SetOveLay(overlayOn, overlayIndex, overlayOpacity);
  RenderMain();
}

// A grid tool changed the main view's copy: the old record becomes the
// undo, the view's is taken. While the create tool is on, an edit is taken
// back without a render (kept): the grid appears at the fourth click.
void VMKgridUI::MainViewEdited() {
  TakeViewEdit();
  if (Head(kGpTool) != 5) RenderMain();
}

void VMKgridUI::TakeViewEdit() {
  BackRest(1);
  mainView()->GetGridPar(editRecord());
  PanToMain();
}

// While the preset popup is open the record holds the item previewed, and
// the tick each preview runs would take a drag or serve a key still waiting
// over it: the drag's record became the one kept for the closing (and the
// undo), or the undo put back the record kept for the closing. Both are
// taken before the record is kept.
void VMKgridUI::HoverBackRest(int16_t n) {
  if (n == 1) {
    if (flag_restor != 0) (void)TickRequests(nullptr);
    else if (mainView()->CheckSetRefresh(0) == 1) MainViewEdited();
  }
  BackRest(n);
}

// ---- events ----

void VMKgridUI::SetCursorForTool() {
  const bool option = TestKeyModif(optionKey) == 1;
  switch (Head(kGpTool)) {
    case 1:
      if (option) plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      else plat::ui::SetThemeCursor(plat::ui::kCrossCursor);
      break;
    case 2:
    case 3:
      if (option) plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      else plat::ui::SetResourceCursor(Head(kGpTool) == 2 ? kSizeCursor : kRotateCursor);
      break;
    case 4: plat::ui::SetResourceCursor(Head(kBell) == 1 ? kBellCursor : kBellOptionCursor); break;
    case 6:
    case 8: plat::ui::SetResourceCursor(kAddCursor); break;
    case 7:
    case 9: plat::ui::SetResourceCursor(kDeleteCursor); break;
    default: plat::ui::SetThemeCursor(plat::ui::kArrowCursor); break;
  }
}

bool VMKgridUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus* status) {
  if (event->eventClass == tb::kEventClassKeyboard && event->kind == tb::kEventRawKeyDown) {
    const int16_t request = UndoKey(event->charCode, event->modifiers);
    if (request == 0) return false;
    flag_restor = request;
    *status = noErr;
    return true;
  }
  if (event->eventClass == tb::kEventClassMouse && event->kind == tb::kEventMouseMoved) {
    if (ReadRGB(event->mouse)) {
      DrawRGBPicker();
      SetCursorForTool();
    } else {
      plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
    }
    *status = tb::eventNotHandledErr;
    return true;
  }
  return false;
}

// The number fields swallow the undo keys too; the tick acts on them.
bool VMKgridUI::OwnKey(int16_t charCode, uint32_t modifiers, bool* pass) {
  if (modifiers != cmdKey) return false;
  const int16_t request = UndoKey(charCode, modifiers);
  if (request == 0) return false;
  flag_restor = request;
  *pass = false;
  return true;
}

// ---- commands ----

int16_t VMKgridUI::SaveGridFile() {
  return presetList != nullptr ? SavePreset([&] { return RecordFile(1, presetList[0], edit); }) : -1;
}

// Closing always asks, on OK as on cancel (kept). The first answer closes;
// the second saves the grids to a file first and stays open when nothing
// was saved; any other answer stays open. A cancel that saved still answers
// 0 (kept): the owner's record stays as it was.
bool VMKgridUI::CloseCommand(uint32_t command, tb::WindowRef window) {
  const bool ok = command == FourCC("ok  ");
  // A value typed since the last tick counts.
  if (ok) GetEditValue();
  int16_t answer = 0;
  {
    auto library = std::make_unique<VMKlibr>();
    answer = library->Do_AlertDlg(1);
  }
  if (answer != 1 && answer != 2) return true;
  if (answer == 2 && SaveGridFile() != 0) return true;
  // The next opening starts from these grids; a write that fails is not
  // reported (kept): only the convenience is lost.
  if (ok && tempFile.name[0] != 0) (void)RecordFile(3, SpecOf(tempFile), edit);
  if (ok && !RenderOk(window)) return true;
  result = ok ? 1 : 0;
  tb::QuitAppModalLoopForWindow(window);
  return true;
}

void VMKgridUI::ResetCommand() {
  BackRest(1);
  Head(kGpTool) = 0;
  int32_t scope = 1;
  int32_t style = 2;
  if (Do_ResetGridDlg(&scope, &style) == 1) {
    if (GridInfo* g = CurrentGrid()) {
      const int32_t columns = g->w[kGiColumns];
      const int32_t rows = g->w[kGiRows];
      if (scope == 1) Init_GridPar(editRecord(), imageWidth, imageHeight, columns, rows, 0, Sat16(style), 1, 1);
      else Init_GridInfo(g, 1, 1, columns, rows, Sat16(style));
    }
  }
  // Also after a cancel (kept).
  PrepareLayerGrdMenus();
  MainSet();
  refresh() = 1;
}

void VMKgridUI::ToolCommand(int32_t tool) {
  Head(kGpTool) = tool;
  MainSet();
}

// The bell tool: Option alone gives the first variant, otherwise the second;
// Control alone asks which one.
void VMKgridUI::BellCommand() {
  Head(kBell) = TestKeyModif(optionKey) == 1 ? 0 : 1;
  if (TestKeyModif(controlKey) == 1) {
    int32_t choice = Head(kBell) + 1;
    Do_BellGridDlg(&choice);
    Head(kBell) = choice - 1;
  }
  ToolCommand(4);
}

// The create tool: the counts of the new grid, by default the current
// grid's rows and columns as the mouse draws its frame.
void VMKgridUI::CreateCommand() {
  BackRest(1);
  GridInfo* g = CurrentGrid();
  const bool option = TestKeyModif(optionKey) == 1;
  int32_t columns = option && g != nullptr ? g->w[kGiColumns] : 1;
  int32_t rows = option && g != nullptr ? g->w[kGiRows] : 1;
  int32_t mode = 2;
  if (Do_CreateGridDlg(&mode, &columns, &rows) == 1) {
    if (columns == 1 && rows == 1) {
      smoothFlag = 0;
      if (g != nullptr) g->w[kGiCurvature] = 0;
    }
    const int32_t currentRows = g != nullptr ? g->w[kGiRows] : 1;
    const int32_t currentColumns = g != nullptr ? g->w[kGiColumns] : 1;
    if (mode == 3) mainView()->SetNewRowCol(-1, 3, Sat16(rows), Sat16(columns));
    else mainView()->SetNewRowCol(-1, Sat16(mode), Sat16(currentRows), Sat16(currentColumns));
    Head(kGpTool) = 5;
  } else {
    Head(kGpTool) = 0;
  }
  MainSet();
}

// Commands on the grids of the record; each backs the record up first.
bool VMKgridUI::GridCommand(uint32_t command, tb::WindowRef window) {
  GridInfo* g = CurrentGrid();
  const int16_t current = Sat16(Head(kGpCurrent));
  switch (command) {
    case FourCC("Cgrd"):
      BackRest(1);
      if (g != nullptr) g->w[kGiEnabled] = g->w[kGiEnabled] == 0 ? 1 : 0;
      break;
    case FourCC("Pgrd"):
      BackRest(1);
      Head(kGpCurrent) = tb::GetControl32BitValue(Ctl(kGridPopup)) - 1;
      break;
    case FourCC("Badd"): {
      BackRest(1);
      // The button is hidden at fifteen grids; a sixteenth is never made.
      const int32_t count = Head(kGpCount);
      if (count >= 0 && count < kMostGrids && g != nullptr) {
        Head(kGpCount) = count + 1;
        Init_GridInfo(&editRecord()->grids[count], 1, 1, g->w[kGiColumns], g->w[kGiRows], 3);
      }
      PrepareLayerGrdMenus();
      break;
    }
    case FourCC("Bdel"):
      BackRest(1);
      // The last grid stays: the button is hidden while there is one.
      if (Head(kGpCount) > 1) DelGrd_GridPar(editRecord(), current);
      PrepareLayerGrdMenus();
      Head(kGpCurrent) = 0;
      break;
    case FourCC("Bino"):
    case FourCC("Boui"):
      BackRest(1);
      if (g != nullptr) Copy_GridInfoInOut(g, g, command == FourCC("Bino") ? 1 : 0);
      break;
    case FourCC("Bgin"):
    case FourCC("Bgou"): {
      BackRest(1);
      const int32_t set = command == FourCC("Bgin") ? 0 : 1;
      if (Head(kEditedSet) != set) SelDeselInOut_GridPar(editRecord(), current, static_cast<int16_t>(set), 1, 0);
      Head(kEditedSet) = set;
      MainSet();
      DrawWindowContent(window);
      return true;
    }
    case FourCC("Blnk"):
      BackRest(1);
      Head(kLink) = Head(kLink) == 1 ? 0 : 1;
      MainSet();
      DrawWindowContent(window);
      return true;
    default: return false;
  }
  MainSet();
  refresh() = 1;
  return true;
}

// Switches of the dialog and the record that only need a new preview.
bool VMKgridUI::SetCommand(uint32_t command, tb::WindowRef) {
  switch (command) {
    case FourCC("Cprv"): previewFlag = previewFlag == 1 ? 0 : 1; break;
    case FourCC("Cupd"): updateMode = updateMode == 1 ? 0 : 1; break;
    case FourCC("Bupd"): updateMode = 2; break;
    case FourCC("Ssmo"):
      SetRowValue(rows_.front(), tb::GetControl32BitValue(Ctl(kSmoothSlider)));
      MainSet();
      break;
    case FourCC("Csmo"):
      smoothFlag = smoothFlag == 1 ? 0 : 1;
      MainViewParams(0);
      break;
    case FourCC("Cmsk"):
      Head(kGpSelection) = Head(kGpSelection) == 0 ? 1 : 0;
      MainSet();
      break;
    case FourCC("Bsin"):
      BackRest(1);
      Head(kShowIn) = Head(kShowIn) == 1 ? 0 : 1;
      MainViewParams(0);
      break;
    case FourCC("Bsou"):
      BackRest(1);
      Head(kShowOut) = Head(kShowOut) == 2 ? 0 : 2;
      MainViewParams(0);
      break;
    default: return false;
  }
  refresh() = 1;
  return true;
}

void VMKgridUI::NavigatorOverlay() {
  navigator()->SetOveLay(overlayOn, overlayIndex, overlayOpacity);
  ToView(navigator(), 2);
}

// The overlay goes to the navigator at once; the main view takes it at the
// next tick.
bool VMKgridUI::ViewCommand(uint32_t command, tb::ControlRef source, tb::WindowRef) {
  switch (command) {
    case FourCC("Copa"): overlayOn = Sat16(tb::GetControl32BitValue(source)); break;
    case FourCC("Popa"): overlayIndex = Sat16(tb::GetControl32BitValue(Ctl(kOverlayPopup))); break;
    case FourCC("Sopa"):
      overlayOpacity = Sat16(static_cast<int32_t>(
          PercentFieldTo255(overlayOpacity, tb::GetControl32BitValue(Ctl(kOpacitySlider)))));
      NavigatorOverlay();
      MainSet();
      refresh() = 1;
      return true;
    default: return false;
  }
  NavigatorOverlay();
  refresh() = 1;
  return true;
}

bool VMKgridUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (edit == nullptr) return false;
  switch (command) {
    case FourCC("ok  "):
    case FourCC("canc"): return CloseCommand(command, window);
    case FourCC("Bres"):
      ResetCommand();
      // The fields show the new grids at once: the next tick reads them back
      // into the record, and one still showing the old smoothing would undo it.
      DrawWindowContent(window);
      return true;
    case FourCC("Plib"):
      BackRest(1);
      presetIndex = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kPresets)) - 1);
      ReadPreset(presetIndex);
      PrepareLayerGrdMenus();
      MainSet();
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Bloa"):
      BackRest(1);
      Head(kGpTool) = 0;
      // A file the user cannot or does not choose leaves the record as it is.
      if (presetList != nullptr) (void)RecordFile(0, presetList[0], edit);
      PrepareLayerGrdMenus();
      MainSet();
      // As after a preset of the popup: the fields show the loaded grids
      // before the next tick reads them back into the record.
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Bsav"):
      Head(kGpTool) = 0;
      (void)SaveGridFile();
      // The view follows the tool shown, and the new file belongs in the
      // popup at once.
      MainSet();
      LoadPresetMenus();
      DrawWindowContent(window);
      return true;
    case FourCC("Bac4"): BellCommand(); DrawWindowContent(window); return true;
    case FourCC("Bac5"): CreateCommand(); DrawWindowContent(window); return true;
    default: break;
  }
  for (int32_t tool : {0, 1, 2, 3, 6, 7, 8, 9}) {
    if (command == FourCC("Bac0") + static_cast<uint32_t>(tool)) {
      ToolCommand(tool);
      DrawWindowContent(window);
      return true;
    }
  }
  return GridCommand(command, window) || SetCommand(command, window) || ViewCommand(command, source, window);
}

// ---- the small windows ----

namespace {

constexpr OSType kCreateSig = FourCC("Gcre");
constexpr OSType kResetSig = FourCC("Gres");
constexpr OSType kBellSig = FourCC("Gbel");

// Controls are found each time they are needed; none is kept.
tb::ControlRef Find(tb::WindowRef window, OSType signature, int32_t id) {
  tb::ControlRef c = nullptr;
  tb::GetControlByID(window, {signature, id}, &c);
  return c;
}

// Runs one small window: made from the nib, handed its values, run until
// OK or cancel; its values read back on OK. 0 when the window cannot be
// made.
template <class Fill, class Read>
int16_t RunSmallWindow(const char* name, const tb::EventHandlerProc& handler, int16_t* result, Fill fill,
                       Read read) {
  tb::WindowRef window = nullptr;
  if (tb::CreateWindowFromNib(name, &window) != noErr || window == nullptr) return 0;
  tb::InstallWindowEventHandler(window, handler, {{tb::kEventClassCommand, tb::kEventCommandProcess}}, window);
  fill(window);
  tb::ShowWindow(window);
  *result = 0;
  tb::RunAppModalLoopForWindow(window);
  const int16_t answer = *result;
  if (answer == 1) read(window);
  tb::HideWindow(window);
  tb::DisposeWindow(window);
  return answer;
}

// What a small window's command does: OK and cancel end it with 1 and 0,
// everything else is passed on.
OSStatus SmallWindowCommand(tb::EventRef event, void* data, int16_t* result) {
  if (event->eventClass != tb::kEventClassCommand || event->kind != tb::kEventCommandProcess)
    return tb::eventNotHandledErr;
  if (event->command != FourCC("ok  ") && event->command != FourCC("canc")) return tb::eventNotHandledErr;
  *result = event->command == FourCC("ok  ") ? 1 : 0;
  tb::QuitAppModalLoopForWindow(static_cast<tb::WindowRef>(data));
  return noErr;
}

}  // namespace

int16_t VMKgridUI::Do_CreateGridDlg(int32_t* mode, int32_t* columns, int32_t* rows) {
  return RunSmallWindow(
      "GridCreate", GetCreateGridWindowEventHandlerUPP(), &createResult,
      [&](tb::WindowRef w) {
        PutDlgLong({w, kCreateSig}, 8, *columns);
        PutDlgLong({w, kCreateSig}, 9, *rows);
        tb::SetControl32BitValue(Find(w, kCreateSig, 3), *mode);
        DrawCreateGridWindowContent(w);
      },
      [&](tb::WindowRef w) { WinCreateGrid_getval(w, mode, columns, rows); });
}

int16_t VMKgridUI::Do_ResetGridDlg(int32_t* scope, int32_t* style) {
  return RunSmallWindow(
      "GridReset", GetResetGridWindowEventHandlerUPP(), &resetResult,
      [&](tb::WindowRef w) {
        tb::SetControl32BitValue(Find(w, kResetSig, 4), *style);
        tb::SetControl32BitValue(Find(w, kResetSig, 3), *scope);
      },
      [&](tb::WindowRef w) { WinResetGrid_getval(w, scope, style); });
}

int16_t VMKgridUI::Do_BellGridDlg(int32_t* choice) {
  return RunSmallWindow(
      "GridBell", GetBellGridWindowEventHandlerUPP(), &bellResult,
      [&](tb::WindowRef w) { tb::SetControl32BitValue(Find(w, kBellSig, 2), *choice); },
      [&](tb::WindowRef w) { WinBellGrid_getval(w, choice); });
}

// The typed counts only matter for mode 3.
void VMKgridUI::DrawCreateGridWindowContent(tb::WindowRef window) {
  const bool typed = tb::GetControl32BitValue(Find(window, kCreateSig, 3)) == 3;
  for (int32_t id : {6, 8, 7, 9}) tb::SetControlVisibility(Find(window, kCreateSig, id), typed);
}

// The fields as typed: text that is no number reads 0 (the caller takes
// them as they are).
void VMKgridUI::WinCreateGrid_getval(tb::WindowRef window, int32_t* mode, int32_t* columns, int32_t* rows) {
  GetDlgLong({window, kCreateSig}, 8, columns);
  GetDlgLong({window, kCreateSig}, 9, rows);
  *mode = tb::GetControl32BitValue(Find(window, kCreateSig, 3));
}

void VMKgridUI::WinResetGrid_getval(tb::WindowRef window, int32_t* scope, int32_t* style) {
  *scope = tb::GetControl32BitValue(Find(window, kResetSig, 3));
  *style = tb::GetControl32BitValue(Find(window, kResetSig, 4));
}

void VMKgridUI::WinBellGrid_getval(tb::WindowRef window, int32_t* choice) {
  *choice = tb::GetControl32BitValue(Find(window, kBellSig, 2));
}

OSStatus VMKgridUI::CreateGridWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void* window) {
  if (event->eventClass == tb::kEventClassCommand && event->kind == tb::kEventCommandProcess &&
      event->command == FourCC("Rgrd")) {
    DrawCreateGridWindowContent(static_cast<tb::WindowRef>(window));
    return noErr;
  }
  return SmallWindowCommand(event, window, &createResult);
}

OSStatus VMKgridUI::ResetGridWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void* window) {
  return SmallWindowCommand(event, window, &resetResult);
}

OSStatus VMKgridUI::BellGridWindowEventHandler(tb::EventHandlerCallRef, tb::EventRef event, void* window) {
  return SmallWindowCommand(event, window, &bellResult);
}

OSStatus CreateGridWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKgrid != nullptr ? gVMKgrid->CreateGridWindowEventHandler(call, event, window)
                             : tb::eventNotHandledErr;
}

OSStatus ResetGridWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKgrid != nullptr ? gVMKgrid->ResetGridWindowEventHandler(call, event, window)
                             : tb::eventNotHandledErr;
}

OSStatus BellGridWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKgrid != nullptr ? gVMKgrid->BellGridWindowEventHandler(call, event, window) : tb::eventNotHandledErr;
}

// Made once, so every opening installs the same handler.
const tb::EventHandlerProc& GetCreateGridWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = CreateGridWindowEventHandler;
  return sHandler;
}

const tb::EventHandlerProc& GetResetGridWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = ResetGridWindowEventHandler;
  return sHandler;
}

const tb::EventHandlerProc& GetBellGridWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = BellGridWindowEventHandler;
  return sHandler;
}
