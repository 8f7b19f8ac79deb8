// The smoothing dialog (effect 104): mutate, amount, iterate and the
// gradient and detail values with a mode, over a live preview.
#pragma once

#include <cstdint>

#include "dialogs/correction/colour_correction_dialog.h"

class VMKglimUI : public ColCorDialog {
 public:
  VMKglimUI();
  ~VMKglimUI() override;

  int16_t Do_GlimDlg();
  void GlimLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus GlimWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus GlimWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  // The file's undo request (raised by Cmd-Z, read by nobody).
  static int16_t UndoRequest();
};

extern VMKglimUI* gVMKglim;

void GlimLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus GlimWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetGlimWindowEventHandlerUPP();
