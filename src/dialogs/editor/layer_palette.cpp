#include "dialogs/editor/layer_palette.h"

#include <string>

#include "app/core/pascal_strings.h"
#include "platform/toolbox/api/ui_services.h"
#include "script/document_data.h"
#include "script/layers.h"
#include "script/script_file.h"

namespace tb = plat::tb;

VMKtunelay* gVMKtunelay = nullptr;

namespace {

constexpr OSType kSignature = FourCC("Tlay");

struct CommandOp {
  uint32_t command;
  int16_t op;
};

constexpr CommandOp kCommands[] = {
    {FourCC("Bsee"), 1},  {FourCC("Blok"), 2},  {FourCC("Play"), 3},  {FourCC("Lay1"), 4},
    {FourCC("Lay2"), 5},  {FourCC("Lay3"), 6},  {FourCC("Lay4"), 7},  {FourCC("Lay5"), 8},
    {FourCC("Lay6"), 9},  {FourCC("Lay7"), 10}, {FourCC("Lay8"), 11}, {FourCC("Lay9"), 12},
    {FourCC("La10"), 13}, {FourCC("La11"), 14}, {FourCC("La12"), 15}, {FourCC("La13"), 16},
    {FourCC("La14"), 17}};

constexpr tb::EventTypeSpec kEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                         {tb::kEventClassMouse, tb::kEventMouseMoved},
                                         {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                         {tb::kEventClassControl, tb::kEventControlTrack},
                                         {tb::kEventClassWindow, tb::kEventWindowDrawContent},
                                         {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

// The current document's current layer stack, looked up afresh each time:
// the palette keeps no copy of it.
LayerFile* CurrentStack() {
  DocData* doc = CurrentDocData();
  if (doc == nullptr || doc->script == nullptr) return nullptr;
  return doc->script->GetStack(doc->currentStack);
}

int16_t CurrentLayerIndex() {
  const DocData* doc = CurrentDocData();
  return doc != nullptr ? doc->currentLayer : 0;
}

}  // namespace

int16_t TuneLayOperation(uint32_t command) {
  for (const CommandOp& c : kCommands)
    if (c.command == command) return c.op;
  return 0;
}

VMKtunelay::VMKtunelay() { gVMKtunelay = this; }

VMKtunelay::~VMKtunelay() {
  // A palette whose window could not be made never installed its timer.
  if (timerUPP) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    timerUPP = nullptr;
  }
  if (gVMKtunelay == this) gVMKtunelay = nullptr;
}

int16_t VMKtunelay::Do_TuneLayDlg(int16_t f) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  family = f;
  tb::WindowRef w = nullptr;
  if (tb::CreateWindowFromNib("TuneLay", &w) != noErr || w == nullptr) return -1;
  layerPopup = tb::FindControl(w, kSignature, 3);
  further = tb::FindControl(w, kSignature, 4);
  lockCheck = tb::FindControl(w, kSignature, 2);
  activeCheck = tb::FindControl(w, kSignature, 1);
  tb::InstallWindowEventHandler(w, GetTuneLayWindowEventHandlerUPP(),
                                {std::begin(kEvents), std::end(kEvents)}, w);
  timerUPP = TuneLayLoopHandler;
  tb::InstallEventLoopTimer(tb::kEventDurationForever, 0.5, timerUPP, w, &loopTimer);
  tb::SetEventLoopTimerNextFireTime(loopTimer, 0.0);
  window = w;
  DrawWindowContent(w);
  ShowHideTuneLayWindow(1);
  return 0;
}

int16_t VMKtunelay::CheckSetRefresh(int16_t value) {
  const int16_t op = pendingOp;
  pendingOp = value;
  return op;
}

// One item per layer: "x " for an active layer or two spaces, the layer's
// number, a space and its name. The popup's value is left as it is.
void VMKtunelay::PrepareLayerMenu() {
  if (layerPopup == nullptr) return;
  tb::DeleteMenuItems(layerPopup);
  LayerFile* stack = CurrentStack();
  const int16_t count = stack != nullptr ? stack->layerCount : 0;
  for (int16_t k = 1; k <= count; ++k) {
    int16_t active = 0;
    stack->GetLayAct(k, &active);
    const Laye* layer = stack->GetLaye(k);
    std::string text = active == 1 ? "x " : "  ";
    text += std::to_string(k) + " " + (layer != nullptr ? PStrString(layer->name) : std::string());
    tb::AppendMenuItemText(layerPopup, text);
  }
  tb::SetControl32BitMinimum(layerPopup, 1);
  tb::SetControl32BitMaximum(layerPopup, count);
}

