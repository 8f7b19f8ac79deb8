#include "dialogs/photo/tessellation_dialog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "app/image_import.h"
#include "app/keyboard.h"
#include "app/plane_readers.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/photo/tile_lists.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "engines/tessellation/tessellation_checks.h"
#include "platform/files/file_types.h"
#include "platform/imageio/image_io.h"
#include "platform/resources/resource_file.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/misc_render.h"
#include "script/ramp_bitmaps.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKquorlinUI* gVMKquorlin = nullptr;
VMKoriima* gVMKoriima = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the next tick restores the backup.
int16_t flag_restor = 0;
// The source-picture view takes no undo; the frame still wants a flag.
int16_t flag_restor_ori = 0;

using Trampolines = EffectFrameTrampolines<gVMKquorlin>;
using OriTrampolines = EffectFrameTrampolines<gVMKoriima>;

constexpr OSType kSig = FourCC("Qtss");

enum : int32_t {
  kPresets = 7,
  kPreview = 10,
  kGrid = 11,
  kType = 12,
  kTileView = 13,
  kFileName = 14,
  kMask = 15,
  kActive = 31,
  kTiles = 33,
  kFill = 34,
  kMaskMode = 41,
  kLink = 42,
  kWell = 44,
  kEffect = 45,
};

// Head words the dialog edits besides the record's own names.
enum : int32_t { kFillSource = kTessTileSource, kGridFlag = 6, kMaskFlag = 7, kLinkFlag = 8 };
// Tile words.
enum : int32_t {
  kActiveWord = kTessEnabled,
  kMaskWord = kTessWarpMode,
  kHue = 8,
  kSat = 9,
  kVal = 10,
  kOffX = 11,
  kOffY = 12,
  kBleedH = 13,
  kBleedV = 14,
};

constexpr std::array<int32_t, 26> kLookup = {7,  10, 13, 14, 44, 45, 11, 12, 15, 17, 18, 20, 21,
                                             23, 24, 26, 27, 29, 30, 31, 33, 34, 39, 40, 41, 42};

