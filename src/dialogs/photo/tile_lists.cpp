#include "dialogs/photo/tile_lists.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/image_import.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/fine_bitmap.h"
#include "dialogs/patterns/ramp_editor.h"
#include "dialogs/photo/image_picker.h"
#include "engines/correction/resize_record.h"
#include "engines/records/param_record.h"
#include "platform/files/file_types.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKsetima* gVMKsetima = nullptr;
VMKsetvig* gVMKsetvig = nullptr;

namespace {

// The lists take no undo; the frame still wants a flag to point at.
int16_t flag_restor = 0;

constexpr std::array<int32_t, 38> kImageLookup = {4,  6,  8,  10, 12, 14, 19, 21, 23, 25, 27, 29, 3,
                                                  5,  7,  9,  11, 13, 18, 20, 22, 24, 26, 28, 30, 31,
                                                  32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 15, 16};
constexpr std::array<int32_t, 26> kRampLookup = {4, 6, 8, 10, 12, 14, 19, 21, 23, 25, 27, 29, 3,
                                                 5, 7, 9, 11, 13, 18, 20, 22, 24, 26, 28, 15, 16};

constexpr std::array<FrameBox, kTileListTiles> kImageBoxes = {
    {{"HIima0", false}, {"HIima1", false}, {"HIima2", false}, {"HIima3", false}, {"HIima4", false},
     {"HIima5", false}, {"HIima6", false}, {"HIima7", false}, {"HIima8", false}, {"HIima9", false},
     {"HIima10", false}, {"HIima11", false}}};
constexpr std::array<FrameBox, kTileListTiles> kRampBoxes = {
    {{"HIvig0", false}, {"HIvig1", false}, {"HIvig2", false}, {"HIvig3", false}, {"HIvig4", false},
     {"HIvig5", false}, {"HIvig6", false}, {"HIvig7", false}, {"HIvig8", false}, {"HIvig9", false},
     {"HIvig10", false}, {"HIvig11", false}}};

// Commands and mouse moves only: the lists have no timer, no text to read.
constexpr std::array<tb::EventTypeSpec, 2> kEvents = {
    {{tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved}}};

EffectFrameDesc ListDesc(const char* window, OSType signature, std::span<const int32_t> lookup,
                         const char* viewKey, std::span<const FrameBox> boxes) {
  EffectFrameDesc d;
  d.window = window;
  d.signature = signature;
  d.lookup = lookup;
  d.viewKey = viewKey;
  d.boxes = boxes;
  d.events = kEvents;
  d.loopInterval = 0.0;
  d.undoTick = false;
  d.refreshAtOpen = false;
  return d;
}

const EffectFrameDesc kImageDesc = ListDesc("ImageList", FourCC("Lima"), kImageLookup, "liim", kImageBoxes);
const EffectFrameDesc kRampDesc = ListDesc("VignList", FourCC("Livi"), kRampLookup, "livi", kRampBoxes);

using ImaTrampolines = EffectFrameTrampolines<gVMKsetima>;
using VigTrampolines = EffectFrameTrampolines<gVMKsetvig>;

// The tiles' choose commands (image list) and edit commands (ramp list).
constexpr std::array<OSType, kTileListTiles> kChooseCommands = {
    FourCC("Bim0"), FourCC("Bim1"), FourCC("Bim2"), FourCC("Bim3"), FourCC("Bim4"), FourCC("Bim5"),
    FourCC("Bim6"), FourCC("Bim7"), FourCC("Bim8"), FourCC("Bim9"), FourCC("Bi10"), FourCC("Bi11")};
constexpr std::array<OSType, kTileListTiles> kEditCommands = {
    FourCC("Lvi0"), FourCC("Lvi1"), FourCC("Lvi2"), FourCC("Lvi3"), FourCC("Lvi4"), FourCC("Lvi5"),
    FourCC("Lvi6"), FourCC("Lvi7"), FourCC("Lvi8"), FourCC("Lvi9"), FourCC("Lv10"), FourCC("Lv11")};

// The tile a command names, or -1.
int16_t TileOfCommand(uint32_t command, const std::array<OSType, kTileListTiles>& commands) {
  const auto it = std::find(commands.begin(), commands.end(), command);
  return it == commands.end() ? int16_t{-1} : static_cast<int16_t>(it - commands.begin());
}

}  // namespace

OSStatus SetImaWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return ImaTrampolines::WindowEventHandler(call, event, window);
}
OSStatus SetVigWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return VigTrampolines::WindowEventHandler(call, event, window);
}
const tb::EventHandlerProc& GetSetImaWindowEventHandlerUPP() { return ImaTrampolines::WindowEventHandlerUPP(); }
const tb::EventHandlerProc& GetSetVigWindowEventHandlerUPP() { return VigTrampolines::WindowEventHandlerUPP(); }

