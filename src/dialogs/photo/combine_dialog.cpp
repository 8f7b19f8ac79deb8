#include "dialogs/photo/combine_dialog.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "app/core/pascal_strings.h"
#include "app/core/session_state.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "dialogs/frame/effect_registry.h"
#include "dialogs/frame/fine_bitmap.h"
#include "dialogs/patterns/ramp_editor_session.h"
#include "dialogs/photo/image_picker.h"
#include "engines/correction/resize_record.h"
#include "host/session/app_object.h"
#include "host/session/small_dialogs.h"
#include "host/session/view_registry.h"
#include "platform/files/file_types.h"
#include "script/lut_vign.h"
#include "script/ramp_bitmaps.h"
#include "views/colour_box.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKcimaUI* gVMKcima = nullptr;

namespace {

int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKcima>;

constexpr OSType kCima = FourCC("Cima");

// Controls by number.
constexpr int32_t kSlotViews[3] = {9, 11, 13};
constexpr int32_t kCaptions[3] = {10, 12, 51};
constexpr int32_t kShowChecks[3] = {48, 49, 50};
constexpr int32_t kRampArea = 31, kColourArea = 45, kScroll = 23, kTab = 1;
constexpr int32_t kPresets = 47, kCategories = 33, kNames = 34, kPresetLabel = 15;
constexpr int32_t kLibraryOnly[4] = {29, 28, 17, 16};
constexpr int32_t kActive = 39, kLayers = 35, kOpacity = 36, kBlur = 38, kBlend = 37, kEdge = 40;
constexpr int32_t kEmboss = 41, kEmbossAngle = 43, kTextureAcross = 42, kTextureDown = 44;

// The 34 controls in the order of the dialog's table.
constexpr std::array<int32_t, 34> kLookup = {9,  11, 13, 10, 12, 51, 48, 49, 50, 8,  31, 45,
                                             23, 29, 28, 1,  46, 52, 47, 33, 34, 15, 17, 16,
                                             39, 35, 36, 38, 37, 40, 41, 43, 42, 44};

constexpr std::array<FrameBox, 5> kBoxes = {
    {{"HIima", true}, {"HIvig", false}, {"HIss0", false}, {"HIss1", false}, {"HIss2", false}}};

constexpr std::array<tb::EventTypeSpec, 11> kEvents = {
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
     {tb::kEventClassWindow, tb::kEventWindowDrawContent}}};

void InitCombination(void* record, const RecordContext&) {
  Init_CombImaPar(static_cast<CombImaPar*>(record), 1);
}
void CopyCombination(const void* source, void* destination) {
  Copy_CombImaPar(static_cast<const CombImaPar*>(source), static_cast<CombImaPar*>(destination));
}
int16_t CombinationFile(int16_t mode, FSSpec spec, void* record, int16_t) {
  return Do_ACombIma_file(mode, spec, static_cast<CombImaPar*>(record));
}

// The ramp the ramp editor works on: the current image's.
LutVign* CurrentRamp(void* record) {
  auto* r = static_cast<CombImaPar*>(record);
  return &r->infos[std::clamp(r->head.current, int32_t{0}, kCombImaSlots - 1)].ramp;
}

constexpr FrameRecordOps kRecord{static_cast<int32_t>(sizeof(CombImaPar)), InitCombination,
                                 CopyCombination, CombinationFile, CurrentRamp};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "CombIma";
  d.signature = kCima;
  d.lookup = kLookup;
  d.viewKey = "cima";
  d.boxes = kBoxes;
  d.effect = 92;
  d.presetType = FourCC("hCim");
  d.record = &kRecord;
  d.presetPopup = kPresets;
  d.presetRoom = 30000;
  d.events = kEvents;
  d.loopInterval = 0.2;
  d.resizable = true;
  return d;
}();

// This file's member of the scroll-action family.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKcima != nullptr) gVMKcima->ScrollAction(control, part);
}

// The layer popup's text of image i.
std::string LayerItem(int32_t i, bool active, const fichier& file) {
  return std::to_string(i) + (i > 9 ? "  - " : " - ") + (active ? "x  -" : "    -") +
         plat::files::DisplayName(PStrString(file.name));
}

int32_t PopupValue(tb::ControlRef popup) { return tb::GetControl32BitValue(popup); }

}  // namespace

void CImaLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus CImaWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetCImaWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKcimaUI::VMKcimaUI() : EffectFrame(kDesc, &flag_restor), keeper(std::make_unique<VMKlistima>(kSlots)) {
  flag_restor = 0;
  Trampolines::Claim(this);
  for (SprayPar& image : images) Init_FicStruct(&image.file);
  for (TSSeff& slot : previewSlots) Init_FicStruct(&slot.file);
  if (CMemMan* mm = SessionMemMan()) drawPar = reinterpret_cast<DrawPar*>(mm->NewBuf(sizeof(DrawPar)));
  if (drawPar != nullptr) {
    new (drawPar) DrawPar();
    Init_DrawPar(drawPar);
  }
  preview_ = Box(0);
  rampBox_ = Box(1);
  for (int16_t k = 0; k < kSlots; ++k) slotBoxes_[k] = Box(static_cast<size_t>(2 + k));
  if (gVMKapp != nullptr) {
    const int index = FindCustomView("com.vellmarkstead.cima.HIcol");
    if (index >= 0) colourBox_ = gVMKapp->ColourView(index);
  }
}

VMKcimaUI::~VMKcimaUI() {
  if (drawPar != nullptr && SessionMemMan() != nullptr) SessionMemMan()->DelBuf(drawPar);
  Trampolines::Release(this);
}

// The frame's defaults: every image reference cleared too.
void VMKcimaUI::InitRecord(void* rec) { Init_CombImaPar(static_cast<CombImaPar*>(rec), 1); }

void VMKcimaUI::SetCombImaPar(const CombImaPar* in) {
  if (in == nullptr || record() == nullptr) return;
  Copy_CombImaPar(in, record());
  Copy_CombImaPar(in, backupRecord());
}

void VMKcimaUI::GetCombImaPar(CombImaPar* out) const {
  if (out != nullptr && record() != nullptr) Copy_CombImaPar(record(), out);
}

int16_t VMKcimaUI::Do_CImaDlg(int16_t runFlag) {
  keeper->pageSize = kSlots;
  namesOpen_ = false;
  return Run(Trampolines::Procs(CImaLoopHandler, GetCImaWindowEventHandlerUPP(),
                                Trampolines::LittleArrowActionProc, ScrollBar32BitActionProc),
             runFlag);
}

void VMKcimaUI::GetSelecFich(fichier* out, int16_t slot) const {
  if (out == nullptr || mode != 0 || slot < 0 || slot >= kSlots) return;
  Copy_FicStruct(&images[slot].file, out);
}

void VMKcimaUI::SetSelecFich(const fichier* file) {
  if (file == nullptr || mode != 0) return;
  Copy_FicStruct(file, &images[selectedLibrary].file);
}

// ---- small helpers ----

CombImaInfo& VMKcimaUI::Current() const {
  const int32_t c = std::clamp(record()->head.current, int32_t{0}, kCombImaSlots - 1);
  return record()->infos[c];
}

fichier& VMKcimaUI::CurrentFile() const {
  return record()->images[std::clamp(record()->head.current, int32_t{0}, kCombImaSlots - 1)];
}

int32_t VMKcimaUI::PresetCount() const { return tb::CountMenuItems(Ctl(kPresets)); }

bool VMKcimaUI::PresetThere(int32_t index) const { return index >= 0 && index < PresetCount(); }

bool VMKcimaUI::LibrarySlotFilled() const {
  return selectedLibrary >= 0 && selectedLibrary < kSlots && previewSlots[selectedLibrary].filled == 1;
}

bool VMKcimaUI::PickImage(fichier* file) {
  VMKloadima picker;
  picker.SetSelecFich(file);
  if (picker.Do_LoadImaDlg(0) != 1) return false;
  picker.GetSelecFich(file);
  return true;
}

// ---- menus ----

void VMKcimaUI::LoadLayerMenus() {
  tb::ControlRef layers = Ctl(kLayers);
  if (layers == nullptr || record() == nullptr) return;
  tb::DeleteMenuItems(layers);
  const int32_t count = std::clamp(record()->head.count, int32_t{0}, kCombImaMaxEntries);
  for (int32_t i = 0; i < count; ++i)
    tb::AppendMenuItemText(layers, LayerItem(i, record()->infos[i].active != 0, record()->images[i]));
  tb::SetControl32BitMinimum(layers, 1);
  tb::SetControl32BitMaximum(layers, count);
}

