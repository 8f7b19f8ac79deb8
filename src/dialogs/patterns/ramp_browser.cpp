#include "dialogs/patterns/ramp_browser.h"

#include <algorithm>
#include <new>

#include "app/core/pascal_strings.h"
#include "app/keyboard.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/records/param_record.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKloadvign* gVMKloadvign = nullptr;

namespace {

// Raised by Cmd-Z like everywhere; the browser has nothing to undo, so
// nothing reads it.
int16_t flag_restor = 0;

using Trampolines = EffectFrameTrampolines<gVMKloadvign>;

// The scroll bar moves by the browser's step per entry and only moves the
// page; the page is rendered when the scroll bar's command arrives.
void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKloadvign == nullptr) return;
  const int32_t step = gVMKloadvign->scrollStep;
  int32_t v = tb::GetControl32BitValue(control);
  switch (part) {
    case tb::kControlUpButtonPart: v -= step; break;
    case tb::kControlDownButtonPart: v += step; break;
    case tb::kControlPageUpPart: v -= 10 * step; break;
    case tb::kControlPageDownPart: v += 10 * step; break;
    default: break;
  }
  tb::SetControl32BitValue(control, v);
  gVMKloadvign->AdjustScrollVign(static_cast<int16_t>(tb::GetControl32BitValue(control)));
}
void LittleArrowActionProc(tb::ControlRef control, int16_t part) {
  Trampolines::LittleArrowActionProc(control, part);
}
bool NumEditKeyFilter(tb::ControlRef c, int16_t* key, int16_t* charCode, uint32_t* modifiers) {
  return Trampolines::NumEditKeyFilter(c, key, charCode, modifiers);
}

constexpr OSType kSig = FourCC("Lvig");
constexpr int32_t kCaptions[VMKloadvign::kSlots] = {10, 12, 14, 16, 18, 20};
constexpr int32_t kLookup[] = {10, 12, 14, 16, 18, 20, 8, 21, 22};
constexpr int32_t kScrollBar = 8, kCategoryPopup = 21, kNamePopup = 22;
constexpr int32_t kScrollRange = 1000;