// ---- what both lists share ----

void TileListFrame::LoadTilNbMenu(int16_t count) {
  tb::ControlRef source = Ctl(kSourcePopup), target = Ctl(kTargetPopup);
  tb::DeleteMenuItems(source);
  tb::DeleteMenuItems(target);
  tb::AppendMenuItemText(target, "All");
  for (int16_t n = 1; n <= count; ++n) {
    tb::AppendMenuItemText(source, std::to_string(n));
    tb::AppendMenuItemText(target, std::to_string(n));
  }
  tb::SetControl32BitMinimum(source, 1);
  tb::SetControl32BitMaximum(source, count);
  tb::SetControl32BitMinimum(target, 1);
  tb::SetControl32BitMaximum(target, count + 1);
}

int16_t TileListFrame::OwnerCount(const TessPar* tess) {
  return static_cast<int16_t>(std::clamp(tess->head.w[kTessSetsInUse], int32_t{1}, int32_t{kTileListTiles}));
}

// The boxes show only what the lists draw into them. They are given no
// picture record: a record would send a preview of the photo to the worker,
// and on a screen that preview lands after the tiles are drawn and covers
// them (a list has no timer that would draw them again).
void TileListFrame::OpenViews(tb::WindowRef) {
  for (int16_t k = 0; k < kTileListTiles; ++k) {
    VMKimabox* box = Box(static_cast<size_t>(k));
    box->InitBuf(21);
    box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
  }
}

void TileListFrame::ShowTile(int16_t k, int32_t more) {
  const bool shown = k < tileCount;
  tb::SetControlVisibility(Ctl(kBoxIds[k]), shown);
  tb::SetControlVisibility(Ctl(kCompanionIds[k]), shown);
  if (more >= 0) tb::SetControlVisibility(Ctl(more), shown);
}

bool TileListFrame::BoxSize(int16_t k, int32_t* w, int32_t* h) const {
  tb::ControlRef view = Ctl(kBoxIds[k]);
  if (view == nullptr) return false;
  const Rect r = tb::GetControlBounds(view);
  *w = r.right - r.left;
  *h = r.bottom - r.top;
  return *w > 0 && *h > 0;
}

bool TileListFrame::CopyChoice(int16_t* from, int16_t* to) const {
  const int32_t source = tb::GetControl32BitValue(Ctl(kSourcePopup));
  const int32_t target = tb::GetControl32BitValue(Ctl(kTargetPopup));
  if (source < 1 || source > kTileListTiles || target < 1 || target > kTileListTiles + 1) return false;
  *from = static_cast<int16_t>(source - 1);
  *to = static_cast<int16_t>(target == 1 ? -1 : target - 2);
  return true;
}

// ---- the image list ----

VMKsetima::VMKsetima() : TileListFrame(kImageDesc, &flag_restor) {
  ImaTrampolines::Claim(this);
  for (fichier& f : tiles) Init_FicStruct(&f);
}

VMKsetima::~VMKsetima() { ImaTrampolines::Release(this); }

int16_t VMKsetima::Do_SetImaDlg(TessPar* tess, BordLay* layer) {
  if (tess == nullptr && layer == nullptr) return 0;
  tileCount = tess != nullptr ? OwnerCount(tess) : kTileListTiles;
  const fichier* files = tess != nullptr ? tess->tiles : layer->files;
  for (int16_t k = 0; k < tileCount; ++k) Copy_FicStruct(&files[k], &tiles[k]);
  const FrameProcs procs{nullptr, GetSetImaWindowEventHandlerUPP(), nullptr, nullptr, nullptr, nullptr};
  if (Run(procs, 0) != 1) return 0;
  fichier* out = tess != nullptr ? tess->tiles : layer->files;
  for (int16_t k = 0; k < tileCount; ++k) Copy_FicStruct(&tiles[k], &out[k]);
  return 1;
}