constexpr std::array<tb::EventTypeSpec, 14> kEvents = {
    {{tb::kEventClassCommand, tb::kEventCommandProcess},
     {tb::kEventClassMouse, tb::kEventMouseMoved},
     {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
     {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
     {tb::kEventClassMenu, tb::kEventMenuOpening},
     {tb::kEventClassMenu, tb::kEventMenuTargetItem},
     {tb::kEventClassMenu, tb::kEventMenuClosed},
     {tb::kEventClassControl, tb::kEventControlTrack},
     {tb::kEventClassWindow, tb::kEventWindowDrawContent},
     {tb::kEventClassWindow, tb::kEventWindowClickContentRgn},
     {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
     {tb::kEventClassWindow, tb::kEventWindowZoomed},
     {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn},
     {tb::kEventClassTextInput, tb::kEventTextInputUnicodeForKeyEvent}}};

constexpr std::array<FrameBox, 2> kBoxes = {{{"HIima", true}, {"HIori", true}}};

TessPar* Rec(void* r) { return static_cast<TessPar*>(r); }

void InitTess(void* r, const RecordContext&) { Init_TessPar(Rec(r), 1, 1, 1); }
void CopyTess(const void* s, void* d) { Copy_TessPar(static_cast<const TessPar*>(s), Rec(d)); }

// Reads go through a scratch record and reach the dialog's only when the
// file is whole and in range: a symmetry type or tile count out of range
// would index past the tile tables, so such a file is refused as an
// unreadable one is, the record untouched.
int16_t TessFile(int16_t mode, FSSpec spec, void* r, int16_t) {
  if (mode == 1 || mode == 3) return Do_ATessPar_file(mode, spec, Rec(r));
  ScratchRecord<TessPar> scratch;
  if (!scratch) return -1;
  Copy_TessPar(Rec(r), scratch.get());
  if (Do_ATessPar_file(mode, spec, scratch.get()) != 0 || !TessParInRange(*scratch)) return -1;
  WholeTessCopy(scratch.get(), Rec(r));
  return 0;
}

LutVign* TessRamp(void* r) {
  TessPar* t = Rec(r);
  return &t->ramps[std::clamp(t->head.w[kTessCurrentSet], int32_t{0}, kTessEditedTiles - 1)];
}

constexpr FrameRecordOps kOps{static_cast<int32_t>(sizeof(TessPar)), InitTess, CopyTess, TessFile, TessRamp};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "QuoTess";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "qorl";
  d.boxes = kBoxes;
  d.effect = 58;
  d.presetType = FourCC("hPts");
  d.record = &kOps;
  d.presetPopup = kPresets;
  d.presetRoom = kPresetRoom;
  d.presetLimit = kPresetRoom;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.typingPush = 1.0;
  d.tempFile = ":tmpvmkpts.hts";
  d.focusEdit = 40;
  d.resizable = true;
  d.drawParams = true;
  // The undo is this dialog's own loop step (PollTick), so that the tile
  // menu is rebuilt and every control shows the restored record before
  // the same tick reads the fields.
  d.undoTick = false;
  d.pollBeforeRefresh = true;
  return d;
}();

ValueRow Row(uint32_t command, int32_t slider, int32_t edit, int32_t low, int32_t high, int32_t word) {
  return ValueRow{command, slider, edit, low, high, word};
}

int16_t GroupOf(int32_t word) {
  if (word >= kHue && word <= kVal) return 3;
  if (word == kOffX || word == kOffY) return 4;
  return 6;
}

int32_t TileIndex(const TessPar& r) {
  return std::clamp(r.head.w[kTessCurrentSet], int32_t{0}, kTessEditedTiles - 1);
}

// The tile's ramp as a bar, three planes of w x h device pixels, `scale` per view pixel.
bool RampPicture(const LutVign& ramp, int32_t w, int32_t h, int32_t scale, uint8_t* red, uint8_t* green,
                 uint8_t* blue) {
  const Rect r{0, 0, static_cast<int16_t>(h), static_cast<int16_t>(w)};
  build_BufRGBBarAt(scale, &r, red, green, blue, &ramp, 0, 0, 0);
  return true;
}

bool FilePicture(const fichier& tile, int32_t w, int32_t h, uint8_t* red, uint8_t* green, uint8_t* blue) {
  fichier f = tile;
  int32_t iw = 0, ih = 0;
  if (AS_GetImageDimension(&f, &iw, &ih, nullptr) != 0) return false;
  return AS_GetResizedImage(&f, 1, 0, 0, 0, 0, w, h, 0, 0, w - 1, h - 1, 3, red, green, blue, nullptr) == 0;
}

// The photo at w x h, as the window's thread found it (plane mode and size).
struct PhotoSource {
  int16_t planeMode = 3;
  int32_t width = 0, height = 0;
};

bool PhotoPicture(const PhotoSource& photo, int32_t w, int32_t h, uint8_t* red, uint8_t* green,
                  uint8_t* blue) {
  const int32_t pw = photo.width, ph = photo.height;
  if (pw <= 0 || ph <= 0) return false;
  std::vector<uint8_t> alpha(static_cast<size_t>(w) * static_cast<size_t>(h));
  return ReadCharBuffromPho(photo.planeMode, 0, w, h, red, green, blue, alpha.data(), 0, nullptr,
                            nullptr, 0, 0, pw - 1, ph - 1, w, h,
                            static_cast<float>(pw) / static_cast<float>(w),
                            static_cast<float>(ph) / static_cast<float>(h), w, 0) == 0;
}

// The render file's three planes at w x h, read on the window's thread: the file goes through
// the session's open-file table. Empty when it cannot be read.
std::shared_ptr<const std::vector<uint8_t>> RenderPlanes(int32_t w, int32_t h) {
  const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
  auto planes = std::make_shared<std::vector<uint8_t>>(3 * n);
  MiscRender render;
  if (render.ReadWriteRendFile(1, w, h, planes->data(), planes->data() + n,
                               planes->data() + 2 * n, nullptr, w, h) != 0)
    return nullptr;
  return planes;
}

// The tile picture of `record` by its fill source (ramp bar, image file, photo or, with flag 1,
// the render file) asked of `picture` for `box` at the size of `view` times the box's backing
// scale; `shown` takes whether an image file made it. The image file and the photo are read on
// the preview worker; a tile image without a readable size falls back to the photo.
void AskTilePicture(TileViewPicture& picture, PreviewWorker& worker, VMKimabox* box,
                    tb::ControlRef view, const TessPar& record, int16_t flag,
                    TileViewPicture::Shown shown) {
  if (box == nullptr || view == nullptr) return;
  const Rect b = tb::GetControlBounds(view);
  const int32_t w = b.right - b.left, h = b.bottom - b.top;
  const int32_t fill = record.head.w[kFillSource];
  if (w <= 0 || h <= 0 || fill < 0 || fill > 2) return;
  const int32_t k = TileIndex(record);
  const std::string source =
      (flag == 1 ? "render " : "photo ") + std::to_string(w) + "x" + std::to_string(h);
  // A ramp is drawn each time (it changes without a name); a file or the photo is kept.
  const std::string key =
      fill == 1 ? "" : fill == 2 ? "file " + FicToPosix(record.tiles[k]) + " or " + source : source;
  const int32_t scale = TileViewPicture::ScaleOf(box);
  std::shared_ptr<const std::vector<uint8_t>> render;
  if (flag == 1 && fill != 1 && !picture.Keeps(key, w, h, scale)) render = RenderPlanes(w * scale, h * scale);
  PhotoSource photo;
  const DocData* doc = CurrentDocData();
  if (gPer != nullptr && doc != nullptr) photo = {static_cast<int16_t>(gPer->planeMode), doc->width, doc->height};
  auto build = [fill, flag, ramp = record.ramps[k], tile = record.tiles[k], render, photo](
                   int32_t pw, int32_t ph, int32_t k, uint8_t* red, uint8_t* green, uint8_t* blue,
                   TileViewPicture::Made* made) {
    if (fill == 1) return RampPicture(ramp, pw, ph, k, red, green, blue);
    if (fill == 2 && FilePicture(tile, pw, ph, red, green, blue)) {
      made->fromFile = true;
      return true;
    }
    // The photo standing in for a file that could not be read is not kept under the file's name.
    made->keep = fill != 2;
    if (flag != 1) return PhotoPicture(photo, pw, ph, red, green, blue);
    if (render == nullptr) return false;
    const size_t n = static_cast<size_t>(pw) * static_cast<size_t>(ph);
    std::copy(render->begin(), render->begin() + static_cast<std::ptrdiff_t>(n), red);
    std::copy(render->begin() + static_cast<std::ptrdiff_t>(n),
              render->begin() + static_cast<std::ptrdiff_t>(2 * n), green);
    std::copy(render->begin() + static_cast<std::ptrdiff_t>(2 * n), render->end(), blue);
    return true;
  };
  picture.Ask(worker, box, view, key, std::move(build), std::move(shown));
}

}  // namespace

bool ShowSymmetryPicture(tb::ControlRef well, int32_t type) {
  if (well == nullptr) return false;
  const auto path = TessTileCount(type) > 0
                        ? plat::res::GetResourcePath(FourCC("PICT"), static_cast<int16_t>(16419 + type))
                        : std::nullopt;
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> argb;
  if (!path || plat::imageio::DecodeARGB(*path, &w, &h, &argb) != 0 || w == 0 || h == 0) {
    tb::SetImageViewImage(well, plat::draw::ImageRef{});
    return false;
  }
  // The view takes premultiplied red, green, blue, alpha.
  std::vector<uint8_t> rgba(argb.size());
  for (size_t i = 0; i + 3 < argb.size(); i += 4) {
    const unsigned a = argb[i];
    for (size_t k = 0; k < 3; ++k) rgba[i + k] = static_cast<uint8_t>((argb[i + k + 1] * a + 127) / 255);
    rgba[i + 3] = static_cast<uint8_t>(a);
  }
  const auto width = static_cast<int32_t>(w);
  tb::SetImageViewImage(well, plat::draw::ImageRef{rgba.data(), width, static_cast<int32_t>(h), width * 4});
  tb::SetImageViewScaleToFit(well, true);
  return true;
}

void QuorlinLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }
OSStatus QuorlinWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}
const tb::EventHandlerProc& GetQuorlinWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKquorlinUI::VMKquorlinUI() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  flag_restor = 0;
  rows_ = {Row(FourCC("Shue"), 17, 18, -180, 180, kHue),   Row(FourCC("Ssat"), 20, 21, -100, 100, kSat),
           Row(FourCC("Sval"), 23, 24, -100, 100, kVal),   Row(FourCC("Sofx"), 26, 27, -100, 100, kOffX),
           Row(FourCC("Sofy"), 29, 30, -100, 100, kOffY), Row(FourCC("Sbld"), 39, 40, 20, 300, kBleedH)};
}

