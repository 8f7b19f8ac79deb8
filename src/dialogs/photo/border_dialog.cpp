#include "dialogs/photo/border_dialog.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "app/image_import.h"
#include "app/keyboard.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/photo/tile_lists.h"
#include "engines/patterns/border_editing.h"
#include "engines/records/param_record.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKmirrovanUI* gVMKmirrovan = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the next tick restores the backup.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKmirrovan>;

constexpr OSType kSig = FourCC("Cbor");

enum : int32_t {
  kKind = 2,
  kPresets = 9,
  kSidePopup = 13,
  kTileView = 14,
  kTileOn = 25,
  kTileLabel = 26,
  kTilePopup = 27,
  kRepeatLabel = 30,
  kRepeatSlider = 31,
  kApplySide = 34,
  kWidthSlider = 37,
  kCornerPopup = 39,
  kRamps = 40,
  kImages = 41,
  kMode = 46,
  kMask = 33,
  kSideOn = 52,
  kImage = 53,
  kImageLabel = 54,
  kLayerOn = 61,
  kLayers = 62,
  kManyLayers = 64,
  kOverlay = 65,
  kDisplay = 66,
  kApplyLayer = 67,
  kBlendSlider = 69,
};

constexpr std::array<int32_t, 51> kLookup = {2,  62, 13, 39, 27, 9,  53, 46, 33, 41, 40, 61, 52, 25, 67, 34, 66,
                                             65, 26, 30, 54, 64, 14, 12, 15, 28, 29, 51, 63, 31, 32, 37, 38, 69,
                                             70, 48, 49, 43, 44, 59, 60, 72, 73, 56, 57, 17, 18, 20, 21, 23, 24};

constexpr std::array<tb::EventTypeSpec, 13> kEvents = {{{tb::kEventClassCommand, tb::kEventCommandProcess},
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

constexpr std::array<FrameBox, 2> kBoxes = {{{"HIima", true}, {"HIori", false}}};

BordPar* Rec(void* r) { return static_cast<BordPar*>(r); }

void InitBord(void* r, const RecordContext& c) { Init_BordPar(Rec(r), c.width, c.height, 1, 1, 1, 1); }
// The frame's copies (the backup of every step, the undo) write only the
// layers that differ.
void CopyBord(const void* s, void* d) { UpdateBordPar(static_cast<const BordPar*>(s), Rec(d)); }

// Reads go through a scratch record and reach the dialog's only when the
// file is whole and in range: a side index, side tile or tile image out of
// range would index past the layer's tables, so such a file is refused as
// an unreadable one is, the record untouched.
int16_t BordFile(int16_t mode, FSSpec spec, void* r, int16_t) {
  if (mode == 1 || mode == 3) return Do_ABordPar_file(mode, spec, Rec(r));
  ScratchRecord<BordPar> scratch;
  if (!scratch) return -1;
  Copy_BordPar(Rec(r), scratch.get());
  if (Do_ABordPar_file(mode, spec, scratch.get()) != 0 || !BordParInRange(*scratch)) return -1;
  Copy_BordPar(scratch.get(), Rec(r));
  return 0;
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(BordPar)), InitBord, CopyBord, BordFile, nullptr};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "CreaBord";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "cbor";
  d.boxes = kBoxes;
  d.effect = 106;
  d.presetType = FourCC("hBor");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  d.sliderPush = 1.0;
  d.tempFile = ":tmpvmkpbo.hbr";
  d.focusEdit = 18;
  d.resizable = true;
  d.drawParams = true;
  return d;
}();

bool IsCode(uint32_t code, uint32_t slider, uint32_t field) {
  return code == slider || code == field;
}

bool EntryCode(uint32_t code) {
  return IsCode(code, FourCC("Srep"), FourCC("Erep")) || IsCode(code, FourCC("Swid"), FourCC("Ewid")) || IsCode(code, FourCC("Sbld"), FourCC("Ebld")) ||
         code == FourCC("Csid");
}

