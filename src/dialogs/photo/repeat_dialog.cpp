#include "dialogs/photo/repeat_dialog.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/core/memory_manager.h"
#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "app/image_import.h"
#include "app/keyboard.h"
#include "app/plane_readers.h"
#include "app/ui/dialog_items.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/photo/image_picker.h"
#include "engines/records/param_record.h"
#include "engines/tessellation/photo_repeat_check.h"
#include "platform/files/file_spec.h"
#include "platform/files/file_types.h"
#include "platform/memory/block.h"
#include "platform/random/random.h"
#include "script/misc_render.h"
#include "views/image_box.h"
#include "views/preview_job.h"

namespace tb = plat::tb;

VMKcastelUI* gVMKcastel = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z (key event or key filter); the next tick
// restores the backup.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKcastel>;

constexpr OSType kSig = FourCC("Prep");

enum : int32_t {
  kColumnsEdit = 8,
  kRowsEdit = 9,
  kPresetPopup = 13,
  kGridBox = 16,
  kColourBox = 17,
  kSourceView = 18,
  kTileSource = 19,
  kTileName = 21,
  kMaskBox = 22,
  kShiftEdit = 24,
  kActiveBox = 25,
  kShiftBar = 27,
  kOpacityEdit = 28,
  kOpacityBar = 29,
  kOffsetEdit1 = 32,
  kSkewEdit1 = 33,
  kOffsetEdit2 = 35,
  kSkewEdit2 = 37,
  kOrientation0 = 38,
  kAllCellsBox = 46,
  kMaskPopup = 49,
  kBlendPopup = 50,
  kByRows = 56,
  kByColumns = 57,
  kEffectBox = 59,
};

// Grid-head word of the shift direction: 0 a shift per column, 1 per row.
constexpr int32_t kShiftDirection = 11;

// The 39 controls of the window, in the order of the dialog's table.
constexpr std::array<int32_t, 39> kLookup = {8,  9,  13, 16, 17, 18, 19, 21, 22, 24, 25, 27, 28,
                                             29, 32, 35, 33, 37, 38, 39, 40, 41, 42, 43, 44, 45,
                                             46, 49, 50, 56, 57, 59, 10, 51, 52, 53, 54, 55, 58};

constexpr std::array<tb::EventTypeSpec, 13> kEvents = {
    {{tb::kEventClassCommand, tb::kEventCommandProcess},
     {tb::kEventClassMouse, tb::kEventMouseMoved},
     {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
     {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
     {tb::kEventClassMenu, tb::kEventMenuOpening},
     {tb::kEventClassMenu, tb::kEventMenuTargetItem},
     {tb::kEventClassMenu, tb::kEventMenuClosed},
     {tb::kEventClassControl, tb::kEventControlTrack},
     {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
     {tb::kEventClassWindow, tb::kEventWindowZoomed},
     {tb::kEventClassWindow, tb::kEventWindowDrawContent},
     {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
     {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}}};

// The preview follows the values; the source box is drawn by the dialog.
constexpr std::array<FrameBox, 2> kBoxes = {{{"HIima", true}, {"HIori", false}}};

RepPar* Rec(void* r) { return static_cast<RepPar*>(r); }

void InitRecord(void* r, const RecordContext&) { Init_RepPar(Rec(r), 0, 4, 4); }
void CopyRecord(const void* s, void* d) { Copy_RepPar(static_cast<const RepPar*>(s), Rec(d)); }

// Every read is checked (a grid the cells cannot hold is refused like an
// unreadable file). The dialog's only write of a given file is its
// temporary file: typed 'hRep', so that the preset popup, which lists
// 'hPre', never offers it.
int16_t RecordFile(int16_t mode, FSSpec spec, void* r, int16_t) {
  const int16_t answer = Do_ARepPar_checked(mode, spec, Rec(r));
  if (mode == 3 && answer == 0)
    plat::files::SetTypeCreator(plat::files::SpecToPosix(spec), FourCC("hRep"), FourCC("vMkC"));
  return answer;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(RepPar)), InitRecord, CopyRecord, RecordFile, nullptr};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "CasRep";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "crep";
  d.boxes = kBoxes;
  d.effect = 41;
  d.presetType = FourCC("hPre");
  d.record = &kOps;
  d.presetPopup = kPresetPopup;
  d.presetRoom = kPresetRoom;
  d.presetLimit = 30000;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // Typing waits a second for the preview.
  d.typingPush = 1.0;
  d.tempFile = ":tmpvmkpre.hpr";
  d.focusEdit = kOpacityEdit;
  d.resizable = true;
  d.drawParams = true;
  // A cell picked on the preview is taken before the fields are read, so
  // that the fields of the cell left are read into that cell.
  d.pollBeforeRefresh = true;
  return d;
}();

DialogRef DialogOf(tb::ControlRef c) { return {tb::GetControlOwner(c), kSig}; }

// A number field's value held to low..high; a missing field reads `keep`.
int32_t Field(tb::ControlRef field, int32_t low, int32_t high, int32_t keep) {
  if (field == nullptr) return keep;
  int32_t v = 0;
  GetDlgLong(DialogOf(field), static_cast<int16_t>(tb::GetControlID(field).id), &v);
  return std::clamp(v, low, high);
}

void ShowField(tb::ControlRef field, int32_t v) {
  if (field != nullptr) PutDlgLong(DialogOf(field), static_cast<int16_t>(tb::GetControlID(field).id), v);
}

// The slider and its field show the same value.
void ShowPair(tb::ControlRef bar, tb::ControlRef field, int32_t v) {
  tb::SetControl32BitValue(bar, v);
  ShowField(field, v);
}

}  // namespace

void CastelLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CastelWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCastelWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKcastelUI::VMKcastelUI() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
}