constexpr FrameBox kBoxes[VMKloadvign::kSlots] = {{"HIvig0", false}, {"HIvig1", false}, {"HIvig2", false},
                                                  {"HIvig3", false}, {"HIvig4", false}, {"HIvig5", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText}, {tb::kEventClassKeyboard, tb::kEventRawKeyDown},
    {tb::kEventClassMenu, tb::kEventMenuOpening}, {tb::kEventClassMenu, tb::kEventMenuTargetItem},
    {tb::kEventClassMenu, tb::kEventMenuClosed}, {tb::kEventClassControl, tb::kEventControlTrack},
    {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

// The chosen ramp before anything is chosen: full opacity, black to white.
void InitRamp(void* r, const RecordContext&) { Init_LutVign(0, static_cast<LutVign*>(r), 0, 0, 0, 0); }
void CopyRamp(const void* s, void* d) { Copy_LutVign(static_cast<const LutVign*>(s), static_cast<LutVign*>(d)); }

constexpr FrameRecordOps kRampOps{static_cast<int32_t>(sizeof(LutVign)), InitRamp, CopyRamp, nullptr, nullptr};

EffectFrameDesc Desc() {
  EffectFrameDesc d;
  d.window = "LoadVign";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "lvign";
  d.boxes = kBoxes;
  d.record = &kRampOps;
  d.hoverPopup = kNamePopup;
  d.events = kEvents;
  d.loopInterval = 0.5;
  d.undoTick = false;
  return d;
}

int16_t OptionShort() { return TestKeyModif(optionKey) == 1 ? 1 : 0; }

}  // namespace

void LoadVignLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus LoadVignWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetLoadVignWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

// ---- construction ----

VMKloadvign::VMKloadvign()
    : EffectFrame(Desc(), &flag_restor), keeper(std::make_unique<VMKlisteff>(1, kSlots)) {
  flag_restor = 0;
  Trampolines::Claim(this);
  slotTable = static_cast<TSSeff**>(vmkrec::NewScratch(sizeof(TSSeff*) * kSlots));
  constexpr size_t kBytes = std::max<size_t>(kSlotBytes, sizeof(TSSeff));
  for (int k = 0; slotTable != nullptr && k < kSlots; ++k)
    if (void* block = vmkrec::NewScratch(kBytes)) slotTable[k] = new (block) TSSeff();
  categoryMenu_ = plat::ui::NewMenu(16032, "categories");
  nameMenu_ = plat::ui::NewMenu(16031, "names");
}

VMKloadvign::~VMKloadvign() {
  for (int k = 0; slotTable != nullptr && k < kSlots; ++k) {
    if (slotTable[k] == nullptr) continue;
    slotTable[k]->~TSSeff();
    vmkrec::DeleteScratch(slotTable[k]);
  }
  vmkrec::DeleteScratch(slotTable);
  plat::ui::DisposeMenu(categoryMenu_);
  plat::ui::DisposeMenu(nameMenu_);
  Trampolines::Release(this);
}

void VMKloadvign::GetLutVign(LutVign* out) const {
  if (out != nullptr && edit != nullptr) Copy_LutVign(chosen(), out);
}

void VMKloadvign::SetLutVign(const LutVign* ramp) {
  if (ramp != nullptr && edit != nullptr) Copy_LutVign(ramp, chosen());
}

bool VMKloadvign::ReadyToRun() const {
  if (slotTable == nullptr) return false;
  for (int k = 0; k < kSlots; ++k)
    if (slotTable[k] == nullptr) return false;
  return EffectFrame::ReadyToRun();
}

int16_t VMKloadvign::Do_LoadVignDlg() {
  return Run({LoadVignLoopHandler, GetLoadVignWindowEventHandlerUPP(), ScrollBar32BitActionProc, nullptr,
              LittleArrowActionProc, NumEditKeyFilter});
}

int16_t VMKloadvign::NameCount() const { return static_cast<int16_t>(plat::ui::CountMenuItems(nameMenu_)); }

// ---- the page ----

// Rounded when the browser opens or the list is rebuilt, truncated when the
// category changes (kept as it was); a category without names keeps the
// step it had.
void VMKloadvign::SetScrollStep(bool rounded) {
  const int16_t n = NameCount();
  if (n <= 0) return;
  const auto step = static_cast<int16_t>(rounded ? 1000.0 / n + 0.5 : 1000 / n);
  scrollStep = std::max<int16_t>(step, 1);
}

void VMKloadvign::ViewsInto(VMKimabox** views) const {
  for (int k = 0; k < kSlots; ++k) views[k] = Box(static_cast<size_t>(k));
}

void VMKloadvign::Render(bool anew) {
  // The keeper skips a page it has just drawn; after a new category or list
  // the same first entry is another ramp, so its memory is dropped.
  if (anew) keeper->lastFirst = -1;
  VMKimabox* views[kSlots];
  ViewsInto(views);
  keeper->UpdatePreviews(layout, categoryMenu_, keeper->firstVisible, 0, slotTable, views, nullptr);
}

void VMKloadvign::AdjustScrollVign(int16_t position) {
  const int16_t n = NameCount();
  PlaceFirst(std::min<int32_t>(static_cast<int32_t>(position * n / 1000.0 + 0.5), n - 1));
}

// The last page stays full: a first entry on it moves the page to its start
// and the selection to that entry.
void VMKloadvign::PlaceFirst(int32_t first) {
  const int16_t n = NameCount();
  const int16_t page = slotCount;
  selectedSlot = 1;
  if (n > page && first >= n - page) {
    selectedSlot = static_cast<int16_t>(first - (n - page) + 1);
    first = n - page;
  }
  if (first < 1) first = 0;
  keeper->firstVisible = static_cast<int16_t>(first);
}

void VMKloadvign::OpenViews(tb::WindowRef) {
  for (int k = 0; k < kSlots; ++k) {
    Box(static_cast<size_t>(k))->InitBuf(21);
    Box(static_cast<size_t>(k))->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  }
}

void VMKloadvign::LoadOwnMenus() {
  keeper->fillLimit = slotCount;
  keeper->PrepareCatNamMenus(categoryMenu_, nameMenu_, keeper->family);
  FillPopup(Ctl(kCategoryPopup), categoryMenu_);
  FillPopup(Ctl(kNamePopup), nameMenu_);
  SetScrollStep(true);
  selectedSlot = 1;
  keeper->firstVisible = 0;
  Render(true);
}

void VMKloadvign::InstallOwnControls(const FrameProcs& procs, tb::WindowRef) {
  tb::SetControlAction(Ctl(kScrollBar), procs.slider);
}

// ---- the loop ----

void VMKloadvign::ShowPreview() { Render(false); }

bool VMKloadvign::PollTick(tb::WindowRef) { return TakePick(); }

bool VMKloadvign::TakePick() {
  bool changed = false;
  for (int k = 0; k < slotCount; ++k) {
    VMKimabox* box = Box(static_cast<size_t>(k));
    if (box->CheckSetRefresh(0) == 1 && box->GetSel() == 1) {
      selectedSlot = static_cast<int16_t>(k + 1);
      changed = true;
    }
  }
  return changed;
}

void VMKloadvign::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(Ctl(kCategoryPopup), keeper->selectedCategory);
  tb::SetControl32BitValue(Ctl(kNamePopup), keeper->firstVisible + 1);
  for (int k = 0; k < slotCount; ++k) {
    VMKimabox* box = Box(static_cast<size_t>(k));
    box->SetSelMode(1, k + 1 == selectedSlot ? 1 : 0);
    box->SetBufParam(0, 0, 0, 0, 0, 0, slotTable[k]->filled, 0, 0, 0, 0, 0, 0);
    const bool shown = k < keeper->filled;
    tb::SetControlText(
        Ctl(kCaptions[k]),
        shown ? plat::files::DisplayName(PStrString(slotTable[k]->file.name)) : std::string());
  }
  const int16_t n = NameCount();
  tb::SetControl32BitValue(Ctl(kScrollBar), n > 0 ? keeper->firstVisible * kScrollRange / n : 0);
}