// The tile field a look code sets; null for any other code.
int32_t* LookField(BordTile& t, uint32_t code) {
  if (code == FourCC("Ctil")) return &t.enabled;
  if (code == FourCC("Pima")) return &t.image;
  if (code == FourCC("Pmod")) return &t.blendMode;
  if (code == FourCC("Pmsk")) return &BordTileMask(t);
  if (code == FourCC("Ptil")) return &t.mirror;
  if (IsCode(code, FourCC("Sopa"), FourCC("Eopa"))) return &t.opacity;
  if (IsCode(code, FourCC("Sang"), FourCC("Eang"))) return &t.angle;
  if (IsCode(code, FourCC("Saji"), FourCC("Eaji"))) return &t.angleJitter;
  if (IsCode(code, FourCC("Ssiz"), FourCC("Esiz"))) return &t.scale;
  if (IsCode(code, FourCC("Ssji"), FourCC("Esji"))) return &t.scaleJitter;
  if (IsCode(code, FourCC("Shue"), FourCC("Ehue"))) return &t.hue;
  if (IsCode(code, FourCC("Ssat"), FourCC("Esat"))) return &t.saturation;
  if (IsCode(code, FourCC("Sval"), FourCC("Eval"))) return &t.lightness;
  return nullptr;
}

// The look's slider values redraw the window after a single-tile change.
bool SliderLook(uint32_t code) {
  return code != FourCC("Ctil") && code != FourCC("Pima") && code != FourCC("Pmod") && code != FourCC("Pmsk") &&
         code != FourCC("Ptil");
}

// Stores one value; false for a code that is no tile's.
bool StoreTile(BordTile& t, uint32_t code, int32_t value) {
  int32_t* field = LookField(t, code);
  if (field == nullptr) return false;
  *field = value;
  if (IsCode(code, FourCC("Ssiz"), FourCC("Esiz"))) SetBordTileSize(t, value);
  return true;
}

// The eleven value rows: the side or corner entries first (clamped by the
// slider limits of the current index), then the current tile's look.
ValueRow Row(uint32_t slider, int32_t control, int32_t field, int32_t low, int32_t high, uint32_t code) {
  return ValueRow{slider, control, field, low, high, static_cast<int32_t>(code)};
}

int64_t Floor0(int64_t v) { return std::max(v, int64_t{0}); }

}  // namespace

void MirrovanLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }
OSStatus MirrovanWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}
const tb::EventHandlerProc& GetMirrovanWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKmirrovanUI::VMKmirrovanUI() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  // The row's word holds the field's code; the entry rows' clamps are the
  // slider limits of the current index.
  rows_ = {Row(FourCC("Srep"), 31, 32, 0, 63, FourCC("Erep")),      Row(FourCC("Swid"), 37, 38, 0, 100, FourCC("Ewid")),
           Row(FourCC("Sbld"), 69, 70, 0, 100, FourCC("Ebld")),     Row(FourCC("Sopa"), 48, 49, 0, 100, FourCC("Eopa")),
           Row(FourCC("Sang"), 43, 44, 0, 360, FourCC("Eang")),     Row(FourCC("Saji"), 59, 60, 0, 100, FourCC("Eaji")),
           Row(FourCC("Ssiz"), 72, 73, 0, 360, FourCC("Esiz")),     Row(FourCC("Ssji"), 56, 57, 0, 100, FourCC("Esji")),
           Row(FourCC("Shue"), 17, 18, -180, 180, FourCC("Ehue")),  Row(FourCC("Ssat"), 20, 21, -100, 100, FourCC("Esat")),
           Row(FourCC("Sval"), 23, 24, -100, 100, FourCC("Eval"))};
  if (current() != nullptr) {
    imageWidth = context.width;
    imageHeight = context.height;
  }
}

VMKmirrovanUI::~VMKmirrovanUI() { Trampolines::Release(this); }

void VMKmirrovanUI::InitRecord(void* record) {
  BordPar* r = Rec(record);
  const int32_t fill = BordFill(r->layers[std::clamp(r->head.current, int32_t{0}, kBordLayers - 1)].info);
  Init_BordPar(r, r->head.width, r->head.height, 1, 1, 1, static_cast<int16_t>(fill));
}

void VMKmirrovanUI::SetBordPar(const BordPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_BordPar(record, current());
  ClampBordPar(current());
  Copy_BordPar(current(), backupRecord());
}

void VMKmirrovanUI::GetBordPar(BordPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_BordPar(current(), record);
}