void VMKtunelay::DrawWindowContent(tb::WindowRef w) {
  PrepareLayerMenu();
  LayerFile* stack = CurrentStack();
  // The popup names the layer its check boxes show and its commands act on, the current one
  // (or the one a pick still waiting for the main window's tick names): a list made anew shows
  // its first entry, which named layer 1 whatever was current (after a pick, after Add),
  // beside the current layer's boxes.
  const int16_t shown = pendingOp == 3 ? layerPicked : CurrentLayerIndex();
  if (stack != nullptr && shown >= 1 && shown <= stack->layerCount) tb::SetControl32BitValue(layerPopup, shown);
  int16_t lock = 0;
  int16_t active = 0;
  if (stack != nullptr) {
    stack->GetLayLock(CurrentLayerIndex(), &lock);
    stack->GetLayAct(CurrentLayerIndex(), &active);
  }
  tb::SetControl32BitValue(lockCheck, lock == 1 ? 1 : 0);
  tb::SetControl32BitValue(activeCheck, active == 1 ? 1 : 0);
  if (w != nullptr) tb::DrawControls(w);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
}

void VMKtunelay::TuneLayLoop(tb::EventLoopTimerRef, void* w) {
  if (redrawFlag != 1) return;
  DrawWindowContent(static_cast<tb::WindowRef>(w));
  redrawFlag = 0;
}

void VMKtunelay::ShowHideTuneLayWindow(int16_t n) {
  if (n == 2) n = shownFlag != 1 ? 1 : 0;
  if (n == 0) {
    if (window != nullptr) tb::HideWindow(window);
    shownFlag = 0;
  } else if (n == 1) {
    if (window != nullptr) tb::ShowWindow(window);
    shownFlag = 1;
  }
}

void VMKtunelay::CloseTuneLayWindow() {
  ShowHideTuneLayWindow(0);
  // A palette whose window could not be made has nothing to dispose of.
  if (window == nullptr) return;
  // The timer names the window: it sleeps from here on.
  if (timerUPP) tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
  tb::DisposeWindow(window);
  window = nullptr;
  layerPopup = further = lockCheck = activeCheck = nullptr;
}

OSStatus VMKtunelay::TuneLayWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event,
                                               void* w) {
  switch (event->eventClass) {
    case tb::kEventClassCommand:
      if (event->kind == tb::kEventCommandProcess) return TuneLayWindowEventCommandProcess(call, event, w);
      break;
    case tb::kEventClassMouse:
      if (event->kind == tb::kEventMouseMoved) plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      break;
    case tb::kEventClassTextInput:
      if (event->kind == tb::kEventTextInputFilterText) redrawFlag = 1;
      break;
    case tb::kEventClassWindow:
      if (event->kind == tb::kEventWindowDrawContent) {
        DrawWindowContent(static_cast<tb::WindowRef>(w));
        return noErr;
      }
      // The close box hides the palette as its owner's button does; the
      // button shows it again. The palette lives on with its owner.
      if (event->kind == tb::kEventWindowClickCloseRgn) {
        ShowHideTuneLayWindow(0);
        return noErr;
      }
      break;
    default: break;
  }
  return tb::eventNotHandledErr;
}

// A second command before the main window's next tick replaces the first:
// only the later operation is carried out.
OSStatus VMKtunelay::TuneLayWindowEventCommandProcess(tb::EventHandlerCallRef, tb::EventRef event, void*) {
  if (event->eventClass != tb::kEventClassCommand || event->kind != tb::kEventCommandProcess) return noErr;
  const int16_t op = TuneLayOperation(event->command);
  if (op == 0) return noErr;
  if (op == 3) layerPicked = static_cast<int16_t>(tb::GetControl32BitValue(layerPopup));
  pendingOp = op;
  redrawFlag = 1;
  return noErr;
}

const tb::EventHandlerProc& GetTuneLayWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = TuneLayWindowEventHandler;
  return sHandler;
}

OSStatus TuneLayWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKtunelay != nullptr ? gVMKtunelay->TuneLayWindowEventHandler(call, event, window)
                                : tb::eventNotHandledErr;
}

void TuneLayLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKtunelay != nullptr) gVMKtunelay->TuneLayLoop(timer, window);
}