void VMKsetima::ShowThumbnail(int16_t k) {
  VMKimabox* box = Box(static_cast<size_t>(k));
  int32_t w = 0, h = 0;
  if (box == nullptr || !BoxSize(k, &w, &h)) return;
  fichier* tile = &tiles[k];
  // Read at the box's device pixels; a file without a readable size shows
  // an empty (white) box rather than the picture of the tile it was copied
  // over.
  ShowFineBitmap(box, w, h, [tile](int32_t, const Rect& r, uint8_t* pixels) {
    const int32_t pw = r.right, ph = r.bottom;
    const size_t bytes = static_cast<size_t>(pw) * static_cast<size_t>(ph) * 4;
    std::fill(pixels, pixels + bytes, uint8_t{255});
    int32_t iw = 0, ih = 0;
    if (AS_GetImageDimension(tile, &iw, &ih, nullptr) == 0 &&
        AS_GetResizedImage(tile, 1, 0, 0, 0, 0, pw, ph, 0, 0, pw - 1, ph - 1, 1, pixels, nullptr, nullptr,
                           nullptr) != 0)
      std::fill(pixels, pixels + bytes, uint8_t{255});
    return true;
  });
}

void VMKsetima::DrawOwnContent(tb::WindowRef) {
  for (int16_t k = 0; k < kTileListTiles; ++k) {
    ShowTile(k, kChooseBase + k);
    if (k >= tileCount) continue;
    tb::SetControlText(Ctl(kCompanionIds[k]), plat::files::DisplayName(PStrString(tiles[k].name)));
    ShowThumbnail(k);
  }
}

bool VMKsetima::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (command == FourCC("Bcpy")) {
    int16_t from = 0, to = 0;
    if (!CopyChoice(&from, &to)) return true;
    // "All" reaches the twelve working entries, also those past the tile
    // count; only the first count go back to a tessellation.
    for (int16_t k = 0; k < kTileListTiles; ++k)
      if ((to < 0 || k == to) && k != from) Copy_FicStruct(&tiles[from], &tiles[k]);
    DrawWindowContent(window);
    return true;
  }
  const int16_t k = TileOfCommand(command, kChooseCommands);
  if (k < 0) return false;
  std::unique_ptr<VMKloadima> picker(new (std::nothrow) VMKloadima());
  if (picker == nullptr) return true;
  picker->SetSelecFich(&tiles[k]);
  if (picker->Do_LoadImaDlg(0) == 1) picker->GetSelecFich(&tiles[k]);
  picker.reset();
  DrawWindowContent(window);
  return true;
}

// ---- the ramp list ----

VMKsetvig::VMKsetvig() : TileListFrame(kRampDesc, &flag_restor) { VigTrampolines::Claim(this); }

VMKsetvig::~VMKsetvig() { VigTrampolines::Release(this); }

int16_t VMKsetvig::Do_SetVigDlg(TessPar* tess, BordLay* layer) {
  if (tess == nullptr && layer == nullptr) return 0;
  tileCount = tess != nullptr ? OwnerCount(tess) : kTileListTiles;
  const LutVign* in = tess != nullptr ? tess->ramps : layer->ramps;
  for (int16_t k = 0; k < tileCount; ++k) Copy_LutVign(&in[k], &ramps[k]);
  const FrameProcs procs{nullptr, GetSetVigWindowEventHandlerUPP(), nullptr, nullptr, nullptr, nullptr};
  if (Run(procs, 0) != 1) return 0;
  LutVign* out = tess != nullptr ? tess->ramps : layer->ramps;
  for (int16_t k = 0; k < tileCount; ++k) Copy_LutVign(&ramps[k], &out[k]);
  return 1;
}

void VMKsetvig::DrawOwnContent(tb::WindowRef) {
  for (int16_t k = 0; k < kTileListTiles; ++k) {
    ShowTile(k, -1);
    if (k < tileCount) ShowRampBar(Box(static_cast<size_t>(k)), Ctl(kBoxIds[k]), &ramps[k], 0, 0, 0);
  }
}

// The ramp editor runs on its own: the list shows the ramp only when the
// editor is done, so it takes no live previews from it.
void VMKsetvig::EditRamp(int16_t k, tb::WindowRef window) {
  std::unique_ptr<VMKadjvignUI> editor(new (std::nothrow) VMKadjvignUI());
  if (editor == nullptr) return;
  rampEditorUI = editor.get();
  editor->SetLutVign(&ramps[k]);
  if (editor->Do_AdjVignUIDlg() == 1) editor->GetLutVign(&ramps[k]);
  DrawWindowContent(window);
  rampEditorUI = nullptr;
}

bool VMKsetvig::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  if (command == FourCC("Bcpy")) {
    int16_t from = 0, to = 0;
    if (!CopyChoice(&from, &to)) return true;
    for (int16_t k = 0; k < kTileListTiles; ++k)
      if ((to < 0 || k == to) && k != from) Copy_LutVign(&ramps[from], &ramps[k]);
    DrawWindowContent(window);
    return true;
  }
  const int16_t k = TileOfCommand(command, kEditCommands);
  if (k < 0) return false;
  EditRamp(k, window);
  return true;
}