int16_t VMKmirrovanUI::Do_MirrovanDlg(int16_t runFlag) {
  return Run(Trampolines::Procs(MirrovanLoopHandler, GetMirrovanWindowEventHandlerUPP()), runFlag);
}

BordLay& VMKmirrovanUI::Layer() const {
  return current()->layers[std::clamp(current()->head.current, int32_t{0}, kBordLayers - 1)];
}

bool VMKmirrovanUI::Corners() const { return BordPartKind(Layer().info) != 0; }

BordTile& VMKmirrovanUI::Tile() const {
  const BordInfo& info = Layer().info;
  const int32_t s = std::clamp(BordCurrentIndex(info), int32_t{0}, int32_t{3});
  if (Corners()) return Layer().tiles[s];
  const int32_t k = std::clamp(BordCurrentSideTile(info), int32_t{0}, kBordCellsPerSide - 1);
  return Layer().tiles[4 + kBordCellsPerSide * s + k];
}

int32_t& VMKmirrovanUI::Entry(uint32_t code) const {
  BordInfo& info = Layer().info;
  const int32_t s = std::clamp(BordCurrentIndex(info), int32_t{0}, int32_t{3});
  const bool corners = Corners();
  if (IsCode(code, FourCC("Srep"), FourCC("Erep"))) return corners ? info.cornerHeight[s] : info.cells[s];
  if (IsCode(code, FourCC("Swid"), FourCC("Ewid"))) return corners ? info.cornerWidth[s] : info.thickness[s];
  if (IsCode(code, FourCC("Sbld"), FourCC("Ebld"))) return corners ? BordCornerBlend(info, s) : BordSideBlend(info, s);
  return corners ? info.cornerOn[s] : info.sideOn[s];
}

// ---- values ----

int32_t VMKmirrovanUI::RowValue(const ValueRow& row) {
  if (current() == nullptr) return 0;
  const auto code = static_cast<uint32_t>(row.word);
  if (EntryCode(code)) return Entry(code);
  const int32_t* field = LookField(Tile(), code);
  return field != nullptr ? *field : 0;
}

void VMKmirrovanUI::ComputeSliderLimits() {
  if (current() == nullptr) return;
  const BordInfo& i = Layer().info;
  const int32_t s = std::clamp(BordCurrentIndex(i), int32_t{0}, int32_t{3});
  const int32_t o = (s + 2) % 4;
  // In 64 bits: the neighbours' words come from files.
  int64_t repeat = 63, width = 0, blend = 0;
  if (!Corners()) {
    blend = 100 - int64_t{i.inset[o]};
    width = 100 - int64_t{i.thickness[o]} - i.inset[s] - i.inset[o];
  } else {
    const int32_t w = 3 - s, h = s ^ 1;
    blend = 100 - int64_t{i.cornerInset[o]};
    width = 100 - int64_t{i.cornerWidth[w]} - i.cornerInset[w] - i.cornerInset[s];
    repeat = 100 - int64_t{i.cornerHeight[h]} - i.cornerInset[h] - i.cornerInset[s];
  }
  // A maximum below 0 (neighbours wider than the picture) is taken as 0,
  // so a typed value is always stored within 0..maximum.
  const int64_t maxima[3] = {Floor0(repeat), Floor0(width), Floor0(blend)};
  for (int32_t k = 0; k < 3; ++k) {
    sliderLimits[2 * k][s] = 0;
    sliderLimits[2 * k + 1][s] = static_cast<int16_t>(std::min(maxima[k], int64_t{32767}));
  }
}