VMKquorlinUI::~VMKquorlinUI() {
  delete oriView;
  Trampolines::Release(this);
}

void VMKquorlinUI::InitRecord(void* record) { Init_TessPar(Rec(record), 1, 1, 1); }

void VMKquorlinUI::SetTessPar(const TessPar* record) {
  if (record == nullptr || current() == nullptr) return;
  Copy_TessPar(record, current());
  ClampTessPar(current());
  Copy_TessPar(current(), backupRecord());
}

void VMKquorlinUI::GetTessPar(TessPar* record) const {
  if (record != nullptr && current() != nullptr) Copy_TessPar(current(), record);
}

int16_t VMKquorlinUI::Do_QuorlinDlg(int16_t runFlag) {
  return Run(Trampolines::Procs(QuorlinLoopHandler, GetQuorlinWindowEventHandlerUPP()), runFlag);
}

TessInfo& VMKquorlinUI::Tile() const { return current()->sets[TileIndex(*current())]; }

// ---- values ----

int32_t VMKquorlinUI::RowValue(const ValueRow& row) { return current() == nullptr ? 0 : Tile().w[row.word]; }

// A slider: the value into the current tile (the bleed slider sets both
// bleeds), then the linked copy of its group.
void VMKquorlinUI::SetRowValue(const ValueRow& row, int32_t value) {
  if (current() == nullptr) return;
  Tile().w[row.word] = value;
  if (row.word == kBleedH) Tile().w[kBleedV] = value;
  LinkedCopy(GroupOf(row.word));
}

