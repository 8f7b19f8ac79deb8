#include "dialogs/editor/path_palette.h"

#include "app/core/session_state.h"
#include "app/keyboard.h"
#include "host/session/small_dialogs.h"
#include "platform/toolbox/api/ui_services.h"

namespace tb = plat::tb;

VMKtoolpath* gVMKtoolpath = nullptr;

namespace {

constexpr OSType kSignature = FourCC("Tpth");

// A tool button: its command, its tool and the indicator that lights for it.
struct ToolButton {
  uint32_t command;
  int16_t tool;
  int32_t indicator;
};

// Tools 38, 43 and 45 are offered but the path tools do nothing with them.
// 'Bpa6' gives tool 35 with Option held (see ChooseTool); its indicator
// lights for both.
constexpr ToolButton kTools[] = {
    {FourCC("Bpa1"), 15, 3},  {FourCC("Bpa3"), 38, 5},  {FourCC("Bpa4"), 43, 6},
    {FourCC("Bpa5"), 45, 7},  {FourCC("Bpa6"), 23, 8},  {FourCC("Bpa7"), 24, 9},
    {FourCC("Bpa8"), 25, 10}, {FourCC("Bpa9"), 27, 11}, {FourCC("Bp10"), 28, 12},
    {FourCC("Bp11"), 29, 13}, {FourCC("Bp12"), 26, 14}, {FourCC("Bp13"), 32, 15},
    {FourCC("Bp14"), 33, 16}, {FourCC("Bp15"), 39, 17}, {FourCC("Bp16"), 40, 18},
    {FourCC("Bp17"), 41, 19}};

constexpr tb::EventTypeSpec kEvents[] = {{tb::kEventClassCommand, tb::kEventCommandProcess},
                                         {tb::kEventClassMouse, tb::kEventMouseMoved},
                                         {tb::kEventClassTextInput, tb::kEventTextInputFilterText},
                                         {tb::kEventClassControl, tb::kEventControlTrack},
                                         {tb::kEventClassWindow, tb::kEventWindowDrawContent},
                                         {tb::kEventClassWindow, tb::kEventWindowClickCloseRgn}};

const ToolButton* ToolOf(uint32_t command) {
  for (const ToolButton& t : kTools)
    if (t.command == command) return &t;
  return nullptr;
}

bool IsShapeCommand(uint32_t command) {
  switch (command) {
    case FourCC("Bp13"): case FourCC("Bp14"): case FourCC("Bp15"): case FourCC("Bp16"):
    case FourCC("Bp17"): return true;
    default: return false;
  }
}

}  // namespace

VMKtoolpath::VMKtoolpath() { gVMKtoolpath = this; }

VMKtoolpath::~VMKtoolpath() {
  // A palette whose window could not be made never installed its timer.
  if (timerUPP) {
    tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
    tb::RemoveEventLoopTimer(loopTimer);
    timerUPP = nullptr;
  }
  if (gVMKtoolpath == this) gVMKtoolpath = nullptr;
}

tb::ControlRef VMKtoolpath::Ctl(int32_t id) const {
  for (int k = 0; k < kControls; ++k)
    if (kControlIds[k] == id) return controls[k];
  return nullptr;
}

int16_t VMKtoolpath::Do_ToolPathDlg(int16_t f) {
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  family = f;
  tb::WindowRef w = nullptr;
  if (tb::CreateWindowFromNib("ToolPath", &w) != noErr || w == nullptr) return -1;
  for (int k = 0; k < kControls; ++k) controls[k] = tb::FindControl(w, kSignature, kControlIds[k]);
  tb::InstallWindowEventHandler(w, GetToolPathWindowEventHandlerUPP(),
                                {std::begin(kEvents), std::end(kEvents)}, w);
  timerUPP = ToolPathLoopHandler;
  tb::InstallEventLoopTimer(tb::kEventDurationForever, 0.2, timerUPP, w, &loopTimer);
  tb::SetEventLoopTimerNextFireTime(loopTimer, 0.0);
  window = w;
  ShowHideToolPathWindow(1);
  return 0;
}

int16_t VMKtoolpath::CheckSetRefresh(int16_t value) {
  const int16_t s = signal;
  signal = value;
  return s;
}

void VMKtoolpath::DrawWindowContent(tb::WindowRef w) {
  if (w != nullptr) tb::DrawControls(w);
  plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
  tb::SetControl32BitValue(Ctl(1), pathMode + 1);
  for (const ToolButton& t : kTools) {
    const bool on = tool == t.tool || (t.indicator == 8 && tool == 35);
    tb::SetControl32BitValue(Ctl(t.indicator), on ? 1 : 0);
  }
}

void VMKtoolpath::ToolPathLoop(tb::EventLoopTimerRef, void* w) {
  if (changedFlag != 1) return;
  DrawWindowContent(static_cast<tb::WindowRef>(w));
  signal = 1;
  changedFlag = 0;
}