// Every field is read before anything is stored: storing a look value
// redraws the window, which would put the stored texts back over fields
// typed but not yet read.
void VMKmirrovanUI::GetEditValue() {
  if (current() == nullptr) return;
  ComputeSliderLimits();
  const int32_t s = std::clamp(BordCurrentIndex(Layer().info), int32_t{0}, int32_t{3});
  std::vector<std::pair<uint32_t, int32_t>> changed;
  for (size_t k = 0; k < rows_.size(); ++k) {
    const ValueRow& row = rows_[k];
    tb::ControlRef field = Ctl(row.edit);
    if (field == nullptr) continue;
    const int32_t low = k < 3 ? sliderLimits[2 * k][s] : row.minimum;
    const int32_t high = k < 3 ? sliderLimits[2 * k + 1][s] : row.maximum;
    const int32_t v = std::clamp(FieldValue(field), low, high);
    if (v != RowValue(row)) changed.emplace_back(static_cast<uint32_t>(row.word), v);
  }
  if (changed.empty()) return;
  // One backup for the whole read, taken before the first store.
  BackRest(1);
  for (const auto& [code, v] : changed) {
    StoreAll(applyMode, code, v);
    if (EntryCode(code))
      Entry(code) = v;
    else
      StoreTile(Tile(), code, v);
  }
  // A width stored over the whole layer also widens the opposite side, which
  // lowers this side's own maximum below what was just stored (60 on all
  // four sides leaves each 40). Each store asks for another read, and that
  // read holds the value to the new maximum; here those reads are made at
  // once, so the preview handed over after this read is the record OK
  // keeps, not one that the next read (OK's own) would still cut down.
  for (int32_t pass = 0; pass < 4; ++pass) {
    ComputeSliderLimits();
    bool held = false;
    for (size_t k = 0; k < 3 && k < rows_.size(); ++k) {
      const auto code = static_cast<uint32_t>(rows_[k].word);
      const int32_t stored = Entry(code);
      const int32_t v = std::clamp(stored, int32_t{sliderLimits[2 * k][s]}, int32_t{sliderLimits[2 * k + 1][s]});
      if (v == stored) continue;
      StoreAll(applyMode, code, v);
      Entry(code) = v;
      held = true;
    }
    if (!held) break;
  }
}

void VMKmirrovanUI::ModifTilVal(tb::WindowRef window, BordTile* tile, uint32_t code, int32_t value) {
  if (tile == nullptr || !StoreTile(*tile, code, value)) return;
  if (SliderLook(code)) DrawWindowContent(window);
}

// The stores of ModifAllVal without its backup and redraw.
void VMKmirrovanUI::StoreAll(int16_t mode, uint32_t code, int32_t value) {
  BordLay& layer = Layer();
  const int32_t s = std::clamp(BordCurrentIndex(layer.info), int32_t{0}, int32_t{3});
  if (mode == 0) {
    StoreTile(Tile(), code, value);
  } else if (mode == 1) {
    if (Corners())
      for (int32_t k = 0; k < 4; ++k) StoreTile(layer.tiles[k], code, value);
    else
      for (int32_t k = 0; k < kBordCellsPerSide; ++k) StoreTile(layer.tiles[4 + kBordCellsPerSide * s + k], code, value);
  } else if (mode == 2) {
    for (BordTile& t : layer.tiles) StoreTile(t, code, value);
    StoreEntries(code, value);
  }
}

// Mode 2's side and corner entries, with Option's cross-links.
void VMKmirrovanUI::StoreEntries(uint32_t code, int32_t value) {
  BordInfo& i = Layer().info;
  const bool corners = Corners();
  const bool option = TestKeyModif(optionKey) == 1;
  for (int32_t k = 0; k < 4; ++k) {
    if (IsCode(code, FourCC("Swid"), FourCC("Ewid"))) {
      (corners ? i.cornerWidth[k] : i.thickness[k]) = value;
      if (option && !corners) i.cornerWidth[k] = i.cornerHeight[k] = value;
      if (option && corners && (k == 0 || k == 2)) i.thickness[k] = value;
    } else if (IsCode(code, FourCC("Srep"), FourCC("Erep"))) {
      (corners ? i.cornerHeight[k] : i.cells[k]) = value;
      if (option && corners && (k == 1 || k == 3)) i.thickness[k] = value;
    } else if (IsCode(code, FourCC("Sbld"), FourCC("Ebld"))) {
      (corners ? i.cornerInset[k] : i.inset[k]) = value;
      if (option) (corners ? i.inset[k] : i.cornerInset[k]) = value;
    } else if (code == FourCC("Csid")) {
      (corners ? i.cornerOn[k] : i.sideOn[k]) = value;
      if (option) (corners ? i.sideOn[k] : i.cornerOn[k]) = value;
    }
  }
}