void VMKcimaUI::LoadCombImaMenus() { LoadPresetMenus(); }

void VMKcimaUI::AdjustScrollEdg(int16_t value) {
  if (mode == 1) {
    firstPreset = value;
    selectedPreset = 0;
    return;
  }
  int32_t first = value;
  selectedLibrary = 0;
  const int32_t c = tb::CountMenuItems(Ctl(kNames));
  const int32_t p = keeper->pageSize;
  if (c > p && first >= c - p) {
    selectedLibrary = static_cast<int16_t>(first - (c - p));
    first = c - p;
  }
  if (first < 1) first = 0;
  keeper->firstVisible = static_cast<int16_t>(first);
}

void VMKcimaUI::ScrollAction(tb::ControlRef control, int16_t part) {
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= lineStep; break;
    case tb::kControlDownButtonPart: v += lineStep; break;
    case tb::kControlPageUpPart: v -= 10 * lineStep; break;
    case tb::kControlPageDownPart: v += 10 * lineStep; break;
    default: break;
  }
  tb::SetControl32BitValue(control, v);
  AdjustScrollEdg(static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

// ---- opening ----

void VMKcimaUI::SlotBoxesPicture(bool library) {
  Yoxel picture;
  if (picture.par == nullptr) return;
  if (library)
    Init_YoxelPar(picture.par, kImaThumbSide, kImaThumbSide, 72, 0, 5);
  else
    Init_YoxelPar(picture.par, context.width, context.height, context.resolution, 0, 5);
  for (VMKimabox* box : slotBoxes_) box->SetYoxelPar(picture.par, 0, previewMode);
}

void VMKcimaUI::OpenViews(tb::WindowRef) {
  previewMode = previewSource;
  for (VMKimabox* box : slotBoxes_) {
    box->InitBuf(17);
    box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
    box->SetPanBufCoord(0, 0, 100000, 100000);
  }
  SlotBoxesPicture(false);
  preview_->InitBuf(17);
  preview_->SetBufParam(0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0);
  preview_->SetPanBufCoord(0, 0, 100000, 100000);
  preview_->SetCombImaPar(record(), 0, previewMode);
  rampBox_->InitBuf(21);
  if (colourBox_ != nullptr) colourBox_->SetBufParam(0, 0, 0, 1);
  PrepareWindowForDisplay();
}

void VMKcimaUI::LoadOwnMenus() {
  tb::ControlRef cat = Ctl(kCategories), nam = Ctl(kNames);
  keeper->PrepareCatNamMenus(cat, nam);
  tb::SetControl32BitMinimum(cat, 1);
  tb::SetControl32BitMaximum(cat, tb::CountMenuItems(cat));
  tb::SetControl32BitMinimum(nam, 1);
  tb::SetControl32BitMaximum(nam, tb::CountMenuItems(nam));
  keeper->PrepareBufImaListFile(0);
  // The frame has filled the preset popup; the dialog opens on it.
  mode = 1;
  presetStep = lineStep = 1;
  selectedPreset = selectedLibrary = 0;
  firstPreset = 0;
  tb::SetControl32BitMaximum(Ctl(kScroll), PresetCount());
  keeper->firstVisible = 0;
  keeper->UpdatePreviews(cat, -1, previewSlots, images, slotBoxes_);
  LoadLayerMenus();
}

void VMKcimaUI::InstallOwnControls(const FrameProcs& procs, tb::WindowRef) {
  tb::SetControlAction(Ctl(kScroll), procs.slider);
}

void VMKcimaUI::BeforeShow(tb::WindowRef) {}

void VMKcimaUI::PrepareWindowForDisplay() {
  Yoxel picture;
  if (picture.par != nullptr) {
    Init_YoxelPar(picture.par, context.width, context.height, context.resolution, 0, 5);
    preview_->SetYoxelPar(picture.par, 0, previewMode);
  }
  if (drawPar == nullptr) return;
  const int32_t w = std::max<int32_t>(preview_->GetRectSizx(), 1);
  const int32_t h = std::max<int32_t>(preview_->GetRectSizy(), 1);
  drawPar->viewOffsetX = static_cast<float>(preview_->GetRectOrix());
  drawPar->viewOffsetY = static_cast<float>(preview_->GetRectOriy());
  drawPar->originX = 0.0f;
  drawPar->originY = 0.0f;
  drawPar->scaleX = static_cast<float>(std::max<int32_t>(context.width, 1)) / static_cast<float>(w);
  drawPar->scaleY = static_cast<float>(std::max<int32_t>(context.height, 1)) / static_cast<float>(h);
  preview_->SetDrw(drawPar);
}

// ---- the preview ----

// The refresh step: the layer popup, the preview, and the preset slots whose
// preset changed since they were drawn. A slot past the last preset shows
// nothing and reads nothing.
void VMKcimaUI::ShowPreview() {
  LoadLayerMenus();
  preview_->SetCombImaPar(record(), 1, previewMode);
  if (mode != 1) return;
  ScratchRecord<CombImaPar> scratch;
  for (int16_t k = 0; k < kSlots; ++k) {
    const int32_t index = firstPreset + k;
    if (tb::GetControl32BitValue(Ctl(kShowChecks[k])) != 1 || shownPreset[k] == index) continue;
    if (!PresetThere(index) || !scratch) continue;
    Init_CombImaPar(scratch.get(), 1);
    if (Do_ACombIma_file(2, presetList[index], scratch.get()) != 0) continue;
    slotBoxes_[k]->SetCombImaPar(scratch.get(), 1, previewMode);
    shownPreset[k] = static_cast<int16_t>(index);
  }
}

// ---- the loop's own steps ----

bool VMKcimaUI::PollTick(tb::WindowRef) {
  bool changed = false;
  CombImaInfo& info = Current();
  if (colourBox_ != nullptr && colourBox_->CheckSetRefresh(0) == 1) {
    int16_t r = 0, g = 0, b = 0;
    colourBox_->GetCol(&r, &g, &b);
    info.edgeColour[0] = r;
    info.edgeColour[1] = g;
    info.edgeColour[2] = b;
    preview_->SetCombImaPar(record(), 1, previewMode);
    changed = true;
  }
  if (preview_->CheckSetRefresh(0) == 1) {
    int32_t q[8];
    preview_->GetBufSSQua(&q[0], &q[1], &q[2], &q[3], &q[4], &q[5], &q[6], &q[7]);
    bool moved = false;
    for (int k = 0; k < 4; ++k) {
      const int32_t x = q[2 * k] / 1000, y = q[2 * k + 1] / 1000;
      if (info.cornerX[k] != x || info.cornerY[k] != y) moved = true;
      info.cornerX[k] = x;
      info.cornerY[k] = y;
    }
    if (moved) {
      preview_->SetCombImaPar(record(), 1, previewMode);
      changed = true;
    }
  }
  if (TakePick()) changed = true;
  return changed;
}

bool VMKcimaUI::TakePick() {
  bool changed = false;
  for (int16_t k = 0; k < kSlots; ++k) {
    if (slotBoxes_[k]->CheckSetRefresh(0) != 1 || slotBoxes_[k]->GetSel() != 1) continue;
    (mode == 1 ? selectedPreset : selectedLibrary) = k;
    changed = true;
  }
  return changed;
}

// ---- drawing ----

void VMKcimaUI::DrawPresetSlots() {
  for (int16_t k = 0; k < kSlots; ++k) {
    tb::ShowControl(Ctl(kShowChecks[k]));
    slotBoxes_[k]->SetSelMode(1, k == selectedPreset ? 1 : 0);
    const int32_t index = firstPreset + k;
    const bool shown = tb::GetControl32BitValue(Ctl(kShowChecks[k])) == 1 && PresetThere(index);
    tb::SetControlVisibility(Ctl(kSlotViews[k]), shown);
    tb::SetControlVisibility(Ctl(kCaptions[k]), shown);
    if (shown) tb::SetControlText(Ctl(kCaptions[k]), tb::GetMenuItemText(Ctl(kPresets), index + 1));
  }
}

void VMKcimaUI::DrawLibrarySlots() {
  keeper->UpdatePreviews(Ctl(kCategories), keeper->firstVisible, previewSlots, images, slotBoxes_);
  for (int16_t k = 0; k < kSlots; ++k) {
    tb::HideControl(Ctl(kShowChecks[k]));
    const bool filled = previewSlots[k].filled == 1;
    tb::SetControlVisibility(Ctl(kSlotViews[k]), filled);
    tb::ShowControl(Ctl(kCaptions[k]));
    tb::SetControlText(
        Ctl(kCaptions[k]),
        filled ? plat::files::DisplayName(PStrString(previewSlots[k].file.name)) : "");
    slotBoxes_[k]->SetSelMode(1, k == selectedLibrary ? 1 : 0);
  }
}

void VMKcimaUI::DrawRamp() {
  const Rect area = tb::GetControlBounds(Ctl(kRampArea));
  const int32_t w = area.right - area.left, h = area.bottom - area.top;
  if (w <= 0 || h <= 0) return;
  const LutVign* ramp = &Current().ramp;
  ShowFineBitmap(rampBox_, w, h, [ramp](int32_t scale, const Rect& r, uint8_t* bar) {
    build_BufBarAt(scale, &r, bar, ramp, 0, 0, 0);
    return true;
  });
}

// The current image's values into controls 24 to 33: popups show the value
// plus one. An opacity that is no multiple of 10 has no item: the popup
// keeps what it showed.
void VMKcimaUI::DrawImageControls() {
  const CombImaInfo& info = Current();
  tb::SetControl32BitValue(Ctl(kActive), info.active != 0 ? 1 : 0);
  tb::SetControl32BitValue(Ctl(kLayers), ItemOfWord(record()->head.current));
  if (info.opacity >= 0 && info.opacity <= 100 && info.opacity % 10 == 0)
    tb::SetControl32BitValue(Ctl(kOpacity), info.opacity / 10 + 1);
  tb::SetControl32BitValue(Ctl(kBlur), ItemOfWord(info.blur));
  tb::SetControl32BitValue(Ctl(kBlend), ItemOfWord(info.blendMode));
  tb::SetControl32BitValue(Ctl(kEdge), ItemOfWord(info.edge));
  tb::SetControl32BitValue(Ctl(kEmboss), ItemOfWord(info.emboss));
  tb::SetControl32BitValue(Ctl(kEmbossAngle), ItemOfWord(info.embossDirection));
  tb::SetControlVisibility(Ctl(kEmbossAngle), info.emboss != 0);
  const bool textured = info.textureOn != 0;
  tb::SetControl32BitValue(Ctl(kTextureAcross), textured ? ItemOfWord(info.textureAcross, 3) : 1);
  tb::SetControl32BitValue(Ctl(kTextureDown), ItemOfWord(info.textureDown));
  tb::SetControlVisibility(Ctl(kTextureDown), textured);
  tb::SetControlVisibility(Ctl(kColourArea), info.edge != 0);
}

void VMKcimaUI::DrawOwnContent(tb::WindowRef) {
  if (record() == nullptr) return;
  tb::SetControl32BitValue(Ctl(kCategories), keeper->selectedCategory);
  tb::SetControl32BitValue(Ctl(kNames), keeper->firstVisible + 1);
  tb::SetControl32BitValue(Ctl(kPresets), firstPreset + 1);
  tb::SetControl32BitValue(Ctl(kTab), 2 - mode);
  const bool library = mode == 0;
  for (int32_t id : kLibraryOnly) tb::SetControlVisibility(Ctl(id), library);
  tb::SetControlVisibility(Ctl(kCategories), library);
  tb::SetControlVisibility(Ctl(kNames), library);
  tb::SetControlVisibility(Ctl(kPresetLabel), !library);
  if (library) {
    DrawLibrarySlots();
    lineStep = libraryStep;
  } else {
    lineStep = presetStep;
    DrawPresetSlots();
  }
  tb::SetControl32BitValue(Ctl(kScroll), library ? keeper->firstVisible : firstPreset);
  const CombImaInfo& info = Current();
  // The corners are stored in thousandths of the box's units: a stored
  // corner beyond what 32 bits hold once scaled is held at that range.
  const auto unit = [](int32_t corner) { return ClampToInt32(int64_t{corner} * 1000); };
  preview_->SetBufSSQua(unit(info.cornerX[0]), unit(info.cornerY[0]), unit(info.cornerX[1]), unit(info.cornerY[1]),
                        unit(info.cornerX[2]), unit(info.cornerY[2]), unit(info.cornerX[3]), unit(info.cornerY[3]),
                        0, 0);
  DrawRamp();
  if (colourBox_ != nullptr)
    colourBox_->SetCol(static_cast<int16_t>(info.edgeColour[0] & 0xFF),
                       static_cast<int16_t>(info.edgeColour[1] & 0xFF),
                       static_cast<int16_t>(info.edgeColour[2] & 0xFF));
  DrawImageControls();
}

void VMKcimaUI::DrawWindowContent(tb::WindowRef window) {
  EffectFrame::DrawWindowContent(window);
  // The preset popup belongs to the preset thumbnails.
  if (mode == 0) tb::HideControl(Ctl(kPresets));
}

// ---- commands ----

// Library and preset thumbnails: the tab, the scroll bar, the popups.
bool VMKcimaUI::LibraryCommand(uint32_t command, tb::WindowRef window) {
  tb::ControlRef cat = Ctl(kCategories), nam = Ctl(kNames);
  switch (command) {
    case FourCC("Tbch"):
      mode = static_cast<int16_t>(2 - tb::GetControl32BitValue(Ctl(kTab)));
      SlotBoxesPicture(mode == 0);
      if (mode == 0) {
        keeper->UpdatePreviews(cat, -1, previewSlots, images, slotBoxes_);
        lineStep = libraryStep;
        tb::SetControl32BitMaximum(Ctl(kScroll), tb::CountMenuItems(nam));
      } else {
        std::fill(std::begin(shownPreset), std::end(shownPreset), int16_t{-1});
        lineStep = presetStep;
        tb::SetControl32BitMaximum(Ctl(kScroll), PresetCount());
      }
      break;
    case FourCC("Sedg"):
      AdjustScrollEdg(static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kScroll))));
      break;
    case FourCC("Plib"):
      mode = 1;
      firstPreset = static_cast<int16_t>(PopupValue(Ctl(kPresets)) - 1);
      break;
    case FourCC("Pcat"):
    case FourCC("Pnam"):
    case FourCC("Bupd"):
      mode = 0;
      selectedLibrary = 0;
      if (command == FourCC("Pcat")) {
        keeper->selectedCategory = static_cast<int16_t>(PopupValue(cat));
        keeper->LoadNamMenus(cat, nam);
        keeper->firstVisible = 0;
        libraryStep = 1;
      } else if (command == FourCC("Bupd")) {
        keeper->selectedCategory = 1;
        if (keeper->PrepareImaListFile(0) == 0) {
          keeper->PrepareListCat(cat);
          keeper->LoadNamMenus(cat, nam);
          keeper->PrepareBufImaListFile(1);
        }
        // As in the picker: an update opens on the second image.
        keeper->firstVisible = 1;
        libraryStep = 1;
      } else {
        AdjustScrollEdg(static_cast<int16_t>(PopupValue(nam) - 1));
      }
      if (command != FourCC("Pnam")) {
        tb::SetControl32BitMinimum(nam, 1);
        tb::SetControl32BitMaximum(nam, tb::CountMenuItems(nam));
        tb::SetControl32BitMaximum(Ctl(kScroll), tb::CountMenuItems(nam));
      }
      keeper->UpdatePreviews(cat, -1, previewSlots, images, slotBoxes_);
      break;
    case FourCC("Chk1"):
    case FourCC("Chk2"):
    case FourCC("Chk3"):
    case FourCC("Chk4"): {
      // There are three slots; a fourth box would be reloaded the same way.
      const int k = command == FourCC("Chk1") ? 0 : command == FourCC("Chk2") ? 1 : command == FourCC("Chk3") ? 2 : 3;
      shownPreset[k] = -1;
      refresh() = 1;
      break;
    }
    default: return false;
  }
  DrawWindowContent(window);
  refresh() = 1;
  return true;
}

