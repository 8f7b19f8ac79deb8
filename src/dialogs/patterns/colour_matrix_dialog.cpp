#include "dialogs/patterns/colour_matrix_dialog.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "app/keyboard.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "host/session/app_object.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcolormatrixUI* gVMKcolormatrix = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the next tick undoes the last change.
int16_t flag_restor = 0;

// ---- the record ----

void Init(void* r, const RecordContext&) { Init_ColMatPar(static_cast<ColMatPar*>(r)); }
void Copy(const void* s, void* d) { Copy_ColMatPar(static_cast<const ColMatPar*>(s), static_cast<ColMatPar*>(d)); }
int16_t File(int16_t mode, FSSpec spec, void* r, int16_t) {
  return Do_AColMatPar_file(mode, spec, static_cast<ColMatPar*>(r));
}

const FrameRecordOps kRecordOps = {static_cast<int32_t>(sizeof(ColMatPar)), Init, Copy, File};

// ---- the window ----

constexpr int32_t kShape = 41;
constexpr int32_t kEffectCheck = 35;
constexpr int32_t kChannelChecks[4] = {36, 37, 38, 39};  // red, green, blue, mask
constexpr int32_t kPaintSliders[4] = {27, 30, 24, 33};
constexpr int32_t kSide = kColMatSide - 1;  // 32: the last column and row

constexpr int32_t kLookup[] = {28, 31, 25, 34, 9,  16, 19, 27, 30, 24, 33, 13, 14,
                               15, 17, 18, 20, 41, 7,  35, 36, 37, 38, 39, 4,  22};
static_assert(std::size(kLookup) == 26);

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess},     {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening},           {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed},            {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent},   {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
    {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

constexpr FrameBox kBoxes[] = {{"HIima"}};

EffectFrameDesc Describe() {
  EffectFrameDesc d;
  d.window = "ColMat";
  d.signature = FourCC("Cmat");
  d.lookup = kLookup;
  d.viewKey = "cmat";
  d.boxes = kBoxes;
  d.effect = 22;
  d.presetType = FourCC("hCma");
  d.record = &kRecordOps;
  d.presetPopup = 7;
  d.presetRoom = 30000;
  d.presetLimit = 30000;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // Typing waits a second before the preview follows.
  d.typingPush = 1.0;
  d.focusEdit = 28;
  // A click is previewed in the tick that takes it.
  d.pollBeforeRefresh = true;
  return d;
}

const EffectFrameDesc kDesc = Describe();

// Where the edited values live in the record.
constexpr int32_t kPaint = static_cast<int32_t>(offsetof(ColMatPar, paint));
constexpr int32_t kShift = static_cast<int32_t>(offsetof(ColMatPar, shift));

using Trampolines = EffectFrameTrampolines<gVMKcolormatrix>;

// The file's own names of the shared live actions and key filter.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::ScrollBar32BitActionProc(control, part);
}
void LittleArrowActionProc(tb::ControlRef control, int16_t part) { Trampolines::LittleArrowActionProc(control, part); }
bool NumEditKeyFilter(tb::ControlRef control, int16_t* keyCode, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(control, keyCode, charCode, modifiers);
}

VMKcolbox* SwatchBox() {
  if (gVMKapp == nullptr) return nullptr;
  const int index = FindCustomView("com.vellmarkstead.cmat.HIcol");
  return index >= 0 ? gVMKapp->ColourView(index) : nullptr;
}

int16_t Short(int32_t v) { return static_cast<int16_t>(v); }

}  // namespace

void ColorMatrixLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus ColorMatrixWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetColorMatrixWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKcolormatrixUI::VMKcolormatrixUI() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  drawPar = static_cast<DrawPar*>(vmkrec::NewScratch(sizeof(DrawPar)));
  if (drawPar != nullptr) {
    new (drawPar) DrawPar{};
    Init_DrawPar(drawPar);
  }
  swatch_ = SwatchBox();
  // Paint values, then the shifts: each shift has a slider and little
  // arrows on one field. The value shift is held only to what its 16-bit
  // word can carry back to the owner.
  const uint32_t paintCommands[4] = {FourCC("Sred"), FourCC("Sgre"), FourCC("Sblu"), FourCC("Smsk")};
  const int32_t paintFields[4] = {28, 31, 25, 34};
  for (int k = 0; k < 4; ++k)
    rows_.push_back({paintCommands[k], kPaintSliders[k], paintFields[k], 0, 255, kPaint + 4 * k, ValueRow::kSlider,
                     ValueRow::kInt32});
  struct Shift {
    uint32_t slider, arrows;
    int32_t sliderId, arrowsId, edit, minimum, maximum;
  };
  const Shift shifts[3] = {{FourCC("Shue"), FourCC("Lahu"), 13, 17, 9, -180, 180},
                           {FourCC("Ssat"), FourCC("Lasa"), 14, 18, 16, -100, 100},
                           {FourCC("Sval"), FourCC("Lava"), 15, 20, 19, -32768, 32767}};
  for (int k = 0; k < 3; ++k) {
    const Shift& s = shifts[k];
    rows_.push_back({s.slider, s.sliderId, s.edit, s.minimum, s.maximum, kShift + 4 * k, ValueRow::kSlider,
                     ValueRow::kInt32});
    rows_.push_back({s.arrows, s.arrowsId, s.edit, s.minimum, s.maximum, kShift + 4 * k, ValueRow::kArrows,
                     ValueRow::kInt32});
  }
}