// All stores first, then one redraw: the window shows the same as after a
// redraw per tile.
void VMKmirrovanUI::ModifAllVal(tb::WindowRef window, int16_t mode, uint32_t code, int32_t value) {
  if (current() == nullptr) return;
  BackRest(1);
  StoreAll(mode, code, value);
  if (window != nullptr) DrawWindowContent(window);
  Touched(nullptr);
}

// A change the preview must follow: refresh, and the tick 1.0 s away so a
// burst of changes renders once.
void VMKmirrovanUI::Touched(tb::WindowRef window) {
  if (window != nullptr) DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  PushTick(1.0);
}

// ---- menus and boxes ----

void VMKmirrovanUI::LoadLayMenus() {
  tb::ControlRef popup = Ctl(kLayers);
  if (popup == nullptr || current() == nullptr) return;
  tb::DeleteMenuItems(popup);
  const int32_t count = BordLayerCount(current()->head.layerCount);
  for (int32_t n = 1; n <= count; ++n) tb::AppendMenuItemText(popup, "Layer " + std::to_string(n));
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

void VMKmirrovanUI::LoadTilMenus(int16_t kind) {
  tb::ControlRef popup = Ctl(kTilePopup);
  if (popup == nullptr || current() == nullptr) return;
  tb::DeleteMenuItems(popup);
  int32_t count = 3;
  if (kind == 0) {
    const int32_t s = std::clamp(BordCurrentIndex(Layer().info), int32_t{0}, int32_t{3});
    count = std::clamp(Layer().info.cells[s], int32_t{0}, kBordCellsPerSide);
    for (int32_t n = 1; n <= count; ++n) tb::AppendMenuItemText(popup, std::to_string(n));
  } else {
    for (const char* item : {"None ", "TL->BR ", "BL->TR "}) tb::AppendMenuItemText(popup, item);
  }
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

void VMKmirrovanUI::OpenViews(tb::WindowRef) {
  VMKimabox* tile = Box(1);
  tile->InitBuf(21);
  tile->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  VMKimabox* preview = Box(0);
  preview->InitBuf(24);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, previewOverlay);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  PrepareWindowForDisplay();
}

void VMKmirrovanUI::PrepareWindowForDisplay() {
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
  displayWidth = fit.fittedWidth;
  displayHeight = fit.fittedHeight;
}

// ---- drawing ----

void VMKmirrovanUI::DrawGeometry() {
  BordInfo& info = Layer().info;
  const bool corners = Corners();
  const int32_t s = std::clamp(BordCurrentIndex(info), int32_t{0}, int32_t{3});
  tb::SetControl32BitValue(Ctl(kLayers), ItemOfWord(current()->head.current));
  tb::SetControl32BitValue(Ctl(kKind), corners ? 2 : 1);
  LoadTilMenus(corners ? 1 : 0);
  tb::SetControlVisibility(Ctl(kSidePopup), !corners);
  tb::SetControlVisibility(Ctl(kCornerPopup), corners);
  tb::SetControl32BitValue(Ctl(corners ? kCornerPopup : kSidePopup), s + 1);
  tb::SetControlText(Ctl(kTileLabel), corners ? "Mirror:" : "TileNb:");
  tb::SetControlText(Ctl(kRepeatLabel), corners ? "Height:" : "Repeat:");
  tb::SetControl32BitValue(Ctl(kTilePopup), ItemOfWord(corners ? Layer().tiles[s].mirror : BordCurrentSideTile(info)));
  tb::SetControl32BitValue(Ctl(kSideOn), Entry(FourCC("Csid")));
  ComputeSliderLimits();
  const int32_t sliders[3] = {kRepeatSlider, kWidthSlider, kBlendSlider};
  for (int32_t k = 0; k < 3; ++k) {
    tb::SetControl32BitMinimum(Ctl(sliders[k]), sliderLimits[2 * k][s]);
    tb::SetControl32BitMaximum(Ctl(sliders[k]), sliderLimits[2 * k + 1][s]);
  }
}

void VMKmirrovanUI::DrawTileLook() {
  const BordTile& t = Tile();
  tb::SetControl32BitValue(Ctl(kTileOn), t.enabled);
  tb::SetControl32BitValue(Ctl(kImage), ItemOfWord(t.image));
  tb::SetControl32BitValue(Ctl(kMask), ItemOfWord(t.maskKind));
  tb::SetControl32BitValue(Ctl(kMode), ItemOfWord(t.blendMode));
  tb::SetControlVisibility(Ctl(kManyLayers), current()->head.layerCount >= 2);
  tb::SetControl32BitValue(Ctl(kLayerOn), BordLayerFlag(Layer().info));
  tb::SetControl32BitValue(Ctl(kApplyLayer), applyMode == 2);
  tb::SetControl32BitValue(Ctl(kApplySide), applyMode == 1);
  tb::SetControlVisibility(Ctl(kApplySide), applyMode != 2);
  tb::SetControl32BitValue(Ctl(kOverlay), previewOverlay);
  tb::SetControl32BitValue(Ctl(kDisplay), previewDisplay);
  tb::SetControl32BitValue(Ctl(kImages), BordFill(Layer().info) == 1);
  tb::SetControl32BitValue(Ctl(kRamps), BordFill(Layer().info) == 0);
}

// The current tile's image or ramp in the tile view, made on the preview
// worker: the redraw never waits for the image. An image without a readable
// size leaves the view as it was.
void VMKmirrovanUI::DrawTileView() {
  tb::ControlRef view = Ctl(kTileView);
  VMKimabox* box = Box(1);
  const int32_t n = std::clamp(Tile().image, int32_t{0}, kBordFiles - 1);
  if (BordFill(Layer().info) != 1) {
    tb::SetControlText(Ctl(kImageLabel), "Vign.:");
    // In the pictures' line: an image still on its way must not cover the ramp.
    tileView.Paint(previews(), [box, view, ramp = Layer().ramps[n]] {
      ShowRampBar(box, view, &ramp, 0, 0, 0);
    });
    return;
  }
  tb::SetControlText(Ctl(kImageLabel), "Image:");
  const fichier file = Layer().files[n];
  auto build = [file](int32_t w, int32_t h, int32_t, uint8_t* red, uint8_t* green, uint8_t* blue,
                      TileViewPicture::Made* made) {
    fichier f = file;
    int32_t iw = 0, ih = 0;
    if (AS_GetImageDimension(&f, &iw, &ih, nullptr) != 0) return false;
    made->fromFile = true;
    return AS_GetResizedImage(&f, 1, 0, 0, 0, 0, w, h, 0, 0, w - 1, h - 1, 3, red, green, blue,
                              nullptr) == 0;
  };
  tileView.Ask(previews(), box, view, "file " + FicToPosix(file), std::move(build), nullptr);
}

void VMKmirrovanUI::DrawOwnContent(tb::WindowRef) {
  if (current() == nullptr) return;
  LoadLayMenus();
  DrawGeometry();
  DrawTileLook();
  DrawTileView();
}

void VMKmirrovanUI::ShowPreview() {
  if (current() == nullptr) return;
  Box(0)->SetBordPar(current(), previewDisplay, previewSource, nullptr);
}

// ---- commands ----

// The layer list, the part edited and the fill.
bool VMKmirrovanUI::RecordCommand(uint32_t command, int32_t value, tb::WindowRef window) {
  BordPar* r = current();
  switch (command) {
    case FourCC("Badd"):
      BackRest(1);
      // Kept: the editor adds layers up to 127, one short of the record's room.
      r->head.layerCount = std::min(r->head.layerCount + 1, kBordEditedLayers);
      break;
    case FourCC("Bdel"):
      BackRest(1);
      DelBor_BordPar(r, static_cast<int16_t>(r->head.current));
      break;
    case FourCC("Play"): {
      BackRest(1);
      const int32_t was = std::clamp(r->head.current, int32_t{0}, kBordLayers - 1);
      r->head.current = std::clamp(value - 1, int32_t{0}, std::max(r->head.layerCount - 1, int32_t{0}));
      // Kept: the layer left behind starts again from its first side tile.
      BordCurrentSideTile(r->layers[was].info) = 0;
      break;
    }
    case FourCC("Sico"):
      BackRest(1);
      BordPartKind(Layer().info) = std::max(value - 1, int32_t{0});
      BordCurrentSideTile(Layer().info) = 0;
      break;
    case FourCC("Psid"):
    case FourCC("Pcor"):
      BackRest(1);
      BordCurrentIndex(Layer().info) = std::clamp(value - 1, int32_t{0}, int32_t{3});
      BordCurrentSideTile(Layer().info) = 0;
      break;
    // Kept: the fill choice and the layer flag take no backup.
    case FourCC("Rfil"): BordFill(Layer().info) = 1; break;
    case FourCC("Rvig"): BordFill(Layer().info) = 0; break;
    case FourCC("Clay"): BordLayerFlag(Layer().info) = value; break;
    case FourCC("Cal1"):
    case FourCC("Cal2"):
      applyMode = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kApplyLayer)) == 1
                                           ? 2
                                           : std::clamp(tb::GetControl32BitValue(Ctl(kApplySide)), 0, 1));
      DrawWindowContent(window);
      return true;
    case FourCC("Ceff"):
    case FourCC("Cgrd"):
      previewOverlay = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kOverlay)));
      previewDisplay = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kDisplay)));
      Box(0)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, previewOverlay);
      break;
    default: return false;
  }
  Touched(window);
  return true;
}