VMKcastelUI::~VMKcastelUI() { Trampolines::Release(this); }

void VMKcastelUI::InitRecord(void* record) { Init_RepPar(Rec(record), 0, 4, 4); }

void VMKcastelUI::SetRepPar(const RepPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_RepPar(record, current());
  Clamp_RepPar(current());
  // Whole, so that the backup is the current record byte for byte.
  *backupRecord() = *current();
}

void VMKcastelUI::GetRepPar(RepPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_RepPar(current(), record);
}

int16_t VMKcastelUI::Do_CastelDlg(int16_t runFlag) {
  return Run(Trampolines::Procs(CastelLoopHandler, GetCastelWindowEventHandlerUPP()), runFlag);
}

int32_t* VMKcastelUI::cell() const { return current()->cells[CurrentRepCell(current())].w; }

// A record loaded from a file has passed its check; one reset keeps its
// grid. Either way the current cell is inside the grid.
void VMKcastelUI::AfterRecordLoad() { Clamp_RepPar(current()); }

// ---- the boxes ----

void VMKcastelUI::OpenViews(tb::WindowRef) {
  VMKimabox* source = Source();
  source->InitBuf(21);
  source->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  source->SetPanBufCoord(0, 0, 100000, 100000);
  VMKimabox* preview = Box(0);
  preview->InitBuf(3);
  // The grid is drawn over the preview and a click picks a cell.
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, gridDisplay, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  sourceShown_.clear();
  PrepareWindowForDisplay();
}

void VMKcastelUI::PrepareWindowForDisplay() {
  VMKimabox* preview = Box(0);
  if (preview == nullptr) return;
  preview->InitBufSize();
  const PictureFit fit = PlacePicture(preview);
  imageWidth = context.width;
  imageHeight = context.height;
  boxLeft = fit.left;
  boxTop = fit.top;
  boxWidth = fit.width;
  boxHeight = fit.height;
}

void VMKcastelUI::InstallOwnControls(const FrameProcs& procs, tb::WindowRef) {
  for (int32_t field : {kOpacityEdit, kShiftEdit, kRowsEdit, kColumnsEdit, kOffsetEdit2, kOffsetEdit1, kSkewEdit2,
                        kSkewEdit1})
    tb::SetKeyFilter(Ctl(field), procs.keys);
  const std::pair<int32_t, int32_t> bars[] = {{kOpacityBar, kOpacityEdit}, {kShiftBar, kShiftEdit}};
  for (const auto& [bar, field] : bars) {
    tb::SetControlReference(Ctl(bar), Ctl(field));
    tb::SetControlAction(Ctl(bar), procs.slider);
  }
}

void VMKcastelUI::ShowPreview() {
  if (current() != nullptr) Box(0)->SetRepPar(current(), effectPreview, previewSource, nullptr);
}

