#include "dialogs/editor/load_effect.h"

#include <algorithm>
#include <new>
#include <string>

#include "app/core/session_state.h"
#include "app/image_import.h"
#include "dialogs/frame/effect_frame_procs.h"
#include "engines/records/param_record.h"
#include "platform/files/file_types.h"
#include "platform/toolbox/api/ui_services.h"
#include "views/image_box.h"

namespace tb = plat::tb;

VMKloadeff* gVMKloadeff = nullptr;

namespace {

// Raised by Cmd-Z or Control-Z; the browser has nothing to undo, so nobody reads it.
int16_t flag_restor = 0;

constexpr OSType kSig = FourCC("Leff");
constexpr int32_t kScroll = 22, kCategory = 23, kName = 24;
constexpr int32_t kFirstView = 4, kFirstName = 26;

constexpr int32_t kLookup[] = {4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 22,
                               23, 24, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};

constexpr FrameBox kBoxes[] = {{"HIeff0", false},  {"HIeff1", false},  {"HIeff2", false},
                               {"HIeff3", false},  {"HIeff4", false},  {"HIeff5", false},
                               {"HIeff6", false},  {"HIeff7", false},  {"HIeff8", false},
                               {"HIeff9", false},  {"HIeff10", false}, {"HIeff11", false},
                               {"HIeff12", false}, {"HIeff13", false}, {"HIeff14", false}};

constexpr tb::EventTypeSpec kEvents[] = {
    {tb::kEventClassCommand, tb::kEventCommandProcess}, {tb::kEventClassMouse, tb::kEventMouseMoved},
    {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
    {tb::kEventClassKeyboard, tb::kEventRawKeyDown},   {tb::kEventClassMenu, tb::kEventMenuOpening},
    {tb::kEventClassMenu, tb::kEventMenuTargetItem},    {tb::kEventClassMenu, tb::kEventMenuClosed},
    {tb::kEventClassControl, tb::kEventControlTrack},   {tb::kEventClassWindow, tb::kEventWindowDrawContent}};

EffectFrameDesc MakeDesc() {
  EffectFrameDesc d;
  d.window = "LoadEff";
  d.signature = kSig;
  d.lookup = kLookup;
  d.viewKey = "leff";
  d.boxes = kBoxes;
  d.events = kEvents;
  d.loopInterval = 0.5;
  // Resting on a name previews it in the main window.
  d.hoverPopup = kName;
  // Cmd-Z only raises the file's request here.
  d.undoTick = false;
  return d;
}
const EffectFrameDesc kDesc = MakeDesc();

using Trampolines = EffectFrameTrampolines<gVMKloadeff>;

void ScrollBar32BitActionProc(tb::ControlRef control, int16_t part) {
  if (gVMKloadeff != nullptr) gVMKloadeff->ScrollBy(control, part);
}

// ---- the reduced browser ----

constexpr int32_t kTestLookup[] = {22, 23, 24, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40};

EffectFrameDesc MakeTestDesc() {
  EffectFrameDesc d = MakeDesc();
  d.window = "TestOpenWin";
  d.lookup = kTestLookup;
  d.viewKey = nullptr;
  d.boxes = {};
  return d;
}
const EffectFrameDesc kTestDesc = MakeTestDesc();

// "TestOpenWin": the browser's names, scroll bar and popups without previews; 'ok  '
// ends it. It works on its owner's list and menus.
class TestOpenWindow;
TestOpenWindow* gTestOpen = nullptr;
using TestTrampolines = EffectFrameTrampolines<gTestOpen>;

class TestOpenWindow final : public EffectFrame {
 public:
  explicit TestOpenWindow(VMKloadeff& owner) : EffectFrame(kTestDesc, &flag_restor), owner_(owner) {
    TestTrampolines::Claim(this);
  }
  ~TestOpenWindow() override { TestTrampolines::Release(this); }
  int16_t RunWindow() {
    return Run(TestTrampolines::Procs([](tb::EventLoopTimerRef t, void* w) { TestTrampolines::LoopHandler(t, w); },
                                      TestTrampolines::WindowEventHandlerUPP()));
  }

 protected:
  void LoadOwnMenus() override {
    owner_.list->PrepareCatNamMenus(owner_.categoryMenu, owner_.nameMenu, owner_.list->family);
    FillPopup(Ctl(kCategory), owner_.categoryMenu);
    FillPopup(Ctl(kName), owner_.nameMenu);
    Ranges();
  }
  void DrawOwnContent(tb::WindowRef) override {
    tb::SetControl32BitValue(Ctl(kCategory), owner_.list->selectedCategory);
    tb::SetControl32BitValue(Ctl(kName), owner_.list->firstVisible + 1);
    tb::SetControl32BitValue(Ctl(kScroll), owner_.list->firstVisible);
    for (int k = 0; k < VMKloadeff::kSlots; ++k)
      tb::SetControlText(Ctl(kFirstName + k),
                         plat::ui::GetMenuItemText(owner_.nameMenu, owner_.list->firstVisible + k + 1));
  }
  bool OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) override {
    switch (command) {
      case FourCC("ok  "):
        result = 1;
        tb::QuitAppModalLoopForWindow(window);
        return true;
      case FourCC("Pcat"):
        owner_.list->selectedCategory = static_cast<int16_t>(tb::GetControl32BitValue(Ctl(kCategory)));
        owner_.list->LoadNamMenus(owner_.categoryMenu, owner_.nameMenu);
        FillPopup(Ctl(kName), owner_.nameMenu);
        Ranges();
        owner_.list->firstVisible = 0;
        DrawWindowContent(window);
        return true;
      case FourCC("Pnam"):
      case FourCC("Scli"):
        owner_.AdjustScrollEff(static_cast<int16_t>(
            command == FourCC("Pnam") ? tb::GetControl32BitValue(Ctl(kName)) - 1 : tb::GetControl32BitValue(Ctl(kScroll))));
        DrawWindowContent(window);
        return true;
      default: return false;
    }
  }

 private:
  void Ranges() {
    const int32_t names = plat::ui::CountMenuItems(owner_.nameMenu);
    tb::SetControl32BitMinimum(Ctl(kScroll), 0);
    tb::SetControl32BitMaximum(Ctl(kScroll), names);
  }
  VMKloadeff& owner_;
};

}  // namespace