// The side or corner entries: one backup per action, before the first store.
bool VMKmirrovanUI::GeometryCommand(uint32_t command, int32_t value, tb::WindowRef window) {
  if (command == FourCC("Ptil")) {
    BackRest(1);
    if (Corners())
      StoreAll(applyMode, command, std::clamp(value - 1, int32_t{0}, int32_t{2}));
    else
      BordCurrentSideTile(Layer().info) = std::clamp(value - 1, int32_t{0}, kBordCellsPerSide - 1);
    Touched(window);
    return true;
  }
  if (!EntryCode(command) || IsCode(command, FourCC("Erep"), FourCC("Ewid")) || command == FourCC("Ebld")) return false;
  BackRest(1);
  Entry(command) = value;
  StoreAll(applyMode, command, value);
  Touched(window);
  return true;
}

// The tile's look, by the apply mode.
bool VMKmirrovanUI::LookCommand(uint32_t command, int32_t value, tb::WindowRef window) {
  BordTile probe;
  if (LookField(probe, command) == nullptr || command == FourCC("Ptil")) return false;
  const bool popup = command == FourCC("Pima") || command == FourCC("Pmod") || command == FourCC("Pmsk");
  int32_t v = popup ? value - 1 : value;
  if (command == FourCC("Pima")) v = std::clamp(v, int32_t{0}, kBordFiles - 1);
  ModifAllVal(window, applyMode, command, v);
  return true;
}

