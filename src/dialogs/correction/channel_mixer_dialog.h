// The channel-mixer dialog (effect 119): a strength and a grid of matrix
// entries (the red, green, blue and constant sources for the red, green and
// blue outputs), each a number field with little arrows.
#pragma once

#include <cstdint>

#include "dialogs/correction/colour_correction_dialog.h"

class VMKcmixUI : public ColCorDialog {
 public:
  VMKcmixUI();
  ~VMKcmixUI() override;

  int16_t Do_CMixDlg();
  void CMixLoop(plat::tb::EventLoopTimerRef timer, void* window) { Loop(timer, window); }
  OSStatus CMixWindowEventCommandProcess(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event,
                                         void* window) {
    return CommandProcess(call, event, window);
  }
  OSStatus CMixWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window) {
    return WindowEventHandler(call, event, window);
  }
  static int16_t UndoRequest();
  // The file's refresh flag and preview mode (before 0, after 1).
  static int16_t RefreshFlag();
  static int16_t BeforeAfter();

  // Record word of the matrix entry of source row `source` (0 red, 1 green,
  // 2 blue, 3 fourth, 4 constant) for output `output` (0 to 3).
  static int32_t MatrixWord(int source, int output) { return kCCMatrix + 4 * source + output; }
};

extern VMKcmixUI* gVMKcmix;

void CMixLoopHandler(plat::tb::EventLoopTimerRef timer, void* window);
OSStatus CMixWindowEventHandler(plat::tb::EventHandlerCallRef call, plat::tb::EventRef event, void* window);
const plat::tb::EventHandlerProc& GetCMixWindowEventHandlerUPP();
// The little arrows' live action: up +1, down -1, then the value into the
// paired field.
void LittleArrowActionProc(plat::tb::ControlRef control, int16_t part);