void VMKquorlinUI::LinkedCopy(int16_t group) {
  if (Head()[kLinkFlag] != 1) return;
  // Kept: the copy reaches tiles 1 to 12 whatever the tile count.
  const TessInfo& from = Tile();
  for (int32_t k = 0; k < kTessEditedTiles; ++k)
    if (&current()->sets[k] != &from) Copy_TessInfo(&from, &current()->sets[k], group);
}

// Each field clamped; a changed value is stored and linked. Kept: the
// bleed field sets the horizontal bleed alone, and the offset fields have
// no key filter, so letters read as 0.
void VMKquorlinUI::GetEditValue() {
  if (current() == nullptr) return;
  for (const ValueRow& row : rows_) {
    tb::ControlRef field = Ctl(row.edit);
    if (field == nullptr) continue;
    const int32_t v = std::clamp(FieldValue(field), row.minimum, row.maximum);
    if (v == Tile().w[row.word]) continue;
    Tile().w[row.word] = v;
    LinkedCopy(GroupOf(row.word));
  }
}

// ---- menus and boxes ----

void VMKquorlinUI::LoadTileMenus(int16_t keep) {
  if (current() == nullptr) return;
  const int16_t count = TessTileCount(Head()[kTessSymmetry]);
  if (count > 0) Head()[kTessSetsInUse] = count;
  if (keep != 1) Head()[kTessCurrentSet] = 0;
  FillTileMenu();
}

void VMKquorlinUI::FillTileMenu() {
  tb::ControlRef popup = Ctl(kTiles);
  if (popup == nullptr) return;
  tb::DeleteMenuItems(popup);
  const int32_t count = std::clamp(Head()[kTessSetsInUse], int32_t{0}, kTessEditedTiles);
  static const char* const kMasks[3] = {"msk:off ", "msk:ext ", "msk:int "};
  for (int32_t n = 1; n <= count; ++n) {
    const TessInfo& t = current()->sets[n - 1];
    std::string item = std::to_string(n) + (n < 10 ? " - " : "- ") + (t.w[kActiveWord] == 1 ? "on " : "off ");
    if (t.w[kMaskWord] >= 0 && t.w[kMaskWord] <= 2) item += kMasks[t.w[kMaskWord]];
    tb::AppendMenuItemText(popup, item);
  }
  tb::SetControl32BitMinimum(popup, 1);
  tb::SetControl32BitMaximum(popup, count);
}