// The list of images: adding, moving, deleting, resets, files.
bool VMKcimaUI::ListCommand(uint32_t command, tb::WindowRef window) {
  CombImaPar* rec = record();
  const int16_t current = static_cast<int16_t>(rec->head.current);
  const int32_t preset = firstPreset + selectedPreset;
  switch (command) {
    case FourCC("Badd"):
    case FourCC("Pop1"):
    case FourCC("Pop2"):
      if (mode == 0) {
        // Only a slot that shows a thumbnail holds a file to add.
        if (!LibrarySlotFilled()) return true;
        BackRest(1);
        const int16_t at = command == FourCC("Badd") ? static_cast<int16_t>(rec->head.count)
                           : command == FourCC("Pop1") || rec->head.count == 0 ? current
                                                                                : static_cast<int16_t>(current + 1);
        AddCombIma(rec, at, &images[selectedLibrary].file);
      } else {
        // Adding at a place is for library images only.
        if (command != FourCC("Badd") || !PresetThere(preset)) return true;
        BackRest(1);
        (void)Do_ACombIma_file(2, presetList[preset], rec);
        rec->head.current = 0;
      }
      break;
    case FourCC("Pop3"): {
      int32_t from = current, to = current;
      VMKlibr lib;
      if (lib.Do_MovLayDlg(0, &from, &to) != 1) return true;
      BackRest(1);
      MovCombIma(rec, static_cast<int16_t>(from), static_cast<int16_t>(to));
      break;
    }
    case FourCC("Pop4"):
      if (mode == 0) {
        if (!LibrarySlotFilled()) return true;
        BackRest(1);
        Copy_FicStruct(&images[selectedLibrary].file, &CurrentFile());
      } else {
        if (!PresetThere(preset)) return true;
        BackRest(1);
        (void)Do_ACombIma_file(2, presetList[preset], rec);
      }
      break;
    case FourCC("Pop5"):
      BackRest(1);
      DelCombIma(rec, current);
      break;
    case FourCC("Pop6"):
      BackRest(1);
      Init_CombImaInfo(&Current(), 1, 0, 0);
      break;
    case FourCC("Pop7"):
      BackRest(1);
      Init_CombImaInfo(&Current(), 0, 0, 5);
      break;
    case FourCC("Pop8"):
      BackRest(1);
      Init_CombImaInfo(&Current(), 0, 1, 0);
      break;
    case FourCC("Pop9"):
    case FourCC("Bsav"): {
      BackRest(1);
      FSSpec none{};
      (void)SavePreset([&] { return Do_ACombIma_file(1, none, rec); });
      LoadCombImaMenus();
      break;
    }
    case FourCC("Po10"):
    case FourCC("Bloa"): {
      BackRest(1);
      FSSpec none{};
      (void)Do_ACombIma_file(0, none, rec);
      keeper->UpdatePreviews(Ctl(kCategories), -1, previewSlots, images, slotBoxes_);
      break;
    }
    case FourCC("Po11"):
      BackRest(1);
      Init_CombImaPar(rec, 1);
      break;
    case FourCC("Bres"):
      BackRest(1);
      Init_CombImaPar(rec, 0);
      preview_->SetCombImaPar(rec, -1, previewMode);
      break;
    case FourCC("Bedg"): {
      fichier picked;
      Init_FicStruct(&picked);
      picked.creator = FourCC("vMkC");
      if (!PickImage(&picked)) return true;
      BackRest(1);
      AddCombIma(rec, static_cast<int16_t>(rec->head.count), &picked);
      break;
    }
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

// Asks for a texture file with the picker, preset to the current one; on a
// choice the image takes it.
bool VMKcimaUI::ChooseTexture() {
  fichier texture;
  Copy_FicStruct(&record()->textures[std::clamp(record()->head.current, int32_t{0}, kCombImaSlots - 1)],
                 &texture);
  if (!PickImage(&texture)) return false;
  BackRest(1);
  Copy_FicStruct(&texture, &record()->textures[std::clamp(record()->head.current, int32_t{0}, kCombImaSlots - 1)]);
  return true;
}

bool VMKcimaUI::TextureCommand(uint32_t command, tb::ControlRef source) {
  const int32_t value = PopupValue(source);
  CombImaInfo& info = Current();
  if (command == FourCC("Ptxh") && value == 1) {
    BackRest(1);
    info.textureOn = 0;
  } else if (command == FourCC("Ptxh") && value == 2) {
    if (!ChooseTexture()) return true;
    if (info.textureOn == 0) info.textureAcross = info.textureDown = 10;
    info.textureOn = 1;
  } else {
    const int32_t k = command == FourCC("Ptxh") ? value - 3 : value - 1;
    if (info.textureOn != 0) {
      BackRest(1);
      (command == FourCC("Ptxh") ? info.textureAcross : info.textureDown) = k;
    } else {
      // An image without a texture first gets one.
      if (!ChooseTexture()) return true;
      info.textureOn = 1;
      info.textureAcross = info.textureDown = k;
    }
  }
  return true;
}

// The current image's own values.
bool VMKcimaUI::ImageCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  CombImaInfo& info = Current();
  const int32_t value = PopupValue(source);
  switch (command) {
    case FourCC("Popa"):
      BackRest(1);
      if (value >= 1 && value <= 11) info.opacity = (value - 1) * 10;
      break;
    case FourCC("Pmod"): BackRest(1); info.blendMode = value - 1; break;
    case FourCC("Pblu"): BackRest(1); info.blur = value - 1; break;
    case FourCC("Pbvh"): BackRest(1); info.emboss = value - 1; break;
    case FourCC("Pbva"): BackRest(1); info.embossDirection = value - 1; break;
    case FourCC("Pedg"): BackRest(1); info.edge = value - 1; break;
    case FourCC("Cact"): BackRest(1); info.active = value; break;
    case FourCC("Play"):
      // Choosing the image to edit changes no setting: no backup.
      record()->head.current = std::clamp(value - 1, int32_t{0}, std::max(record()->head.count - 1, int32_t{0}));
      break;
    case FourCC("Ptxh"):
    case FourCC("Ptxv"): TextureCommand(command, source); break;
    case FourCC("Bvig"):
    case FourCC("Badj"): RunRampEditor(); break;
    case FourCC("Binv"):
      BackRest(1);
      Invert_LutVign(1, &info.ramp, 0, 255);
      break;
    case FourCC("Cqua"):
      // A display setting, not the record's: no backup. The preview is made
      // again so that the choice shows.
      preview_->SetBufParam(0, 0, 0, 0, 0, static_cast<int16_t>(value), 1, 0, 0, 0, 0, 0, 0);
      break;
    default: return false;
  }
  DrawWindowContent(window);
  StalePreviews();
  refresh() = 1;
  return true;
}

bool VMKcimaUI::OwnCommand(uint32_t command, tb::ControlRef source, tb::WindowRef window) {
  if (record() == nullptr) return false;
  return LibraryCommand(command, window) || ListCommand(command, window) ||
         ImageCommand(command, source, window);
}

// ---- events ----

// Resting on a library name shows that image alone; closing the menu brings
// the stack back (the stack of before the first name shown, which a
// desktop's popup highlights before its menu opens).
OSStatus VMKcimaUI::NamePopupEvent(tb::EventRef event, tb::WindowRef window) {
  switch (PreviewMenuStep(event->kind, &namesOpen_, [this](int16_t n) { BackRest(n); })) {
    case PreviewStep::kShowItem: {
      fichier file;
      Init_FicStruct(&file);
      keeper->GetFichInList(Ctl(kCategories), static_cast<int16_t>(event->menuItem - 1), &file);
      if (file.name[0] == 0) break;
      Init_CombImaPar(record(), 1);
      AddCombIma(record(), 0, &file);
      DrawWindowContent(window);
      StalePreviews();
      refresh() = 1;
      Loop(loopTimer, window);
      break;
    }
    case PreviewStep::kPutBack:
      DrawWindowContent(window);
      StalePreviews();
      refresh() = 1;
      break;
    default: break;
  }
  return tb::eventNotHandledErr;
}

bool VMKcimaUI::OwnEvent(tb::EventRef event, tb::WindowRef window, OSStatus* status) {
  if (record() == nullptr) return false;
  if (event->eventClass == tb::kEventClassMenu && event->control == Ctl(kNames)) {
    *status = NamePopupEvent(event, window);
    return true;
  }
  if (event->eventClass == tb::kEventClassKeyboard && event->kind == tb::kEventRawKeyDown &&
      (event->charCode == 8 || event->charCode == 127)) {
    BackRest(0);
    StalePreviews();
    refresh() = 1;
    *status = noErr;
    return true;
  }
  if (event->eventClass == tb::kEventClassControl && event->kind == tb::kEventControlTrack)
    DrawWindowContent(window);
  return false;
}

// ---- the ramp editor ----

// The current image's ramp in the ramp editor, previewed live while it is
// open (the frame polls it); cancelled, the ramp is put back as it was.
void VMKcimaUI::RunRampEditor() { RampEditorSession::RunFor(*this); }