void VMKtoolpath::ShowHideToolPathWindow(int16_t n) {
  if (n == 2) n = shownFlag != 1 ? 1 : 0;
  if (n == 0) {
    if (window != nullptr) tb::HideWindow(window);
    shownFlag = 0;
  } else if (n == 1) {
    if (window != nullptr) tb::ShowWindow(window);
    shownFlag = 1;
  }
  changedFlag = 1;
}

void VMKtoolpath::CloseToolPathWindow() {
  ShowHideToolPathWindow(0);
  // A palette whose window could not be made has nothing to dispose of.
  if (window == nullptr) return;
  if (timerUPP) tb::SetEventLoopTimerNextFireTime(loopTimer, tb::kEventDurationForever);
  tb::DisposeWindow(window);
  window = nullptr;
  for (tb::ControlRef& c : controls) c = nullptr;
}

void VMKtoolpath::ChooseTool(uint32_t command) {
  const ToolButton* t = ToolOf(command);
  if (t == nullptr) return;
  tool = t->tool;
  if (command == FourCC("Bpa6") && TestKeyModif(optionKey) == 1) tool = 35;
}

// The session's shape parameters are edited in place; the answer is not
// looked at. While one shape dialog runs, another shape command only
// changes the tool.
void VMKtoolpath::OpenShapeDialog(uint32_t command) {
  if (openShapeDialog != nullptr || gPer == nullptr || gPer->objPar == nullptr) return;
  openShapeDialog = new VMKlibr();
  TObjPar* par = gPer->objPar;
  switch (command) {
    case FourCC("Bp13"): openShapeDialog->Do_CreRectDlg(par); break;
    case FourCC("Bp14"): openShapeDialog->Do_CreElliDlg(par); break;
    case FourCC("Bp15"): openShapeDialog->Do_CreStarDlg(par); break;
    case FourCC("Bp16"): openShapeDialog->Do_CreTableDlg(par); break;
    case FourCC("Bp17"): openShapeDialog->Do_CreStepDlg(par); break;
    default: break;
  }
  delete openShapeDialog;
  openShapeDialog = nullptr;
}

OSStatus VMKtoolpath::ToolPathWindowEventCommandProcess(tb::EventHandlerCallRef, tb::EventRef event, void*) {
  if (event->eventClass != tb::kEventClassCommand || event->kind != tb::kEventCommandProcess) return noErr;
  const uint32_t command = event->command;
  switch (command) {
    case FourCC("Pop0"): pathMode = 0; break;
    case FourCC("Pop1"): pathMode = 1; break;
    case FourCC("Pop2"): pathMode = 2; break;
    case FourCC("Bsav"): pendingOp = kSavePaths; break;
    case FourCC("Brec"): pendingOp = kLoadPaths; break;
    case FourCC("Bund"): pendingOp = kUndoPaths; break;
    case FourCC("Bclr"): pendingOp = kClearPaths; break;
    default:
      if (ToolOf(command) == nullptr) return noErr;
      // The new tool is set before its dialog opens.
      ChooseTool(command);
      changedFlag = 1;
      if (IsShapeCommand(command)) OpenShapeDialog(command);
      return noErr;
  }
  changedFlag = 1;
  return noErr;
}

OSStatus VMKtoolpath::ToolPathWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* w) {
  switch (event->eventClass) {
    case tb::kEventClassCommand:
      if (event->kind == tb::kEventCommandProcess) return ToolPathWindowEventCommandProcess(call, event, w);
      break;
    case tb::kEventClassMouse:
      if (event->kind == tb::kEventMouseMoved) plat::ui::SetThemeCursor(plat::ui::kArrowCursor);
      break;
    case tb::kEventClassTextInput:
      if (event->kind == tb::kEventTextInputFilterText) changedFlag = 1;
      break;
    case tb::kEventClassWindow:
      if (event->kind == tb::kEventWindowDrawContent) {
        DrawWindowContent(static_cast<tb::WindowRef>(w));
        return noErr;
      }
      // The close box hides the palette as its owner's button does; the
      // button shows it again. The palette lives on with its owner.
      if (event->kind == tb::kEventWindowClickCloseRgn) {
        ShowHideToolPathWindow(0);
        return noErr;
      }
      break;
    default: break;
  }
  return tb::eventNotHandledErr;
}

const tb::EventHandlerProc& GetToolPathWindowEventHandlerUPP() {
  static const tb::EventHandlerProc sHandler = ToolPathWindowEventHandler;
  return sHandler;
}

OSStatus ToolPathWindowEventHandler(tb::EventHandlerCallRef call, tb::EventRef event, void* window) {
  return gVMKtoolpath != nullptr ? gVMKtoolpath->ToolPathWindowEventHandler(call, event, window)
                                 : tb::eventNotHandledErr;
}

void ToolPathLoopHandler(tb::EventLoopTimerRef timer, void* window) {
  if (gVMKtoolpath != nullptr) gVMKtoolpath->ToolPathLoop(timer, window);
}