// ---- the fields ----

int32_t* VMKcastelUI::Shift() const {
  int32_t* g = grid();
  if (g[kShiftDirection] == 0) return &g[kRepColumnShift + std::clamp(g[kRepSelColumn], 0, kRepMaxSide - 1)];
  return &g[kRepRowShift + std::clamp(g[kRepSelRow], 0, kRepMaxSide - 1)];
}

// A new number of rows or columns lays every cell out afresh (the tile
// images kept). Typed values stop at 23, one short of what the record holds.
void VMKcastelUI::ReadGrid(int32_t edit, int32_t word) {
  int32_t* g = grid();
  const int32_t v = Field(Ctl(edit), 1, kRepMaxSide - 1, g[word]);
  if (v == g[word]) return;
  const int32_t columns = word == kRepColumnCount ? v : g[kRepColumnCount];
  const int32_t rows = word == kRepRowCount ? v : g[kRepRowCount];
  Init_RepPar(current(), 1, static_cast<int16_t>(columns), static_cast<int16_t>(rows));
}

void VMKcastelUI::GetEditValue() {
  if (current() == nullptr) return;
  const int32_t rows = grid()[kRepRowCount], columns = grid()[kRepColumnCount];
  ReadGrid(kRowsEdit, kRepRowCount);
  ReadGrid(kColumnsEdit, kRepColumnCount);
  // The cell fields showed a cell of the grid just replaced: every cell is
  // back to its defaults, and they are shown at the next redraw.
  if (grid()[kRepRowCount] != rows || grid()[kRepColumnCount] != columns) return;
  int32_t* c = cell();
  // Opacity is a percentage.
  c[kCellOpacity] = Field(Ctl(kOpacityEdit), 0, 100, c[kCellOpacity]);
  int32_t* shift = Shift();
  *shift = Field(Ctl(kShiftEdit), -100, 100, *shift);
  // Kept: the fields write the current cell only, whatever All cells says.
  c[kCellScrollY] = Field(Ctl(kOffsetEdit2), -100, 100, c[kCellScrollY]);
  c[kCellScrollX] = Field(Ctl(kOffsetEdit1), -100, 100, c[kCellScrollX]);
  c[kCellSkewY] = Field(Ctl(kSkewEdit2), 0, 100, c[kCellSkewY]);
  c[kCellSkewX] = Field(Ctl(kSkewEdit1), 0, 100, c[kCellSkewX]);
}

// ---- drawing ----

void VMKcastelUI::DrawOwnContent(tb::WindowRef) {
  if (current() == nullptr) return;
  const int32_t* g = grid();
  const int32_t* c = cell();
  ShowPair(Ctl(kOpacityBar), Ctl(kOpacityEdit), c[kCellOpacity]);
  ShowPair(Ctl(kShiftBar), Ctl(kShiftEdit), *Shift());
  ShowField(Ctl(kRowsEdit), g[kRepRowCount]);
  ShowField(Ctl(kColumnsEdit), g[kRepColumnCount]);
  ShowField(Ctl(kOffsetEdit1), c[kCellScrollX]);
  ShowField(Ctl(kOffsetEdit2), c[kCellScrollY]);
  ShowField(Ctl(kSkewEdit1), c[kCellSkewX]);
  ShowField(Ctl(kSkewEdit2), c[kCellSkewY]);
  tb::SetControl32BitValue(Ctl(kByColumns), g[kShiftDirection] == 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kByRows), g[kShiftDirection] == 1 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kTileSource), ItemOfWord(g[kRepTileSource]));
  tb::SetControl32BitValue(Ctl(kActiveBox), c[kCellOn]);
  tb::SetControl32BitValue(Ctl(kColourBox), g[kRepColourCells]);
  tb::SetControl32BitValue(Ctl(kGridBox), gridDisplay);
  tb::SetControl32BitValue(Ctl(kMaskBox), maskDisplay);
  tb::SetControl32BitValue(Ctl(kAllCellsBox), allCells);
  tb::SetControl32BitValue(Ctl(kEffectBox), effectPreview);
  for (int32_t k = 0; k < 8; ++k) tb::SetControl32BitValue(Ctl(kOrientation0 + k), c[kCellOrientation] == k ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kMaskPopup), c[kCellMaskMode]);
  tb::SetControl32BitValue(Ctl(kBlendPopup), c[kCellBlendMode]);
  DrawSource();
}