void LoadEffLoopHandler(tb::EventLoopTimerRef timer, void* window) { Trampolines::LoopHandler(timer, window); }

OSStatus LoadEffWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return Trampolines::WindowEventHandler(call, event, window);
}

const tb::EventHandlerProc& GetLoadEffWindowEventHandlerUPP() { return Trampolines::WindowEventHandlerUPP(); }

VMKloadeff::VMKloadeff() : EffectFrame(kDesc, &flag_restor) {
  Trampolines::Claim(this);
  list = new VMKlisteff(0, kSlots);
  Init_FicStruct(&browsedFile);
}

VMKloadeff::~VMKloadeff() {
  if (slots != nullptr) {
    for (int k = 0; k < slotCount; ++k)
      vmkrec::DeleteScratch(slots[k]);
    vmkrec::DeleteScratch(slots);
    slots = nullptr;
  }
  delete list;
  list = nullptr;
  plat::ui::DisposeMenu(categoryMenu);
  plat::ui::DisposeMenu(nameMenu);
  mainWindow = nullptr;
  Trampolines::Release(this);
}

int16_t VMKloadeff::UndoRequest() { return flag_restor; }

void VMKloadeff::SetPinMain(PinMainLink* link) { mainWindow = link; }

bool VMKloadeff::ReadyToRun() const { return list != nullptr && EffectFrame::ReadyToRun(); }

int16_t VMKloadeff::Do_LoadEffDlg(int16_t family) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  family_ = family;
  list->family = family;
  list->fillLimit = kSlots;
  return Run(Trampolines::Procs(LoadEffLoopHandler, GetLoadEffWindowEventHandlerUPP(),
                                Trampolines::LittleArrowActionProc, ScrollBar32BitActionProc));
}

int16_t VMKloadeff::Do_TestOpenDlog(int16_t family) {
  family_ = family;
  list->family = family;
  list->fillLimit = kSlots;
  if (categoryMenu == nullptr) categoryMenu = plat::ui::NewMenu(1, "category");
  if (nameMenu == nullptr) nameMenu = plat::ui::NewMenu(2, "name");
  TestOpenWindow window(*this);
  return window.RunWindow();
}

// ---- opening ----

void VMKloadeff::AllocateSlots() {
  if (slots != nullptr) return;
  slots = static_cast<TSSeff**>(vmkrec::NewScratch(sizeof(TSSeff*) * kSlots));
  if (slots == nullptr) return;
  for (int k = 0; k < kSlots; ++k) {
    void* block = vmkrec::NewScratch(sizeof(TSSeff));
    slots[k] = block != nullptr ? new (block) TSSeff : nullptr;
  }
}

void VMKloadeff::FindOwnControls() {
  for (int k = 0; k < kSlots; ++k) {
    previewViews[k] = Ctl(kFirstView + k);
    nameTexts[k] = Ctl(kFirstName + k);
  }
  scrollBar = Ctl(kScroll);
  categoryPopup = Ctl(kCategory);
  namePopup = Ctl(kName);
}

void VMKloadeff::OpenViews(tb::WindowRef) {
  AllocateSlots();
  FindOwnControls();
  for (int k = 0; k < kSlots; ++k) {
    VMKimabox* view = View(k);
    view->InitBuf(21);
    // Image shown, nothing else: no overlay, no editing.
    view->SetBufParam(0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0);
  }
}

void VMKloadeff::LoadOwnMenus() {
  if (categoryMenu == nullptr) categoryMenu = plat::ui::NewMenu(1, "category");
  if (nameMenu == nullptr) nameMenu = plat::ui::NewMenu(2, "name");
  list->PrepareCatNamMenus(categoryMenu, nameMenu, family_);
  ShowMenus();
  scrollStep = 1;
  SetRanges();
  selectedSlot = 1;
  list->firstVisible = gPer != nullptr ? static_cast<int16_t>(gPer->effectListWord) : 0;
  list->UpdatePreviews(listMode, categoryMenu, -1, 0, slots, ViewTable(), nullptr);
}

void VMKloadeff::InstallOwnControls(const FrameProcs& procs, tb::WindowRef) {
  tb::SetControlAction(scrollBar, procs.slider);
}

VMKimabox** VMKloadeff::ViewTable() {
  for (int k = 0; k < kSlots; ++k) views_[k] = View(k);
  return views_;
}

void VMKloadeff::ShowMenus() {
  FillPopup(categoryPopup, categoryMenu);
  FillPopup(namePopup, nameMenu);
}

int16_t VMKloadeff::NameCount() const { return static_cast<int16_t>(plat::ui::CountMenuItems(nameMenu)); }

// The popups' ranges come with their items; the scroll bar runs over the names.
void VMKloadeff::SetRanges() {
  tb::SetControl32BitMinimum(scrollBar, 0);
  tb::SetControl32BitMaximum(scrollBar, NameCount());
}

// ---- showing the state ----

void VMKloadeff::DrawOwnContent(tb::WindowRef) {
  tb::SetControl32BitValue(categoryPopup, list->selectedCategory);
  tb::SetControl32BitValue(namePopup, list->firstVisible + 1);
  list->UpdatePreviews(listMode, categoryMenu, list->firstVisible, 0, slots, ViewTable(), nullptr);
  for (int k = 0; k < kSlots; ++k) {
    const bool filled = slots != nullptr && slots[k] != nullptr && slots[k]->filled == 1;
    tb::SetControlVisibility(previewViews[k], filled);
    View(k)->SetSelMode(1, selectedSlot == k + 1 ? 1 : 0);
    tb::SetControlText(nameTexts[k], filled
                                         ? plat::files::DisplayName(PStrString(slots[k]->file.name))
                                         : std::string());
  }
  tb::SetControl32BitValue(scrollBar, NameCount() > 0 ? list->firstVisible : 0);
}

// ---- scrolling ----

void VMKloadeff::AdjustScrollEff(int16_t first) {
  list->firstVisible = first;
  selectedSlot = 1;
  const int16_t count = NameCount();
  const int16_t limit = list->fillLimit;
  // The last page is kept full: the requested entry stays selected further down it.
  if (count > limit && list->firstVisible >= count - limit) {
    list->firstVisible = static_cast<int16_t>(count - limit);
    selectedSlot = static_cast<int16_t>(first - (count - limit) + 1);
  }
  if (list->firstVisible < 1) list->firstVisible = 0;
  if (gPer != nullptr) gPer->effectListWord = list->firstVisible;
}

void VMKloadeff::ScrollBy(tb::ControlRef bar, int16_t part) {
  StepSlider(bar, part, scrollStep);
  AdjustScrollEff(static_cast<int16_t>(tb::GetControl32BitValue(bar)));
}

// Every slot again, even when the first visible entry did not move.
void VMKloadeff::Refill() {
  list->UpdatePreviews(listMode, categoryMenu, list->firstVisible, 1, slots, ViewTable(), nullptr);
}

// ---- commands ----