// ---- events and commands ----

void VMKloadvign::HoverItem(int32_t item, tb::WindowRef window) {
  if (item < 1 || item > tb::CountMenuItems(Ctl(kNamePopup))) return;
  VMKimabox* views[kSlots];
  ViewsInto(views);
  fichier* out = selectedSlot >= 1 && selectedSlot <= kSlots ? &slotTable[selectedSlot - 1]->file : nullptr;
  keeper->UpdatePreviews(layout, categoryMenu_, static_cast<int16_t>(item - 1), 1, slotTable, views, out);
  DrawWindowContent(window);
  Loop(loopTimer, window);
}

// Resting on a name fills the page from that name on, the selected slot
// included; when the menu closes the page is the browser's own again at
// once, before an OK can read the selected slot (the next tick would come
// too late for an OK pressed at once).
void VMKloadvign::HoverBackRest(int16_t n) {
  EffectFrame::HoverBackRest(n);
  if (n == 0) Render(true);
}

// A slot without a ramp chooses nothing: the browser ends with 0. A ramp
// file that cannot be read keeps the browser open, as 'Bloa' does.
void VMKloadvign::ChooseSlot(tb::WindowRef window) {
  const TSSeff* slot = selectedSlot >= 1 && selectedSlot <= kSlots ? slotTable[selectedSlot - 1] : nullptr;
  if (slot == nullptr || slot->filled != 1) {
    result = 0;
    tb::QuitAppModalLoopForWindow(window);
    return;
  }
  fichier file;
  MakeEffListRecord(PStrString(slot->file.path), PStrString(slot->file.name), &file);
  if (Do_ALutVign_file(2, SpecOf(file), chosen(), categoryText, secondText, 0, 0, 0, OptionShort()) != 0) return;
  result = 1;
  tb::QuitAppModalLoopForWindow(window);
}

void VMKloadvign::OpenFile(tb::WindowRef window) {
  BackRest(1);
  FSSpec none{};
  if (Do_ALutVign_file(0, none, chosen(), categoryText, secondText, 0, 0, 0, OptionShort()) != 0) return;
  result = 1;
  tb::QuitAppModalLoopForWindow(window);
}

// A new category or a rebuilt list: the name popup refilled, the page from
// `first` with the first slot selected.
void VMKloadvign::NewCategory(tb::WindowRef window, int16_t first) {
  const int16_t n = NameCount();
  FillPopup(Ctl(kNamePopup), nameMenu_);
  selectedSlot = 1;
  keeper->firstVisible = std::min<int16_t>(first, std::max<int16_t>(n - 1, 0));
  Render(true);
  DrawWindowContent(window);
}

bool VMKloadvign::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  switch (command) {
    case FourCC("ok  "): ChooseSlot(window); return true;
    case FourCC("Bloa"): OpenFile(window); return true;
    case FourCC("Pcat"):
      keeper->selectedCategory = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kCategoryPopup)));
      keeper->LoadNamMenus(categoryMenu_, nameMenu_);
      // Truncated here, rounded at open: kept as the browser always had it.
      SetScrollStep(false);
      NewCategory(window, 0);
      return true;
    case FourCC("Pnam"):
      PlaceFirst(tb::GetControl32BitValue(Ctl(kNamePopup)) - 1);
      Render(false);
      DrawWindowContent(window);
      return true;
    case FourCC("Scli"):
      AdjustScrollVign(static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kScrollBar))));
      refresh() = 1;
      return true;
    case FourCC("Bupd"):
      keeper->selectedCategory = 1;
      keeper->PrepareEffListFile(keeper->family);
      keeper->PrepareListCat(categoryMenu_);
      keeper->LoadNamMenus(categoryMenu_, nameMenu_);
      FillPopup(Ctl(kCategoryPopup), categoryMenu_);
      SetScrollStep(true);
      // Kept: after a rebuild the page starts at the category's second entry.
      NewCategory(window, NameCount() > 1 ? 1 : 0);
      return true;
    default: return false;
  }
}