namespace {

// Four planes of w x h, cleared: what cannot be filled shows black.
struct SourcePlanes {
  int32_t w = 0, h = 0;
  plat::Block<uint8_t> planes[4];
  bool Make(int32_t width, int32_t height) {
    w = width;
    h = height;
    for (plat::Block<uint8_t>& p : planes) {
      p = plat::Block<uint8_t>(int64_t{w} * h, WorkSource());
      if (!p) return false;
      p.Clear();
    }
    return true;
  }
  uint8_t* at(int k) const { return planes[k].get(); }
  // The box counts rows from the bottom; an image file is read from its top.
  void FlipRows() {
    std::vector<uint8_t> line(static_cast<size_t>(w));
    for (plat::Block<uint8_t>& p : planes)
      for (int32_t y = 0; y < h / 2; ++y) {
        uint8_t* a = p.get() + int64_t{y} * w;
        uint8_t* b = p.get() + int64_t{h - 1 - y} * w;
        std::copy(a, a + w, line.data());
        std::copy(b, b + w, a);
        std::copy(line.begin(), line.end(), b);
      }
  }
};

}  // namespace

// The tile's source in the source box: the tile image when the record
// takes it and its size can be read (its name shown), else the picture
// (the render file for an operation of the list, else the photo). The
// reading runs on the preview worker; nothing is read again while the
// source stays the same. On a denser screen the source is read at the
// box's device pixels and shown one to one.
void VMKcastelUI::DrawSource() {
  tb::ControlRef view = Ctl(kSourceView);
  VMKimabox* box = Source();
  if (view == nullptr || box == nullptr) return;
  const Rect bounds = tb::GetControlBounds(view);
  const int32_t w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  if (w <= 0 || h <= 0) return;
  const int32_t k = std::max<int32_t>(box->backingScale(), 1);
  fichier tile = current()->tiles[0];
  int32_t tileWidth = 0, tileHeight = 0;
  const bool fromTile =
      grid()[kRepTileSource] == 1 && AS_GetImageDimension(&tile, &tileWidth, &tileHeight, nullptr) != -1;
  tb::SetControlText(Ctl(kTileName),
                     fromTile ? plat::files::DisplayName(PStrString(tile.name)) : std::string());
  tb::SetControlVisibility(Ctl(kTileName), fromTile);
  const std::string key = (fromTile ? "tile " + FicToPosix(tile) : flag == 1 ? "render" : "photo") + " " +
                          std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(k) + " " +
                          std::to_string(maskDisplay);
  if (key == sourceShown_) return;
  sourceShown_ = key;
  auto planes = std::make_shared<SourcePlanes>();
  if (!planes->Make(w * k, h * k)) return;
  // The render file goes through the session's open-file table: it is read
  // here, on the window's thread.
  if (!fromTile && flag == 1) {
    MiscRender render;
    (void)render.ReadWriteRendFile(1, w * k, h * k, planes->at(0), planes->at(1), planes->at(2), planes->at(3), w * k,
                                   h * k);
  }
  const bool readPhoto = !fromTile && flag != 1;
  const int32_t pictureWidth = context.width, pictureHeight = context.height;
  const int16_t planeMode = gPer != nullptr ? gPer->planeMode : 3;
  auto work = [planes, tile, fromTile, readPhoto, pictureWidth, pictureHeight, planeMode]() mutable {
    SourcePlanes& p = *planes;
    if (fromTile) {
      // No fourth plane in the file: all of the tile shows.
      std::fill(p.at(3), p.at(3) + int64_t{p.w} * p.h, uint8_t{255});
      if (AS_GetResizedImage(&tile, 1, 0, 0, 0, 0, p.w, p.h, 0, 0, p.w - 1, p.h - 1, 3, p.at(0), p.at(1), p.at(2),
                             p.at(3)) == 0)
        p.FlipRows();
      else
        for (plat::Block<uint8_t>& plane : p.planes) plane.Clear();
    } else if (readPhoto && pictureWidth > 0 && pictureHeight > 0) {
      const float stepX = static_cast<float>(pictureWidth) / static_cast<float>(p.w);
      const float stepY = static_cast<float>(pictureHeight) / static_cast<float>(p.h);
      (void)ReadCharBuffromPho(planeMode, 0, p.w, p.h, p.at(0), p.at(1), p.at(2), p.at(3), 0, nullptr, nullptr, 0,
                               0, pictureWidth, pictureHeight, p.w, p.h, stepX, stepY, p.w, p.h);
    }
    return true;
  };
  const int16_t tint = maskDisplay;
  auto show = [this, planes, box, tint, w, h, k] {
    SourcePlanes& p = *planes;
    box->SetFineBufRGB(k, 0, 0, w, h, w, h, p.at(0), p.at(1), p.at(2), p.at(3), 255, tint);
    if (Ctl(kSourceView) != nullptr) tb::SetControlNeedsDisplay(Ctl(kSourceView));
    ++sourcePreviews;
  };
  previews().Submit(std::make_shared<vmkviews::PreviewJob>(box, std::move(work), std::move(show)));
}

