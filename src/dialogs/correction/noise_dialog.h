// The noise-reduction dialog (effect 103): mutate, amount and iterations
// with a mode, over a live preview.
#pragma once

#include <cstdint>

#include "dialogs/correction/colour_correction_dialog.h"

class VMKdnoiUI : public ColCorDialog {
 public:
  VMKdnoiUI();
  ~VMKdnoiUI() override;

  int16_t Do_DNoiDlg();
  void DNoiLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus DNoiWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus DNoiWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  // The file's undo request (raised by Cmd-Z, read by nobody).
  static int16_t UndoRequest();
};

extern VMKdnoiUI* gVMKdnoi;

void DNoiLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus DNoiWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetDNoiWindowEventHandlerUPP();
