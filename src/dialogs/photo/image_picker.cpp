#include "dialogs/photo/image_picker.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/core/pascal_strings.h"
#include "app/image_import.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKloadima* gVMKloadima = nullptr;

namespace {

int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKloadima>;

constexpr OSType kLeff = FourCC("Leff");
constexpr OSType kLima = FourCC("Lima");

// 'Leff': the fifteen thumbnail views.
constexpr std::array<int32_t, 15> kViews = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
// 'Lima': the fifteen captions, the scroll bar, the category and name
// popups, and the frame the mouse is watched over.
constexpr int32_t kScroll = 22, kCategories = 23, kNames = 24, kWatched = 4;
constexpr std::array<int32_t, 19> kOthers = {26, 27, 28, 29, 30, 31, 32, 33, 34, 35,
                                             36, 37, 38, 39, 40, kScroll, kCategories, kNames, kWatched};

constexpr std::array<FrameBox, 15> kBoxes = {{{"HIima0", false},  {"HIima1", false},  {"HIima2", false},
                                              {"HIima3", false},  {"HIima4", false},  {"HIima5", false},
                                              {"HIima6", false},  {"HIima7", false},  {"HIima8", false},
                                              {"HIima9", false},  {"HIima10", false}, {"HIima11", false},
                                              {"HIima12", false}, {"HIima13", false}, {"HIima14", false}}};

constexpr std::array<tb::EventTypeSpec, 5> kEvents = {{{tb::kEventClassCommand, tb::kEventCommandProcess},
                                                        {tb::kEventClassMouse, tb::kEventMouseMoved},
                                                        {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                                        {tb::kEventClassControl, tb::kEventControlTrack},
                                                        {tb::kEventClassWindow, tb::kEventWindowDrawContent}}};

const EffectFrameDesc kDesc = [] {
  EffectFrameDesc d;
  d.window = "LoadIma";
  d.signature = kLeff;
  d.lookup = kViews;
  d.otherSignature = kLima;
  d.otherLookup = kOthers;
  d.viewKey = "lima";
  d.boxes = kBoxes;
  d.events = kEvents;
  d.loopInterval = 0.5;
  return d;
}();

// This file's member of the scroll-action family: the line step per arrow,
// ten per page, then the page clamp.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKloadima != nullptr) gVMKloadima->ScrollAction(control, part);
}

void LoadImaThumbs(VMKimabox* box) {
  box->InitBuf(21);
  box->SetBufParam(1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
}

}  // namespace

void LoadImaLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus LoadImaWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetLoadImaWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKloadima::VMKloadima() : EffectFrame(kDesc, &flag_restor), keeper(std::make_unique<VMKlistima>(kSlots)) {
  flag_restor = 0;
  Trampolines::Claim(this);
  for (SprayPar& image : images) Init_FicStruct(&image.file);
  for (TSSeff& slot : previewSlots) Init_FicStruct(&slot.file);
  for (int16_t k = 0; k < kSlots; ++k) boxes_[k] = Box(static_cast<size_t>(k));
}

VMKloadima::~VMKloadima() { Trampolines::Release(this); }

void VMKloadima::SetSelecFich(const fichier* file) {
  if (file == nullptr || selectedSlot < 1 || selectedSlot > kSlots) return;
  Copy_FicStruct(file, &images[selectedSlot - 1].file);
}

int16_t VMKloadima::Do_LoadImaDlg(int16_t runFlag) {
  keeper->pageSize = kSlots;
  chosenFromDisk = false;
  return Run(Trampolines::Procs(LoadImaLoopHandler, GetLoadImaWindowEventHandlerUPP(),
                                Trampolines::LittleArrowActionProc, ScrollBar32BitActionProc),
             runFlag);
}

void VMKloadima::GetSelecFich(fichier* out) const {
  if (out == nullptr || selectedSlot < 1 || selectedSlot > kSlots) return;
  const fichier& f = images[selectedSlot - 1].file;
  Str255 full;
  pStrCopy(f.path, full);
  Pstrcat(full, f.name);
  (void)FSMakeFSSpec(0, 0, full, out);
  pStrCopy(f.name, out->name);
  pStrCopy(f.path, out->path);
}

tb::ControlRef VMKloadima::Scroll() const { return Ctl(kLima, kScroll); }
tb::ControlRef VMKloadima::Categories() const { return Ctl(kLima, kCategories); }
tb::ControlRef VMKloadima::Names() const { return Ctl(kLima, kNames); }

void VMKloadima::AdjustScrollIma(int16_t value) {
  int32_t first = value;
  selectedSlot = 1;
  const int32_t c = tb::CountMenuItems(Names());
  const int32_t p = keeper->pageSize;
  if (c > p && first >= c - p) {
    selectedSlot = static_cast<int16_t>(first - (c - p) + 1);
    first = c - p;
  }
  if (first < 1) first = 0;
  keeper->firstVisible = static_cast<int16_t>(first);
}

void VMKloadima::ScrollAction(tb::ControlRef control, int16_t part) {
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= lineStep; break;
    case tb::kControlDownButtonPart: v += lineStep; break;
    case tb::kControlPageUpPart: v -= 10 * lineStep; break;
    case tb::kControlPageDownPart: v += 10 * lineStep; break;
    default: break;
  }
  tb::SetControl32BitValue(control, v);
  AdjustScrollIma(static_cast<int16_t>(tb::GetControl32BitValue(control)));
}

void VMKloadima::NameRanges() {
  const int32_t items = tb::CountMenuItems(Names());
  tb::SetControl32BitMinimum(Names(), 1);
  tb::SetControl32BitMaximum(Names(), items);
  tb::SetControl32BitMaximum(Scroll(), items);
}

void VMKloadima::Page(int16_t first) { keeper->UpdatePreviews(Categories(), first, previewSlots, images, boxes_); }

bool VMKloadima::SlotFilled(int16_t slot) const {
  return slot >= 1 && slot <= kSlots && previewSlots[slot - 1].filled == 1;
}

// ---- opening ----

void VMKloadima::OpenViews(tb::WindowRef) {
  for (VMKimabox* box : boxes_)
    if (box != nullptr) LoadImaThumbs(box);
}

void VMKloadima::LoadOwnMenus() {
  keeper->PrepareCatNamMenus(Categories(), Names());
  lineStep = 1;
  tb::SetControl32BitMinimum(Categories(), 1);
  tb::SetControl32BitMaximum(Categories(), tb::CountMenuItems(Categories()));
  NameRanges();
  keeper->PrepareBufImaListFile(0);
  selectedSlot = 1;
  keeper->firstVisible = 0;
  Page(-1);
}

void VMKloadima::InstallOwnControls(const FrameProcs& procs, tb::WindowRef) {
  tb::SetControlAction(Scroll(), procs.slider);
}

// ---- drawing ----

// The page is drawn before the views are shown or hidden, so that a page
// just scrolled to shows exactly its own thumbnails.
void VMKloadima::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(Categories(), keeper->selectedCategory);
  tb::SetControl32BitValue(Names(), keeper->firstVisible + 1);
  Page(keeper->firstVisible);
  for (int16_t k = 0; k < kSlots; ++k) {
    tb::SetControlVisibility(Ctl(kLeff, kViews[k]), previewSlots[k].filled == 1);
    if (boxes_[k] != nullptr) boxes_[k]->SetSelMode(1, selectedSlot == k + 1 ? 1 : 0);
    tb::SetControlText(Ctl(kLima, kOthers[k]),
                       k < keeper->shownOnPage
                           ? plat::files::DisplayName(PStrString(previewSlots[k].file.name))
                           : "");
  }
  tb::SetControl32BitValue(Scroll(), keeper->firstVisible);
}

// ---- the loop ----

bool VMKloadima::PollTick(tb::WindowRef) { return TakePick(); }

bool VMKloadima::TakePick() {
  bool changed = false;
  for (int16_t k = 0; k < kSlots && k < keeper->pageSize; ++k) {
    if (boxes_[k] == nullptr || boxes_[k]->CheckSetRefresh(0) != 1) continue;
    if (boxes_[k]->GetSel() == 1) {
      selectedSlot = static_cast<int16_t>(k + 1);
      changed = true;
    }
  }
  return changed;
}

// ---- commands and events ----

bool VMKloadima::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  switch (command) {
    case FourCC("ok  "):
      // A slot without a thumbnail holds no file the user saw: nothing is
      // handed back, as after cancel.
      result = SlotFilled(selectedSlot) || (chosenFromDisk && selectedSlot == 1) ? 1 : 0;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    case FourCC("Scli"):
      AdjustScrollIma(static_cast<int16_t>(tb::GetControl32BitValue(Scroll())));
      refresh() = 1;
      return true;
    case FourCC("Pnam"):
      AdjustScrollIma(static_cast<int16_t>(tb::GetControl32BitValue(Names()) - 1));
      Page(-1);
      DrawWindowContent(window);
      return true;
    case FourCC("Pcat"):
      keeper->selectedCategory = static_cast<int16_t>(tb::GetControl32BitValue(Categories()));
      keeper->LoadNamMenus(Categories(), Names());
      lineStep = 1;
      NameRanges();
      selectedSlot = 1;
      keeper->firstVisible = 0;
      Page(-1);
      DrawWindowContent(window);
      return true;
    case FourCC("Bupd"):
      keeper->selectedCategory = 1;
      if (keeper->PrepareImaListFile(0) == 0) {
        keeper->PrepareListCat(Categories());
        keeper->LoadNamMenus(Categories(), Names());
        keeper->PrepareBufImaListFile(1);
      }
      if (tb::CountMenuItems(Names()) > 0) lineStep = 1;
      NameRanges();
      selectedSlot = 1;
      // The page starts at the second image: the library has always opened
      // an update there.
      keeper->firstVisible = 1;
      Page(-1);
      DrawWindowContent(window);
      return true;
    case FourCC("Bloa"): {
      fichier chosen;
      Init_FicStruct(&chosen);
      chosen.creator = FourCC("vMkC");
      // Cancelled, the picker stays open.
      if (LoadIma(2, &chosen) != 1) return true;
      selectedSlot = 1;
      Copy_FicStruct(&chosen, &images[0].file);
      chosenFromDisk = true;
      result = 1;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    }
    default: return false;
  }
}

bool VMKloadima::OwnEvent(tb::EventRef event, tb::WindowRef window, OSStatus* status) {
  if (event->eventClass != tb::kEventClassMouse || event->kind != tb::kEventMouseMoved) return false;
  const Rect frame = tb::GetControlBounds(Ctl(kLima, kWatched));
  const Point p = event->mouse;
  if (p.h >= frame.left && p.h < frame.right && p.v >= frame.top && p.v < frame.bottom)
    DrawWindowContent(window);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  *status = tb::eventNotHandledErr;
  return true;
}