// ---- the loop ----

// A cell picked on the preview becomes the current cell. Fields typed
// before the pick belong to the cell left: they are read into it first.
// Only the pick is taken from the box, whose record may not yet hold a
// change made since it was last previewed.
bool VMKcastelUI::PickCell() {
  VMKimabox* box = Box(0);
  if (box == nullptr || box->CheckSetRefresh(0) != 1) return false;
  vmkrec::ScratchRecord<RepPar> picked;
  if (!picked.valid()) return false;
  box->GetRepPar(picked.get());
  if (refresh() == 1) GetEditValue();
  BackRest(1);
  int32_t* g = grid();
  for (int32_t word : {kRepSelCell, kRepSelColumn, kRepSelRow}) g[word] = picked->grid.w[word];
  Clamp_RepPar(current());
  ShowPreview();
  refresh() = 0;
  return true;
}

bool VMKcastelUI::PollTick(tb::WindowRef) { return PickCell(); }

// ---- commands ----

void VMKcastelUI::Apply(int32_t word, int32_t value) {
  cell()[word] = value;
  if (allCells == 1) SetAll(word, value);
}

void VMKcastelUI::SetAll(int32_t word, int32_t value) {
  for (RepInfo& c : current()->cells) c.w[word] = value;
}

void VMKcastelUI::CopyCell(int32_t word, int16_t where) {
  const int32_t value = cell()[word];
  if (where == 3) {
    SetAll(word, value);
    return;
  }
  const int32_t* g = grid();
  const int32_t rows = g[kRepRowCount], columns = g[kRepColumnCount];
  if (where == 1)
    for (int32_t r = 0; r < rows; ++r) current()->cells[r + g[kRepSelColumn] * rows].w[word] = value;
  if (where == 2)
    for (int32_t c = 0; c < columns; ++c) current()->cells[g[kRepSelRow] + c * rows].w[word] = value;
}

void VMKcastelUI::CopyCellPair(int32_t word, int16_t where) {
  CopyCell(word, where);
  CopyCell(word + 1, where);
}

void VMKcastelUI::ClearShifts() { std::fill(grid() + kRepRowShift, grid() + kRepColumnShift + kRepMaxSide, 0); }

// Kept: the remainder by 7 never draws orientation 7.
void VMKcastelUI::RandomOrientations() {
  for (RepInfo& c : current()->cells) {
    const auto r = static_cast<int16_t>(plat::Random() & 0xFFFF);
    c.w[kCellOrientation] = std::abs(r % 7);
  }
}

void VMKcastelUI::BrowseTile() {
  std::unique_ptr<VMKloadima> picker(new (std::nothrow) VMKloadima());
  if (picker == nullptr) return;
  picker->SetSelecFich(&current()->tiles[0]);
  if (picker->Do_LoadImaDlg(0) == 1) {
    picker->GetSelecFich(&current()->tiles[0]);
    grid()[kRepTileSource] = 1;
  }
}