void VMKloadeff::Browse(tb::WindowRef window) {
  Init_FicStruct(&browsedFile);
  browsedFile.creator = FourCC("vMkC");
  // A cancelled dialog leaves the browser open.
  if (LoadIma(1, &browsedFile) != 1) return;
  lastLoadMode = 3;
  result = 1;
  tb::QuitAppModalLoopForWindow(window);
}

bool VMKloadeff::OwnCommand(uint32_t command, tb::ControlRef, tb::WindowRef window) {
  switch (command) {
    case FourCC("Pnam"):
      AdjustScrollEff(static_cast<int16_t>(tb::GetControl32BitValue(namePopup) - 1));
      Refill();
      DrawWindowContent(window);
      return true;
    case FourCC("Pcat"):
      list->selectedCategory = static_cast<int16_t>(tb::GetControl32BitValue(categoryPopup));
      list->LoadNamMenus(categoryMenu, nameMenu);
      ShowMenus();
      scrollStep = 1;
      SetRanges();
      selectedSlot = 1;
      list->firstVisible = 0;
      if (gPer != nullptr) gPer->effectListWord = 0;
      Refill();
      DrawWindowContent(window);
      return true;
    case FourCC("Bupd"):
      list->selectedCategory = 1;
      list->PrepareEffListFile(family_);
      list->PrepareListCat(categoryMenu);
      list->LoadNamMenus(categoryMenu, nameMenu);
      ShowMenus();
      if (NameCount() > 0 && scrollStep == 0) scrollStep = 1;
      SetRanges();
      selectedSlot = 1;
      // Kept as the browser has always done it: the rebuilt list opens on its second
      // entry, so the first one is off screen until the user scrolls back.
      list->firstVisible = 1;
      if (gPer != nullptr) gPer->effectListWord = 1;
      Refill();
      DrawWindowContent(window);
      return true;
    case FourCC("Scli"):
      AdjustScrollEff(static_cast<int16_t>(tb::GetControl32BitValue(scrollBar)));
      refresh() = 1;
      return true;
    case FourCC("Bloa"):
      Browse(window);
      return true;
    case FourCC("ok  "): {
      // Choosing only: the caller loads what GetSelecFich names. An empty page has
      // nothing to choose, so OK then answers as cancel.
      const int k = selectedSlot - 1;
      const bool chosen = slots != nullptr && k >= 0 && k < kSlots && slots[k] != nullptr &&
                          slots[k]->filled == 1;
      lastLoadMode = listMode;
      result = chosen ? 1 : 0;
      tb::QuitAppModalLoopForWindow(window);
      return true;
    }
    default: return false;
  }
}

// ---- events ----

void VMKloadeff::HoverItem(int32_t item, tb::WindowRef window) {
  if (item < 1 || item > NameCount()) return;
  fichier file;
  Init_FicStruct(&file);
  list->GetFichInList(categoryMenu, static_cast<int16_t>(item - 1), &file);
  DrawWindowContent(window);
  refresh() = 1;
  if (mainWindow == nullptr || file.name[0] == 0) return;
  mainWindow->PrepareBuf(1, &file);
  mainWindow->SetRefreshFlag(1);
  mainWindow->RunLoopOnce();
}

// The main window shows the document's own script again when the name menu closes.
void VMKloadeff::HoverBackRest(int16_t n) {
  if (n != 0 || mainWindow == nullptr) return;
  mainWindow->PrepareBuf(1, nullptr);
  mainWindow->SetRefreshFlag(1);
  mainWindow->RunLoopOnce();
}

bool VMKloadeff::PollTick(tb::WindowRef) { return TakePick(); }

bool VMKloadeff::TakePick() {
  const int32_t k = ClickedBox();
  if (k < 0) return false;
  selectedSlot = static_cast<int16_t>(k + 1);
  return true;
}

// ---- the choice ----

void VMKloadeff::GetSelecFich(fichier* out) {
  if (out == nullptr) return;
  if (lastLoadMode == 3) {
    Copy_FicStruct(&browsedFile, out);
    return;
  }
  const int k = selectedSlot - 1;
  if (slots == nullptr || k < 0 || k >= kSlots || slots[k] == nullptr) return;
  MakeEffListRecord(PStrString(slots[k]->file.path), PStrString(slots[k]->file.name), out);
}

void VMKloadeff::SetSelecFich(fichier* in) {
  const int k = selectedSlot - 1;
  if (in == nullptr || slots == nullptr || k < 0 || k >= kSlots || slots[k] == nullptr) return;
  Copy_FicStruct(in, &slots[k]->file);
}