VMKcolormatrixUI::~VMKcolormatrixUI() {
  vmkrec::DeleteScratch(drawPar);
  Trampolines::Release(this);
}

int16_t VMKcolormatrixUI::UndoRequest() { return flag_restor; }

// ---- the owner's hand-over ----

void VMKcolormatrixUI::SetColMatVal(const int32_t* cells, int16_t p1, int16_t hue, int16_t saturation, int16_t value,
                                    int16_t) {
  if (record() == nullptr || cells == nullptr) return;
  BackRest(1);
  for (int k = 0; k < kColMatCells; ++k) record()->cells[k] = static_cast<uint32_t>(cells[k]);
  record()->noise = p1;
  record()->shift[0] = hue;
  record()->shift[1] = saturation;
  record()->shift[2] = value;
}

void VMKcolormatrixUI::GetColMatVal(int32_t* cells, int16_t* p1, int16_t* hue, int16_t* saturation, int16_t* value,
                                    int16_t*) {
  if (record() == nullptr) return;
  if (cells != nullptr)
    for (int k = 0; k < kColMatCells; ++k) cells[k] = static_cast<int32_t>(record()->cells[k]);
  if (p1 != nullptr) *p1 = Short(record()->noise);
  if (hue != nullptr) *hue = Short(record()->shift[0]);
  if (saturation != nullptr) *saturation = Short(record()->shift[1]);
  if (value != nullptr) *value = Short(record()->shift[2]);
}

void VMKcolormatrixUI::SetColMatPar(const ColMatPar* in) {
  if (record() == nullptr || in == nullptr) return;
  BackRest(1);
  Copy_ColMatPar(in, record());
}

void VMKcolormatrixUI::GetColMatPar(ColMatPar* out) {
  if (record() != nullptr && out != nullptr) Copy_ColMatPar(record(), out);
}

int16_t VMKcolormatrixUI::Do_ColorMatrixDlg(int16_t runFlag, int16_t) {
  return Run({ColorMatrixLoopHandler, GetColorMatrixWindowEventHandlerUPP(), ScrollBar32BitActionProc, nullptr,
              LittleArrowActionProc, NumEditKeyFilter},
             runFlag);
}

// ---- the boxes ----

bool VMKcolormatrixUI::ReadyToRun() const {
  return drawPar != nullptr && swatch_ != nullptr && EffectFrame::ReadyToRun();
}

void VMKcolormatrixUI::OpenViews(tb::WindowRef) {
  VMKimabox* box = Box(0);
  box->InitBuf(28);
  box->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  box->SetPanBufCoord(0, 0, 100000, 100000);
  box->SetColMatPar(record(), -1, previewSource, 22);
  box->SetPickCoord(1);
  // The box learns its picture from a picture record made for the document.
  Yoxel picture;
  if (picture.par != nullptr) {
    Init_YoxelPar(picture.par, context.width, context.height, context.resolution, 0, 5);
    box->SetYoxelPar(picture.par, 0, previewSource);
  }
  FitPicture();
  swatch_->SetBufParam(0, 0, 0, 1);
}

// The picture fitted into the box, centred. A very flat or very narrow
// picture still has a displayed width and height of at least 1: the click
// mapping divides by them.
void VMKcolormatrixUI::FitPicture() {
  VMKimabox* box = Box(0);
  boxWidth = box->GetRectSizx();
  boxHeight = box->GetRectSizy();
  boxLeft = box->GetRectOrix();
  boxTop = box->GetRectOriy();
  const int32_t w = std::max(context.width, 1);
  const int32_t h = std::max(context.height, 1);
  if (h < w) {
    displayedWidth = boxWidth;
    displayedHeight = boxHeight * h / w;
  } else {
    displayedHeight = boxHeight;
    displayedWidth = w * boxWidth / h;
  }
  displayedWidth = std::max(displayedWidth, 1);
  displayedHeight = std::max(displayedHeight, 1);
  drawPar->viewOffsetX = static_cast<float>(boxLeft + (boxWidth - displayedWidth) / 2);
  drawPar->viewOffsetY = static_cast<float>(boxTop + (boxHeight - displayedHeight) / 2);
  drawPar->originX = 0.0f;
  drawPar->originY = 0.0f;
  drawPar->scaleX = 1.0f;
  drawPar->scaleY = 1.0f;
  drawPar->limit = Rect{Short(boxTop), Short(boxLeft), Short(boxTop + boxHeight), Short(boxLeft + boxWidth)};
  box->SetDrw(drawPar);
}

void VMKcolormatrixUI::ShowPreview() {
  if (VMKimabox* box = Box(0)) box->SetColMatPar(record(), effectDisplay, previewSource, 22);
}

// ---- painting ----