// The five families of copies: reset everywhere, to the current cell's
// column, its row, all cells. Kept: only the offsets take a backup.
bool VMKcastelUI::CellFamily(uint32_t command) {
  struct Family {
    uint32_t base;  // the first three letters
    int32_t word;
    bool pair;
    int32_t reset;
  };
  constexpr Family kFamilies[] = {{FourCC("Por0"), kCellOrientation, false, 0},
                                  {FourCC("Pof0"), kCellScrollX, true, 0},
                                  {FourCC("Psk0"), kCellSkewX, true, 0},
                                  {FourCC("Pms0"), kCellMaskMode, false, 3},
                                  {FourCC("Pmo0"), kCellBlendMode, false, 1}};
  const uint32_t digit = command & 0xFF;
  if (digit < '1' || digit > '4') return false;
  for (const Family& f : kFamilies) {
    if ((command & 0xFFFFFF00u) != (f.base & 0xFFFFFF00u)) continue;
    if (f.word == kCellScrollX) BackRest(1);
    if (digit == '1') {
      SetAll(f.word, f.reset);
      if (f.pair) SetAll(f.word + 1, f.reset);
    } else if (f.pair) {
      CopyCellPair(f.word, static_cast<int16_t>(digit - '1'));
    } else {
      CopyCell(f.word, static_cast<int16_t>(digit - '1'));
    }
    return true;
  }
  return false;
}

bool VMKcastelUI::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (current() == nullptr) return false;
  auto value = [&](int32_t id) { return tb::GetControl32BitValue(Ctl(id)); };
  int32_t* g = grid();
  bool redraw = true;
  switch (command) {
    case FourCC("Bsav"):
      // Kept: the popup is not read again, so the new file shows next time.
      BackRest(1);
      if (presetList != nullptr) (void)SavePreset([&] { return EffectFrame::RecordFile(1, presetList[0], edit); });
      return true;
    case FourCC("Bres"):
      BackRest(1);
      Init_RepPar(current(), 1, static_cast<int16_t>(g[kRepColumnCount]), static_cast<int16_t>(g[kRepRowCount]));
      break;
    case FourCC("Bbrw"): BrowseTile(); break;
    case FourCC("Rbvp"): g[kRepTileSource] = std::clamp(value(kTileSource) - 1, 0, 1); break;
    case FourCC("Rhor"):
      g[kShiftDirection] = value(kByColumns) == 0 ? 1 : 0;
      ClearShifts();
      break;
    case FourCC("Rver"):
      g[kShiftDirection] = value(kByRows);
      ClearShifts();
      break;
    case FourCC("Soff"):
      BackRest(1);
      *Shift() = value(kShiftBar);
      break;
    case FourCC("Sopa"):
      BackRest(1);
      Apply(kCellOpacity, value(kOpacityBar));
      break;
    case FourCC("Cact"):
      BackRest(1);
      // Option (as the keyboard is now) turns every cell over.
      if (TestKeyModif(optionKey) == 1)
        for (RepInfo& c : current()->cells) c.w[kCellOn] = c.w[kCellOn] == 0 ? 1 : 0;
      else
        Apply(kCellOn, value(kActiveBox));
      break;
    case FourCC("Bran"):
      BackRest(1);
      RandomOrientations();
      break;
    case FourCC("Pmsk"):
      BackRest(1);
      Apply(kCellMaskMode, value(kMaskPopup));
      break;
    case FourCC("Pmod"):
      BackRest(1);
      Apply(kCellBlendMode, value(kBlendPopup));
      break;
    case FourCC("Ccol"): g[kRepColourCells] = value(kColourBox); break;
    case FourCC("Cgrd"):
      gridDisplay = static_cast<int16_t>(value(kGridBox));
      Box(0)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, gridDisplay, 0);
      break;
    case FourCC("Cmsk"): maskDisplay = static_cast<int16_t>(value(kMaskBox)); break;
    case FourCC("Call"):
      allCells = static_cast<int16_t>(value(kAllCellsBox));
      redraw = false;
      break;
    case FourCC("Ceff"):
      effectPreview = static_cast<int16_t>(value(kEffectBox));
      redraw = false;
      break;
    default: {
      const uint32_t stem = command & 0xFFFFFF00u;
      const uint32_t digit = command & 0xFF;
      if (stem == (FourCC("Bac0") & 0xFFFFFF00u) && digit >= '0' && digit <= '7') {
        BackRest(1);
        Apply(kCellOrientation, static_cast<int32_t>(digit - '0'));
        break;
      }
      if (!CellFamily(command)) return false;
      break;
    }
  }
  if (redraw) DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}