void VMKquorlinUI::OpenViews(tb::WindowRef) {
  VMKimabox* preview = Box(0);
  preview->InitBuf(6);
  preview->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0);
  preview->SetPanBufCoord(0, 0, 100000, 100000);
  PrepareWindowForDisplay();
  VMKimabox* tile = Box(1);
  tile->InitBuf(6);
  tile->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0);
  tile->SetPanBufCoord(0, 0, 100000, 100000);
  ScratchRecord<YoxelPar> picture;
  if (!picture) return;
  Init_YoxelPar(picture.get(), tile->GetRectSizx(), tile->GetRectSizy(), 72, 0, 5);
  tile->SetYoxelPar(picture.get(), 0, previewSource);
}

void VMKquorlinUI::PrepareWindowForDisplay() {
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

void VMKquorlinUI::InstallOwnControls(const FrameProcs&, tb::WindowRef) {
  // Kept: the offsets' fields have no key filter and their sliders no
  // live action.
  for (int32_t field : {27, 30}) tb::SetKeyFilter(Ctl(field), {});
  for (int32_t slider : {26, 29}) tb::SetControlAction(Ctl(slider), {});
}

// ---- drawing ----

void VMKquorlinUI::DrawOwnContent(tb::WindowRef) {
  if (current() == nullptr) return;
  const int32_t* head = Head();
  FillTileMenu();
  tb::SetControl32BitValue(Ctl(kPresets), presetIndex);
  tb::SetControl32BitValue(Ctl(kType), head[kTessSymmetry]);
  ShowSymmetryPicture(Ctl(kWell), head[kTessSymmetry]);
  tb::SetControl32BitValue(Ctl(kTiles), ItemOfWord(head[kTessCurrentSet]));
  tb::SetControl32BitValue(Ctl(kMaskMode), ItemOfWord(Tile().w[kMaskWord]));
  tb::SetControl32BitValue(Ctl(kActive), Tile().w[kActiveWord]);
  tb::SetControl32BitValue(Ctl(kLink), head[kLinkFlag]);
  tb::SetControl32BitValue(Ctl(kMask), head[kMaskFlag]);
  tb::SetControl32BitValue(Ctl(kGrid), head[kGridFlag]);
  tb::SetControl32BitValue(Ctl(kEffect), effectDisplay);
  tb::SetControl32BitValue(Ctl(kFill), ItemOfWord(head[kFillSource]));
  Box(0)->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, head[kGridFlag] == 1 ? 2 : 0, 0, 0);
  const bool ramps = head[kFillSource] == 1;
  if (head[kFillSource] != 2) tb::SetControlVisibility(Ctl(kFileName), false);
  // The file name shows once its picture does.
  const std::string name =
      plat::files::DisplayName(PStrString(current()->tiles[TileIndex(*current())].name));
  AskTilePicture(tileView, previews(), Box(1), Ctl(kTileView), *current(), flag,
                 [this, name](bool fromFile) {
                   tb::SetControlVisibility(Ctl(kFileName), fromFile);
                   if (fromFile) tb::SetControlText(Ctl(kFileName), name);
                 });
  tb::SetControlVisibility(Ctl(kMask), !ramps);
}

// ---- the loop ----

void VMKquorlinUI::ShowPreview() {
  if (current() == nullptr) return;
  Box(0)->SetTessPar(current(), effectDisplay, previewSource, nullptr);
  Box(1)->SetTessPar(current(), 0, previewSource, nullptr);
}

// Steps 1 to 4 of the tick: the undo, the boxes' edits, the source-picture
// view's changes; the frame's refresh step follows.
bool VMKquorlinUI::PollTick(tb::WindowRef window) {
  if (current() == nullptr) return false;
  if (flag_restor == 1) {
    BackRest(0);
    // Kept: the undo also sets the current tile back to the first.
    LoadTileMenus(0);
    flag_restor = 0;
    // The fields show the restored record before this tick reads them, so
    // the stale texts never go back into the record.
    DrawWindowContent(window);
    refresh() = 1;
    return true;
  }
  bool changed = false;
  if (Box(0)->CheckSetRefresh(0) == 1) {
    BackRest(1);
    Box(0)->GetTessPar(current());
    ClampTessPar(current());
    refresh() = 1;
    changed = true;
  }
  if (Box(1)->CheckSetRefresh(0) == 1) {
    BackRest(1);
    Box(1)->GetTessPar(current());
    ClampTessPar(current());
    LinkedCopy(5);
    refresh() = 1;
    changed = true;
  }
  if (oriView != nullptr && oriView->CheckSetPreview(0) == 1) {
    Copy_TessPar(oriView->current(), current());
    LinkedCopy(5);
    refresh() = 1;
    changed = true;
  }
  // The fields show what came in before this tick's refresh reads them:
  // the view's bleed must not be undone by the text it replaced.
  if (changed) DrawWindowContent(window);
  return changed;
}