void VMKcolormatrixUI::CellAt(int32_t x, int32_t y, int16_t* column, int16_t* row) const {
  const float ox = drawPar != nullptr ? drawPar->viewOffsetX - static_cast<float>(drawPar->limit.left) : 0.0f;
  const float oy = drawPar != nullptr ? drawPar->viewOffsetY - static_cast<float>(drawPar->limit.top) : 0.0f;
  const auto cell = [](float offset, int32_t size) {
    const double c = offset * 33.0 / std::max(size, 1);
    // Held before the conversion: a click far outside stays a cell.
    return Short(c < 0.0 ? 0 : c > kSide ? kSide : static_cast<int32_t>(c));
  };
  *column = cell(static_cast<float>(x) - ox, displayedWidth);
  *row = cell(static_cast<float>(y) - oy, displayedHeight);
}

int16_t VMKcolormatrixUI::PaintMode() {
  const uint32_t keys = plat::ui::GetCurrentKeyModifiers();
  if ((keys & controlKey) != 0) return -1;
  return TestKeyModif(optionKey) == 1 ? 1 : 0;
}

// A click reported by the box paints the cell under it. No backup (kept):
// an undo then goes back past the paint.
bool VMKcolormatrixUI::PaintClick() {
  VMKimabox* box = Box(0);
  if (box == nullptr || box->CheckSetRefresh(0) != 1) return false;
  int32_t x = 0, y = 0;
  box->GetCoord(&x, &y);
  int16_t column = 0, row = 0;
  CellAt(x, y, &column, &row);
  const int32_t* p = record()->paint;
  Calc_vign(record(), column, Short(kSide - row), PaintMode(), channels[0], channels[1], channels[2], channels[3], p[0],
            p[1], p[2], p[3]);
  // The render of the last click still on its way is no longer wanted.
  StalePreviews();
  refresh() = 1;
  return true;
}

// A colour picked with the swatch becomes the painting colour (no backup).
bool VMKcolormatrixUI::SwatchChange() {
  if (swatch_ == nullptr || swatch_->CheckSetRefresh(0) != 1) return false;
  int16_t r = 0, g = 0, b = 0;
  swatch_->GetCol(&r, &g, &b);
  record()->paint[0] = r;
  record()->paint[1] = g;
  record()->paint[2] = b;
  StalePreviews();
  refresh() = 1;
  return true;
}

// Polled before the refresh step, so a click is previewed in its own tick.
bool VMKcolormatrixUI::PollTick(tb::WindowRef) {
  const bool clicked = PaintClick();
  const bool picked = SwatchChange();
  return clicked || picked;
}

// ---- showing ----

void VMKcolormatrixUI::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(Ctl(kShape), record()->tool);
  tb::SetControl32BitValue(Ctl(kEffectCheck), effectDisplay);
  for (int k = 0; k < 4; ++k) tb::SetControl32BitValue(Ctl(kChannelChecks[k]), channels[k]);
  const int32_t* p = record()->paint;
  if (swatch_ != nullptr) swatch_->SetCol(Short(p[0]), Short(p[1]), Short(p[2]));
}

// ---- commands and events ----

bool VMKcolormatrixUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  switch (command) {
    case FourCC("Sred"):
    case FourCC("Sgre"):
    case FourCC("Sblu"):
    case FourCC("Smsk"):
      // All four are read, whichever moved; no backup (kept).
      for (int k = 0; k < 4; ++k) record()->paint[k] = tb::GetControl32BitValue(Ctl(kPaintSliders[k]));
      DrawWindowContent(window);
      refresh() = 1;
      return true;
    case FourCC("Lahu"):
    case FourCC("Lasa"):
    case FourCC("Lava"):
      // The arrows wrote their field: it is read and shown, the preview
      // waits for the next change (kept).
      BackRest(1);
      GetEditValue();
      DrawWindowContent(window);
      return true;
    case FourCC("Psha"):
      BackRest(1);
      record()->tool = tb::GetControl32BitValue(Ctl(kShape));
      DrawWindowContent(window);
      StalePreviews();
      refresh() = 1;
      return true;
    case FourCC("Binv"):
      BackRest(1);
      Invert_vign(record(), 0, 0, 0, 1);
      StalePreviews();
      refresh() = 1;
      return true;
    case FourCC("Ceff"): effectDisplay = Short(tb::GetControl32BitValue(source)); break;
    case FourCC("Cred"): channels[0] = Short(tb::GetControl32BitValue(source)); break;
    case FourCC("Cgre"): channels[1] = Short(tb::GetControl32BitValue(source)); break;
    case FourCC("Cblu"): channels[2] = Short(tb::GetControl32BitValue(source)); break;
    case FourCC("Cmsk"): channels[3] = Short(tb::GetControl32BitValue(source)); break;
    default: return false;
  }
  StalePreviews();
  refresh() = 1;
  return true;
}

// Text events of kind 2 count as typing too.
bool VMKcolormatrixUI::OwnEvent(tb::EventRef event, tb::WindowRef, OSStatus* status) {
  if (event->eventClass != tb::kEventClassTextInput || event->kind != 2) return false;
  StalePreviews();
  refresh() = 1;
  PushTick(1.0);
  *status = tb::eventNotHandledErr;
  return true;
}