// 'Bfil', 'Bvig': the list works on a scratch copy of the record that comes
// back only on OK; a copy that cannot be had changes nothing.
bool VMKmirrovanUI::ListCommand(uint32_t command, tb::WindowRef window) {
  if (command != FourCC("Bfil") && command != FourCC("Bvig")) return false;
  ScratchRecord<BordPar> copy;
  if (!copy) return true;
  // A value typed since the last tick goes into the record before the copy
  // is taken: the list's OK brings the copy back over the record.
  GetEditValue();
  BackRest(1);
  Copy_BordPar(current(), copy.get());
  BordLay* layer = &copy->layers[std::clamp(copy->head.current, int32_t{0}, kBordLayers - 1)];
  int16_t answer = 0;
  if (command == FourCC("Bfil")) {
    std::unique_ptr<VMKsetima> list(new (std::nothrow) VMKsetima());
    if (list != nullptr) answer = list->Do_SetImaDlg(nullptr, layer);
  } else {
    std::unique_ptr<VMKsetvig> list(new (std::nothrow) VMKsetvig());
    if (list != nullptr) answer = list->Do_SetVigDlg(nullptr, layer);
  }
  if (answer == 1) {
    Copy_BordPar(copy.get(), current());
    BordFill(Layer().info) = command == FourCC("Bfil") ? 1 : 0;
  }
  // Kept: after the ramp list the window is not redrawn.
  Touched(command == FourCC("Bfil") ? window : nullptr);
  return true;
}

bool VMKmirrovanUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (current() == nullptr) return false;
  const int32_t value = source != nullptr ? tb::GetControl32BitValue(source) : 0;
  return RecordCommand(command, value, window) || GeometryCommand(command, value, window) ||
         LookCommand(command, value, window) || ListCommand(command, window);
}
