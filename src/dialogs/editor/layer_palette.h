// The layer palette: a small modeless window beside the main editing window
// that lists the layers of the current layer stack and asks for layer
// operations. It never changes a layer itself: each command stores the
// operation's number (1 to 17) as the pending operation, which the main
// window's loop takes with CheckSetRefresh(0) and carries out; the main
// window then asks the palette to redraw with SetRefreshFlag(1).
//
// Made once by the main window's first 'Blay', then shown or hidden; the
// main window closes and deletes it when it goes.
#pragma once

#include <cstdint>

#include "platform/toolbox/toolbox.h"

class VMKtunelay {
 public:
  VMKtunelay();
  ~VMKtunelay();
  VMKtunelay(const VMKtunelay&) = delete;
  VMKtunelay& operator=(const VMKtunelay&) = delete;

  // Builds and shows the palette and returns at once: 0, or -1 when the
  // window cannot be made (the caller does not look).
  int16_t Do_TuneLayDlg(int16_t family);
  // The pending operation; `value` takes its place (0: take and clear).
  int16_t CheckSetRefresh(int16_t value);
  void SetRefreshFlag(int16_t value) { redrawFlag = value; }
  // The palette has no fields to read.
  void GetEditValue() {}
  void PrepareLayerMenu();
  // The popup (on the current layer, or the layer a pick not yet carried out names) and the
  // current layer's check boxes.
  void DrawWindowContent(plat::tb::WindowRef window);
  void TuneLayLoop(plat::tb::EventLoopTimerRef timer, void* window);
  // 0 hide, 1 show, 2 toggle; other values do nothing.
  void ShowHideTuneLayWindow(int16_t n);
  void CloseTuneLayWindow();
  OSStatus TuneLayWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                     void* window);
  OSStatus TuneLayWindowEventCommandProcess(plat::tb::EventHandlerCallRef call,
                                            plat::tb::EventRef event, void* window);

  // ---- fields, in order ----
  int16_t layerPicked = 1;  // the popup's value at the last 'Play'
  int16_t family = 0;
  int16_t shownFlag = 0;
  int16_t redrawFlag = 0;
  int16_t pendingOp = 0;
  plat::tb::WindowRef window = nullptr;
  plat::tb::ControlRef lockCheck = nullptr;    // {'Tlay', 2}
  plat::tb::ControlRef activeCheck = nullptr;  // {'Tlay', 1}
  plat::tb::ControlRef layerPopup = nullptr;   // {'Tlay', 3}
  plat::tb::ControlRef further = nullptr;      // {'Tlay', 4}; found, not used
  plat::tb::EventLoopTimerRef loopTimer = nullptr;
  plat::tb::EventLoopTimerProc timerUPP;  // empty until the timer is installed
};

extern VMKtunelay* gVMKtunelay;

// The layer operation a palette command asks for; 0 for another command.
int16_t TuneLayOperation(uint32_t command);

const plat::tb::EventHandlerProc& GetTuneLayWindowEventHandlerUPP();
OSStatus TuneLayWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                   void* window);
void TuneLayLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