// ---- commands ----

void VMKquorlinUI::ResetQuads(bool second, bool base, int32_t type) {
  if (second)
    for (TessInfo& t : current()->sets) Init_TessInfo(&t, 0, 0, 1);
  if (base) Init_TessParQuad(current(), static_cast<int16_t>(type), -1);
}

bool VMKquorlinUI::HeadCommand(uint32_t command, int32_t value, tb::WindowRef window) {
  int32_t* head = Head();
  switch (command) {
    case FourCC("Bloa"):
      BackRest(1);
      // A file not chosen, unreadable or out of range: no rebuild.
      if (RecordFile(0, presetList[0], edit) == 0) LoadTileMenus(0);
      break;
    case FourCC("Plib"):
      BackRest(1);
      presetIndex = static_cast<int16_t>(value);
      ReadPreset(value - 1);
      LoadTileMenus(0);
      break;
    case FourCC("Bres"): {
      BackRest(1);
      const int32_t type = head[kTessSymmetry];
      if (TestKeyModif(cmdKey) == 1) {
        ResetQuads(true, false, type);
      } else if (TestKeyModif(optionKey) == 1) {
        ResetQuads(false, true, type);
      } else {
        Init_TessPar(current(), 1, 1, 1);
        Head()[kTessSymmetry] = type;
      }
      LoadTileMenus(0);
      break;
    }
    case FourCC("Pknd"):
      BackRest(1);
      head[kTessSymmetry] = std::clamp(value, int32_t{1}, int32_t{17});
      ResetQuads(TestKeyModif(cmdKey) == 1, TestKeyModif(optionKey) == 1, head[kTessSymmetry]);
      LoadTileMenus(0);
      break;
    case FourCC("Ptil"):
      BackRest(1);
      head[kTessCurrentSet] = std::clamp(value - 1, int32_t{0}, std::max(head[kTessSetsInUse] - 1, int32_t{0}));
      break;
    // Kept: these checkboxes and the fill choice take no backup.
    case FourCC("Cgrd"): head[kGridFlag] = value; break;
    case FourCC("Cmsk"): head[kMaskFlag] = value; break;
    case FourCC("Call"): head[kLinkFlag] = value; break;
    case FourCC("Ceff"): effectDisplay = static_cast<int16_t>(value); break;
    case FourCC("Rbvp"): head[kFillSource] = std::clamp(value - 1, int32_t{0}, int32_t{2}); break;
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

bool VMKquorlinUI::TileCommand(uint32_t command, int32_t value, tb::WindowRef window) {
  switch (command) {
    case FourCC("Pmsk"):
      BackRest(1);
      Tile().w[kMaskWord] = std::clamp(value - 1, int32_t{0}, int32_t{2});
      LinkedCopy(2);
      LoadTileMenus(1);
      break;
    case FourCC("Cact"):
      Tile().w[kActiveWord] = value;
      LinkedCopy(1);
      LoadTileMenus(1);
      break;
    case FourCC("Pof1"):
      BackRest(1);
      Init_TessInfo(&Tile(), 1, 0, 0);
      LoadTileMenus(0);
      break;
    case FourCC("Pof2"):
      BackRest(1);
      for (int32_t k = 0; k < std::clamp(Head()[kTessSetsInUse], int32_t{0}, kTessEditedTiles); ++k)
        Init_TessInfo(&current()->sets[k], 1, 0, 0);
      LoadTileMenus(0);
      break;
    case FourCC("Pof3"):
      BackRest(1);
      for (int32_t k = 1; k < kTessEditedTiles; ++k) {
        Copy_TessInfo(&current()->sets[0], &current()->sets[k], 0);
        Copy_FicStruct(&current()->tiles[0], &current()->tiles[k]);
      }
      LoadTileMenus(0);
      break;
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

// 'Bori', 'Bbrw', 'Bvig': the sub-dialog works on a scratch copy that comes
// back only on OK; a copy that cannot be had changes nothing.
bool VMKquorlinUI::SubDialogCommand(uint32_t command, tb::WindowRef window) {
  if (command != FourCC("Bori") && command != FourCC("Bbrw") && command != FourCC("Bvig")) return false;
  ScratchRecord<TessPar> copy;
  if (!copy) return true;
  BackRest(1);
  Copy_TessPar(current(), copy.get());
  int16_t answer = 0;
  if (command == FourCC("Bori")) {
    oriView = new (std::nothrow) VMKoriima();
    if (oriView == nullptr) return true;
    answer = oriView->Do_OriImaDlg(copy.get(), flag);
    delete oriView;
    oriView = nullptr;
    // The view's edits reached the record live; a cancel takes them back.
    if (answer != 1) BackRest(0);
  } else if (command == FourCC("Bbrw")) {
    std::unique_ptr<VMKsetima> list(new (std::nothrow) VMKsetima());
    if (list != nullptr) answer = list->Do_SetImaDlg(copy.get(), nullptr);
  } else {
    std::unique_ptr<VMKsetvig> list(new (std::nothrow) VMKsetvig());
    if (list != nullptr) answer = list->Do_SetVigDlg(copy.get(), nullptr);
  }
  if (answer == 1) {
    Copy_TessPar(copy.get(), current());
    if (command == FourCC("Bori")) LinkedCopy(5);
    if (command == FourCC("Bbrw")) Head()[kFillSource] = 2;
    if (command == FourCC("Bvig")) Head()[kFillSource] = 1;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

bool VMKquorlinUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (current() == nullptr) return false;
  const int32_t value = source != nullptr ? tb::GetControl32BitValue(source) : 0;
  return HeadCommand(command, value, window) || TileCommand(command, value, window) ||
         SubDialogCommand(command, window);
}

// ---- the source-picture view ----

namespace {

constexpr OSType kOriSig = FourCC("Oima");
constexpr std::array<int32_t, 4> kOriLookup = {3, 4, 6, 7};
constexpr std::array<tb::EventTypeSpec, 5> kOriEvents = {{{tb::kEventClassMouse, tb::kEventMouseMoved},
                                                          {tb::kEventClassWindow, tb::kEventWindowResizeCompleted},
                                                          {tb::kEventClassWindow, tb::kEventWindowZoomed},
                                                          {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                                          {tb::kEventClassCommand, tb::kEventCommandProcess}}};
constexpr std::array<FrameBox, 1> kOriBoxes = {{{"HIima", true}}};

// The view's record is the owner's copy; the frame takes no blocks for it.
const EffectFrameDesc kOriDesc = [] {
  EffectFrameDesc d;
  d.window = "OriIma";
  d.signature = kOriSig;
  d.lookup = kOriLookup;
  d.viewKey = "oima";
  d.boxes = kOriBoxes;
  d.events = kOriEvents;
  d.loopInterval = 0.5;
  d.focusEdit = 7;
  d.resizable = true;
  d.drawParams = true;
  d.undoTick = false;
  return d;
}();

}  // namespace

void OriImaLoopHandler(tb::EventLoopTimerRef timer, void* window) { OriTrampolines::LoopHandler(timer, window); }
OSStatus OriImaWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return OriTrampolines::WindowEventHandler(call, event, window);
}
const tb::EventHandlerProc& GetOriImaWindowEventHandlerUPP() { return OriTrampolines::WindowEventHandlerUPP(); }

VMKoriima::VMKoriima() : EffectFrame(kOriDesc, &flag_restor_ori) {
  OriTrampolines::Claim(this);
  edit = vmkrec::NewScratch(sizeof(TessPar));
  if (edit != nullptr) new (edit) TessPar{};
  imageWidth = context.width;
  imageHeight = context.height;
  rows_ = {ValueRow{FourCC("Sbld"), 6, 7, 20, 300, kBleedH}};
}

VMKoriima::~VMKoriima() {
  vmkrec::DeleteScratch(edit);
  edit = nullptr;
  OriTrampolines::Release(this);
}

int16_t VMKoriima::Do_OriImaDlg(TessPar* record, int16_t runFlag) {
  if (record == nullptr || current() == nullptr) return 0;
  Copy_TessPar(record, current());
  ClampTessPar(current());
  const int16_t answer = Run(OriTrampolines::Procs(OriImaLoopHandler, GetOriImaWindowEventHandlerUPP()), runFlag);
  if (answer == 1) Copy_TessPar(current(), record);
  return answer;
}

int16_t VMKoriima::CheckSetPreview(int16_t v) {
  if (flagPreview != 1) return 0;
  const int16_t was = pending;
  pending = v;
  return was;
}

void VMKoriima::GetEditValue() {
  if (current() == nullptr) return;
  TessInfo& t = current()->sets[TileIndex(*current())];
  const int32_t v = std::clamp(FieldValue(Ctl(7)), int32_t{20}, int32_t{300});
  if (Ctl(7) != nullptr && v != t.w[kBleedH]) t.w[kBleedH] = v;
}

void VMKoriima::OpenViews(tb::WindowRef) {
  VMKimabox* box = Box(0);
  box->InitBuf(6);
  box->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0);
  box->SetPanBufCoord(0, 0, 100000, 100000);
  PrepareWindowForDisplay();
}

void VMKoriima::PrepareWindowForDisplay() {
  VMKimabox* box = Box(0);
  if (box == nullptr) return;
  box->InitBufSize();
  boxLeft = box->GetRectOrix();
  boxTop = box->GetRectOriy();
  boxWidth = box->GetRectSizx();
  boxHeight = box->GetRectSizy();
  ScratchRecord<YoxelPar> picture;
  if (picture) {
    Init_YoxelPar(picture.get(), boxWidth, boxHeight, 72, 0, 5);
    box->SetYoxelPar(picture.get(), 0, previewSource);
  }
  if (drawParams == nullptr) return;
  drawParams->viewOffsetX = static_cast<float>(boxLeft);
  drawParams->viewOffsetY = static_cast<float>(boxTop);
  drawParams->originX = 0.0f;
  drawParams->originY = 0.0f;
  drawParams->scaleX = 1.0f;
  drawParams->scaleY = 1.0f;
  drawParams->limit = {static_cast<int16_t>(boxTop), static_cast<int16_t>(boxLeft),
                       static_cast<int16_t>(boxTop + boxHeight), static_cast<int16_t>(boxLeft + boxWidth)};
  box->SetDrw(drawParams);
}

void VMKoriima::ShowPreview() {
  if (current() == nullptr) return;
  Box(0)->SetTessPar(current(), 0, previewSource, nullptr);
  pending = 1;
}

void VMKoriima::DrawOwnContent(tb::WindowRef) {
  if (current() == nullptr) return;
  tb::SetControl32BitValue(Ctl(4), current()->head.w[kMaskFlag]);
  AskTilePicture(tileView, previews(), Box(0), Ctl(3), *current(), flag, nullptr);
  tb::SetControlVisibility(Ctl(4), current()->head.w[kFillSource] != 1);
}

int32_t VMKoriima::RowValue(const ValueRow& row) {
  return current() == nullptr ? 0 : current()->sets[TileIndex(*current())].w[row.word];
}

bool VMKoriima::PollTick(tb::WindowRef) {
  if (current() == nullptr || Box(0)->CheckSetRefresh(0) != 1) return false;
  Box(0)->GetTessPar(current());
  ClampTessPar(current());
  refresh() = 1;
  return true;
}

bool VMKoriima::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (current() == nullptr) return false;
  TessInfo& t = current()->sets[TileIndex(*current())];
  switch (command) {
    case FourCC("Sbld"):
      t.w[kBleedH] = t.w[kBleedV] = tb::GetControl32BitValue(source);
      break;
    case FourCC("Bres"):
      Init_TessParQuad(current(), static_cast<int16_t>(current()->head.w[kTessSymmetry]),
                       static_cast<int16_t>(TileIndex(*current())));
      break;
    case FourCC("Cmsk"): current()->head.w[kMaskFlag] = tb::GetControl32BitValue(source); break;
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}
